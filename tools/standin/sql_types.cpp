// Data type names, sizes and precedence.
#include "sql_types.hpp"

#include <algorithm>

#include "text.hpp"

namespace standin {

bool SqlType::is_integer() const {
  return kind == TypeKind::Bit || kind == TypeKind::TinyInt || kind == TypeKind::SmallInt ||
         kind == TypeKind::Int || kind == TypeKind::BigInt;
}
bool SqlType::is_character() const {
  return kind == TypeKind::Char || kind == TypeKind::VarChar || kind == TypeKind::NChar ||
         kind == TypeKind::NVarChar;
}
bool SqlType::is_national() const { return kind == TypeKind::NChar || kind == TypeKind::NVarChar; }
bool SqlType::is_fixed_length() const { return kind == TypeKind::Char || kind == TypeKind::NChar; }

std::string_view SqlType::base_name() const {
  switch (kind) {
    case TypeKind::Null:
      return "int";
    case TypeKind::Bit:
      return "bit";
    case TypeKind::TinyInt:
      return "tinyint";
    case TypeKind::SmallInt:
      return "smallint";
    case TypeKind::Int:
      return "int";
    case TypeKind::BigInt:
      return "bigint";
    case TypeKind::Char:
      return "char";
    case TypeKind::VarChar:
      return "varchar";
    case TypeKind::NChar:
      return "nchar";
    case TypeKind::NVarChar:
      return "nvarchar";
  }
  return "int";
}

std::string SqlType::name() const {
  std::string out(base_name());
  if (is_character()) out += length < 0 ? "(max)" : "(" + std::to_string(length) + ")";
  return out;
}

int SqlType::system_type_id() const {
  switch (kind) {
    case TypeKind::Bit:
      return 104;
    case TypeKind::TinyInt:
      return 48;
    case TypeKind::SmallInt:
      return 52;
    case TypeKind::BigInt:
      return 127;
    case TypeKind::Char:
      return 175;
    case TypeKind::VarChar:
      return 167;
    case TypeKind::NChar:
      return 239;
    case TypeKind::NVarChar:
      return 231;
    case TypeKind::Null:
    case TypeKind::Int:
      break;
  }
  return 56;
}

int SqlType::max_length_bytes() const {
  switch (kind) {
    case TypeKind::Bit:
    case TypeKind::TinyInt:
      return 1;
    case TypeKind::SmallInt:
      return 2;
    case TypeKind::BigInt:
      return 8;
    case TypeKind::Char:
    case TypeKind::VarChar:
      return length;
    case TypeKind::NChar:
    case TypeKind::NVarChar:
      return length < 0 ? -1 : 2 * length;
    case TypeKind::Null:
    case TypeKind::Int:
      break;
  }
  return 4;
}

std::optional<SqlType> parse_type_name(std::string_view text, int default_length) {
  const auto open = text.find('(');
  const auto base = text::ascii_upper(text.substr(0, open));
  int length = default_length;
  if (open != std::string_view::npos) {
    const auto inner = text::ascii_upper(text.substr(open + 1, text.find(')') - open - 1));
    length = inner == "MAX" ? -1 : std::stoi(inner);
  }
  if (base == "BIT") return SqlType::integer(TypeKind::Bit);
  if (base == "TINYINT") return SqlType::integer(TypeKind::TinyInt);
  if (base == "SMALLINT") return SqlType::integer(TypeKind::SmallInt);
  if (base == "INT" || base == "INTEGER") return SqlType::integer(TypeKind::Int);
  if (base == "BIGINT") return SqlType::integer(TypeKind::BigInt);
  if (base == "CHAR" || base == "CHARACTER") return SqlType::character(TypeKind::Char, length);
  if (base == "VARCHAR") return SqlType::character(TypeKind::VarChar, length);
  if (base == "NCHAR") return SqlType::character(TypeKind::NChar, length);
  if (base == "NVARCHAR") return SqlType::character(TypeKind::NVarChar, length);
  if (base == "SYSNAME") return SqlType::character(TypeKind::NVarChar, 128);
  return std::nullopt;
}

namespace {

int precedence(TypeKind kind) {
  switch (kind) {
    case TypeKind::BigInt:
      return 9;
    case TypeKind::Int:
      return 8;
    case TypeKind::SmallInt:
      return 7;
    case TypeKind::TinyInt:
      return 6;
    case TypeKind::Bit:
      return 5;
    case TypeKind::NVarChar:
      return 4;
    case TypeKind::NChar:
      return 3;
    case TypeKind::VarChar:
      return 2;
    case TypeKind::Char:
      return 1;
    case TypeKind::Null:
      break;
  }
  return 0;
}

}  // namespace

SqlType dominant_type(const SqlType& a, const SqlType& b) {
  if (a.kind == TypeKind::Null) return b;
  if (b.kind == TypeKind::Null) return a;
  if (a.is_character() && b.is_character()) {
    SqlType result = precedence(a.kind) >= precedence(b.kind) ? a : b;
    result.length = (a.length < 0 || b.length < 0) ? -1 : std::max(a.length, b.length);
    return result;
  }
  return precedence(a.kind) >= precedence(b.kind) ? a : b;
}

}  // namespace standin
