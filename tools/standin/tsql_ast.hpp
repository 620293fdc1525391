// Syntax tree of the T-SQL statements the stand-in understands.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin::tsql {

struct SelectQuery;
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
  Float,
  String,
  Column,
  Variable,
  Negate,
  Arithmetic,
  Compare,
  And,
  Or,
  Not,
  IsNull,
  Like,
  In,
  Between,
  Exists,
  Function,
  Case,
  Subquery,
  Cast,
  Star,
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  std::string text;               // literal value, operator, upper-case function or variable name
  bool national = false;          // N'...'
  bool negated = false;           // NOT LIKE, NOT IN, NOT BETWEEN, IS NOT NULL
  bool distinct = false;          // COUNT(DISTINCT x)
  std::vector<std::string> name;  // column reference parts
  std::vector<ExprPtr> args;      // operands; CASE: when/then pairs
  ExprPtr operand;                // simple CASE operand
  ExprPtr otherwise;              // CASE ... ELSE
  std::unique_ptr<SelectQuery> query;  // subquery, EXISTS, IN (SELECT ...)
  std::string type_text;               // CAST/CONVERT target as written
  std::string raw;                     // source text of the leading token, for messages
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;
  bool star = false;
  std::string star_qualifier;  // t.* names t
};

enum class JoinKind { First, Comma, Inner, Left, Cross };

struct TableRef {
  ObjectName name;
  std::string alias;
  JoinKind join = JoinKind::First;
  ExprPtr on;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct SelectCore {
  bool distinct = false;
  ExprPtr top;
  std::vector<SelectItem> items;
  std::vector<TableRef> from;
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
};

struct SelectQuery {
  std::vector<SelectCore> cores;
  std::vector<bool> union_all;  // one entry between each pair of cores
  std::vector<OrderItem> order_by;
};

enum class StatementKind {
  Select,
  Insert,
  Update,
  Delete,
  Truncate,
  CreateTable,
  DropTable,
  AlterTableAdd,
  AlterDatabase,
  CreateDatabase,
  DropDatabase,
  Use,
  Set,
  Begin,
  Commit,
  Rollback,
  If,
  Block,
  WaitFor,
  Shutdown,
  Print,
  Exec,
};

struct ColumnDef {
  std::string name;
  std::string type_text;
  std::optional<bool> nullable;
  bool primary_key = false;
  ExprPtr default_value;
  std::string collation;  // empty: the database's collation
};

struct Statement {
  StatementKind kind = StatementKind::Set;
  int line = 1;
  std::unique_ptr<SelectQuery> query;      // SELECT; INSERT ... SELECT
  std::vector<ObjectName> targets;         // table(s) or database
  std::vector<std::string> columns;        // INSERT column list; table-level PRIMARY KEY
  std::vector<std::vector<ExprPtr>> rows;  // INSERT ... VALUES
  std::vector<std::pair<std::string, ExprPtr>> assignments;  // UPDATE ... SET
  ExprPtr condition;  // WHERE of UPDATE/DELETE, IF condition, WAITFOR delay, PRINT value
  std::vector<ColumnDef> definitions;
  std::string constraint_name;
  bool if_exists = false;
  std::unique_ptr<Statement> then_branch;
  std::unique_ptr<Statement> else_branch;
  std::vector<Statement> body;       // BEGIN ... END
  std::string name;                  // USE database, EXEC procedure
  std::string collation;             // CREATE DATABASE ... COLLATE; empty when not given
  std::vector<std::string> options;  // SET: the option names, upper case
  std::string value;  // SET: ON, OFF or the value as written; ALTER DATABASE: the option

  const ObjectName& target() const { return targets.front(); }
};

}  // namespace standin::tsql
