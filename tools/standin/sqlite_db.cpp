// SQLite connection and statement wrappers.
#include "sqlite_db.hpp"

#include <utility>

namespace standin {

namespace {
constexpr int kBusyTimeoutMs = 3000;
}

SqliteDb::SqliteDb(const std::filesystem::path& file)
    : file_(file), errors_(std::make_unique<FunctionErrors>()) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file.string() + ": " +
                             (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  register_sql_functions(raw, errors_.get());
  // A test server need not survive power loss; syncing every file would make seeding thousands
  // of databases take minutes.
  exec("PRAGMA synchronous = OFF");
}

void SqliteDb::fail(int code) {
  if (errors_->pending) {
    SqlError error = std::move(*errors_->pending);
    errors_->pending.reset();
    throw error;
  }
  const int primary = code & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    const bool cancelled = std::exchange(last_lock_wait_, LockWait::Retry) == LockWait::Cancel;
    if (cancelled) throw LockWaitCancelled{};
    throw errors::lock_timeout();
  }
  throw SqliteFailure(code, sqlite3_errmsg(db_.get()));
}

void SqliteDb::set_lock_wait(std::function<LockWait(int attempts)> decide) {
  lock_wait_ = std::move(decide);
  sqlite3_busy_handler(
      db_.get(),
      [](void* self, int attempts) {
        auto& db = *static_cast<SqliteDb*>(self);
        db.last_lock_wait_ = db.lock_wait_(attempts);
        return db.last_lock_wait_ == LockWait::Retry ? 1 : 0;
      },
      this);
}

void SqliteDb::exec(const std::string& sql) {
  const int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
}

SqliteStatement SqliteDb::prepare(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(statement);
    fail(rc);
  }
  return SqliteStatement(*this, statement);
}

bool SqliteStatement::step() {
  const int rc = sqlite3_step(statement_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // Resetting makes SQLite undo the failed statement before the error is reported.
  sqlite3_reset(statement_.get());
  db_->fail(rc);
}

void SqliteStatement::bind(int index, const std::string& value) {
  const int rc = sqlite3_bind_text(statement_.get(), index, value.data(),
                                   static_cast<int>(value.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) db_->fail(rc);
}

void SqliteStatement::bind(int index, std::int64_t value) {
  const int rc = sqlite3_bind_int64(statement_.get(), index, value);
  if (rc != SQLITE_OK) db_->fail(rc);
}

std::string SqliteStatement::text(int column) const {
  const auto* data = sqlite3_column_text(statement_.get(), column);
  const int size = sqlite3_column_bytes(statement_.get(), column);
  if (data == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string quote_name(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string quote_text(std::string_view text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + '\'';
}

}  // namespace standin
