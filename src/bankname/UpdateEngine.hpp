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
  UpdatePlan(std::vector<TableLine> lines, BankRecord bank);

  /// The statements that ask the catalog: the column check of every listed name, kana and key
  /// column (each distinct table and column once), then, where the new text is not ASCII, the
  /// type and code page of the columns of the tables it would be written into.
  const std::vector<std::string>& CheckStatements() const { return checks_; }

  /// All of them as one batch, joined with CR LF.
  std::string CheckSql() const;

  /// The batch for a database whose catalog gave `answers` (one result per check statement, in
  /// order): for every line whose name (then kana) column exists, an UPDATE setting it to the new
  /// value as a Unicode literal where the key column equals the bank code, each ending in CR LF.
  /// Empty when no listed column exists. Raises std::runtime_error when a table to be changed has
  /// no such key column, or a column's code page cannot hold the new text.
  std::string BatchFor(const std::vector<odbc::ResultSet>& answers) const;

 private:
  struct Column {
    std::string table;
    std::string column;
    bool operator==(const Column&) const = default;
  };

  std::vector<TableLine> lines_;
  BankRecord bank_;
  std::vector<Column> checked_;           // in the order of the count checks
  std::vector<std::string> typedTables_;  // whose column types are asked for
  std::vector<std::string> checks_;
};

/// Asks the current database's catalog in one round trip and builds its batch.
std::string BuildUpdateSql(odbc::Connection& connection, const UpdatePlan& plan);

/// The rows that the statements of an executed batch changed, all together.
long long RowsChanged(const std::vector<odbc::ResultSet>& results);

}  // namespace basCommon
