// Query, DML and expression translation.
#include "translator.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <limits>

#include "collations.hpp"
#include "sql_errors.hpp"
#include "text.hpp"

namespace standin {

using tsql::Expr;
using tsql::ExprKind;

namespace {

std::string column_alias(std::size_t index) { return "\"c" + std::to_string(index + 1) + "\""; }

std::string source_type_name(const SqlType& type) {
  if (type.is_character()) return type.is_national() ? "nvarchar" : "varchar";
  return std::string(type.base_name());
}

SqlType promote_integer(const SqlType& type) {
  if (type.kind == TypeKind::Bit || type.kind == TypeKind::TinyInt ||
      type.kind == TypeKind::SmallInt || type.kind == TypeKind::Null)
    return SqlType::integer(TypeKind::Int);
  return type;
}

// tsql_text() call making value character data of type in code_page; table and column are SQL
// text literals naming the target of an assignment, or NULL for a CAST.
std::string to_text(const std::string& value, const SqlType& type, int code_page,
                    const std::string& table, const std::string& column) {
  return "tsql_text(" + value + ", " + std::to_string(type.length) + ", " +
         std::to_string(code_page) + ", " + (type.is_fixed_length() ? "1" : "0") + ", " + table +
         ", " + column + ")";
}

std::string collated(const std::string& sql, const SqlType& type) {
  return type.is_character() ? sql + " COLLATE tsql" : sql;
}

}  // namespace

std::string Translator::qualified(const std::string& table) const {
  return context_.database + ".dbo." + table;
}

// --- tables -----------------------------------------------------------------------------

void Translator::check_schema(const tsql::ObjectName& name) const {
  const auto& parts = name.parts;
  if (parts.size() >= 2) {
    const auto& schema = parts[parts.size() - 2];
    if (!schema.empty() && !same(schema, "dbo")) throw errors::invalid_object(name.display());
  }
  if (parts.size() == 3 && !parts[0].empty() && !same(parts[0], context_.database))
    throw errors::unsupported("names in another database ('" + name.display() + "')");
}

std::optional<TableInfo> Translator::find_user_table(const tsql::ObjectName& name) {
  check_schema(name);
  return catalog::find_table(context_.db, name.object(), case_sensitive_);
}

TableInfo Translator::user_table(const tsql::ObjectName& name) {
  auto table = find_user_table(name);
  if (!table) throw errors::invalid_object(name.display());
  return *table;
}

Translator::Source Translator::source(const tsql::ObjectName& name) {
  const auto& parts = name.parts;
  const std::string schema = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
  const bool other_database =
      parts.size() == 3 && !parts[0].empty() && !same(parts[0], context_.database);
  const bool system_schema = same(schema, "sys");
  if (system_schema || schema.empty() || same(schema, "dbo")) {
    if (auto view = system_view(schema, name.object())) {
      // sys.databases is the server's: any database may name it.
      if (other_database && !same(name.object(), "databases"))
        throw errors::unsupported("names in another database ('" + name.display() + "')");
      return *view;
    }
  }
  if (system_schema) throw errors::invalid_object(name.display());
  auto table = user_table(name);
  return {name.object(), quote_name(table.name), std::move(table)};
}

// --- queries ----------------------------------------------------------------------------

std::string Translator::condition(const Expr& e) { return "SELECT " + expr(e, std::nullopt).sql; }

TranslatedQuery Translator::select(const tsql::SelectQuery& node) {
  Scope scope;
  if (node.from) scope = source(*node.from);

  TranslatedQuery result;
  std::string items;
  auto add_item = [&](const std::string& sql, ResultColumn column) {
    if (!items.empty()) items += ", ";
    items += sql + " AS " + column_alias(result.columns.size());
    result.columns.push_back(std::move(column));
  };
  for (const auto& item : node.items) {
    if (item.star) {
      if (!scope) throw errors::no_table_for_star();
      for (const auto& column : scope->table.columns)
        add_item(quote_name(scope->alias) + "." + quote_name(column.name),
                 {column.name, column.type});
      continue;
    }
    const auto value = expr(*item.expr, scope);
    std::string name = item.alias;
    if (name.empty() && item.expr->kind == ExprKind::Column) {
      // Unaliased columns are named as the catalog spells them.
      const auto* column =
          scope ? scope->table.find_column(item.expr->name.back(), case_sensitive_) : nullptr;
      name = column ? column->name : item.expr->name.back();
    }
    add_item(value.sql, {name, value.type});
  }

  std::string sql = "SELECT " + items;
  if (scope) sql += " FROM " + scope->from_sql + " AS " + quote_name(scope->alias);
  if (node.where) sql += " WHERE " + expr(*node.where, scope).sql;
  std::string order;
  for (const auto& item : node.order_by) {
    std::string term;
    if (item.expr->kind == ExprKind::Column && item.expr->name.size() == 1) {
      for (std::size_t c = 0; c < node.items.size(); ++c) {
        if (!node.items[c].alias.empty() && same(node.items[c].alias, item.expr->name.front()))
          term = collated(column_alias(c), result.columns[c].type);
      }
    }
    if (term.empty()) {
      const auto value = expr(*item.expr, scope);
      term = collated(value.sql, value.type);
    }
    order += (order.empty() ? " ORDER BY " : ", ") + term + (item.descending ? " DESC" : "");
  }
  result.sql = sql + order;
  return result;
}

// --- writes -----------------------------------------------------------------------------

TranslatedWrite Translator::insert(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(*statement.target);
  const auto& table = result.table;
  std::vector<const ColumnInfo*> targets;
  if (statement.columns.empty()) {
    for (const auto& column : table.columns) targets.push_back(&column);
  } else {
    for (const auto& name : statement.columns) {
      const auto* column = table.find_column(name, case_sensitive_);
      if (column == nullptr) throw errors::invalid_column(name);
      targets.push_back(column);
    }
  }
  std::string column_list;
  for (const auto* column : targets)
    column_list += (column_list.empty() ? "" : ", ") + quote_name(column->name);
  const std::string shown = qualified(table.name);
  std::string rows;
  for (const auto& row : statement.rows) {
    if (row.size() > targets.size()) throw errors::fewer_columns_than_values();
    if (row.size() < targets.size()) throw errors::more_columns_than_values();
    std::string values;
    for (std::size_t i = 0; i < row.size(); ++i)
      values += (i == 0 ? "" : ", ") + assign(expr(*row[i], std::nullopt), *targets[i], shown);
    rows += (rows.empty() ? " VALUES (" : ", (") + values + ")";
  }
  result.sql = "INSERT INTO " + quote_name(table.name) + " (" + column_list + ")" + rows;
  return result;
}

TranslatedWrite Translator::update(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(*statement.target);
  const Scope scope =
      Source{statement.target->object(), quote_name(result.table.name), result.table};
  const std::string shown = qualified(result.table.name);
  std::string sets;
  for (const auto& [name, value] : statement.assignments) {
    const auto* column = result.table.find_column(name, case_sensitive_);
    if (column == nullptr) throw errors::invalid_column(name);
    sets += (sets.empty() ? "" : ", ") + quote_name(column->name) + " = " +
            assign(expr(*value, scope), *column, shown);
  }
  result.sql = "UPDATE " + quote_name(result.table.name) + " AS " + quote_name(scope->alias) +
               " SET " + sets;
  if (statement.condition) result.sql += " WHERE " + expr(*statement.condition, scope).sql;
  return result;
}

TranslatedWrite Translator::remove(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(*statement.target);
  const Scope scope =
      Source{statement.target->object(), quote_name(result.table.name), result.table};
  result.sql = "DELETE FROM " + quote_name(result.table.name) + " AS " + quote_name(scope->alias);
  if (statement.condition) result.sql += " WHERE " + expr(*statement.condition, scope).sql;
  return result;
}

TableInfo Translator::table_definition(const tsql::Statement& statement) {
  check_schema(*statement.target);
  TableInfo table;
  table.name = statement.target->object();
  for (std::size_t i = 0; i < statement.definitions.size(); ++i) {
    const auto& definition = statement.definitions[i];
    ColumnInfo column;
    column.name = definition.name;
    const auto type = parse_type_name(definition.type_text);
    if (!type) throw errors::unknown_type(static_cast<int>(i + 1), definition.type_text);
    column.type = *type;
    column.primary_key = definition.primary_key;
    column.nullable = definition.nullable.value_or(true) && !definition.primary_key;
    column.collation = definition.collation;
    if (!column.collation.empty() && !column.type.is_character())
      throw errors::collate_on_type(column.type.base_name());
    if (table.find_column(column.name, case_sensitive_))
      throw errors::column_exists(column.name, table.name);
    table.columns.push_back(std::move(column));
  }
  if (std::any_of(table.columns.begin(), table.columns.end(),
                  [](const auto& c) { return c.primary_key; })) {
    // SQL Server names a key nobody named after the table and a number of its own.
    char suffix[17];
    const auto hash = std::hash<std::string>{}(context_.database + "." + table.name);
    std::snprintf(suffix, sizeof suffix, "%016llX", static_cast<unsigned long long>(hash));
    table.primary_key_name = "PK__" + table.name.substr(0, 8) + "__" + suffix;
  }
  return table;
}

// --- expressions ------------------------------------------------------------------------

Translator::Typed Translator::convert(const Typed& value, const SqlType& target) {
  if (value.type.kind == TypeKind::Null) return {"NULL", target};
  const std::string source = "'" + source_type_name(value.type) + "'";
  if (target.is_character())
    return {to_text(value.sql, target, target.is_national() ? text::kNational : code_page({}),
                    "NULL", "NULL"),
            target};
  if (target.kind == TypeKind::Bit) {
    if (value.type.kind == TypeKind::Bit) return {value.sql, target};
    return {"tsql_bit(" + value.sql + ", " + source + ")", target};
  }
  if (value.type.is_integer() && dominant_type(value.type, target).kind == target.kind)
    return {value.sql, target};
  return {"tsql_int(" + value.sql + ", " + source + ", '" + std::string(target.base_name()) + "')",
          target};
}

std::string Translator::assign(const Typed& value, const ColumnInfo& column,
                               const std::string& table) {
  if (value.type.kind == TypeKind::Null) return "NULL";
  if (!column.type.is_character()) return convert(value, column.type).sql;
  return to_text(value.sql, column.type, column_code_page(column), quote_text(table),
                 quote_text(column.name));
}

int Translator::code_page(const std::string& collation) const {
  return collations::code_page(collation.empty() ? context_.collation : collation).value();
}

int Translator::column_code_page(const ColumnInfo& column) const {
  return column.type.is_national() ? text::kNational : code_page(column.collation);
}

std::string Translator::compare(Typed left, std::string op, Typed right) {
  if (op == "!=") op = "<>";
  if (left.type.is_character() && right.type.is_character())
    return "(" + left.sql + " " + op + " " + right.sql + " COLLATE tsql)";
  // A character value meeting a number is converted to the number's type.
  if (left.type.is_character() && right.type.is_integer())
    left = convert(left, promote_integer(right.type));
  if (right.type.is_character() && left.type.is_integer())
    right = convert(right, promote_integer(left.type));
  return "(" + left.sql + " " + op + " " + right.sql + ")";
}

Translator::Typed Translator::literal(const Expr& e) {
  if (e.kind == ExprKind::Integer) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(e.text.data(), e.text.data() + e.text.size(), value);
    if (ec != std::errc() || end != e.text.data() + e.text.size())
      throw errors::arithmetic_overflow("bigint", e.text);
    const bool small = value <= std::numeric_limits<std::int32_t>::max();
    return {std::to_string(value), SqlType::integer(small ? TypeKind::Int : TypeKind::BigInt)};
  }
  if (e.kind == ExprKind::Null) return {"NULL", SqlType{}};
  // A literal without N is text of the current database's code page.
  const int page = e.national ? text::kNational : code_page({});
  const auto value = collations::to_code_page(e.text, page);
  const int size = static_cast<int>(std::max<std::size_t>(text::measure_units(value, page), 1));
  return {quote_text(value),
          SqlType::character(e.national ? TypeKind::NVarChar : TypeKind::VarChar, size)};
}

Translator::Typed Translator::column(const Expr& e, const Scope& scope) {
  const auto& parts = e.name;
  const std::string& name = parts.back();
  const std::string qualifier = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
  if (!qualifier.empty() && (!scope || !same(scope->alias, qualifier))) {
    std::string written;
    for (const auto& part : parts) written += (written.empty() ? "" : ".") + part;
    throw errors::unbound_identifier(written);
  }
  const auto* found = scope ? scope->table.find_column(name, case_sensitive_) : nullptr;
  if (found == nullptr) throw errors::invalid_column(name);
  return {quote_name(scope->alias) + "." + quote_name(found->name), found->type, found->collation};
}

Translator::Typed Translator::expr(const Expr& e, const Scope& scope) {
  const SqlType boolean = SqlType::integer(TypeKind::Bit);
  switch (e.kind) {
    case ExprKind::Null:
    case ExprKind::Integer:
    case ExprKind::String:
      return literal(e);
    case ExprKind::Column:
      return column(e, scope);
    case ExprKind::Variable:
      if (text::ascii_upper(e.text) != "@@TRANCOUNT") throw errors::undeclared_variable(e.text);
      return {std::to_string(context_.trancount), SqlType::integer(TypeKind::Int)};
    case ExprKind::Compare:
      return {compare(expr(*e.args[0], scope), e.text, expr(*e.args[1], scope)), boolean};
    case ExprKind::And:
    case ExprKind::Or:
      return {"(" + expr(*e.args[0], scope).sql + " " + e.text + " " + expr(*e.args[1], scope).sql +
                  ")",
              boolean};
    case ExprKind::Like:
      return {"tsql_like(" + expr(*e.args[0], scope).sql + ", " + expr(*e.args[1], scope).sql + ")",
              boolean};
    case ExprKind::Cast: {
      const auto target = parse_type_name(e.type_text, 30);
      if (!target) throw errors::unknown_type(1, e.type_text);
      return convert(expr(*e.args[0], scope), *target);
    }
    case ExprKind::Function:
      return function(e, scope);
    case ExprKind::Star:
      break;
  }
  throw errors::syntax_near("*");
}

}  // namespace standin
