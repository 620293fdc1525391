// The table update engine.
#include "bankname/UpdateEngine.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "sqlserver/SQLServer.hpp"

namespace basCommon {
namespace {

std::string Quoted(const std::string& text) { return "「" + text + "」"; }

/// The names were checked as identifiers when the table list was read: they cannot end the
/// literal or bracket they stand in.
std::string ColumnCheckSql(const std::string& table, const std::string& column) {
  return "SELECT COUNT(name) As 'Count' FROM sys.columns WHERE name = '" + column +
         "' AND object_id = Object_ID('[dbo].[" + table + "]')";
}

/// The code page of one character column (text, varchar, char), tagged with its place in the
/// list of targets; a column of another type gives no row.
std::string CodePageSql(std::size_t target, const std::string& table, const std::string& column) {
  return "SELECT " + std::to_string(target) +
         " AS Target, collation_name, COLLATIONPROPERTY(collation_name, 'CodePage') AS CodePage"
         " FROM sys.columns WHERE name = '" +
         column + "' AND object_id = Object_ID('[dbo].[" + table +
         "]') AND system_type_id IN (35, 167, 175)";
}

std::string UpdateSql(const std::string& table, const std::string& column, const std::string& value,
                      const std::string& key, const std::string& code) {
  return "UPDATE " + table + " SET " + column + " = N'" + basSQLServer::EscapeApostrophes(value) +
         "' WHERE " + key + " = " + code + "\r\n";
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// Code pages that hold every character a control file can carry.
bool HoldsJapanese(const std::optional<std::string>& codePage) {
  return codePage == "932" || codePage == "65001";
}

}  // namespace

UpdatePlan::UpdatePlan(std::vector<TableLine> lines, BankRecord bank)
    : lines_(std::move(lines)), bank_(std::move(bank)) {
  const auto add = [](std::vector<Column>& list, const std::string& table,
                      const std::string& column) {
    if (std::find(list.begin(), list.end(), Column{table, column}) == list.end()) {
      list.push_back({table, column});
    }
  };
  for (const auto& line : lines_) {
    if (line.nameColumn.empty() && line.kanaColumn.empty()) continue;
    if (!line.nameColumn.empty()) add(checked_, line.table, line.nameColumn);
    if (!line.kanaColumn.empty()) add(checked_, line.table, line.kanaColumn);
    add(checked_, line.table, line.key);
    if (!line.nameColumn.empty() && !IsAscii(bank_.name)) {
      add(codePaged_, line.table, line.nameColumn);
    }
    if (!line.kanaColumn.empty() && !IsAscii(bank_.kana)) {
      add(codePaged_, line.table, line.kanaColumn);
    }
  }
  for (const auto& [table, column] : checked_) checks_.push_back(ColumnCheckSql(table, column));
  if (!codePaged_.empty()) {
    std::string query;
    for (std::size_t i = 0; i < codePaged_.size(); ++i) {
      query +=
          (i == 0 ? "" : " UNION ALL ") + CodePageSql(i, codePaged_[i].table, codePaged_[i].column);
    }
    checks_.push_back(query);
  }
}

std::string UpdatePlan::CheckSql() const {
  std::string sql;
  for (const auto& check : checks_) sql += (sql.empty() ? "" : "\r\n") + check;
  return sql;
}

std::string UpdatePlan::BatchFor(const std::vector<odbc::ResultSet>& answers) const {
  if (answers.size() != checks_.size()) {
    throw std::runtime_error("サーバーが列の確認に " + std::to_string(answers.size()) +
                             " 件の結果を返しました (" + std::to_string(checks_.size()) +
                             " 件のはずです)。");
  }
  const auto indexIn = [](const std::vector<Column>& list, const std::string& table,
                          const std::string& column) {
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), Column{table, column}) -
                                    list.begin());
  };
  const auto exists = [&](const std::string& table, const std::string& column) {
    return !column.empty() && odbc::NumberOf(answers[indexIn(checked_, table, column)]) > 0;
  };
  // The collation and code page of each target that is a character column.
  std::vector<std::optional<std::pair<std::string, std::optional<std::string>>>> codePages(
      codePaged_.size());
  if (!codePaged_.empty()) {
    for (const auto& row : answers.back().rows) {
      const auto target = static_cast<std::size_t>(std::stoul(row.at(0).value_or("")));
      codePages.at(target) = std::make_pair(row.at(1).value_or(""), row.at(2));
    }
  }
  const auto requireCodePage = [&](const std::string& table, const std::string& column,
                                   const std::string& value, const char* what) {
    if (IsAscii(value)) return;
    const auto& found = codePages.at(indexIn(codePaged_, table, column));
    if (!found || HoldsJapanese(found->second)) return;
    throw std::runtime_error("テーブル" + Quoted(table) + "の列" + Quoted(column) + "は照合順序 " +
                             found->first + " (コード ページ " + found->second.value_or("不明") +
                             ") のため、" + what + Quoted(value) + "を正しく保存できません。");
  };

  std::string batch;
  for (const auto& line : lines_) {
    const bool name = exists(line.table, line.nameColumn);
    const bool kana = exists(line.table, line.kanaColumn);
    if (!name && !kana) continue;
    if (!exists(line.table, line.key)) {
      throw std::runtime_error("テーブル" + Quoted(line.table) + "にキー列" + Quoted(line.key) +
                               "がありません。");
    }
    if (name) {
      requireCodePage(line.table, line.nameColumn, bank_.name, "新しい名称");
      batch += UpdateSql(line.table, line.nameColumn, bank_.name, line.key, bank_.code);
    }
    if (kana) {
      requireCodePage(line.table, line.kanaColumn, bank_.kana, "新しいカナ");
      batch += UpdateSql(line.table, line.kanaColumn, bank_.kana, line.key, bank_.code);
    }
  }
  return batch;
}

std::string BuildUpdateSql(odbc::Connection& connection, const UpdatePlan& plan) {
  if (plan.CheckStatements().empty()) return {};
  return plan.BatchFor(connection.Execute(plan.CheckSql()));
}

long long RowsChanged(const std::vector<odbc::ResultSet>& results) {
  long long rows = 0;
  for (const auto& result : results) rows += std::max(result.rowsAffected, 0LL);
  return rows;
}

}  // namespace basCommon
