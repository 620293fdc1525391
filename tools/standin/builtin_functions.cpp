// Translation of the built-in T-SQL functions the stand-in supports.
#include <cstdint>

#include "sql_errors.hpp"
#include "text.hpp"
#include "translator.hpp"

namespace standin {

using tsql::Expr;
using tsql::ExprKind;

namespace {

const std::string kObjects = quote_name(catalog::kObjectsTable);

SqlType sysname() { return SqlType::character(TypeKind::NVarChar, 128); }

}  // namespace

Translator::Typed Translator::function(const Expr& e, const Scope& scope) {
  const std::string& name = e.text;
  const auto count = e.args.size();
  auto require = [&](std::size_t low, std::size_t high) {
    if (count < low || count > high)
      throw errors::wrong_argument_count(name, static_cast<int>(low));
  };
  auto arg = [&](std::size_t index) { return expr(*e.args[index], scope); };
  auto text_literal = [](const std::string& value) {
    return Typed{quote_text(value), SqlType::character(TypeKind::NVarChar, 128)};
  };
  const SqlType integer = SqlType::integer(TypeKind::Int);

  if (name == "COUNT" || name == "COUNT_BIG") {
    require(1, 1);
    const SqlType type = SqlType::integer(name == "COUNT" ? TypeKind::Int : TypeKind::BigInt);
    if (e.args[0]->kind == ExprKind::Star) return {"count(*)", type};
    return {std::string("count(") + (e.distinct ? "DISTINCT " : "") + arg(0).sql + ")", type};
  }
  if (name == "SUM" || name == "AVG" || name == "MIN" || name == "MAX") {
    require(1, 1);
    auto value = arg(0);
    const std::string distinct = e.distinct ? "DISTINCT " : "";
    if (name == "MIN" || name == "MAX") {
      const std::string inner = value.type.is_character() ? value.sql + " COLLATE tsql" : value.sql;
      return {(name == "MIN" ? "min(" : "max(") + distinct + inner + ")", value.type};
    }
    if (value.type.is_character()) {
      throw SqlError(8117, 16, 1,
                     "Operand data type " + std::string(value.type.base_name()) +
                         " is invalid for " + text::ascii_upper(name) + " operator.",
                     ErrorReach::Compile);
    }
    SqlType type = value.type;
    if (type.is_integer() && type.kind != TypeKind::BigInt) type = integer;
    if (name == "SUM") return {"sum(" + distinct + value.sql + ")", type};
    if (type.kind == TypeKind::Float) return {"avg(" + distinct + value.sql + ")", type};
    return {"CAST(avg(" + distinct + value.sql + ") AS INTEGER)", type};
  }
  if (name == "OBJECT_ID") {
    require(1, 2);
    std::string sql = "(SELECT \"$o\".object_id FROM " + kObjects +
                      " AS \"$o\" WHERE \"$o\".name = tsql_object_name(" + arg(0).sql + ", " +
                      quote_text(context_.database) + ")";
    if (count == 2) sql += " AND \"$o\".type = rtrim(" + arg(1).sql + ", ' ') COLLATE tsql";
    return {sql + ")", integer};
  }
  if (name == "OBJECT_NAME") {
    require(1, 2);
    std::string sql = "(SELECT \"$o\".name FROM " + kObjects +
                      " AS \"$o\" WHERE \"$o\".object_id = " + convert(arg(0), integer).sql + ")";
    // Only objects of the current database have names here.
    if (count == 2) {
      const auto current = context_.registry.find(context_.database);
      const Typed id{current ? std::to_string(current->id) : "NULL", integer};
      sql = "(CASE WHEN " + compare(arg(1), "=", id) + " THEN " + sql + " END)";
    }
    return {sql, sysname()};
  }
  if (name == "COLLATIONPROPERTY") {
    require(2, 2);
    return {"tsql_collation_property(" + arg(0).sql + ", " + arg(1).sql + ")", integer};
  }
  if (name == "OBJECTPROPERTY") {
    require(2, 2);
    if (e.args[1]->kind != ExprKind::String) return {"NULL", integer};
    const auto property = text::ascii_upper(e.args[1]->text);
    std::string test;
    if (property == "ISUSERTABLE" || property == "ISTABLE") test = "\"$o\".type = 'U'";
    if (property == "ISVIEW") test = "\"$o\".type = 'V'";
    if (property == "TABLEHASPRIMARYKEY") test = "\"$o\".primary_key_name <> ''";
    if (test.empty()) return {"NULL", integer};
    return {"(SELECT CASE WHEN " + test + " THEN 1 ELSE 0 END FROM " + kObjects +
                " AS \"$o\" WHERE \"$o\".object_id = " + arg(0).sql + ")",
            integer};
  }
  if (name == "DB_NAME" || name == "DB_ID") {
    require(0, 1);
    const bool wants_name = name == "DB_NAME";
    if (count == 0) {
      if (wants_name) return text_literal(context_.database);
      const auto current = context_.registry.find(context_.database);
      return {current ? std::to_string(current->id) : "NULL", SqlType::integer(TypeKind::SmallInt)};
    }
    const auto key = arg(0);
    std::string sql = "(CASE";
    for (const auto& entry : context_.registry.list()) {
      const std::string id = std::to_string(entry.id);
      sql += wants_name
                 ? " WHEN " + compare(key, "=", {id, integer}) + " THEN " + quote_text(entry.name)
                 : " WHEN " + compare(key, "=", text_literal(entry.name)) + " THEN " + id;
    }
    sql += " END)";
    return {sql, wants_name ? sysname() : SqlType::integer(TypeKind::SmallInt)};
  }
  if (name == "SCHEMA_NAME" || name == "USER_NAME" || name == "CURRENT_USER" ||
      name == "SESSION_USER") {
    return text_literal("dbo");
  }
  if (name == "SUSER_NAME" || name == "SUSER_SNAME" || name == "SYSTEM_USER") {
    return text_literal(context_.login);
  }
  if (name == "SERVERPROPERTY") {
    require(1, 1);
    const auto property =
        e.args[0]->kind == ExprKind::String ? text::ascii_upper(e.args[0]->text) : std::string();
    if (property == "PRODUCTVERSION") return text_literal("16.0.4223.1");
    if (property == "COLLATION") return text_literal(context_.registry.server_collation());
    if (property == "SERVERNAME" || property == "MACHINENAME")
      return text_literal(context_.server_name);
    if (property == "EDITION") return text_literal("Developer Edition (64-bit)");
    return {"NULL", sysname()};
  }
  if (name == "LEN") {
    require(1, 1);
    return {"tsql_len(" + arg(0).sql + ")", integer};
  }
  if (name == "UPPER" || name == "LOWER" || name == "LTRIM" || name == "RTRIM" || name == "TRIM") {
    require(1, 1);
    auto value = arg(0);
    if (!value.type.is_character())
      value = convert(value, SqlType::character(TypeKind::VarChar, 30));
    std::string sql;
    if (name == "UPPER") sql = "upper(" + value.sql + ")";
    if (name == "LOWER") sql = "lower(" + value.sql + ")";
    if (name == "LTRIM") sql = "ltrim(" + value.sql + ", ' ')";
    if (name == "RTRIM") sql = "rtrim(" + value.sql + ", ' ')";
    if (name == "TRIM") sql = "trim(" + value.sql + ", ' ')";
    SqlType type = value.type;
    if (type.kind == TypeKind::Char) type.kind = TypeKind::VarChar;
    if (type.kind == TypeKind::NChar) type.kind = TypeKind::NVarChar;
    return {sql, type};
  }
  if (name == "SUBSTRING" || name == "LEFT" || name == "RIGHT") {
    require(name == "SUBSTRING" ? 3 : 2, name == "SUBSTRING" ? 3 : 2);
    auto value = arg(0);
    if (!value.type.is_character())
      value = convert(value, SqlType::character(TypeKind::VarChar, 30));
    SqlType type = value.type;
    type.kind = type.is_national() ? TypeKind::NVarChar : TypeKind::VarChar;
    const auto length = convert(arg(count - 1), integer).sql;
    if (name == "SUBSTRING") {
      const auto start = convert(arg(1), integer).sql;
      return {"substr(" + value.sql + ", " + start + ", " + length + ")", type};
    }
    if (name == "LEFT") return {"substr(" + value.sql + ", 1, " + length + ")", type};
    return {"(CASE WHEN " + length + " <= 0 THEN '' ELSE substr(" + value.sql + ", -(" + length +
                ")) END)",
            type};
  }
  if (name == "REPLACE") {
    require(3, 3);
    auto value = arg(0);
    return {
        "replace(" + value.sql + ", " + arg(1).sql + ", " + arg(2).sql + ")",
        SqlType::character(value.type.is_national() ? TypeKind::NVarChar : TypeKind::VarChar, -1)};
  }
  if (name == "ISNULL") {
    require(2, 2);
    const auto first = arg(0);
    auto second = arg(1);
    if (first.type.kind != TypeKind::Null &&
        second.type.is_character() != first.type.is_character())
      second = convert(second, first.type);
    return {"ifnull(" + first.sql + ", " + second.sql + ")",
            first.type.kind == TypeKind::Null ? second.type : first.type};
  }
  if (name == "COALESCE" || name == "NULLIF") {
    require(2, name == "NULLIF" ? 2 : 64);
    std::vector<Typed> values;
    SqlType type;
    for (std::size_t i = 0; i < count; ++i) {
      values.push_back(arg(i));
      type = dominant_type(type, values.back().type);
    }
    std::string sql = name == "COALESCE" ? "coalesce(" : "nullif(";
    for (std::size_t i = 0; i < values.size(); ++i) {
      const auto& value = values[i];
      const bool same =
          value.type.is_character() == type.is_character() || value.type.kind == TypeKind::Null;
      sql += (i == 0 ? "" : ", ") + (same ? value.sql : convert(value, type).sql);
    }
    return {sql + ")", name == "NULLIF" ? values.front().type : type};
  }
  if (name == "CONCAT") {
    require(2, 254);
    std::string sql;
    bool national = false;
    for (std::size_t i = 0; i < count; ++i) {
      auto value = arg(i);
      national = national || value.type.is_national();
      if (!value.type.is_character() && value.type.kind != TypeKind::Null)
        value = convert(value, SqlType::character(TypeKind::VarChar, 30));
      sql += (i == 0 ? "(" : " || ") + std::string("ifnull(") + value.sql + ", '')";
    }
    return {sql + ")", SqlType::character(national ? TypeKind::NVarChar : TypeKind::VarChar, -1)};
  }
  if (name == "ABS") {
    require(1, 1);
    auto value = arg(0);
    if (value.type.is_character()) value = convert(value, integer);
    return {"abs(" + value.sql + ")", value.type};
  }
  throw errors::unknown_function(e.raw.empty() ? name : e.raw);
}

}  // namespace standin
