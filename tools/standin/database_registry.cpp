// Database creation, removal and lookup.
#include "database_registry.hpp"

#include <algorithm>

#include "catalog.hpp"
#include "collations.hpp"
#include "text.hpp"

namespace standin {
namespace {

constexpr int kFirstUserDatabaseId = 5;

void remove_database_files(const std::filesystem::path& file) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(file.string() + suffix, ignored);
}

}  // namespace

DatabaseRegistry::DatabaseRegistry(std::filesystem::path directory,
                                   std::string_view server_collation)
    : directory_(std::move(directory)), registry_(directory_ / "databases.sqlite") {
  registry_.exec(
      "CREATE TABLE IF NOT EXISTS databases (database_id INTEGER PRIMARY KEY,"
      " name TEXT NOT NULL, file TEXT NOT NULL, collation TEXT NOT NULL)");
  registry_.exec("CREATE TABLE IF NOT EXISTS serials (serial INTEGER PRIMARY KEY AUTOINCREMENT)");
  auto rows = registry_.prepare(
      "SELECT database_id, name, file, collation FROM databases ORDER BY database_id");
  while (rows.step()) {
    entries_.push_back(DatabaseEntry{static_cast<int>(rows.integer(0)), rows.text(1),
                                     directory_ / rows.text(2), rows.text(3)});
  }
  const std::pair<const char*, int> system_databases[] = {
      {"master", 1}, {"tempdb", 2}, {"model", 3}, {"msdb", 4}};
  for (const auto& [name, id] : system_databases)
    if (!find_locked(name)) add(name, id, std::string(name) + ".sqlite", server_collation);
  // A kept data directory keeps the collation it was made with.
  server_collation_ = find_locked("master")->collation;
  case_sensitive_names_ = collations::case_sensitive(server_collation_);
}

DatabaseEntry DatabaseRegistry::add(std::string_view name, int id, const std::string& file_name,
                                    std::string_view collation) {
  DatabaseEntry entry{id, std::string(name), directory_ / file_name, std::string(collation)};
  remove_database_files(entry.file);
  {
    SqliteDb db(entry.file);
    catalog::initialize(db);
  }
  auto insert = registry_.prepare(
      "INSERT INTO databases (database_id, name, file, collation) VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, std::int64_t{id});
  insert.bind(2, entry.name);
  insert.bind(3, file_name);
  insert.bind(4, entry.collation);
  insert.step();
  entries_.push_back(entry);
  std::sort(entries_.begin(), entries_.end(),
            [](const auto& a, const auto& b) { return a.id < b.id; });
  return entry;
}

std::optional<DatabaseEntry> DatabaseRegistry::find_locked(std::string_view name) const {
  for (const auto& entry : entries_)
    if (text::same_name(entry.name, name, case_sensitive_names_)) return entry;
  return std::nullopt;
}

std::optional<DatabaseEntry> DatabaseRegistry::find(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return find_locked(name);
}

std::optional<DatabaseEntry> DatabaseRegistry::find(int id) const {
  std::lock_guard lock(mutex_);
  for (const auto& entry : entries_)
    if (entry.id == id) return entry;
  return std::nullopt;
}

std::vector<DatabaseEntry> DatabaseRegistry::list() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

DatabaseEntry DatabaseRegistry::create(std::string_view name, std::string_view collation) {
  std::lock_guard lock(mutex_);
  if (find_locked(name)) throw errors::database_exists(name);
  // Like SQL Server, a new database takes the lowest free id; entries_ is in id order.
  int id = kFirstUserDatabaseId;
  for (const auto& entry : entries_)
    if (entry.id == id) ++id;
  registry_.exec("INSERT INTO serials DEFAULT VALUES");
  const auto serial = sqlite3_last_insert_rowid(registry_.get());
  return add(name, id, "db" + std::to_string(serial) + ".sqlite", collation);
}

void DatabaseRegistry::drop(std::string_view name) {
  std::lock_guard lock(mutex_);
  const auto entry = find_locked(name);
  if (!entry || entry->id < kFirstUserDatabaseId) throw errors::cannot_drop_database(name);
  if (users_[entry->id] > 0) throw errors::database_in_use(entry->name);
  auto remove = registry_.prepare("DELETE FROM databases WHERE database_id = ?1");
  remove.bind(1, std::int64_t{entry->id});
  remove.step();
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const auto& e) { return e.id == entry->id; }),
                 entries_.end());
  remove_database_files(entry->file);
}

void DatabaseRegistry::alter(std::string_view name,
                             const std::function<void(DatabaseEntry&)>& change) {
  std::lock_guard lock(mutex_);
  for (auto& entry : entries_) {
    if (entry.id >= kFirstUserDatabaseId &&
        text::same_name(entry.name, name, case_sensitive_names_)) {
      change(entry);
      return;
    }
  }
  throw errors::cannot_alter_database(name);
}

void DatabaseRegistry::enter(int id) {
  std::lock_guard lock(mutex_);
  for (const auto& entry : entries_)
    if (entry.id == id && entry.single_user && users_[id] > 0)
      throw errors::database_single_user(entry.name);
  ++users_[id];
}

void DatabaseRegistry::leave(int id) {
  std::lock_guard lock(mutex_);
  --users_[id];
}

}  // namespace standin
