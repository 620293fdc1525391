// Builds one company database's UPDATE batch from a table list, the bank record and that
// database's catalog.
#pragma once

#include <string>
#include <vector>

#include "bankname/ControlFiles.hpp"
#include "sqlserver/Odbc.hpp"

namespace basCommon {

/// The work that one table list and one bank record mean for any company database: the catalog
/// questions, which are the same for every database, and the UPDATE statements that the answers
/// of a database select.
class UpdatePlan {
 public:
  /// `lines` as read from the table list `fileName`, which messages name.
  UpdatePlan(std::string fileName, const std::vector<TableLine>& lines, BankRecord bank);

  /// The statements that ask the catalog, one per distinct table and name, kana or key column:
  /// the column's type, collation, code page and id, a row when the column exists in dbo's table.
  const std::vector<std::string>& CheckStatements() const { return checks_; }

  /// All of them as one batch, joined with CR LF.
  std::string CheckSql() const;

  /// The batch for a database whose catalog gave `answers` (one result per check statement, in
  /// order): for every line whose name (then kana) column exists, an UPDATE setting it to the new
  /// value as a Unicode literal where the key column equals the bank code, each ending in CR LF.
  /// Empty when no listed column exists. Raises std::runtime_error when a table to be changed has
  /// no such key column, two of a line's key, name and kana columns are one column of the
  /// database, or a column's code page cannot hold the new text.
  std::string BatchFor(const std::vector<odbc::ResultSet>& answers) const;

 private:
  /// A line with the index of each of its columns' check; kNone for an empty column.
  struct Line {
    std::string table;
    int number;
    std::size_t key, name, kana;
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::string fileName_;
  std::vector<Line> lines_;
  std::vector<std::string> columns_;  // the column of each check, in order
  BankRecord bank_;
  std::vector<std::string> checks_;
};

/// Asks the current database's catalog in one round trip and builds its batch.
std::string BuildUpdateSql(odbc::Connection& connection, const UpdatePlan& plan);

/// The rows that the statements of an executed batch changed, all together.
long long RowsChanged(const std::vector<odbc::ResultSet>& results);

}  // namespace basCommon
