// The SQL Server data types the stand-in stores and returns, with T-SQL's precedence rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standin {

enum class TypeKind { Null, Bit, TinyInt, SmallInt, Int, BigInt, Char, VarChar, NChar, NVarChar };

struct SqlType {
  TypeKind kind = TypeKind::Null;
  int length = 0;  // characters for character types; -1 means (max) or unknown

  bool is_integer() const;  // bit included
  bool is_character() const;
  bool is_national() const;
  bool is_fixed_length() const;  // char and nchar are padded with blanks

  // "int", "varchar(10)", "nvarchar(max)"
  std::string name() const;
  // The bare type name used in conversion messages: "int", "varchar", "nvarchar".
  std::string_view base_name() const;
  // system_type_id of sys.columns and max_length in bytes.
  int system_type_id() const;
  int max_length_bytes() const;

  static SqlType integer(TypeKind kind) { return {kind, 0}; }
  static SqlType character(TypeKind kind, int length) { return {kind, length}; }
};

// Parses a type name such as "nvarchar(40)"; a character type without a length gets
// default_length. Returns nullopt for unknown names.
std::optional<SqlType> parse_type_name(std::string_view text, int default_length = 1);

// The type that wins when two differently typed values meet (T-SQL data type precedence).
SqlType dominant_type(const SqlType& a, const SqlType& b);

}  // namespace standin
