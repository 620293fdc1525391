// An ODBC driver for the access layer's tests, loaded by the driver manager like any other:
// the text of each statement names a sequence of answers that drivers other than the test
// server's give (an error record that comes with SQL_SUCCESS_WITH_INFO, results or a value that
// never end). The stand-in covers what a server can do: dead connections, failing fetches.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Record {
  const char* state;
  SQLINTEGER native;
  const char* text;
};

const Record kChangedDatabase{"01000", 5701,
                              "[Scripted][SQL Server]Changed database context to 'x'."};
const Record kInvalidObject{"42S02", 208, "[Scripted][SQL Server]Invalid object name 'Missing'."};
const Record kPrinted{"01000", 0, "[Scripted][SQL Server]printed"};
const Record kOverflow{"22003", 8115, "[Scripted][SQL Server]Arithmetic overflow error."};
const Record kTruncated{"01004", 0, "[Scripted]String data, right truncated"};

struct Handle {
  std::vector<Record> diagnostics;
};

struct Statement : Handle {
  std::string script;
  int results = 0;  // results advanced past
  int fetched = 0;  // rows fetched of the current result
};

// Every handle given out is a Handle*, whatever it points to.
Handle& HandleOf(SQLHANDLE handle) { return *static_cast<Handle*>(handle); }
Statement& StatementOf(SQLHSTMT handle) { return static_cast<Statement&>(HandleOf(handle)); }

/// Starts a call: clears the handle's diagnostics.
Statement& Begin(SQLHSTMT handle) {
  auto& statement = StatementOf(handle);
  statement.diagnostics.clear();
  return statement;
}

SQLRETURN Inform(Handle& handle, std::vector<Record> records) {
  handle.diagnostics = std::move(records);
  return SQL_SUCCESS_WITH_INFO;
}

bool Is(const Statement& statement, const char* script) { return statement.script == script; }

/// Whether the current result is a row set (one column) rather than a count of changed rows.
bool HasRows(const Statement& statement) {
  return Is(statement, "fetch error with info") || Is(statement, "value without end");
}

void CopyWide(const std::string& text, SQLWCHAR* buffer, SQLSMALLINT capacity,
              SQLSMALLINT* length) {
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(text.size());
  if (buffer == nullptr || capacity <= 0) return;
  const auto copied = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
  for (std::size_t i = 0; i < copied; ++i) buffer[i] = static_cast<SQLWCHAR>(text[i]);
  buffer[copied] = 0;
}

std::string Narrow(const SQLWCHAR* text, SQLINTEGER length) {
  std::string out;
  for (SQLINTEGER i = 0; length == SQL_NTS ? text[i] != 0 : i < length; ++i) {
    out += static_cast<char>(text[i]);
  }
  return out;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE, SQLHANDLE* result) {
  *result = type == SQL_HANDLE_STMT ? new Statement : new Handle;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (type == SQL_HANDLE_STMT) {
    delete &StatementOf(handle);
  } else {
    delete &HandleOf(handle);
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR* out,
                                    SQLSMALLINT capacity, SQLSMALLINT* length, SQLUSMALLINT) {
  CopyWide("", out, capacity, length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                              SQLSMALLINT* length) {
  switch (type) {
    case SQL_DRIVER_ODBC_VER:
      CopyWide("03.80", static_cast<SQLWCHAR*>(value),
               static_cast<SQLSMALLINT>(capacity / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR))),
               length);
      if (length != nullptr) *length = static_cast<SQLSMALLINT>(*length * 2);
      return SQL_SUCCESS;
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR:
      *static_cast<SQLUSMALLINT*>(value) = SQL_CB_PRESERVE;
      return SQL_SUCCESS;
    case SQL_GETDATA_EXTENSIONS:
      *static_cast<SQLUINTEGER*>(value) = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER;
      return SQL_SUCCESS;
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
  auto& statement = StatementOf(handle);
  statement.diagnostics.clear();
  statement.script = Narrow(text, length);
  statement.results = 0;
  statement.fetched = 0;
  if (Is(statement, "info only")) return Inform(statement, {kPrinted});
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
  auto& statement = Begin(handle);
  ++statement.results;
  if (Is(statement, "error with info") && statement.results == 1) {
    return Inform(statement, {kChangedDatabase, kInvalidObject});
  }
  if (Is(statement, "endless results")) return SQL_SUCCESS;
  return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* columns) {
  *columns = HasRows(StatementOf(handle)) ? 1 : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT, SQLLEN* count) {
  *count = 1;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT, SQLUSMALLINT, SQLWCHAR* name, SQLSMALLINT capacity,
                                  SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size,
                                  SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  CopyWide("N", name, capacity, length);
  *type = SQL_INTEGER;
  *size = 10;
  *digits = 0;
  *nullable = SQL_NO_NULLS;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  auto& statement = Begin(handle);
  ++statement.fetched;
  if (statement.fetched == 1) return SQL_SUCCESS;
  if (Is(statement, "fetch error with info")) return Inform(statement, {kPrinted, kOverflow});
  return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER value,
                             SQLLEN capacity, SQLLEN* indicator) {
  auto& statement = Begin(handle);
  // More of the value always follows, and none of it comes.
  if (Is(statement, "value without end")) {
    *indicator = 0;
    return Inform(statement, {kTruncated});
  }
  SQLSMALLINT chars = 0;
  CopyWide("7", static_cast<SQLWCHAR*>(value),
           static_cast<SQLSMALLINT>(capacity / static_cast<SQLLEN>(sizeof(SQLWCHAR))), &chars);
  *indicator = static_cast<SQLLEN>(chars * static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT, SQLUSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT number, SQLWCHAR* state,
                                 SQLINTEGER* native, SQLWCHAR* text, SQLSMALLINT capacity,
                                 SQLSMALLINT* length) {
  const auto& records = HandleOf(handle).diagnostics;
  if (number < 1 || static_cast<std::size_t>(number) > records.size()) return SQL_NO_DATA;
  const Record& record = records[static_cast<std::size_t>(number - 1)];
  CopyWide(record.state, state, 6, nullptr);
  *native = record.native;
  CopyWide(record.text, text, capacity, length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT number,
                                   SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT, SQLSMALLINT*) {
  // The driver manager asks for the number of records, then reads them with SQLGetDiagRecW.
  if (number != 0 || field != SQL_DIAG_NUMBER) return SQL_ERROR;
  *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(HandleOf(handle).diagnostics.size());
  return SQL_SUCCESS;
}

}  // extern "C"
