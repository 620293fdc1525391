// The table update engine.
#include "bankname/UpdateEngine.hpp"

#include <algorithm>
#include <cctype>
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

/// Every column of the tables with its type, collation and code page, in one statement.
std::string ColumnTypesSql(const std::vector<std::string>& tables) {
  std::string objects;
  for (const auto& table : tables) {
    objects += (objects.empty() ? "" : ", ") + std::string("Object_ID('[dbo].[") + table + "]')";
  }
  return "SELECT OBJECT_NAME(object_id) AS TableName, name AS ColumnName, system_type_id,"
         " collation_name, COLLATIONPROPERTY(collation_name, 'CodePage') AS CodePage"
         " FROM sys.columns WHERE object_id IN (" +
         objects + ")";
}

/// Names as the catalog compares them under the usual case-insensitive collations.
bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

/// System type ids of the columns that keep text in a code page: text, varchar, char.
bool IsCodePageType(const std::optional<std::string>& type) {
  return type == "35" || type == "167" || type == "175";
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
    const bool nonAscii = (!line.nameColumn.empty() && !IsAscii(bank_.name)) ||
                          (!line.kanaColumn.empty() && !IsAscii(bank_.kana));
    if (nonAscii &&
        std::find(typedTables_.begin(), typedTables_.end(), line.table) == typedTables_.end()) {
      typedTables_.push_back(line.table);
    }
  }
  for (const auto& [table, column] : checked_) checks_.push_back(ColumnCheckSql(table, column));
  if (!typedTables_.empty()) checks_.push_back(ColumnTypesSql(typedTables_));
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
  const auto requireCodePage = [&](const std::string& table, const std::string& column,
                                   const std::string& value, const char* what) {
    if (IsAscii(value)) return;
    const auto& rows = answers.back().rows;
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) {
      return SameName(row.at(0).value_or(""), table) && SameName(row.at(1).value_or(""), column);
    });
    if (found == rows.end()) {
      throw std::runtime_error("テーブル" + Quoted(table) + "の列" + Quoted(column) +
                               "の型と照合順序を確認できません。");
    }
    const auto& codePage = found->at(4);
    if (!IsCodePageType(found->at(2)) || HoldsJapanese(codePage)) return;
    throw std::runtime_error("テーブル" + Quoted(table) + "の列" + Quoted(column) + "は照合順序 " +
                             found->at(3).value_or("") + " (コード ページ " +
                             codePage.value_or("不明") + ") のため、" + what + Quoted(value) +
                             "を正しく保存できません。");
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
