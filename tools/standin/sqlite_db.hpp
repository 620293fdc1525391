// RAII ownership of SQLite connections and prepared statements; SQLite failures become
// exceptions with a description (lock waits that run out become SQL Server error 1222, those
// the client cancels LockWaitCancelled).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "sql_errors.hpp"

namespace standin {

// A SQLite failure that has no T-SQL meaning of its own; callers may map constraint codes.
class SqliteFailure : public std::runtime_error {
 public:
  SqliteFailure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const noexcept { return code_; }

 private:
  int code_;
};

// Where the stand-in's SQL functions leave the T-SQL error that aborts their statement.
struct FunctionErrors {
  std::optional<SqlError> pending;
};

class SqliteStatement;

// What to do after a failed attempt to take a lock.
enum class LockWait { Retry, TimeOut, Cancel };

// A lock wait ended by the client's cancel.
struct LockWaitCancelled {};

class SqliteDb {
 public:
  // Opens or creates the file and registers the collation and functions translated SQL uses.
  explicit SqliteDb(const std::filesystem::path& file);

  sqlite3* get() const noexcept { return db_.get(); }
  const std::filesystem::path& file() const noexcept { return file_; }

  void exec(const std::string& sql);
  SqliteStatement prepare(const std::string& sql);
  std::int64_t changes() const noexcept { return sqlite3_changes64(db_.get()); }
  bool in_transaction() const noexcept { return sqlite3_get_autocommit(db_.get()) == 0; }

  // Throws the error for a failed call: a pending function error, 1222, LockWaitCancelled or
  // SqliteFailure.
  [[noreturn]] void fail(int code);

  // Replaces the fixed time-out of lock waits: decide is asked after each failed attempt, with
  // the number of attempts before it, and waits itself before it answers Retry. The object must
  // not move while it is set.
  void set_lock_wait(std::function<LockWait(int attempts)> decide);

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
  };
  std::filesystem::path file_;
  std::unique_ptr<FunctionErrors> errors_;
  std::unique_ptr<sqlite3, Closer> db_;
  std::function<LockWait(int)> lock_wait_;
  LockWait last_lock_wait_ = LockWait::Retry;
};

class SqliteStatement {
 public:
  SqliteStatement(SqliteDb& db, sqlite3_stmt* statement) : db_(&db), statement_(statement) {}

  // True while a row is available.
  bool step();
  void bind(int index, const std::string& value);
  void bind(int index, std::int64_t value);

  int column_count() const noexcept { return sqlite3_column_count(statement_.get()); }
  int column_type(int column) const noexcept {
    return sqlite3_column_type(statement_.get(), column);
  }
  std::int64_t integer(int column) const noexcept {
    return sqlite3_column_int64(statement_.get(), column);
  }
  std::string text(int column) const;

 private:
  struct Finalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
  };
  SqliteDb* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
};

// Quotes a name for SQLite: "name" with embedded quotes doubled.
std::string quote_name(std::string_view name);
// Quotes a text literal for SQLite: 'text' with embedded apostrophes doubled.
std::string quote_text(std::string_view text);

// Registers the collation "tsql" and the tsql_* functions (see sql_functions.cpp).
void register_sql_functions(sqlite3* db, FunctionErrors* errors);

}  // namespace standin
