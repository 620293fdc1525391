// The table update engine.
#include "bankname/UpdateEngine.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace basCommon {
namespace {

/// The names were checked as identifiers when the table list was read: they cannot end the
/// literal or bracket they stand in. Unicode literals keep names of any script intact under a
/// database collation of another code page, and the server compares them under that collation.
std::string ColumnCheckSql(const std::string& table, const std::string& column) {
  return "SELECT system_type_id, collation_name, COLLATIONPROPERTY(collation_name, 'CodePage')"
         " AS CodePage, column_id FROM sys.columns WHERE name = N'" +
         column + "' AND object_id = Object_ID(N'[dbo].[" + table + "]')";
}

/// System type ids of the columns that keep text in a code page: text, varchar, char.
bool IsCodePageType(const std::optional<std::string>& type) {
  return type == "35" || type == "167" || type == "175";
}

/// The table named as the check found it, whatever the login's default schema.
std::string UpdateSql(const std::string& table, const std::string& column, const std::string& value,
                      const std::string& key, const std::string& code) {
  return "UPDATE dbo." + table + " SET " + column + " = N'" + odbc::EscapeApostrophes(value) +
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

UpdatePlan::UpdatePlan(std::string fileName, const std::vector<TableLine>& lines, BankRecord bank)
    : fileName_(std::move(fileName)), bank_(std::move(bank)) {
  std::unordered_map<std::string, std::size_t> checked;  // table NUL column -> check
  const auto check = [&](const std::string& table, const std::string& column) {
    if (column.empty()) return kNone;
    const auto [found, added] = checked.try_emplace(table + '\0' + column, checks_.size());
    if (added) {
      checks_.push_back(ColumnCheckSql(table, column));
      columns_.push_back(column);
    }
    return found->second;
  };
  lines_.reserve(lines.size());
  for (const auto& line : lines) {
    if (line.nameColumn.empty() && line.kanaColumn.empty()) continue;
    const std::size_t name = check(line.table, line.nameColumn);
    const std::size_t kana = check(line.table, line.kanaColumn);
    lines_.push_back({line.table, line.number, check(line.table, line.key), name, kana});
  }
}

std::string UpdatePlan::CheckSql() const {
  std::string sql;
  for (const auto& check : checks_) {
    if (!sql.empty()) sql += "\r\n";
    sql += check;
  }
  return sql;
}

std::string UpdatePlan::BatchFor(const std::vector<odbc::ResultSet>& answers) const {
  if (answers.size() != checks_.size()) {
    throw std::runtime_error("サーバーが列の確認に " + std::to_string(answers.size()) +
                             " 件の結果を返しました (" + std::to_string(checks_.size()) +
                             " 件のはずです)。");
  }
  const auto exists = [&](std::size_t check) {
    return check != kNone && !answers[check].rows.empty();
  };
  const auto update = [&](const Line& line, std::size_t check, const std::string& value,
                          const char* what) {
    const auto& column = answers[check].rows.front();
    if (!IsAscii(value) && IsCodePageType(column.at(0)) && !HoldsJapanese(column.at(2))) {
      throw std::runtime_error("テーブル" + Quoted(line.table) + "の列" + Quoted(columns_[check]) +
                               "は照合順序 " + column.at(1).value_or("") + " (コード ページ " +
                               column.at(2).value_or("不明") + ") のため、" + what + Quoted(value) +
                               "を正しく保存できません。");
    }
    return UpdateSql(line.table, columns_[check], value, columns_[line.key], bank_.code);
  };

  // The server, not the spelling, decides which column a name means: under its collation names
  // that differ in case, width or kana can be one column.
  const auto sameColumn = [&](const Line& line, std::size_t a, std::size_t b, std::size_t fieldA,
                              std::size_t fieldB) {
    if (!exists(a) || !exists(b) || answers[a].rows.front().at(3) != answers[b].rows.front().at(3))
      return;
    throw std::runtime_error("ファイル" + Quoted(fileName_) + "の" + std::to_string(line.number) +
                             "行目の" + ItemName(fieldA) + " " + Quoted(columns_[a]) + "と" +
                             ItemName(fieldB) + " " + Quoted(columns_[b]) +
                             "は、このデータベースでは同じ列です。キー列、名称列、カナ列は別の列"
                             "にしてください。");
  };

  std::string batch;
  for (const auto& line : lines_) {
    const bool name = exists(line.name);
    const bool kana = exists(line.kana);
    if (!name && !kana) continue;
    if (!exists(line.key)) {
      throw std::runtime_error("テーブル" + Quoted(line.table) + "にキー列" +
                               Quoted(columns_[line.key]) + "がありません。");
    }
    sameColumn(line, line.key, line.name, 1, 2);
    sameColumn(line, line.key, line.kana, 1, 3);
    sameColumn(line, line.name, line.kana, 2, 3);
    if (name) batch += update(line, line.name, bank_.name, "変更後の名称");
    if (kana) batch += update(line, line.kana, bank_.kana, "変更後のカナ");
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
