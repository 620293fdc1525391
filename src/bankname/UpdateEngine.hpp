// Builds one company database's UPDATE batch from a table list, the bank record and that
// database's catalog.
#pragma once

#include <string>
#include <vector>

#include "bankname/ControlFiles.hpp"
#include "sqlserver/Odbc.hpp"

namespace basCommon {

/// The work that one table list and one bank record mean for any company database: the catalog
/// questions, one per distinct table and name, kana or key column, and the UPDATE statements
/// that the answers of a database select. Every statement names its database, so that none of
/// them runs in another one when a switch of database in the same request fails.
class UpdatePlan {
 public:
  /// `lines` as read from the table list `fileName`, which messages name.
  UpdatePlan(std::string fileName, const std::vector<TableLine>& lines, BankRecord bank);

  /// One request: the switch to `database`, then the questions, each answering the column's
  /// type, collation, code page and id in a row when the column exists in dbo's table.
  std::string CatalogRequest(const std::string& database) const;

  /// The batch for `database`, whose catalog gave `answers` (one query result per question, in
  /// order): for every line whose name (then kana) column exists, an UPDATE setting it to the new
  /// value as a Unicode literal where the key column equals the bank code, each ending in CR LF.
  /// Empty when no listed column exists. Raises std::runtime_error when a table to be changed has
  /// no such key column, two of a line's key, name and kana columns are one column of the
  /// database, or a column's code page cannot hold the new text.
  std::string BatchFor(const std::string& database,
                       const std::vector<odbc::ResultSet>& answers) const;

 private:
  /// A line with the index of each of its columns' question; kNone for an empty column.
  struct Line {
    std::string table;
    int number;
    std::size_t key, name, kana;
  };
  struct Question {
    std::string table;
    std::string column;
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void ExpectThreeColumns(const Line& line, const std::vector<odbc::ResultSet>& answers) const;
  std::string Update(const std::string& database, const Line& line, std::size_t question,
                     const std::string& value, const char* what,
                     const std::vector<odbc::ResultSet>& answers) const;

  std::string fileName_;
  std::vector<Line> lines_;
  std::vector<Question> questions_;
  BankRecord bank_;
};

/// Switches the connection to `database` and asks its catalog, in one request; its batch.
std::string BuildUpdateSql(odbc::Connection& connection, const UpdatePlan& plan,
                           const std::string& database);

/// The rows that the statements of an executed batch changed, all together.
long long RowsChanged(const std::vector<odbc::ResultSet>& results);

}  // namespace basCommon
