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
std::string QuestionSql(const std::string& database, const std::string& table,
                        const std::string& column) {
  return "SELECT system_type_id, collation_name, COLLATIONPROPERTY(collation_name, 'CodePage')"
         " AS CodePage, column_id FROM " +
         database + ".sys.columns WHERE name = N'" + column + "' AND object_id = Object_ID(N'" +
         odbc::EscapeApostrophes(database) + ".[dbo].[" + table + "]')";
}

/// System type ids of the columns that keep text in a code page: text, varchar, char.
bool IsCodePageType(const std::optional<std::string>& type) {
  return type == "35" || type == "167" || type == "175";
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// Code pages that hold every character a control file can carry.
bool HoldsJapanese(const std::optional<std::string>& codePage) {
  return codePage == "932" || codePage == "65001";
}

bool Exists(const std::vector<odbc::ResultSet>& answers, std::size_t question) {
  return question < answers.size() && !answers[question].rows.empty();
}

}  // namespace

UpdatePlan::UpdatePlan(std::string fileName, const std::vector<TableLine>& lines, BankRecord bank)
    : fileName_(std::move(fileName)), bank_(std::move(bank)) {
  std::unordered_map<std::string, std::size_t> asked;  // table NUL column -> question
  const auto ask = [&](const std::string& table, const std::string& column) {
    if (column.empty()) return kNone;
    const auto [found, added] = asked.try_emplace(table + '\0' + column, questions_.size());
    if (added) questions_.push_back({table, column});
    return found->second;
  };
  lines_.reserve(lines.size());
  for (const auto& line : lines) {
    if (line.nameColumn.empty() && line.kanaColumn.empty()) continue;
    const std::size_t name = ask(line.table, line.nameColumn);
    const std::size_t kana = ask(line.table, line.kanaColumn);
    lines_.push_back({line.table, line.number, ask(line.table, line.key), name, kana});
  }
}

std::string UpdatePlan::CatalogRequest(const std::string& database) const {
  const std::string quoted = odbc::QuoteIdentifier(database);
  std::string sql = "USE " + quoted;
  for (const auto& question : questions_) {
    sql += "\r\n" + QuestionSql(quoted, question.table, question.column);
  }
  return sql;
}

std::string UpdatePlan::BatchFor(const std::string& database,
                                 const std::vector<odbc::ResultSet>& answers) const {
  if (answers.size() != questions_.size()) {
    throw std::runtime_error("サーバーが列の確認に " + std::to_string(answers.size()) +
                             " 件の結果を返しました (" + std::to_string(questions_.size()) +
                             " 件のはずです)。");
  }
  const std::string quoted = odbc::QuoteIdentifier(database);
  std::string batch;
  for (const auto& line : lines_) {
    const bool name = Exists(answers, line.name);
    const bool kana = Exists(answers, line.kana);
    if (!name && !kana) continue;
    if (!Exists(answers, line.key)) {
      throw std::runtime_error("テーブル" + Quoted(line.table) + "にキー列" +
                               Quoted(questions_[line.key].column) + "がありません。");
    }
    ExpectThreeColumns(line, answers);
    if (name) batch += Update(quoted, line, line.name, bank_.name, "変更後の名称", answers);
    if (kana) batch += Update(quoted, line, line.kana, bank_.kana, "変更後のカナ", answers);
  }
  return batch;
}

// The server, not the spelling, decides which column a name means: under its collation names
// that differ in case, width or kana can be one column, which its id shows.
void UpdatePlan::ExpectThreeColumns(const Line& line,
                                    const std::vector<odbc::ResultSet>& answers) const {
  const std::pair<std::size_t, std::size_t> roles[] = {
      {1, line.key}, {2, line.name}, {3, line.kana}};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = i + 1; j < 3; ++j) {
      const auto [fieldA, a] = roles[i];
      const auto [fieldB, b] = roles[j];
      if (!Exists(answers, a) || !Exists(answers, b) ||
          answers[a].rows.front().at(3) != answers[b].rows.front().at(3)) {
        continue;
      }
      throw std::runtime_error("ファイル" + Quoted(fileName_) + "の" + std::to_string(line.number) +
                               "行目の" + ItemName(fieldA) + " " + Quoted(questions_[a].column) +
                               "と" + ItemName(fieldB) + " " + Quoted(questions_[b].column) +
                               "は、このデータベースでは同じ列です。キー列、名称列、カナ列は別の"
                               "列にしてください。");
    }
  }
}

/// The table named as the question found it, whatever the login's default schema.
std::string UpdatePlan::Update(const std::string& database, const Line& line, std::size_t question,
                               const std::string& value, const char* what,
                               const std::vector<odbc::ResultSet>& answers) const {
  const auto& column = answers[question].rows.front();
  const std::string& name = questions_[question].column;
  if (!IsAscii(value) && IsCodePageType(column.at(0)) && !HoldsJapanese(column.at(2))) {
    throw std::runtime_error("テーブル" + Quoted(line.table) + "の列" + Quoted(name) +
                             "は照合順序 " + column.at(1).value_or("") + " (コード ページ " +
                             column.at(2).value_or("不明") + ") のため、" + what + Quoted(value) +
                             "を正しく保存できません。");
  }
  return "UPDATE " + database + ".dbo." + line.table + " SET " + name + " = N'" +
         odbc::EscapeApostrophes(value) + "' WHERE " + questions_[line.key].column + " = " +
         bank_.code + "\r\n";
}

std::string BuildUpdateSql(odbc::Connection& connection, const UpdatePlan& plan,
                           const std::string& database) {
  // The switch answers no rows of its own; where a driver reports a result for it, it is left
  // out with the other results that are not queries.
  std::vector<odbc::ResultSet> answers;
  for (auto& result : connection.Execute(plan.CatalogRequest(database))) {
    if (!result.columns.empty()) answers.push_back(std::move(result));
  }
  return plan.BatchFor(database, answers);
}

long long RowsChanged(const std::vector<odbc::ResultSet>& results) {
  long long rows = 0;
  for (const auto& result : results) rows += std::max(result.rowsAffected, 0LL);
  return rows;
}

}  // namespace basCommon
