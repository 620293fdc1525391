// The catalog views the stand-in offers (sys.databases, sys.objects, sys.tables, sys.columns,
// sysobjects, INFORMATION_SCHEMA.TABLES/COLUMNS), built as SQLite subqueries over the
// metadata tables and the database registry.
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
SqlType varchar(int length) { return SqlType::character(TypeKind::VarChar, length); }
SqlType character(int length) { return SqlType::character(TypeKind::Char, length); }
SqlType integer(TypeKind kind = TypeKind::Int) { return SqlType::integer(kind); }

const std::string kObjects = quote_name(catalog::kObjectsTable);
const std::string kColumns = quote_name(catalog::kColumnsTable);

}  // namespace

std::optional<Translator::Source> Translator::system_view(const std::string& schema,
                                                          const std::string& name) {
  const bool sys = same(schema, "sys");
  const bool dbo = schema.empty() || same(schema, "dbo");
  const bool information = same(schema, "INFORMATION_SCHEMA");
  auto is = [&](std::string_view candidate) { return same(name, candidate); };

  Source view;
  view.alias = name;
  auto& columns = view.table.columns;
  const std::string objects_sql =
      "SELECT name, object_id, 1 AS schema_id, 0 AS parent_object_id, type || ' ' AS type,"
      " CASE type WHEN 'U' THEN 'USER_TABLE' ELSE 'VIEW' END AS type_desc FROM " +
      kObjects;
  if (sys && is("databases")) {
    std::string rows;
    for (const auto& entry : context_.registry.list()) {
      // SQL Server's numbers: ONLINE 0, RESTORING 1, OFFLINE 6; MULTI_USER 0, SINGLE_USER 1.
      const auto [state, state_desc] = entry.state == DatabaseState::Online ? std::pair{0, "ONLINE"}
                                       : entry.state == DatabaseState::Restoring
                                           ? std::pair{1, "RESTORING"}
                                           : std::pair{6, "OFFLINE"};
      rows += (rows.empty() ? "" : ", ") + std::string("(") + quote_text(entry.name) + ", " +
              std::to_string(entry.id) + ", " + quote_text(entry.collation) + ", " +
              std::to_string(state) + ", " + quote_text(state_desc) + ", " +
              (entry.single_user ? "1, 'SINGLE_USER'" : "0, 'MULTI_USER'") + ", " +
              (entry.read_only ? "1" : "0") + ")";
    }
    view.from_sql =
        "(SELECT column1 AS name, column2 AS database_id, column3 AS collation_name,"
        " column4 AS state, column5 AS state_desc, column6 AS user_access,"
        " column7 AS user_access_desc, column8 AS is_read_only, 160 AS compatibility_level"
        " FROM (VALUES " +
        rows + "))";
    columns = {make_column("name", nvarchar(128)),
               make_column("database_id", integer()),
               make_column("collation_name", nvarchar(128)),
               make_column("state", integer(TypeKind::TinyInt)),
               make_column("state_desc", nvarchar(60)),
               make_column("user_access", integer(TypeKind::TinyInt)),
               make_column("user_access_desc", nvarchar(60)),
               make_column("is_read_only", integer(TypeKind::Bit)),
               make_column("compatibility_level", integer(TypeKind::TinyInt))};
  } else if (sys && (is("objects") || is("tables"))) {
    view.from_sql = "(" + objects_sql + (is("tables") ? " WHERE type = 'U'" : "") + ")";
    columns = {make_column("name", nvarchar(128)),  make_column("object_id", integer()),
               make_column("schema_id", integer()), make_column("parent_object_id", integer()),
               make_column("type", character(2)),   make_column("type_desc", nvarchar(60))};
  } else if (sys && is("columns")) {
    view.from_sql =
        "(SELECT object_id, name, column_id, system_type_id, system_type_id AS user_type_id,"
        " max_length, CASE WHEN system_type_id IN (167, 175, 231, 239) THEN coalesce(collation, " +
        quote_text(context_.collation) +
        ") END AS collation_name, nullable AS is_nullable, 0 AS is_identity FROM " + kColumns + ")";
    columns = {make_column("object_id", integer()),
               make_column("name", nvarchar(128)),
               make_column("column_id", integer()),
               make_column("system_type_id", integer(TypeKind::TinyInt)),
               make_column("user_type_id", integer()),
               make_column("max_length", integer(TypeKind::SmallInt)),
               make_column("collation_name", nvarchar(128)),
               make_column("is_nullable", integer(TypeKind::Bit)),
               make_column("is_identity", integer(TypeKind::Bit))};
  } else if ((dbo || sys) && is("sysobjects")) {
    view.from_sql =
        "(SELECT name, object_id AS id, type || ' ' AS xtype, 1 AS uid, 0 AS parent_obj,"
        " type || ' ' AS type FROM " +
        kObjects + ")";
    columns = {
        make_column("name", nvarchar(128)),   make_column("id", integer()),
        make_column("xtype", character(2)),   make_column("uid", integer(TypeKind::SmallInt)),
        make_column("parent_obj", integer()), make_column("type", character(2))};
  } else if (information && is("TABLES")) {
    view.from_sql = "(SELECT " + quote_text(context_.database) +
                    " AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, name AS TABLE_NAME,"
                    " 'BASE TABLE' AS TABLE_TYPE FROM " +
                    kObjects + " WHERE type = 'U')";
    columns = {make_column("TABLE_CATALOG", nvarchar(128)),
               make_column("TABLE_SCHEMA", nvarchar(128)), make_column("TABLE_NAME", nvarchar(128)),
               make_column("TABLE_TYPE", varchar(10))};
  } else if (information && is("COLUMNS")) {
    view.from_sql = "(SELECT " + quote_text(context_.database) +
                    " AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, o.name AS TABLE_NAME,"
                    " c.name AS COLUMN_NAME, c.column_id AS ORDINAL_POSITION,"
                    " CASE WHEN c.nullable THEN 'YES' ELSE 'NO' END AS IS_NULLABLE,"
                    " substr(c.type, 1, instr(c.type || '(', '(') - 1) AS DATA_TYPE,"
                    " c.char_length AS CHARACTER_MAXIMUM_LENGTH FROM " +
                    kColumns + " AS c JOIN " + kObjects + " AS o ON o.object_id = c.object_id)";
    columns = {make_column("TABLE_CATALOG", nvarchar(128)),
               make_column("TABLE_SCHEMA", nvarchar(128)),
               make_column("TABLE_NAME", nvarchar(128)),
               make_column("COLUMN_NAME", nvarchar(128)),
               make_column("ORDINAL_POSITION", integer()),
               make_column("IS_NULLABLE", varchar(3)),
               make_column("DATA_TYPE", nvarchar(128)),
               make_column("CHARACTER_MAXIMUM_LENGTH", integer())};
  } else {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].column_id = static_cast<int>(i + 1);
  view.table.name = name;
  return view;
}

}  // namespace standin
