// A thin RAII layer over the ODBC API (wide-character calls) with what the tool needs of a SQL
// Server connection: open it from connection properties, run SQL text and read every result,
// change the current database, and transactions.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace odbc {

/// One diagnostic record of the driver.
struct Diagnostic {
  std::string state;  ///< SQLSTATE; differs between drivers, so match on `native` instead
  long native = 0;    ///< the server's error number (18456, 208, ...), or the driver's own
  std::string message;
};

/// A failed ODBC call. what() is the first record's text, the description a user is shown.
class Error : public std::runtime_error {
 public:
  explicit Error(std::vector<Diagnostic> records);
  explicit Error(const std::string& message);

  /// The native error number of the first record that has one, else 0.
  long NativeError() const;
  const std::vector<Diagnostic>& Records() const { return records_; }

 private:
  std::vector<Diagnostic> records_;
};

/// One result of a batch: the rows of a query, or the count of rows a statement changed.
struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;
  long long rowsAffected = -1;
};

/// Connection properties under their OLE DB keywords ("Data Source", "Initial Catalog",
/// "Integrated Security", "User ID", "Password", "Connect Timeout", ...), in order.
using Properties = std::vector<std::pair<std::string, std::string>>;

/// The ODBC connection string and login time-out for `properties`, written for `driver`.
/// Values are quoted so that any character but the pair "};" (which FreeTDS cannot take) passes.
struct DriverConnect {
  std::string connectionString;
  long loginTimeout = 0;  ///< seconds; 0 = the driver's default (no time-out)
};
DriverConnect Translate(const Properties& properties, const std::string& driver);

/// The preferred SQL Server driver among those installed: Microsoft's ODBC Driver 18, 17, ...,
/// the Windows system driver "SQL Server", then FreeTDS.
std::string InstalledDriver();

class Connection {
 public:
  /// Allocates the handles; the connection is not open yet.
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Connects synchronously with the installed driver; raises Error on failure.
  void Open(const Properties& properties);
  bool IsOpen() const { return open_; }

  /// Seconds every later statement may take; 0 = no limit. Negative values are refused.
  void SetCommandTimeout(long seconds);
  long CommandTimeout() const { return commandTimeout_; }

  /// Runs `sql` as one batch and reads every result it produces. An error in any statement of
  /// the batch is raised after all results were drained, so none is lost.
  std::vector<ResultSet> Execute(std::string_view sql);

  /// Makes `name` the current database (the driver sends the USE itself, quoted).
  void SetDefaultDatabase(const std::string& name);
  std::string DefaultDatabase() const;

  void BeginTransaction();
  void Commit();
  void Rollback();

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
  bool open_ = false;
  long commandTimeout_ = 0;
};

/// Runs `sql` and returns the first field of its first row as a number, as COUNT queries give
/// it; raises Error when there is no such row or the field is not a whole number.
long long QueryNumber(Connection& connection, std::string_view sql);

/// Begins on construction; rolls back when destroyed without Commit().
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  Connection& connection_;
  bool done_ = false;
};

}  // namespace odbc
