// Catalog storage: __standin_objects lists the tables, __standin_columns their columns.
#include "catalog.hpp"

#include <limits>

#include "text.hpp"

namespace standin {

const ColumnInfo* TableInfo::find_column(std::string_view column_name, bool case_sensitive) const {
  for (const auto& column : columns)
    if (text::same_name(column.name, column_name, case_sensitive)) return &column;
  return nullptr;
}

namespace catalog {
namespace {

// Object ids look like SQL Server's: large and spaced apart.
constexpr std::int64_t kFirstObjectId = 581577110;
constexpr std::int64_t kObjectIdStep = 16000057;

std::string storage_type(const SqlType& type) {
  if (type.is_character()) return "TEXT COLLATE tsql";
  return "INTEGER";
}

std::string column_sql(const ColumnInfo& column) {
  std::string sql = quote_name(column.name) + " " + storage_type(column.type);
  if (!column.nullable) sql += " NOT NULL";
  return sql;
}

void record_column(SqliteDb& db, std::int64_t object_id, const ColumnInfo& column) {
  auto insert = db.prepare("INSERT INTO " + std::string(kColumnsTable) +
                           " (object_id, column_id, name, type, nullable, primary_key,"
                           " system_type_id, max_length, char_length, collation)"
                           " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
  insert.bind(1, object_id);
  insert.bind(2, std::int64_t{column.column_id});
  insert.bind(3, column.name);
  insert.bind(4, column.type.name());
  insert.bind(5, std::int64_t{column.nullable ? 1 : 0});
  insert.bind(6, std::int64_t{column.primary_key ? 1 : 0});
  insert.bind(7, std::int64_t{column.type.system_type_id()});
  insert.bind(8, std::int64_t{column.type.max_length_bytes()});
  if (column.type.is_character()) insert.bind(9, std::int64_t{column.type.length});
  if (!column.collation.empty()) insert.bind(10, column.collation);
  insert.step();
}

}  // namespace

void initialize(SqliteDb& db) {
  db.exec("PRAGMA journal_mode = WAL");
  db.exec("CREATE TABLE IF NOT EXISTS " + std::string(kObjectsTable) +
          " (object_id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE tsql UNIQUE,"
          " type TEXT NOT NULL, primary_key_name TEXT)");
  db.exec("CREATE TABLE IF NOT EXISTS " + std::string(kColumnsTable) +
          " (object_id INTEGER NOT NULL, column_id INTEGER NOT NULL,"
          " name TEXT NOT NULL COLLATE tsql, type TEXT NOT NULL, nullable INTEGER NOT NULL,"
          " primary_key INTEGER NOT NULL, system_type_id INTEGER NOT NULL,"
          " max_length INTEGER NOT NULL, char_length INTEGER, collation TEXT,"
          " PRIMARY KEY (object_id, column_id))");
}

std::optional<TableInfo> find_table(SqliteDb& db, std::string_view name, bool case_sensitive) {
  auto lookup = db.prepare("SELECT object_id, name, type, primary_key_name FROM " +
                           std::string(kObjectsTable) + " WHERE name = ?1");
  lookup.bind(1, std::string(name));
  if (!lookup.step() || !text::same_name(lookup.text(1), name, case_sensitive)) return std::nullopt;
  TableInfo table;
  table.object_id = lookup.integer(0);
  table.name = lookup.text(1);
  table.type = lookup.text(2);
  table.primary_key_name = lookup.text(3);
  auto columns =
      db.prepare("SELECT column_id, name, type, nullable, primary_key, collation FROM " +
                 std::string(kColumnsTable) + " WHERE object_id = ?1 ORDER BY column_id");
  columns.bind(1, table.object_id);
  while (columns.step()) {
    ColumnInfo column;
    column.column_id = static_cast<int>(columns.integer(0));
    column.name = columns.text(1);
    column.type = parse_type_name(columns.text(2)).value_or(SqlType::integer(TypeKind::Int));
    column.nullable = columns.integer(3) != 0;
    column.primary_key = columns.integer(4) != 0;
    column.collation = columns.text(5);
    table.columns.push_back(std::move(column));
  }
  return table;
}

TableInfo create_table(SqliteDb& db, TableInfo table) {
  if (find_table(db, table.name)) throw errors::object_exists(table.name);
  auto last = db.prepare("SELECT max(object_id) FROM " + std::string(kObjectsTable));
  last.step();
  std::int64_t id = kFirstObjectId;
  if (last.column_type(0) != SQLITE_NULL) {
    const auto previous = last.integer(0);
    id = previous + kObjectIdStep <= std::numeric_limits<std::int32_t>::max()
             ? previous + kObjectIdStep
             : previous + 1;
  }
  table.object_id = id;

  std::string ddl = "CREATE TABLE " + quote_name(table.name) + " (";
  std::string key;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    auto& column = table.columns[i];
    column.column_id = static_cast<int>(i + 1);
    if (i > 0) ddl += ", ";
    ddl += column_sql(column);
    if (column.primary_key) key += (key.empty() ? "" : ", ") + quote_name(column.name);
  }
  if (!key.empty()) ddl += ", PRIMARY KEY (" + key + ")";
  ddl += ")";
  db.exec(ddl);

  auto insert = db.prepare("INSERT INTO " + std::string(kObjectsTable) +
                           " (object_id, name, type, primary_key_name) VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, table.object_id);
  insert.bind(2, table.name);
  insert.bind(3, table.type);
  insert.bind(4, table.primary_key_name);
  insert.step();
  for (const auto& column : table.columns) record_column(db, table.object_id, column);
  return table;
}

void drop_table(SqliteDb& db, const TableInfo& table) {
  db.exec("DROP TABLE " + quote_name(table.name));
  auto objects = db.prepare("DELETE FROM " + std::string(kObjectsTable) + " WHERE object_id = ?1");
  objects.bind(1, table.object_id);
  objects.step();
  auto columns = db.prepare("DELETE FROM " + std::string(kColumnsTable) + " WHERE object_id = ?1");
  columns.bind(1, table.object_id);
  columns.step();
}

}  // namespace catalog
}  // namespace standin
