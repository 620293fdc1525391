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
  std::string login;
  std::string server_name;
  std::string version;
  int trancount = 0;
  int spid = 0;
  std::int64_t rowcount = 0;
  int error = 0;
};

class Translator {
 public:
  explicit Translator(const TranslationContext& context)
      : context_(context), case_sensitive_(collations::case_sensitive(context.collation)) {}

  TranslatedQuery select(const tsql::SelectQuery& query);
  // "SELECT <expr>" for a scalar without table sources (PRINT, WAITFOR).
  TranslatedQuery scalar(const tsql::Expr& expr);
  // "SELECT CASE WHEN <condition> THEN 1 ELSE 0 END" (IF).
  std::string condition(const tsql::Expr& condition);

  TranslatedWrite insert(const tsql::Statement& statement);
  TranslatedWrite update(const tsql::Statement& statement);
  TranslatedWrite remove(const tsql::Statement& statement);

  // The user table a DDL or DML statement names; 208 when it does not exist.
  TableInfo user_table(const tsql::ObjectName& name);
  std::optional<TableInfo> find_user_table(const tsql::ObjectName& name);
  // Table definition of CREATE TABLE / columns of ALTER TABLE ADD, types resolved.
  TableInfo table_definition(const tsql::Statement& statement);
  std::vector<ColumnInfo> column_definitions(const tsql::Statement& statement);

  // The name shown in messages for a table of the current database: db.dbo.T
  std::string qualified(const std::string& table) const;

 private:
  struct Typed {
    std::string sql;
    SqlType type;
  };
  struct Source {
    std::string alias;
    std::string from_sql;
    TableInfo table;
  };
  struct Scope {
    std::vector<Source> sources;
    const Scope* parent = nullptr;
  };

  TranslatedQuery query(const tsql::SelectQuery& query, const Scope* parent);
  TranslatedQuery core(const tsql::SelectCore& core, const Scope* parent,
                       const std::vector<tsql::OrderItem>* order_by);
  Source source(const tsql::ObjectName& name, const std::string& alias);
  std::optional<Source> system_view(const std::string& schema, const std::string& name);
  void check_schema(const tsql::ObjectName& name) const;

  Typed expr(const tsql::Expr& e, const Scope& scope);
  Typed column(const tsql::Expr& e, const Scope& scope);
  Typed variable(const tsql::Expr& e);
  Typed literal(const tsql::Expr& e);
  Typed arithmetic(const tsql::Expr& e, const Scope& scope);
  Typed function(const tsql::Expr& e, const Scope& scope);
  std::string compare(Typed left, std::string op, Typed right);
  std::string in_list(const tsql::Expr& e, const Scope& scope);

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
