// ODBC access layer: every call goes through Check(), which turns a failed return code into an
// odbc::Error carrying all diagnostic records.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/Platform.hpp"
#include "sqlserver/Odbc.hpp"

namespace odbc {
namespace {

SQLWCHAR* WidePtr(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

/// The text a driver wrote into `buffer`, `length` characters by its own count: a count below 0
/// is none, and one beyond the buffer (a truncated text) is what the buffer holds.
template <typename Buffer, typename Length>
std::string Narrow(const Buffer& buffer, Length length) {
  const auto chars =
      std::min(static_cast<std::size_t>(std::max<Length>(length, 0)), buffer.size() - 1);
  return platform::ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), chars));
}

/// The message without the "[vendor][component]..." prefixes that driver managers and drivers
/// put before the server's own text.
std::string WithoutPrefixes(std::string message) {
  std::size_t start = 0;
  while (start < message.size() && message[start] == '[') {
    const std::size_t close = message.find(']', start);
    if (close == std::string::npos) break;
    start = close + 1;
  }
  return message.substr(start);
}

/// Every diagnostic record of `handle`; a driver never has this many for one call.
constexpr SQLSMALLINT kMaxRecords = 64;

std::vector<Diagnostic> Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  for (SQLSMALLINT i = 1; i <= kMaxRecords; ++i) {
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> message(512);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state.data(), &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRecW(type, handle, i, state.data(), &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    // A record's text is one line in a message, whatever names the server quotes in it.
    records.push_back({Narrow(state, 5), static_cast<long>(native),
                       platform::VisibleControls(WithoutPrefixes(Narrow(message, length)))});
  }
  return records;
}

/// Raises the failure that `rc` reports: an error code, or an error record that comes with
/// SQL_SUCCESS_WITH_INFO (drivers differ in which of the two they use for a failed statement).
void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* call) {
  if (rc == SQL_SUCCESS || rc == SQL_NO_DATA) return;
  std::vector<Diagnostic> records = Diagnose(type, handle);
  if (rc == SQL_SUCCESS_WITH_INFO &&
      std::none_of(records.begin(), records.end(), [](const auto& r) { return r.IsError(); })) {
    return;
  }
  if (records.empty()) records.push_back({"HY000", 0, std::string(call) + " failed"});
  throw Error(std::move(records));
}

template <SQLSMALLINT Type>
class Handle {
 public:
  explicit Handle(SQLHANDLE parent) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(Type, parent, &handle_))) {
      handle_ = nullptr;
      throw Error("SQLAllocHandle failed: the ODBC driver manager is not usable");
    }
  }
  ~Handle() { SQLFreeHandle(Type, handle_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE get() const { return handle_; }
  void Check(SQLRETURN rc, const char* call) const { odbc::Check(rc, Type, handle_, call); }

 private:
  SQLHANDLE handle_ = nullptr;
};

using Environment = Handle<SQL_HANDLE_ENV>;
using Statement = Handle<SQL_HANDLE_STMT>;

std::unique_ptr<Environment> NewEnvironment() {
  auto env = std::make_unique<Environment>(nullptr);
  env->Check(SQLSetEnvAttr(env->get(), SQL_ATTR_ODBC_VERSION,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0),
             "SQLSetEnvAttr");
  return env;
}

bool IsFreeTds(const std::string& driver) {
  return platform::SameIgnoringAsciiCase(driver, "FreeTDS");
}

/// Braces make ';' and '=' ordinary characters. Microsoft's drivers read "}}" as one '}';
/// FreeTDS ends the value at the first "};" and unescapes nothing.
std::string Quote(std::string_view value, bool freeTds) {
  if (!freeTds) {
    std::string out = "{";
    for (const char c : value) out += c == '}' ? "}}" : std::string(1, c);
    return out + "}";
  }
  if (value.find("};") != std::string_view::npos) {
    throw Error("The FreeTDS ODBC driver cannot take a value that contains \"};\"");
  }
  return "{" + std::string(value) + "}";
}

/// Longest value read, in UTF-16 units: far beyond any name or count, and a bound on the reads.
constexpr std::size_t kMaxValueLength = 1 << 20;

std::optional<std::string> ReadValue(SQLHANDLE stmt, SQLUSMALLINT column) {
  std::u16string value;
  std::array<SQLWCHAR, 512> buffer{};
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer.data(),
                                    static_cast<SQLLEN>(sizeof buffer), &indicator);
    if (rc == SQL_NO_DATA) break;
    Check(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const std::size_t capacity = buffer.size() - 1;
    const std::size_t chars = indicator == SQL_NO_TOTAL
                                  ? capacity
                                  : std::min(capacity, static_cast<std::size_t>(indicator) / 2);
    value.append(reinterpret_cast<const char16_t*>(buffer.data()), chars);
    if (rc == SQL_SUCCESS) break;  // SUCCESS_WITH_INFO: more of the value follows
    if (chars == 0 || value.size() > kMaxValueLength) {
      throw Error("SQLGetData: the driver returned a value that does not end");
    }
  }
  return platform::ToUtf8(value);
}

/// Reads the current result: its rows, or the count of rows its statement changed.
ResultSet ReadResult(const Statement& stmt) {
  ResultSet result;
  SQLSMALLINT columns = 0;
  stmt.Check(SQLNumResultCols(stmt.get(), &columns), "SQLNumResultCols");
  if (columns <= 0) {
    SQLLEN count = -1;
    stmt.Check(SQLRowCount(stmt.get(), &count), "SQLRowCount");
    result.rowsAffected = count;
    return result;
  }
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
    std::array<SQLWCHAR, 256> name{};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    stmt.Check(SQLDescribeColW(stmt.get(), i, name.data(), static_cast<SQLSMALLINT>(name.size()),
                               &length, &type, &size, &digits, &nullable),
               "SQLDescribeColW");
    result.columns.push_back(Narrow(name, length));
  }
  // Each fetch takes a row the server sent; on a dead connection it fails.
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt.get());
    if (rc == SQL_NO_DATA) break;
    stmt.Check(rc, "SQLFetch");
    auto& row = result.rows.emplace_back();
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
      row.push_back(ReadValue(stmt.get(), i));
    }
  }
  return result;
}

/// More results than any batch of the tool has statements: a driver that keeps answering is
/// stopped here.
constexpr std::size_t kMaxResults = 100000;

}  // namespace

bool Diagnostic::IsError() const { return !state.starts_with("01"); }

std::string EscapeApostrophes(std::string_view text) {
  std::string out;
  for (const char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "[";
  for (const char c : name) quoted += c == ']' ? std::string("]]") : std::string(1, c);
  return quoted + "]";
}

std::string LeftOpen(long long open) {
  return "トランザクションが終了していません (@@TRANCOUNT = " + std::to_string(open) + ")。";
}

namespace {
std::string Description(const std::vector<Diagnostic>& records) {
  if (records.empty()) return "ODBC error";
  const auto error =
      std::find_if(records.begin(), records.end(), [](const auto& r) { return r.IsError(); });
  const auto& first = error == records.end() ? records.front() : *error;
  std::string text = first.message;
  // A driver's own summary ("Unable to connect to data source") says nothing of the cause: the
  // records with a number do.
  if (first.native == 0) {
    for (const auto& record : records) {
      if (record.native != 0 && text.find(record.message) == std::string::npos) {
        text += "\r\n" + record.message;
      }
    }
  }
  return text;
}
}  // namespace

Error::Error(std::vector<Diagnostic> records)
    : std::runtime_error(Description(records)), records_(std::move(records)) {}

Error::Error(const std::string& message) : Error(std::vector<Diagnostic>{{"HY000", 0, message}}) {}

long Error::NativeError() const {
  for (const auto& record : records_) {
    if (record.native != 0 && record.IsError()) return record.native;
  }
  return 0;
}

namespace {
/// FreeTDS's own numbers for a broken connection, which it reports with SQLSTATE 01000: a failed
/// read, a failed write, an unexpected end of stream, a dead connection.
constexpr long kFreeTdsReadFailed = 20004;
constexpr long kFreeTdsWriteFailed = 20006;
constexpr long kFreeTdsUnexpectedEof = 20017;
constexpr long kFreeTdsDeadConnection = 20047;
}  // namespace

bool Error::ConnectionLost() const {
  return std::any_of(records_.begin(), records_.end(), [](const auto& record) {
    return record.state == "08S01" || record.native == kFreeTdsReadFailed ||
           record.native == kFreeTdsWriteFailed || record.native == kFreeTdsUnexpectedEof ||
           record.native == kFreeTdsDeadConnection;
  });
}

bool Error::TimedOut() const {
  return std::any_of(records_.begin(), records_.end(),
                     [](const auto& record) { return record.state == "HYT00"; });
}

DriverConnect Translate(const Properties& properties, const std::string& driver) {
  const bool freeTds = IsFreeTds(driver);
  DriverConnect out;
  std::string& s = out.connectionString;
  s = "Driver=" + Quote(driver, freeTds) + ";";
  bool trusted = false;
  for (const auto& [keyword, value] : properties) {
    if (platform::SameIgnoringAsciiCase(keyword, "Data Source")) {
      s += "Server=" + Quote(value, freeTds) + ";";
    } else if (platform::SameIgnoringAsciiCase(keyword, "Initial Catalog")) {
      s += "Database=" + Quote(value, freeTds) + ";";
    } else if (platform::SameIgnoringAsciiCase(keyword, "User ID")) {
      s += "UID=" + Quote(value, freeTds) + ";";
    } else if (platform::SameIgnoringAsciiCase(keyword, "Password")) {
      s += "PWD=" + Quote(value, freeTds) + ";";
    } else if (platform::SameIgnoringAsciiCase(keyword, "Integrated Security")) {
      trusted = trusted || platform::SameIgnoringAsciiCase(value, "SSPI") ||
                platform::SameIgnoringAsciiCase(value, "True");
    } else if (platform::SameIgnoringAsciiCase(keyword, "LoginSecure")) {
      trusted = trusted || platform::SameIgnoringAsciiCase(value, "True");
    } else if (platform::SameIgnoringAsciiCase(keyword, "Connect Timeout")) {
      const auto [end, ec] =
          std::from_chars(value.data(), value.data() + value.size(), out.loginTimeout);
      if (ec != std::errc() || end != value.data() + value.size()) {
        throw Error("Invalid Connect Timeout value: " + value);
      }
      if (out.loginTimeout <= 0) out.loginTimeout = kDefaultLoginTimeout;
    }
    // PROVIDER and Persist Security Info have no ODBC counterpart; Driver is the caller's.
  }
  if (trusted) s += "Trusted_Connection=Yes;";
  if (freeTds) {
    // Without an explicit version FreeTDS falls back to TDS 5.0 and may hang on a server that
    // does not answer; "request" encrypts only where the server offers it.
    s += "TDS_Version=7.4;Encryption=request;";
  } else if (driver.starts_with("ODBC Driver")) {
    // Driver 18 encrypts and checks the certificate by default; the tool has to reach the
    // same servers as before, many of which have no certificate a client could check.
    s += "Encrypt=no;TrustServerCertificate=yes;";
  }
  return out;
}

namespace {
/// More drivers than any system has installed.
constexpr int kMaxDrivers = 1000;

/// The value of the "Driver" property, if there is one.
std::optional<std::string> ChosenDriver(const Properties& properties) {
  for (const auto& [keyword, value] : properties) {
    if (platform::SameIgnoringAsciiCase(keyword, "Driver")) return value;
  }
  return std::nullopt;
}
}  // namespace

std::string InstalledDriver() {
  const auto env = NewEnvironment();
  std::vector<std::string> installed;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (int i = 0; i < kMaxDrivers; ++i) {
    std::array<SQLWCHAR, 256> name{};
    std::array<SQLWCHAR, 1024> attributes{};
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    const SQLRETURN rc = SQLDriversW(
        env->get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
        attributes.data(), static_cast<SQLSMALLINT>(attributes.size()), &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    installed.push_back(Narrow(name, nameLength));
    direction = SQL_FETCH_NEXT;
  }
  for (const char* preferred : {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server",
                                "ODBC Driver 13 for SQL Server", "SQL Server Native Client 11.0",
                                "SQL Server", "FreeTDS"}) {
    for (const auto& name : installed) {
      if (platform::SameIgnoringAsciiCase(name, preferred)) return name;
    }
  }
  throw Error("No SQL Server ODBC driver is installed");
}

struct Connection::Handles {
  std::unique_ptr<Environment> env = NewEnvironment();
  Handle<SQL_HANDLE_DBC> dbc{env->get()};
};

Connection::Connection() : handles_(std::make_unique<Handles>()) {}

Connection::~Connection() {
  if (open_) SQLDisconnect(handles_->dbc.get());
}

void Connection::Open(const Properties& properties) {
  const auto target = Translate(properties, ChosenDriver(properties).value_or(InstalledDriver()));
  const auto& dbc = handles_->dbc;
  dbc.Check(SQLSetConnectAttrW(
                dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(target.loginTimeout)), 0),
            "SQLSetConnectAttrW(SQL_ATTR_LOGIN_TIMEOUT)");
  std::u16string text = platform::ToUtf16(target.connectionString);
  SQLSMALLINT outLength = 0;
  dbc.Check(
      SQLDriverConnectW(dbc.get(), nullptr, WidePtr(text), static_cast<SQLSMALLINT>(text.size()),
                        nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
      "SQLDriverConnectW");
  open_ = true;
}

void Connection::SetCommandTimeout(long seconds) {
  if (seconds < 0)
    throw Error("The command time-out cannot be negative: " + std::to_string(seconds));
  commandTimeout_ = seconds == 0 ? kDefaultCommandTimeout : seconds;
}

std::vector<ResultSet> Connection::Execute(std::string_view sql, long limit) {
  if (!open_) throw Error("The connection is not open");
  const Statement stmt(handles_->dbc.get());
  const long seconds = limit > 0 ? std::min(limit, commandTimeout_) : commandTimeout_;
  stmt.Check(SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0),
             "SQLSetStmtAttr(SQL_ATTR_QUERY_TIMEOUT)");
  std::u16string text = platform::ToUtf16(sql);
  SQLRETURN rc = SQLExecDirectW(stmt.get(), WidePtr(text), static_cast<SQLINTEGER>(text.size()));
  std::vector<ResultSet> results;
  try {
    // "No data" from the execution itself is a first statement that changed no row.
    if (rc == SQL_NO_DATA) {
      results.push_back({{}, {}, 0});
      rc = SQLMoreResults(stmt.get());
    }
    // Every statement of a batch is a result of its own, and the error of a later statement
    // shows only while advancing to it.
    while (rc != SQL_NO_DATA) {
      stmt.Check(rc, "SQLExecDirectW");
      results.push_back(ReadResult(stmt));
      if (results.size() > kMaxResults) throw Error("SQLMoreResults: the results do not end");
      rc = SQLMoreResults(stmt.get());
    }
  } catch (const Error&) {
    // Closing makes the driver cancel whatever the server still holds for this batch.
    SQLFreeStmt(stmt.get(), SQL_CLOSE);
    throw;
  }
  return results;
}

long long NumberOf(const ResultSet& result) {
  if (result.rows.empty() || result.rows.front().empty()) throw Error("The query returned no row");
  const std::string text = result.rows.front().front().value_or("");
  long long number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw Error("Not a number: \"" + text + "\"");
  }
  return number;
}

long long QueryNumber(Connection& connection, std::string_view sql, long limit) {
  for (const auto& result : connection.Execute(sql, limit)) {
    if (!result.columns.empty()) return NumberOf(result);
  }
  throw Error("The query returned no row");
}

namespace {
constexpr std::string_view kRollback = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";

/// Runs `sql`, which ends a transaction, and asks in the same request whether any is left open:
/// a transaction still open would take every later change with it when it is rolled back. The
/// results before that question; raises Error as Execute does, or when one is still open.
std::vector<ResultSet> EndTransaction(Connection& connection, const std::string& sql) {
  auto results = connection.Execute(sql + "\r\n" + std::string(kOpenTransactions));
  if (results.empty()) throw Error("The query returned no row");
  if (const long long open = NumberOf(results.back()); open != 0) throw Error(LeftOpen(open));
  results.pop_back();
  return results;
}
}  // namespace

std::string Transaction::Beginning() {
  if (begun_) return {};
  begun_ = true;
  return (before_.empty() ? "" : before_ + "\r\n") + "BEGIN TRANSACTION\r\n";
}

std::vector<ResultSet> Transaction::Execute(std::string_view sql) {
  return connection_.Execute(Beginning() + std::string(sql));
}

std::vector<ResultSet> Transaction::Try(std::string_view sql) {
  auto results =
      EndTransaction(connection_, Beginning() + std::string(sql) + "\r\n" + std::string(kRollback));
  done_ = true;
  return results;
}

// After a failure the destructor still tries the rollback: what is left open goes with it.
void Transaction::Commit() {
  if (begun_) EndTransaction(connection_, "COMMIT TRANSACTION");
  done_ = true;
}

Transaction::~Transaction() {
  if (!begun_ || done_) return;
  try {
    // The server may have rolled it back already; then there is nothing to end.
    connection_.Execute(kRollback, kCleanupTimeout);
  } catch (const Error&) {
    // A lost connection has no transaction left; the server discards it.
  }
}

}  // namespace odbc
