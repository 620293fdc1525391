// Per-database catalog of user tables and their columns, kept in two metadata tables inside
// each database's SQLite file so that it commits and rolls back with the data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql_types.hpp"
#include "sqlite_db.hpp"

namespace standin {

struct ColumnInfo {
  std::string name;
  SqlType type;
  bool nullable = true;
  bool primary_key = false;
  int column_id = 0;
  std::string collation;  // empty: the database's collation
};

struct TableInfo {
  std::string name;
  std::int64_t object_id = 0;
  std::string type = "U";
  std::string primary_key_name;
  std::vector<ColumnInfo> columns;

  const ColumnInfo* find_column(std::string_view column_name, bool case_sensitive = false) const;
};

namespace catalog {

inline constexpr std::string_view kObjectsTable = "__standin_objects";
inline constexpr std::string_view kColumnsTable = "__standin_columns";

// Creates the metadata tables and switches the file to WAL mode.
void initialize(SqliteDb& db);
std::optional<TableInfo> find_table(SqliteDb& db, std::string_view name,
                                    bool case_sensitive = false);
// Creates the SQLite table and records it; assigns the object id. Throws 2714 if it exists.
TableInfo create_table(SqliteDb& db, TableInfo table);
void drop_table(SqliteDb& db, const TableInfo& table);

}  // namespace catalog
}  // namespace standin
