// Translates parsed T-SQL into SQLite SQL: resolves tables and columns against the catalog,
// types every expression as SQL Server would, and inserts the implicit conversions, the
// collation and the catalog views that make SQLite answer like SQL Server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog.hpp"
#include "collations.hpp"
#include "database_registry.hpp"
#include "sql_types.hpp"
#include "sqlite_db.hpp"
#include "text.hpp"
#include "tsql_ast.hpp"

namespace standin {

struct ResultColumn {
  std::string name;
  SqlType type;
};

struct TranslatedQuery {
  std::string sql;
  std::vector<ResultColumn> columns;
};

struct TranslatedWrite {
  std::string sql;
  TableInfo table;
};

// What a statement is translated against: the current database and session facts that
// system functions and variables return.
struct TranslationContext {
  SqliteDb& db;
  const DatabaseRegistry& registry;
  std::string database;
  std::string collation;  // of the current database
  int trancount = 0;
};

class Translator {
 public:
  explicit Translator(const TranslationContext& context)
      : context_(context), case_sensitive_(collations::case_sensitive(context.collation)) {}

  TranslatedQuery select(const tsql::SelectQuery& query);
  // "SELECT <condition>" (IF).
  std::string condition(const tsql::Expr& condition);

  TranslatedWrite insert(const tsql::Statement& statement);
  TranslatedWrite update(const tsql::Statement& statement);
  TranslatedWrite remove(const tsql::Statement& statement);

  // The user table a DDL or DML statement names; 208 when it does not exist.
  TableInfo user_table(const tsql::ObjectName& name);
  std::optional<TableInfo> find_user_table(const tsql::ObjectName& name);
  // Table definition of CREATE TABLE, types resolved.
  TableInfo table_definition(const tsql::Statement& statement);

  // The name shown in messages for a table of the current database: db.dbo.T
  std::string qualified(const std::string& table) const;

 private:
  struct Typed {
    Typed(std::string sql_text, SqlType sql_type, std::string column_collation = {})
        : sql(std::move(sql_text)), type(sql_type), collation(std::move(column_collation)) {}
    std::string sql;
    SqlType type;
    std::string collation;  // of a column; empty: the database's
  };
  // The table a statement reads or changes; none for a SELECT without FROM.
  struct Source {
    std::string alias;
    std::string from_sql;
    TableInfo table;
  };
  using Scope = std::optional<Source>;
  struct Function;
  static const Function* find_function(std::string_view name);

  Source source(const tsql::ObjectName& name);
  std::optional<Source> system_view(const std::string& schema, const std::string& name);
  void check_schema(const tsql::ObjectName& name) const;

  Typed expr(const tsql::Expr& e, const Scope& scope);
  Typed column(const tsql::Expr& e, const Scope& scope);
  Typed literal(const tsql::Expr& e);
  Typed function(const tsql::Expr& e, const Scope& scope);
  std::string compare(Typed left, std::string op, Typed right);

  // CAST semantics: character targets truncate silently.
  Typed convert(const Typed& value, const SqlType& target);
  // Assignment to a column: over-long text raises 2628.
  std::string assign(const Typed& value, const ColumnInfo& column, const std::string& table);
  // Code page of char/varchar data: of the collation, else of the current database.
  int code_page(const std::string& collation) const;
  int column_code_page(const ColumnInfo& column) const;  // text::kNational for national types

  // Names of tables, columns and the system views compare under the database's collation.
  bool same(std::string_view a, std::string_view b) const {
    return text::same_name(a, b, case_sensitive_);
  }

  const TranslationContext& context_;
  bool case_sensitive_;
};

}  // namespace standin
