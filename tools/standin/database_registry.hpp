// The server's list of databases (sys.databases): one SQLite file each, recorded in
// databases.sqlite inside the data directory so that a kept data directory survives restarts.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite_db.hpp"

namespace standin {

enum class DatabaseState { Online, Restoring, Offline };

struct DatabaseEntry {
  int id = 0;
  std::string name;
  std::filesystem::path file;
  std::string collation;
  // As ALTER DATABASE ... SET or --restoring left them; not kept across restarts.
  DatabaseState state = DatabaseState::Online;
  bool read_only = false;
  bool single_user = false;
};

class DatabaseRegistry {
 public:
  // Opens the registry in directory and creates master, tempdb, model and msdb if missing, with
  // the server's collation. Database names compare under master's collation.
  DatabaseRegistry(std::filesystem::path directory, std::string_view server_collation);

  // master's collation: the default of CREATE DATABASE.
  const std::string& server_collation() const noexcept { return server_collation_; }

  std::optional<DatabaseEntry> find(std::string_view name) const;
  std::optional<DatabaseEntry> find(int id) const;
  // All databases in database_id order.
  std::vector<DatabaseEntry> list() const;

  DatabaseEntry create(std::string_view name, std::string_view collation);  // 1801 if it exists
  void drop(std::string_view name);  // 3701 if missing, 3702 while in use
  // Applies a change of state, access or updatability; 5011 if missing or a system database.
  void alter(std::string_view name, const std::function<void(DatabaseEntry&)>& change);

  // Sessions announce their current database so that DROP DATABASE can refuse. Entering a
  // SINGLE_USER database that another session uses fails with 924.
  void enter(int id);
  void leave(int id);

 private:
  DatabaseEntry add(std::string_view name, int id, const std::string& file_name,
                    std::string_view collation);
  std::optional<DatabaseEntry> find_locked(std::string_view name) const;

  mutable std::mutex mutex_;
  std::filesystem::path directory_;
  SqliteDb registry_;
  std::vector<DatabaseEntry> entries_;
  std::map<int, int> users_;
  std::string server_collation_;
  bool case_sensitive_names_ = false;
};

}  // namespace standin
