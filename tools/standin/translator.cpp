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

// Message name of the character type a value is converted from.
std::string_view character_source(const SqlType& type) {
  return type.is_national() ? "nvarchar" : "varchar";
}

std::string source_type_name(const SqlType& type) {
  if (type.is_character()) return std::string(character_source(type));
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

Translator::Source Translator::source(const tsql::ObjectName& name, const std::string& alias) {
  const auto& parts = name.parts;
  const std::string schema = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
  const bool other_database =
      parts.size() == 3 && !parts[0].empty() && !same(parts[0], context_.database);
  const bool system_schema = same(schema, "sys") || same(schema, "INFORMATION_SCHEMA");
  if (system_schema || schema.empty() || same(schema, "dbo")) {
    if (auto view = system_view(schema, name.object())) {
      const bool server_wide = same(name.object(), "databases");
      if (other_database && !server_wide)
        throw errors::unsupported("names in another database ('" + name.display() + "')");
      if (!alias.empty()) view->alias = alias;
      return *view;
    }
  }
  if (system_schema) throw errors::invalid_object(name.display());
  auto table = find_user_table(name);
  if (!table) throw errors::invalid_object(name.display());
  Source result;
  result.alias = alias.empty() ? name.object() : alias;
  result.from_sql = quote_name(table->name);
  result.table = std::move(*table);
  return result;
}

// --- queries ----------------------------------------------------------------------------

TranslatedQuery Translator::select(const tsql::SelectQuery& query_node) {
  return query(query_node, nullptr);
}

TranslatedQuery Translator::scalar(const Expr& e) {
  const Scope scope;
  const auto value = expr(e, scope);
  return {"SELECT " + value.sql, {{"", value.type}}};
}

std::string Translator::condition(const Expr& e) {
  const Scope scope;
  return "SELECT CASE WHEN " + expr(e, scope).sql + " THEN 1 ELSE 0 END";
}

TranslatedQuery Translator::query(const tsql::SelectQuery& node, const Scope* parent) {
  if (node.cores.size() == 1) return core(node.cores.front(), parent, &node.order_by);

  std::vector<TranslatedQuery> parts;
  for (const auto& part : node.cores) parts.push_back(core(part, parent, nullptr));
  TranslatedQuery result;
  result.columns = parts.front().columns;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].columns.size() != result.columns.size()) {
      throw SqlError(205, 16, 1,
                     "All queries combined using a UNION, INTERSECT or EXCEPT operator must have "
                     "an equal number of expressions in their target lists.",
                     ErrorReach::Compile);
    }
    for (std::size_t c = 0; c < result.columns.size(); ++c)
      result.columns[c].type = dominant_type(result.columns[c].type, parts[i].columns[c].type);
    if (i > 0) result.sql += node.union_all[i - 1] ? " UNION ALL " : " UNION ";
    result.sql += "SELECT * FROM (" + parts[i].sql + ")";
  }
  std::string order;
  for (const auto& item : node.order_by) {
    std::size_t index = result.columns.size();
    if (item.expr->kind == ExprKind::Integer) {
      index = static_cast<std::size_t>(std::stoul(item.expr->text)) - 1;
    } else if (item.expr->kind == ExprKind::Column && item.expr->name.size() == 1) {
      for (std::size_t c = 0; c < result.columns.size(); ++c)
        if (same(result.columns[c].name, item.expr->name.front())) index = c;
    }
    if (index >= result.columns.size()) {
      throw SqlError(104, 16, 1,
                     "ORDER BY items must appear in the select list if the statement contains a "
                     "UNION, INTERSECT or EXCEPT operator.",
                     ErrorReach::Compile);
    }
    order += (order.empty() ? " ORDER BY " : ", ") +
             collated(std::to_string(index + 1), result.columns[index].type) +
             (item.descending ? " DESC" : "");
  }
  result.sql += order;
  return result;
}

TranslatedQuery Translator::core(const tsql::SelectCore& node, const Scope* parent,
                                 const std::vector<tsql::OrderItem>* order_by) {
  Scope scope;
  scope.parent = parent;
  std::string from;
  for (const auto& ref : node.from) {
    scope.sources.push_back(source(ref.name, ref.alias));
    const auto& added = scope.sources.back();
    const std::string item = added.from_sql + " AS " + quote_name(added.alias);
    switch (ref.join) {
      case tsql::JoinKind::First:
        from = " FROM " + item;
        break;
      case tsql::JoinKind::Comma:
        from += ", " + item;
        break;
      case tsql::JoinKind::Cross:
        from += " CROSS JOIN " + item;
        break;
      case tsql::JoinKind::Inner:
      case tsql::JoinKind::Left:
        from += (ref.join == tsql::JoinKind::Left ? " LEFT JOIN " : " JOIN ") + item + " ON " +
                expr(*ref.on, scope).sql;
        break;
    }
  }

  TranslatedQuery result;
  std::string items;
  auto add_item = [&](const std::string& sql, ResultColumn column) {
    if (!items.empty()) items += ", ";
    items += sql + " AS " + column_alias(result.columns.size());
    result.columns.push_back(std::move(column));
  };
  for (const auto& item : node.items) {
    if (!item.star) {
      const auto value = expr(*item.expr, scope);
      std::string name = item.alias;
      if (name.empty() && item.expr->kind == ExprKind::Column) {
        // Unaliased columns are named as the catalog spells them.
        for (const auto& candidate : scope.sources)
          if (const auto* column =
                  candidate.table.find_column(item.expr->name.back(), case_sensitive_))
            name = column->name;
        if (name.empty()) name = item.expr->name.back();
      }
      add_item(value.sql, {name, value.type});
      continue;
    }
    if (scope.sources.empty())
      throw SqlError(263, 16, 1, "Must specify table to select from.", ErrorReach::Compile);
    bool matched = false;
    for (const auto& candidate : scope.sources) {
      if (!item.star_qualifier.empty() && !same(candidate.alias, item.star_qualifier)) continue;
      matched = true;
      for (const auto& column : candidate.table.columns)
        add_item(quote_name(candidate.alias) + "." + quote_name(column.name),
                 {column.name, column.type});
    }
    if (!matched) throw errors::unbound_identifier(item.star_qualifier + ".*");
  }

  std::string sql = node.distinct ? "SELECT DISTINCT " : "SELECT ";
  sql += items + from;
  if (node.where) sql += " WHERE " + expr(*node.where, scope).sql;
  if (!node.group_by.empty()) {
    std::string group;
    for (const auto& key : node.group_by) {
      const auto value = expr(*key, scope);
      group += (group.empty() ? " GROUP BY " : ", ") + collated(value.sql, value.type);
    }
    sql += group;
  }
  if (node.having) sql += " HAVING " + expr(*node.having, scope).sql;
  if (order_by != nullptr && !order_by->empty()) {
    std::string order;
    for (const auto& item : *order_by) {
      std::string term;
      if (item.expr->kind == ExprKind::Integer) {
        const auto position = std::stoul(item.expr->text);
        if (position < 1 || position > result.columns.size()) {
          throw SqlError(108, 15, 1,
                         "The ORDER BY position number " + item.expr->text +
                             " is out of range of the number of items in the select list.",
                         ErrorReach::Compile);
        }
        term = collated(column_alias(position - 1), result.columns[position - 1].type);
      }
      if (term.empty() && item.expr->kind == ExprKind::Column && item.expr->name.size() == 1) {
        for (std::size_t c = 0; c < node.items.size() && c < result.columns.size(); ++c) {
          if (!node.items[c].star && !node.items[c].alias.empty() &&
              same(node.items[c].alias, item.expr->name.front()))
            term = collated(column_alias(c), result.columns[c].type);
        }
      }
      if (term.empty()) {
        const auto value = expr(*item.expr, scope);
        term = collated(value.sql, value.type);
      }
      order += (order.empty() ? " ORDER BY " : ", ") + term + (item.descending ? " DESC" : "");
    }
    sql += order;
  }
  if (node.top) sql += " LIMIT " + expr(*node.top, scope).sql;
  result.sql = std::move(sql);
  return result;
}

// --- writes -----------------------------------------------------------------------------

TranslatedWrite Translator::insert(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(statement.target());
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
  result.sql = "INSERT INTO " + quote_name(table.name) + " (" + column_list + ")";

  if (statement.query) {
    const auto selected = select(*statement.query);
    if (selected.columns.size() != targets.size()) {
      const bool fewer = selected.columns.size() < targets.size();
      throw SqlError(fewer ? 120 : 121, 15, 1,
                     std::string("The select list for the INSERT statement contains ") +
                         (fewer ? "fewer" : "more") +
                         " items than the insert list. The number of SELECT values must match "
                         "the number of INSERT columns.",
                     ErrorReach::Compile);
    }
    std::string values;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const Typed value{column_alias(i), selected.columns[i].type};
      values += (i == 0 ? "" : ", ") + assign(value, *targets[i], shown);
    }
    result.sql += " SELECT " + values + " FROM (" + selected.sql + ")";
    return result;
  }

  const Scope scope;
  std::string rows;
  for (const auto& row : statement.rows) {
    if (row.size() > targets.size()) throw errors::fewer_columns_than_values();
    if (row.size() < targets.size()) throw errors::more_columns_than_values();
    std::string values;
    for (std::size_t i = 0; i < row.size(); ++i)
      values += (i == 0 ? "" : ", ") + assign(expr(*row[i], scope), *targets[i], shown);
    rows += (rows.empty() ? " VALUES (" : ", (") + values + ")";
  }
  result.sql += rows;
  return result;
}

TranslatedWrite Translator::update(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(statement.target());
  Scope scope;
  scope.sources.push_back(
      {statement.target().object(), quote_name(result.table.name), result.table});
  const std::string shown = qualified(result.table.name);
  std::string sets;
  for (const auto& [name, value] : statement.assignments) {
    const auto* column = result.table.find_column(name, case_sensitive_);
    if (column == nullptr) throw errors::invalid_column(name);
    sets += (sets.empty() ? "" : ", ") + quote_name(column->name) + " = " +
            assign(expr(*value, scope), *column, shown);
  }
  result.sql = "UPDATE " + quote_name(result.table.name) + " AS " +
               quote_name(scope.sources.front().alias) + " SET " + sets;
  if (statement.condition) result.sql += " WHERE " + expr(*statement.condition, scope).sql;
  return result;
}

TranslatedWrite Translator::remove(const tsql::Statement& statement) {
  TranslatedWrite result;
  result.table = user_table(statement.target());
  Scope scope;
  scope.sources.push_back(
      {statement.target().object(), quote_name(result.table.name), result.table});
  result.sql = "DELETE FROM " + quote_name(result.table.name) + " AS " +
               quote_name(scope.sources.front().alias);
  if (statement.condition) result.sql += " WHERE " + expr(*statement.condition, scope).sql;
  return result;
}

std::vector<ColumnInfo> Translator::column_definitions(const tsql::Statement& statement) {
  std::vector<ColumnInfo> columns;
  const Scope scope;
  for (std::size_t i = 0; i < statement.definitions.size(); ++i) {
    const auto& definition = statement.definitions[i];
    ColumnInfo column;
    column.name = definition.name;
    const auto type = parse_type_name(definition.type_text);
    if (!type) throw errors::unknown_type(static_cast<int>(i + 1), definition.type_text);
    column.type = *type;
    column.primary_key = definition.primary_key;
    column.nullable = definition.nullable.value_or(!definition.primary_key);
    column.collation = definition.collation;
    if (!column.collation.empty() && !column.type.is_character())
      throw errors::collate_on_type(column.type.base_name());
    if (definition.default_value) {
      const auto value = expr(*definition.default_value, scope);
      column.default_sql =
          column.type.is_character()
              ? to_text(value.sql, column.type, column_code_page(column), "NULL", "NULL")
              : convert(value, column.type).sql;
    }
    for (const auto& other : columns)
      if (same(other.name, column.name))
        throw errors::column_exists(column.name, statement.target().object());
    columns.push_back(std::move(column));
  }
  return columns;
}

TableInfo Translator::table_definition(const tsql::Statement& statement) {
  check_schema(statement.target());
  TableInfo table;
  table.name = statement.target().object();
  table.columns = column_definitions(statement);
  for (const auto& name : statement.columns) {
    bool found = false;
    for (auto& column : table.columns) {
      if (same(column.name, name)) {
        column.primary_key = true;
        column.nullable = false;
        found = true;
      }
    }
    if (!found) {
      throw SqlError(1911, 16, 1,
                     "Column name '" + name + "' does not exist in the target table or view.",
                     ErrorReach::Statement);
    }
  }
  for (auto& column : table.columns)
    if (column.primary_key) column.nullable = false;
  const bool has_key = std::any_of(table.columns.begin(), table.columns.end(),
                                   [](const auto& c) { return c.primary_key; });
  if (has_key) {
    table.primary_key_name = statement.constraint_name;
    if (table.primary_key_name.empty()) {
      char suffix[17];
      const auto hash = std::hash<std::string>{}(context_.database + "." + table.name);
      std::snprintf(suffix, sizeof suffix, "%016llX", static_cast<unsigned long long>(hash));
      table.primary_key_name = "PK__" + table.name.substr(0, 8) + "__" + suffix;
    }
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
  if (target.kind == TypeKind::Float) {
    if (value.type.is_numeric()) return {"CAST(" + value.sql + " AS REAL)", target};
    return {"tsql_float(" + value.sql + ", " + source + ")", target};
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
  if (op == "!<") op = ">=";
  if (op == "!>") op = "<=";
  if (left.type.is_character() && right.type.is_character())
    return "(" + left.sql + " " + op + " " + right.sql + " COLLATE tsql)";
  // A character value meeting a number is converted to the number's type.
  if (left.type.is_character() && right.type.is_numeric())
    left = convert(left, promote_integer(right.type));
  if (right.type.is_character() && left.type.is_numeric())
    right = convert(right, promote_integer(left.type));
  return "(" + left.sql + " " + op + " " + right.sql + ")";
}

std::string Translator::in_list(const Expr& e, const Scope& scope) {
  auto subject = expr(*e.args.front(), scope);
  std::string sql;
  if (e.query) {
    const auto inner = query(*e.query, &scope);
    const auto& inner_type = inner.columns.front().type;
    if (subject.type.is_character() && inner_type.is_numeric())
      subject = convert(subject, promote_integer(inner_type));
    std::string inner_sql = "SELECT c1 FROM (" + inner.sql + ")";
    if (inner_type.is_character() && subject.type.is_numeric())
      inner_sql = "SELECT " + convert({"c1", inner_type}, promote_integer(subject.type)).sql +
                  " FROM (" + inner.sql + ")";
    sql = "(" + collated(subject.sql, subject.type) + " IN (" + inner_sql + "))";
  } else {
    std::vector<Typed> items;
    SqlType numeric;
    for (std::size_t i = 1; i < e.args.size(); ++i) {
      items.push_back(expr(*e.args[i], scope));
      if (items.back().type.is_numeric()) numeric = dominant_type(numeric, items.back().type);
    }
    if (subject.type.is_character() && numeric.is_numeric())
      subject = convert(subject, promote_integer(numeric));
    std::string list;
    for (auto& item : items) {
      if (item.type.is_character() && subject.type.is_numeric())
        item = convert(item, promote_integer(subject.type));
      list += (list.empty() ? "" : ", ") + item.sql;
    }
    sql = "(" + collated(subject.sql, subject.type) + " IN (" + list + "))";
  }
  return e.negated ? "(NOT " + sql + ")" : sql;
}

Translator::Typed Translator::literal(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Integer: {
      std::int64_t value = 0;
      const auto [end, ec] = std::from_chars(e.text.data(), e.text.data() + e.text.size(), value);
      if (ec != std::errc() || end != e.text.data() + e.text.size())
        return {e.text + ".0", SqlType::integer(TypeKind::Float)};
      const bool small = value <= std::numeric_limits<std::int32_t>::max();
      return {std::to_string(value), SqlType::integer(small ? TypeKind::Int : TypeKind::BigInt)};
    }
    case ExprKind::Float:
      return {e.text.front() == '.' ? "0" + e.text : e.text, SqlType::integer(TypeKind::Float)};
    case ExprKind::String: {
      // A literal without N is text of the current database's code page.
      const int page = e.national ? text::kNational : code_page({});
      const auto value = collations::to_code_page(e.text, page);
      const int size = static_cast<int>(std::max<std::size_t>(text::measure_units(value, page), 1));
      return {quote_text(value),
              SqlType::character(e.national ? TypeKind::NVarChar : TypeKind::VarChar, size)};
    }
    default:
      return {"NULL", SqlType{}};
  }
}

Translator::Typed Translator::variable(const Expr& e) {
  const auto name = text::ascii_upper(e.text);
  auto integer = [](std::int64_t value) {
    return Typed{std::to_string(value), SqlType::integer(TypeKind::Int)};
  };
  auto string = [](const std::string& value, int length) {
    return Typed{quote_text(value), SqlType::character(TypeKind::NVarChar, length)};
  };
  if (name == "@@TRANCOUNT") return integer(context_.trancount);
  if (name == "@@SPID")
    return {std::to_string(context_.spid), SqlType::integer(TypeKind::SmallInt)};
  if (name == "@@ROWCOUNT") return integer(context_.rowcount);
  if (name == "@@ERROR") return integer(context_.error);
  if (name == "@@VERSION") return string(context_.version, 300);
  if (name == "@@SERVERNAME") return string(context_.server_name, 128);
  if (name == "@@LANGUAGE") return string("us_english", 128);
  if (name == "@@IDENTITY") return {"NULL", SqlType::integer(TypeKind::Int)};
  throw errors::undeclared_variable(e.text);
}

Translator::Typed Translator::column(const Expr& e, const Scope& scope) {
  const auto& parts = e.name;
  const std::string& name = parts.back();
  const std::string qualifier = parts.size() >= 2 ? parts[parts.size() - 2] : std::string();
  std::string written;
  for (const auto& part : parts) written += (written.empty() ? "" : ".") + part;
  bool qualifier_seen = false;
  for (const Scope* level = &scope; level != nullptr; level = level->parent) {
    const Source* found_source = nullptr;
    const ColumnInfo* found = nullptr;
    for (const auto& candidate : level->sources) {
      if (!qualifier.empty() && !same(candidate.alias, qualifier)) continue;
      qualifier_seen = true;
      if (const auto* column = candidate.table.find_column(name, case_sensitive_)) {
        if (found != nullptr) throw errors::ambiguous_column(name);
        found = column;
        found_source = &candidate;
      }
    }
    if (found != nullptr)
      return {quote_name(found_source->alias) + "." + quote_name(found->name), found->type};
  }
  if (!qualifier.empty() && !qualifier_seen) throw errors::unbound_identifier(written);
  throw errors::invalid_column(name);
}

Translator::Typed Translator::arithmetic(const Expr& e, const Scope& scope) {
  auto left = expr(*e.args[0], scope);
  auto right = expr(*e.args[1], scope);
  const bool left_text = left.type.is_character() || left.type.kind == TypeKind::Null;
  const bool right_text = right.type.is_character() || right.type.kind == TypeKind::Null;
  if (e.text == "+" && left_text && right_text &&
      (left.type.is_character() || right.type.is_character())) {
    SqlType type = dominant_type(left.type, right.type);
    type.kind = type.is_national() ? TypeKind::NVarChar : TypeKind::VarChar;
    type.length =
        (left.type.length < 0 || right.type.length < 0) ? -1 : left.type.length + right.type.length;
    return {"(" + left.sql + " || " + right.sql + ")", type};
  }
  SqlType type = promote_integer(dominant_type(left.type.is_character() ? SqlType{} : left.type,
                                               right.type.is_character() ? SqlType{} : right.type));
  if (left.type.is_character()) left = convert(left, type);
  if (right.type.is_character()) right = convert(right, type);
  if (e.text == "/") return {"tsql_div(" + left.sql + ", " + right.sql + ")", type};
  if (e.text == "%") return {"tsql_mod(" + left.sql + ", " + right.sql + ")", type};
  return {"(" + left.sql + " " + e.text + " " + right.sql + ")", type};
}

Translator::Typed Translator::expr(const Expr& e, const Scope& scope) {
  const SqlType boolean = SqlType::integer(TypeKind::Bit);
  switch (e.kind) {
    case ExprKind::Null:
    case ExprKind::Integer:
    case ExprKind::Float:
    case ExprKind::String:
      return literal(e);
    case ExprKind::Column:
      return column(e, scope);
    case ExprKind::Variable:
      return variable(e);
    case ExprKind::Negate: {
      auto operand = expr(*e.args[0], scope);
      if (operand.type.is_character()) operand = convert(operand, SqlType::integer(TypeKind::Int));
      return {"(-" + operand.sql + ")", promote_integer(operand.type)};
    }
    case ExprKind::Arithmetic:
      return arithmetic(e, scope);
    case ExprKind::Compare:
      return {compare(expr(*e.args[0], scope), e.text, expr(*e.args[1], scope)), boolean};
    case ExprKind::And:
    case ExprKind::Or:
      return {"(" + expr(*e.args[0], scope).sql + " " + e.text + " " + expr(*e.args[1], scope).sql +
                  ")",
              boolean};
    case ExprKind::Not:
      return {"(NOT " + expr(*e.args[0], scope).sql + ")", boolean};
    case ExprKind::IsNull:
      return {"(" + expr(*e.args[0], scope).sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"),
              boolean};
    case ExprKind::Like: {
      std::string sql =
          "tsql_like(" + expr(*e.args[0], scope).sql + ", " + expr(*e.args[1], scope).sql;
      if (e.args.size() > 2) sql += ", " + expr(*e.args[2], scope).sql;
      sql += ")";
      return {e.negated ? "(NOT " + sql + ")" : sql, boolean};
    }
    case ExprKind::In:
      return {in_list(e, scope), boolean};
    case ExprKind::Between: {
      const auto subject = expr(*e.args[0], scope);
      const std::string sql = "(" + compare(subject, ">=", expr(*e.args[1], scope)) + " AND " +
                              compare(subject, "<=", expr(*e.args[2], scope)) + ")";
      return {e.negated ? "(NOT " + sql + ")" : sql, boolean};
    }
    case ExprKind::Exists:
      return {"(EXISTS (" + query(*e.query, &scope).sql + "))", boolean};
    case ExprKind::Subquery: {
      const auto inner = query(*e.query, &scope);
      return {"(" + inner.sql + ")", inner.columns.front().type};
    }
    case ExprKind::Case: {
      std::vector<std::pair<std::string, Typed>> branches;
      SqlType type;
      std::optional<Typed> operand;
      if (e.operand) operand = expr(*e.operand, scope);
      for (std::size_t i = 0; i + 1 < e.args.size(); i += 2) {
        std::string when =
            operand ? compare(*operand, "=", expr(*e.args[i], scope)) : expr(*e.args[i], scope).sql;
        auto then = expr(*e.args[i + 1], scope);
        type = dominant_type(type, then.type);
        branches.emplace_back(std::move(when), std::move(then));
      }
      std::optional<Typed> otherwise;
      if (e.otherwise) {
        otherwise = expr(*e.otherwise, scope);
        type = dominant_type(type, otherwise->type);
      }
      std::string sql = "(CASE";
      for (const auto& [when, then] : branches)
        sql +=
            " WHEN " + when + " THEN " +
            (then.type.is_character() == type.is_character() ? then.sql : convert(then, type).sql);
      if (otherwise)
        sql += " ELSE " + (otherwise->type.is_character() == type.is_character()
                               ? otherwise->sql
                               : convert(*otherwise, type).sql);
      return {sql + " END)", type};
    }
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
