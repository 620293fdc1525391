// Batch execution: parse, compile checks, statement dispatch and transactions.
#include "engine_session.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "catalog.hpp"
#include "collations.hpp"
#include "text.hpp"
#include "translator.hpp"
#include "tsql_parser.hpp"

namespace standin {

using tsql::Statement;
using tsql::StatementKind;

namespace {

bool is_data_statement(StatementKind kind) {
  return kind == StatementKind::Insert || kind == StatementKind::Update ||
         kind == StatementKind::Delete || kind == StatementKind::Select;
}

// The statements that open a transaction under IMPLICIT_TRANSACTIONS ON: a SELECT only when it
// reads a table.
bool opens_implicit_transaction(const Statement& statement) {
  switch (statement.kind) {
    case StatementKind::Select:
      return statement.query->from.has_value();
    case StatementKind::Insert:
    case StatementKind::Update:
    case StatementKind::Delete:
    case StatementKind::CreateTable:
    case StatementKind::DropTable:
    case StatementKind::Begin:
      return true;
    default:
      return false;
  }
}

Value read_value(const SqliteStatement& row, int index, const SqlType& type) {
  const int storage = row.column_type(index);
  if (storage == SQLITE_NULL) return std::monostate{};
  if (type.is_character()) return row.text(index);
  return row.integer(index);
}

}  // namespace

EngineSession::EngineSession(const EngineSettings& settings) : settings_(settings) {
  current_ = *settings_.registry.find("master");
  settings_.registry.enter(current_.id);
}

EngineSession::~EngineSession() {
  finish_all(false);
  settings_.registry.leave(current_.id);
}

EngineSession::Handle& EngineSession::handle(const DatabaseEntry& entry) {
  auto found = handles_.find(entry.id);
  if (found != handles_.end() && found->second->entry.file != entry.file) {
    // The database was dropped and another took its id.
    handles_.erase(found);
    found = handles_.end();
  }
  if (found == handles_.end()) {
    auto created = std::make_unique<Handle>();
    created->entry = entry;
    created->db = std::make_unique<SqliteDb>(entry.file);
    created->db->set_lock_wait([this](int attempts) { return lock_wait(attempts); });
    found = handles_.emplace(entry.id, std::move(created)).first;
  }
  return *found->second;
}

LockWait EngineSession::lock_wait(int attempts) {
  constexpr std::chrono::milliseconds kPoll{10};
  const auto now = std::chrono::steady_clock::now();
  if (attempts == 0) lock_wait_start_ = now;
  if (lock_timeout_.count() >= 0 && now - lock_wait_start_ >= lock_timeout_)
    return LockWait::TimeOut;
  if (sink_ == nullptr) {
    // Ending a transaction outside a batch: only readers can be in the way, briefly.
    if (now - lock_wait_start_ >= std::chrono::seconds(10)) return LockWait::TimeOut;
    std::this_thread::sleep_for(kPoll);
    return LockWait::Retry;
  }
  // Nothing may be thrown through SQLite: a failure of the wait is kept for later.
  try {
    return sink_->wait(kPoll) ? LockWait::Retry : LockWait::Cancel;
  } catch (...) {
    lock_wait_failure_ = std::current_exception();
    return LockWait::Cancel;
  }
}

TranslationContext EngineSession::context(SqliteDb& db) const {
  return TranslationContext{db, settings_.registry, current_.name, current_.collation, trancount_};
}

DatabaseEntry EngineSession::usable_database(std::string_view name) const {
  const auto entry = settings_.registry.find(name);
  if (!entry) throw errors::database_missing(name);
  if (entry->state == DatabaseState::Offline) throw errors::database_offline(entry->name);
  if (entry->state == DatabaseState::Restoring) throw errors::database_restoring(entry->name);
  return *entry;
}

// Handles of databases left behind are closed unless a transaction holds them, so that a
// session visiting thousands of databases keeps only a few files open.
void EngineSession::switch_to(const DatabaseEntry& entry) {
  if (entry.id != current_.id) {
    settings_.registry.enter(entry.id);
    settings_.registry.leave(current_.id);
  }
  current_ = entry;
  std::erase_if(handles_, [&](const auto& item) {
    return item.first != entry.id && !item.second->in_transaction;
  });
}

void EngineSession::enter_database(std::string_view name) { switch_to(usable_database(name)); }

// --- batches ----------------------------------------------------------------------------

BatchOutcome EngineSession::run_batch(std::string_view sql, ReplySink& sink) {
  struct CurrentSink {
    ReplySink*& slot;
    ~CurrentSink() { slot = nullptr; }
  } current_sink{sink_};
  sink_ = &sink;
  BatchOutcome outcome;
  std::vector<Statement> statements;
  try {
    statements = tsql::parse_batch(sql);
    compile_check(statements);
  } catch (const SqlError& error) {
    sink.message(error.message(), true, std::max(error.line(), 1));
    sink.done({.error = true});
    return outcome;
  }
  for (const auto& statement : statements) {
    if (!execute(statement, sink, outcome)) break;
  }
  return outcome;
}

// SQL Server compiles the whole batch first: syntax errors and unknown columns of existing
// tables stop it before anything runs; missing tables are resolved when their statement runs.
void EngineSession::compile_check(const std::vector<Statement>& statements) {
  for (const auto& statement : statements) {
    if (statement.kind == StatementKind::Use) return;
    check_statement(statement);
  }
}

void EngineSession::check_statement(const Statement& statement) {
  auto& db = *current().db;
  const auto translation_context = context(db);
  Translator translator(translation_context);
  try {
    switch (statement.kind) {
      case StatementKind::Select:
        translator.select(*statement.query);
        break;
      case StatementKind::Insert:
        translator.insert(statement);
        break;
      case StatementKind::Update:
        translator.update(statement);
        break;
      case StatementKind::Delete:
        translator.remove(statement);
        break;
      case StatementKind::If:
        translator.condition(*statement.condition);
        check_statement(*statement.then_branch);
        break;
      default:
        break;
    }
  } catch (SqlError& error) {
    if (error.reach() != ErrorReach::Compile) return;
    if (error.line() == 0) error.set_line(statement.line);
    throw;
  }
}

bool EngineSession::execute(const Statement& statement, ReplySink& sink, BatchOutcome& outcome) {
  try {
    return run(statement, sink, outcome);
  } catch (const Cancelled&) {
    outcome.cancelled = true;
    return false;
  } catch (const LockWaitCancelled&) {
    if (lock_wait_failure_) std::rethrow_exception(std::exchange(lock_wait_failure_, nullptr));
    // As on SQL Server, the cancel ends the statement, not the transaction.
    outcome.cancelled = true;
    return false;
  } catch (const SqlError& error) {
    sink.message(error.message(), true, error.line() > 0 ? error.line() : statement.line);
    if (error.reach() == ErrorReach::Transaction) abort_transaction(sink);
    if (error.reach() == ErrorReach::Statement) {
      if (is_data_statement(statement.kind))
        sink.message(errors::statement_terminated(), false, statement.line);
      sink.done({.error = true});
      return true;
    }
    sink.done({.error = true});
    return false;
  } catch (const std::exception& failure) {
    // SQLite or translation failures without a T-SQL meaning end just the statement.
    sink.message(errors::internal(failure.what()).message(), true, statement.line);
    sink.done({.error = true});
    return true;
  }
}

bool EngineSession::run(const Statement& statement, ReplySink& sink, BatchOutcome& outcome) {
  open_implicit_transaction(statement, sink);
  switch (statement.kind) {
    case StatementKind::Select:
      run_select(statement, sink);
      break;
    case StatementKind::Insert:
    case StatementKind::Update:
    case StatementKind::Delete:
      run_write(statement, sink);
      break;
    case StatementKind::CreateTable:
    case StatementKind::DropTable:
      run_definition(statement, sink);
      break;
    case StatementKind::CreateDatabase:
    case StatementKind::DropDatabase:
      run_database_statement(statement, sink);
      break;
    case StatementKind::AlterDatabase:
      run_alter_database(statement, sink);
      break;
    case StatementKind::Use:
      change_database(statement.name, sink, statement.line);
      sink.done({});
      break;
    case StatementKind::Set:
      if (statement.option == "IMPLICIT_TRANSACTIONS")
        implicit_transactions_ = text::ascii_upper(statement.value) == "ON";
      if (statement.option == "LOCK_TIMEOUT")
        lock_timeout_ = std::chrono::milliseconds(std::atoi(statement.value.c_str()));
      sink.done({});
      break;
    case StatementKind::Begin:
      begin(sink);
      sink.done({});
      break;
    case StatementKind::Commit:
      commit(sink);
      sink.done({});
      break;
    case StatementKind::Rollback:
      rollback(sink);
      sink.done({});
      break;
    case StatementKind::If:
      if (evaluate_condition(*statement.condition))
        return execute(*statement.then_branch, sink, outcome);
      break;
    case StatementKind::Shutdown:
      sink.done({});
      outcome.shutdown = true;
      return false;
  }
  return true;
}

// --- statements -------------------------------------------------------------------------

void EngineSession::run_select(const Statement& statement, ReplySink& sink) {
  auto& db = *current().db;
  const auto translation_context = context(db);
  Translator translator(translation_context);
  auto query = translator.select(*statement.query);
  for (auto& column : query.columns)
    if (column.type.kind == TypeKind::Null) column.type = SqlType::integer(TypeKind::Int);
  auto rows = db.prepare(query.sql);
  sink.columns(query.columns);
  std::uint64_t count = 0;
  std::vector<Value> values(query.columns.size());
  while (rows.step()) {
    for (std::size_t i = 0; i < values.size(); ++i)
      values[i] = read_value(rows, static_cast<int>(i), query.columns[i].type);
    sink.row(values);
    ++count;
  }
  sink.done({.has_count = true, .count = count, .command = Command::Select});
}

template <typename Body>
auto EngineSession::write(Handle& target, Body&& body) {
  auto& db = *target.db;
  if (trancount_ > 0 && !target.in_transaction) {
    db.exec("BEGIN IMMEDIATE");
    target.in_transaction = true;
  }
  const bool nested = target.in_transaction;
  db.exec(nested ? "SAVEPOINT standin_statement" : "BEGIN IMMEDIATE");
  try {
    auto result = body(db);
    db.exec(nested ? "RELEASE standin_statement" : "COMMIT");
    return result;
  } catch (...) {
    if (db.in_transaction()) {
      sqlite3_exec(db.get(),
                   nested ? "ROLLBACK TO standin_statement; RELEASE standin_statement" : "ROLLBACK",
                   nullptr, nullptr, nullptr);
    }
    target.in_transaction = nested && db.in_transaction();
    throw;
  }
}

void EngineSession::check_writable() const {
  const auto entry = settings_.registry.find(current_.id);
  if (entry && entry->read_only) throw errors::database_read_only(entry->name);
}

void EngineSession::run_write(const Statement& statement, ReplySink& sink) {
  check_writable();
  auto& target = current();
  const auto translation_context = context(*target.db);
  Translator translator(translation_context);
  TranslatedWrite translated;
  Command command = Command::Insert;
  std::string_view verb = "INSERT";
  if (statement.kind == StatementKind::Insert) {
    translated = translator.insert(statement);
  } else if (statement.kind == StatementKind::Update) {
    translated = translator.update(statement);
    command = Command::Update;
    verb = "UPDATE";
  } else {
    translated = translator.remove(statement);
    command = Command::Delete;
    verb = "DELETE";
  }
  std::int64_t changed = 0;
  try {
    changed = write(target, [&](SqliteDb& db) {
      auto prepared = db.prepare(translated.sql);
      while (prepared.step()) {
      }
      return db.changes();
    });
  } catch (const SqliteFailure& failure) {
    const auto& table = translated.table;
    if (failure.code() == SQLITE_CONSTRAINT_NOTNULL) {
      const std::string message = failure.what();
      const auto dot = message.rfind('.');
      const auto column = dot == std::string::npos ? message : message.substr(dot + 1);
      throw errors::null_not_allowed(column, translator.qualified(table.name), verb);
    }
    if (failure.code() == SQLITE_CONSTRAINT_PRIMARYKEY ||
        failure.code() == SQLITE_CONSTRAINT_UNIQUE)
      throw errors::duplicate_key(table.primary_key_name, "dbo." + table.name);
    throw;
  }
  sink.done({.has_count = true, .count = static_cast<std::uint64_t>(changed), .command = command});
}

void EngineSession::run_definition(const Statement& statement, ReplySink& sink) {
  check_writable();
  auto& target = current();
  const auto translation_context = context(*target.db);
  Translator translator(translation_context);
  write(target, [&](SqliteDb& db) {
    if (statement.kind == StatementKind::CreateTable) {
      catalog::create_table(db, translator.table_definition(statement));
    } else if (const auto table = translator.find_user_table(*statement.target)) {
      catalog::drop_table(db, *table);
    } else {
      throw errors::cannot_drop_table(statement.target->display());
    }
    return 0;
  });
  sink.done({});
}

void EngineSession::run_database_statement(const Statement& statement, ReplySink& sink) {
  const bool create = statement.kind == StatementKind::CreateDatabase;
  if (trancount_ > 0)
    throw errors::not_in_transaction(create ? "CREATE DATABASE" : "DROP DATABASE");
  if (create) {
    settings_.registry.create(statement.name, statement.collation.empty()
                                                  ? settings_.registry.server_collation()
                                                  : std::string_view(statement.collation));
  } else {
    if (const auto entry = settings_.registry.find(statement.name)) handles_.erase(entry->id);
    settings_.registry.drop(statement.name);
  }
  sink.done({});
}

void EngineSession::run_alter_database(const Statement& statement, ReplySink& sink) {
  if (trancount_ > 0) throw errors::not_in_transaction("ALTER DATABASE");
  const std::string& option = statement.option;
  settings_.registry.alter(statement.name, [&](DatabaseEntry& entry) {
    if (option == "ONLINE" || option == "OFFLINE")
      entry.state = option == "ONLINE" ? DatabaseState::Online : DatabaseState::Offline;
    else if (option == "READ_ONLY" || option == "READ_WRITE")
      entry.read_only = option == "READ_ONLY";
    else
      entry.single_user = option == "SINGLE_USER";
  });
  sink.done({});
}

void EngineSession::change_database(std::string_view name, ReplySink& sink, int line) {
  const auto entry = usable_database(name);
  const std::string old_name = current_.name;
  switch_to(entry);
  sink.database_changed(old_name, entry.name);
  sink.message(errors::database_changed(entry.name, 1), false, line);
}

bool EngineSession::evaluate_condition(const tsql::Expr& condition) {
  auto& db = *current().db;
  const auto translation_context = context(db);
  Translator translator(translation_context);
  auto result = db.prepare(translator.condition(condition));
  return result.step() && result.integer(0) != 0;
}

// --- transactions -----------------------------------------------------------------------

void EngineSession::begin(ReplySink& sink) {
  if (trancount_++ == 0) {
    descriptor_ = next_descriptor_++;
    sink.transaction_began(descriptor_);
  }
}

void EngineSession::commit(ReplySink& sink) {
  if (trancount_ == 0) throw errors::commit_without_begin();
  if (--trancount_ == 0) {
    finish_all(true);
    sink.transaction_ended(true, descriptor_);
  }
}

void EngineSession::rollback(ReplySink& sink) {
  if (trancount_ == 0) throw errors::rollback_without_begin();
  trancount_ = 0;
  finish_all(false);
  sink.transaction_ended(false, descriptor_);
}

void EngineSession::open_implicit_transaction(const Statement& statement, ReplySink& sink) {
  if (implicit_transactions_ && trancount_ == 0 && opens_implicit_transaction(statement))
    begin(sink);
}

void EngineSession::abort_transaction(ReplySink& sink) {
  if (trancount_ == 0) return;
  trancount_ = 0;
  finish_all(false);
  sink.transaction_ended(false, descriptor_);
}

void EngineSession::report(const SqlError& error, ReplySink& sink) {
  sink.message(error.message(), true, 1);
  if (error.reach() == ErrorReach::Transaction) abort_transaction(sink);
  sink.done({.error = true});
}

void EngineSession::finish_all(bool commit) noexcept {
  for (auto& [id, entry] : handles_) {
    if (!entry->in_transaction) continue;
    auto* db = entry->db->get();
    if (sqlite3_exec(db, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK &&
        sqlite3_get_autocommit(db) == 0)
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    entry->in_transaction = false;
  }
}

void EngineSession::begin_transaction(ReplySink& sink) { begin(sink); }

void EngineSession::end_transaction(bool commit_work, bool begin_new, ReplySink& sink) {
  if (trancount_ == 0) {
    // Nothing is begun after the failure: the client's idea of an open transaction is wrong.
    report(commit_work ? errors::commit_without_begin() : errors::rollback_without_begin(), sink);
    return;
  }
  trancount_ = 0;
  finish_all(commit_work);
  sink.transaction_ended(commit_work, descriptor_);
  if (begin_new) begin(sink);
}

}  // namespace standin
