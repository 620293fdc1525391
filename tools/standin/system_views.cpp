// The catalog views the stand-in offers (sys.databases, sys.tables, sys.columns, sysobjects),
// built as SQLite subqueries over the metadata tables and the database registry.
#include "sql_errors.hpp"
#include "text.hpp"
#include "translator.hpp"

namespace standin {
namespace {

ColumnInfo make_column(std::string name, SqlType type) {
  ColumnInfo column;
  column.name = std::move(name);
  column.type = type;
  return column;
}

SqlType nvarchar(int length) { return SqlType::character(TypeKind::NVarChar, length); }
SqlType character(int length) { return SqlType::character(TypeKind::Char, length); }
SqlType integer(TypeKind kind = TypeKind::Int) { return SqlType::integer(kind); }

const std::string kObjects = quote_name(catalog::kObjectsTable);
const std::string kColumns = quote_name(catalog::kColumnsTable);

}  // namespace

std::optional<Translator::Source> Translator::system_view(const std::string& schema,
                                                          const std::string& name) {
  const bool sys = same(schema, "sys");
  const bool dbo = schema.empty() || same(schema, "dbo");
  auto is = [&](std::string_view candidate) { return same(name, candidate); };

  Source view;
  view.alias = name;
  auto& columns = view.table.columns;
  if (sys && is("databases")) {
    std::string rows;
    for (const auto& entry : context_.registry.list()) {
      const char* state = entry.state == DatabaseState::Online      ? "ONLINE"
                          : entry.state == DatabaseState::Restoring ? "RESTORING"
                                                                    : "OFFLINE";
      rows += (rows.empty() ? "(" : ", (") + quote_text(entry.name) + ", " +
              std::to_string(entry.id) + ", " + quote_text(entry.collation) + ", '" + state +
              (entry.single_user ? "', 'SINGLE_USER', " : "', 'MULTI_USER', ") +
              (entry.read_only ? "1" : "0") + ")";
    }
    view.from_sql =
        "(SELECT column1 AS name, column2 AS database_id, column3 AS collation_name,"
        " column4 AS state_desc, column5 AS user_access_desc, column6 AS is_read_only"
        " FROM (VALUES " +
        rows + "))";
    columns = {make_column("name", nvarchar(128)),
               make_column("database_id", integer()),
               make_column("collation_name", nvarchar(128)),
               make_column("state_desc", nvarchar(60)),
               make_column("user_access_desc", nvarchar(60)),
               make_column("is_read_only", integer(TypeKind::Bit))};
  } else if (sys && is("tables")) {
    view.from_sql = "(SELECT name, object_id FROM " + kObjects + " WHERE type = 'U')";
    columns = {make_column("name", nvarchar(128)), make_column("object_id", integer())};
  } else if (sys && is("columns")) {
    view.from_sql =
        "(SELECT object_id, name, column_id, system_type_id, max_length,"
        " CASE WHEN system_type_id IN (167, 175, 231, 239) THEN coalesce(collation, " +
        quote_text(context_.collation) + ") END AS collation_name, nullable AS is_nullable FROM " +
        kColumns + ")";
    columns = {make_column("object_id", integer()),
               make_column("name", nvarchar(128)),
               make_column("column_id", integer()),
               make_column("system_type_id", integer(TypeKind::TinyInt)),
               make_column("max_length", integer(TypeKind::SmallInt)),
               make_column("collation_name", nvarchar(128)),
               make_column("is_nullable", integer(TypeKind::Bit))};
  } else if ((dbo || sys) && is("sysobjects")) {
    view.from_sql = "(SELECT name, object_id AS id, type || ' ' AS xtype FROM " + kObjects + ")";
    columns = {make_column("name", nvarchar(128)), make_column("id", integer()),
               make_column("xtype", character(2))};
  } else {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].column_id = static_cast<int>(i + 1);
  view.table.name = name;
  return view;
}

}  // namespace standin
