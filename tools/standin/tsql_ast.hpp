// Syntax tree of the T-SQL statements the stand-in understands: those the tool, its tests and
// its demo send.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin::tsql {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

// A possibly qualified name: [database.][schema.]object; omitted parts are empty strings.
struct ObjectName {
  std::vector<std::string> parts;

  const std::string& object() const { return parts.back(); }
  std::string display() const;
};

enum class ExprKind {
  Null,
  Integer,
  String,
  Column,
  Variable,
  Compare,
  And,
  Or,
  Like,
  Function,
  Cast,
  Star,
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  std::string text;               // literal value, operator, upper-case function or variable name
  bool national = false;          // N'...'
  std::vector<std::string> name;  // column reference parts
  std::vector<ExprPtr> args;      // operands
  std::string type_text;          // CAST target as written
  std::string raw;                // source text of the leading token, for messages
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;
  bool star = false;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct SelectQuery {
  std::vector<SelectItem> items;
  std::optional<ObjectName> from;
  ExprPtr where;
  std::vector<OrderItem> order_by;
};

enum class StatementKind {
  Select,
  Insert,
  Update,
  Delete,
  CreateTable,
  DropTable,
  AlterDatabase,
  CreateDatabase,
  DropDatabase,
  Use,
  Set,
  Begin,
  Commit,
  Rollback,
  If,
  Shutdown,
};

struct ColumnDef {
  std::string name;
  std::string type_text;
  std::optional<bool> nullable;
  bool primary_key = false;
  std::string collation;  // empty: the database's collation
};

struct Statement {
  StatementKind kind = StatementKind::Set;
  int line = 1;
  std::unique_ptr<SelectQuery> query;      // SELECT
  std::optional<ObjectName> target;        // table of INSERT, UPDATE, DELETE, CREATE/DROP TABLE
  std::vector<std::string> columns;        // INSERT column list
  std::vector<std::vector<ExprPtr>> rows;  // INSERT ... VALUES
  std::vector<std::pair<std::string, ExprPtr>> assignments;  // UPDATE ... SET
  ExprPtr condition;                                         // WHERE of UPDATE/DELETE, IF condition
  std::vector<ColumnDef> definitions;
  std::unique_ptr<Statement> then_branch;
  std::string name;       // USE, CREATE/DROP/ALTER DATABASE: the database
  std::string collation;  // CREATE DATABASE ... COLLATE; empty when not given
  std::string option;     // SET: the option, upper case; ALTER DATABASE: the state
  std::string value;      // SET: ON, OFF or the number as written
};

}  // namespace standin::tsql
