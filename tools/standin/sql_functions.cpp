// The collation and scalar functions that translated statements call inside SQLite: T-SQL
// comparison and LIKE, implicit and explicit conversions with SQL Server's errors, code pages,
// object-name parsing for OBJECT_ID, COLLATIONPROPERTY and DATALENGTH.
#include <charconv>
#include <limits>
#include <string>
#include <vector>

#include "collations.hpp"
#include "sqlite_db.hpp"
#include "text.hpp"

namespace standin {
namespace {

std::string_view arg_text(sqlite3_value* value) {
  const auto* data = sqlite3_value_text(value);
  const int size = sqlite3_value_bytes(value);
  if (data == nullptr) return {};
  return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(size)};
}

bool is_null(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_NULL; }

void raise(sqlite3_context* context, SqlError error) {
  auto* errors = static_cast<FunctionErrors*>(sqlite3_user_data(context));
  sqlite3_result_error(context, error.what(), -1);
  errors->pending = std::move(error);
}

struct IntRange {
  std::int64_t low;
  std::int64_t high;
};

IntRange range_of(std::string_view type) {
  if (type == "tinyint") return {0, 255};
  if (type == "smallint") return {-32768, 32767};
  if (type == "bigint")
    return {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()};
  return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
}

// SQL Server's rules for character-to-integer conversion: optional blanks around an optional
// sign and digits; an empty string is 0.
enum class ParseResult { Ok, Invalid, Overflow };
ParseResult parse_integer(std::string_view text, std::int64_t& out) {
  auto trimmed = text::trim_blanks(text);
  bool negative = false;
  if (!trimmed.empty() && (trimmed.front() == '+' || trimmed.front() == '-')) {
    negative = trimmed.front() == '-';
    trimmed.remove_prefix(1);
  }
  if (trimmed.empty()) {
    out = 0;
    return text::trim_blanks(text).empty() ? ParseResult::Ok : ParseResult::Invalid;
  }
  for (const char c : trimmed)
    if (c < '0' || c > '9') return ParseResult::Invalid;
  std::uint64_t magnitude = 0;
  const auto [end, ec] =
      std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), magnitude);
  if (ec != std::errc() || end != trimmed.data() + trimmed.size()) return ParseResult::Overflow;
  const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (magnitude > limit + (negative ? 1 : 0)) return ParseResult::Overflow;
  out = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return ParseResult::Ok;
}

// tsql_int(value, source type, target type)
void tsql_int(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0])) return sqlite3_result_null(context);
  const std::string source(arg_text(argv[1]));
  const std::string target(arg_text(argv[2]));
  const auto range = range_of(target);
  std::int64_t value = 0;
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    value = sqlite3_value_int64(argv[0]);
    if (value < range.low || value > range.high)
      return raise(context, errors::arithmetic_overflow(target, std::to_string(value)));
    return sqlite3_result_int64(context, value);
  }
  const auto text = arg_text(argv[0]);
  const auto parsed = parse_integer(text, value);
  if (parsed == ParseResult::Invalid)
    return raise(context, errors::conversion_failed(source, text, target));
  if (parsed == ParseResult::Overflow || value < range.low || value > range.high)
    return raise(context, errors::conversion_overflow(source, text, target));
  sqlite3_result_int64(context, value);
}

// tsql_bit(value, source type)
void tsql_bit(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0])) return sqlite3_result_null(context);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
    return sqlite3_result_int(context, sqlite3_value_int64(argv[0]) != 0 ? 1 : 0);
  const auto text = arg_text(argv[0]);
  const auto upper = text::ascii_upper(text::trim_blanks(text));
  if (upper == "TRUE") return sqlite3_result_int(context, 1);
  if (upper == "FALSE") return sqlite3_result_int(context, 0);
  std::int64_t value = 0;
  if (parse_integer(text, value) != ParseResult::Ok)
    return raise(context, errors::conversion_failed(arg_text(argv[1]), text, "bit"));
  sqlite3_result_int(context, value != 0 ? 1 : 0);
}

std::string value_as_text(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_value_int64(value));
    default:
      return std::string(arg_text(value));
  }
}

// tsql_text(value, max units, code page, pad, table, column): the value as character data of
// the code page (text::kNational for nchar/nvarchar). Table NULL truncates silently (CAST),
// otherwise over-long values raise 2628 (assignment).
void tsql_text(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0])) return sqlite3_result_null(context);
  const int code_page = sqlite3_value_int(argv[2]);
  std::string value = collations::to_code_page(value_as_text(argv[0]), code_page);
  const auto max_units = sqlite3_value_int64(argv[1]);
  const bool pad = sqlite3_value_int(argv[3]) != 0;
  if (max_units >= 0) {
    const auto limit = static_cast<std::size_t>(max_units);
    if (text::measure_units(value, code_page) > limit) {
      const auto trimmed = text::trim_trailing_blanks(value);
      if (text::measure_units(trimmed, code_page) <= limit) {
        value = text::truncate_units(value, limit, code_page);
      } else if (!is_null(argv[4])) {
        return raise(context, errors::truncation(arg_text(argv[4]), arg_text(argv[5]),
                                                 text::truncate_units(value, limit, code_page)));
      } else {
        value = text::truncate_units(value, limit, code_page);
      }
    }
    if (pad) {
      const auto used = text::measure_units(value, code_page);
      if (used < limit) value.append(limit - used, ' ');
    }
  }
  sqlite3_result_text(context, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

// tsql_collation_property(collation, property): COLLATIONPROPERTY; only CodePage is known.
void tsql_collation_property(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0]) || is_null(argv[1]) ||
      text::ascii_upper(text::trim_trailing_blanks(arg_text(argv[1]))) != "CODEPAGE")
    return sqlite3_result_null(context);
  const auto code_page = collations::code_page(arg_text(argv[0]));
  if (!code_page) return sqlite3_result_null(context);
  sqlite3_result_int(context, *code_page);
}

// tsql_like(value, pattern)
void tsql_like(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0]) || is_null(argv[1])) return sqlite3_result_null(context);
  sqlite3_result_int(context, text::like(value_as_text(argv[0]), arg_text(argv[1])) ? 1 : 0);
}

// Splits "[db].[dbo].[t]", "dbo.t" or "t" into parts; false for malformed names.
bool split_object_name(std::string_view name, std::vector<std::string>& parts) {
  parts.assign(1, std::string());
  std::size_t i = 0;
  while (i < name.size()) {
    const char c = name[i];
    if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      if (!parts.back().empty()) return false;
      ++i;
      for (;;) {
        if (i >= name.size()) return false;
        if (name[i] == close) {
          if (i + 1 < name.size() && name[i + 1] == close) {
            parts.back() += close;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        parts.back() += name[i++];
      }
      if (i < name.size() && name[i] != '.') return false;
    } else if (c == '.') {
      parts.emplace_back();
      ++i;
    } else {
      parts.back() += c;
      ++i;
    }
  }
  return parts.size() <= 4;
}

// tsql_object_name(name, current database): the object part if the name is in schema dbo of
// the current database, otherwise NULL.
void tsql_object_name(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0])) return sqlite3_result_null(context);
  std::vector<std::string> parts;
  if (!split_object_name(arg_text(argv[0]), parts) || parts.size() > 3 || parts.back().empty())
    return sqlite3_result_null(context);
  if (parts.size() >= 2 && !parts[parts.size() - 2].empty() &&
      !text::collate_equal(parts[parts.size() - 2], "dbo"))
    return sqlite3_result_null(context);
  if (parts.size() == 3 && !parts[0].empty() && !text::collate_equal(parts[0], arg_text(argv[1])))
    return sqlite3_result_null(context);
  const auto& object = parts.back();
  sqlite3_result_text(context, object.data(), static_cast<int>(object.size()), SQLITE_TRANSIENT);
}

// tsql_datalength(value, code page): bytes of character data as SQL Server stores it.
void tsql_datalength(sqlite3_context* context, int, sqlite3_value** argv) {
  if (is_null(argv[0])) return sqlite3_result_null(context);
  const int code_page = sqlite3_value_int(argv[1]);
  const auto units = text::measure_units(value_as_text(argv[0]), code_page);
  sqlite3_result_int64(context,
                       static_cast<std::int64_t>(code_page == text::kNational ? 2 * units : units));
}

int collate(void*, int left_size, const void* left, int right_size, const void* right) {
  return text::collate_compare(
      {static_cast<const char*>(left), static_cast<std::size_t>(left_size)},
      {static_cast<const char*>(right), static_cast<std::size_t>(right_size)});
}

}  // namespace

void register_sql_functions(sqlite3* db, FunctionErrors* errors) {
  using Function = void (*)(sqlite3_context*, int, sqlite3_value**);
  struct Entry {
    const char* name;
    int arguments;
    Function function;
  };
  static constexpr Entry kFunctions[] = {
      {"tsql_int", 3, tsql_int},
      {"tsql_bit", 2, tsql_bit},
      {"tsql_text", 6, tsql_text},
      {"tsql_like", 2, tsql_like},
      {"tsql_object_name", 2, tsql_object_name},
      {"tsql_datalength", 2, tsql_datalength},
      {"tsql_collation_property", 2, tsql_collation_property},
  };
  for (const auto& entry : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, entry.name, entry.arguments,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC, errors,
                                              entry.function, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw std::runtime_error(std::string("cannot register ") + entry.name);
  }
  if (sqlite3_create_collation_v2(db, "tsql", SQLITE_UTF8, nullptr, collate, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot register the tsql collation");
}

}  // namespace standin
