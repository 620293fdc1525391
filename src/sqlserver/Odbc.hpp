// A thin RAII layer over the ODBC API (wide-character calls) with what the tool needs of a SQL
// Server connection: open it from connection properties, run SQL text and read every result,
// and transactions.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace odbc {

/// Seconds that a connect attempt and a request may take when the settings say 0: drivers read
/// 0 as no limit, and the tool never waits without one.
inline constexpr long kDefaultLoginTimeout = 15;
inline constexpr long kDefaultCommandTimeout = 30;

/// Seconds each request of the clean-up after a failure (a rollback, a question) may take: a
/// server that does not answer them in this time is taken as not answering.
inline constexpr long kCleanupTimeout = 2;

/// One diagnostic record of the driver.
struct Diagnostic {
  std::string state;    ///< SQLSTATE; differs between drivers, so match on `native` instead
  long native = 0;      ///< the server's error number (18456, 208, ...), or the driver's own
  std::string message;  ///< the text without the driver's "[vendor][component]" prefixes

  /// Warnings and informational messages have SQLSTATE class 01; everything else is an error.
  bool IsError() const;
};

/// A failed ODBC call. what() is the text of the first record that is an error, followed, when
/// that record has no native number, by the texts of the records that have one: the description
/// a user is shown.
class Error : public std::runtime_error {
 public:
  explicit Error(std::vector<Diagnostic> records);
  explicit Error(const std::string& message);

  /// The native error number of the first error record that has one, else 0.
  long NativeError() const;
  /// The connection broke: SQLSTATE 08S01 (Microsoft's drivers, FreeTDS's failed writes), or
  /// FreeTDS's own numbers for a failed read, an end of stream or a dead connection, which it
  /// reports with SQLSTATE 01000.
  bool ConnectionLost() const;
  /// The request ran out of time (SQLSTATE HYT00, which every driver uses): the driver cancelled
  /// it, and the connection may still answer.
  bool TimedOut() const;
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
/// "Integrated Security", "User ID", "Password", "Connect Timeout", ...), in order. "Driver"
/// names the ODBC driver to use instead of the preferred installed one.
using Properties = std::vector<std::pair<std::string, std::string>>;

/// Text for the inside of a quoted SQL literal: every apostrophe doubled.
std::string EscapeApostrophes(std::string_view text);

/// A name as a bracketed SQL Server identifier: [name], every ']' doubled.
std::string QuoteIdentifier(std::string_view name);

/// The question, appended to a request or alone, whether a transaction is left open: it answers
/// the number of open transactions.
inline constexpr std::string_view kOpenTransactions = "SELECT @@TRANCOUNT";

/// What a message says of a transaction left open by `open` levels.
std::string LeftOpen(long long open);

/// The ODBC connection string and login time-out for `properties`, written for `driver`.
/// Values are quoted so that any character but the pair "};" (which FreeTDS cannot take) passes.
struct DriverConnect {
  std::string connectionString;
  long loginTimeout = kDefaultLoginTimeout;  ///< seconds, never 0: drivers read 0 as no limit
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

  /// Connects synchronously; raises Error on failure.
  void Open(const Properties& properties);
  bool IsOpen() const { return open_; }

  /// Seconds every later request may take; 0 = kDefaultCommandTimeout. Negative values are
  /// refused.
  void SetCommandTimeout(long seconds);
  long CommandTimeout() const { return commandTimeout_; }

  /// Runs `sql` as one batch and reads its results in order, one per statement. The first
  /// failure ends it: an error record on any result, whatever the driver's return code, or a
  /// failed fetch. The server's remaining work for the batch is then cancelled and the failure
  /// raised. Every driver call is made a bounded number of times, so a dead connection fails too.
  /// `limit`, when not 0, bounds this request more tightly than the command time-out.
  std::vector<ResultSet> Execute(std::string_view sql, long limit = 0);

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
  bool open_ = false;
  long commandTimeout_ = kDefaultCommandTimeout;
};

/// Runs `sql` and returns the first field of the first row of its first query as a number, as COUNT
/// queries give it; raises Error when there is no such row or the field is not a whole number.
long long QueryNumber(Connection& connection, std::string_view sql, long limit = 0);

/// The first field of a result's first row as a number; raises Error when it is not one.
long long NumberOf(const ResultSet& result);

/// A transaction begun with the first batch run through it and rolled back when destroyed
/// without Commit() or Try(), within kCleanupTimeout. It is SQL text, not the driver's
/// autocommit switch: after an error that made the server roll the transaction back (a conversion
/// error, a deadlock), drivers that begin the next transaction with the end of the last one would
/// leave the later work outside any transaction, committed statement by statement.
class Transaction {
 public:
  /// `before`: SQL that the first request runs before it begins the transaction, such as the
  /// switch to the database the transaction changes.
  explicit Transaction(Connection& connection, std::string before = {})
      : connection_(connection), before_(std::move(before)) {}
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  /// Runs `sql` inside the transaction, as Connection::Execute does; the first call begins the
  /// transaction in the same round trip (where the driver reports a result for the BEGIN, it
  /// comes first).
  std::vector<ResultSet> Execute(std::string_view sql);
  /// Runs `sql` inside the transaction and rolls the transaction back, all in one request that
  /// also asks that no transaction is left open; the results before that question. Raises Error
  /// as Execute does, or when a transaction is still open.
  std::vector<ResultSet> Try(std::string_view sql);
  /// Commits, and asks in the same request that no transaction is left open: raises Error
  /// when the commit fails or an enclosing transaction would still hold the work.
  void Commit();

 private:
  /// The text of the first request, up to and including the BEGIN.
  std::string Beginning();

  Connection& connection_;
  std::string before_;
  bool begun_ = false;
  bool done_ = false;
};

}  // namespace odbc
