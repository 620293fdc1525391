// The T-SQL side of one connection: current database, open transaction, one SQLite handle per
// database touched, and the execution of batches with SQL Server's error semantics.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database_registry.hpp"
#include "reply_sink.hpp"
#include "sqlite_db.hpp"
#include "tsql_ast.hpp"

namespace standin {

struct EngineSettings {
  DatabaseRegistry& registry;
  std::string server_name;  // in the server's messages
};

struct BatchOutcome {
  bool shutdown = false;   // SHUTDOWN ran
  bool cancelled = false;  // the client cancelled during a wait
};

class EngineSession {
 public:
  explicit EngineSession(const EngineSettings& settings);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // The login's database: throws SqlError 911 or 916 when it cannot be used.
  void enter_database(std::string_view name);
  const std::string& database() const noexcept { return current_.name; }
  int trancount() const noexcept { return trancount_; }

  BatchOutcome run_batch(std::string_view sql, ReplySink& sink);

  // Transaction-manager requests (packet type 0x0E). Ending a transaction when none is open
  // fails with 3902 or 3903, as COMMIT and ROLLBACK do.
  void begin_transaction(ReplySink& sink);
  void end_transaction(bool commit, bool begin_new, ReplySink& sink);

  // Reports an error raised outside any statement (an injected one) as a statement would.
  void report(const SqlError& error, ReplySink& sink);

 private:
  struct Handle {
    DatabaseEntry entry;
    std::unique_ptr<SqliteDb> db;
    bool in_transaction = false;
  };
  struct Cancelled {};

  Handle& handle(const DatabaseEntry& entry);
  // Lock waits last until LOCK_TIMEOUT has passed (never, by default) or the client cancels.
  LockWait lock_wait(int attempts);
  Handle& current() { return handle(current_); }
  TranslationContext context(SqliteDb& db) const;
  DatabaseEntry usable_database(std::string_view name) const;
  void switch_to(const DatabaseEntry& entry);

  void compile_check(const std::vector<tsql::Statement>& statements);
  void check_statement(const tsql::Statement& statement);
  // Runs one statement and reports its errors; false when the batch must stop.
  bool execute(const tsql::Statement& statement, ReplySink& sink, BatchOutcome& outcome);
  bool run(const tsql::Statement& statement, ReplySink& sink, BatchOutcome& outcome);

  void run_select(const tsql::Statement& statement, ReplySink& sink);
  void run_write(const tsql::Statement& statement, ReplySink& sink);
  void run_definition(const tsql::Statement& statement, ReplySink& sink);
  void run_database_statement(const tsql::Statement& statement, ReplySink& sink);
  void run_alter_database(const tsql::Statement& statement, ReplySink& sink);
  // 3906 when the current database is READ_ONLY.
  void check_writable() const;
  void change_database(std::string_view name, ReplySink& sink, int line);
  bool evaluate_condition(const tsql::Expr& condition);

  // Runs body inside the write transaction of handle: the open transaction (with a
  // savepoint so that a failing statement leaves no trace) or a transaction of its own.
  template <typename Body>
  auto write(Handle& handle, Body&& body);

  void begin(ReplySink& sink);
  void commit(ReplySink& sink);
  void rollback(ReplySink& sink);
  // With IMPLICIT_TRANSACTIONS ON, the statements that touch data open a transaction.
  void open_implicit_transaction(const tsql::Statement& statement, ReplySink& sink);
  // The rollback that conversion errors and deadlocks cause.
  void abort_transaction(ReplySink& sink);
  void finish_all(bool commit) noexcept;

  const EngineSettings& settings_;
  DatabaseEntry current_;
  std::map<int, std::unique_ptr<Handle>> handles_;
  int trancount_ = 0;
  bool implicit_transactions_ = false;
  std::chrono::milliseconds lock_timeout_{-1};  // SET LOCK_TIMEOUT; negative: no limit
  std::chrono::steady_clock::time_point lock_wait_start_;
  ReplySink* sink_ = nullptr;  // of the batch running
  std::exception_ptr lock_wait_failure_;
  std::uint64_t descriptor_ = 0;
  std::uint64_t next_descriptor_ = 1;
};

}  // namespace standin
