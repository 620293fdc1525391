// Tokenizer for the T-SQL subset the stand-in understands.
#include "tsql_lexer.hpp"

#include <algorithm>
#include <array>

#include "sql_errors.hpp"
#include "text.hpp"

namespace standin::tsql {
namespace {

bool word_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool word_part(char c) { return word_start(c) || (c >= '0' && c <= '9') || c == '@' || c == '$'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// Reads a literal closed by `quote`, where a doubled quote stands for one.
std::size_t read_quoted(std::string_view sql, std::size_t start, char quote, std::string& value) {
  std::size_t i = start;
  for (;;) {
    if (i >= sql.size()) return std::string_view::npos;
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        value += quote;
        i += 2;
        continue;
      }
      return i + 1;
    }
    value += sql[i++];
  }
}

// Errors of the lexer name the line where the quote or comment opened.
SqlError at_line(SqlError error, int line) {
  error.set_line(line);
  return error;
}

constexpr auto kReserved = std::to_array<std::string_view>(
    {"ADD",      "ALL",          "ALTER",        "AND",         "ANY",      "AS",       "ASC",
     "BEGIN",    "BETWEEN",      "BREAK",        "BY",          "CASE",     "CHECK",    "CLUSTERED",
     "COLLATE",  "COLUMN",       "COMMIT",       "CONSTRAINT",  "CONTINUE", "CONVERT",  "CREATE",
     "CROSS",    "CURRENT_USER", "DATABASE",     "DECLARE",     "DEFAULT",  "DELETE",   "DESC",
     "DISTINCT", "DROP",         "ELSE",         "END",         "ESCAPE",   "EXCEPT",   "EXEC",
     "EXECUTE",  "EXISTS",       "FOR",          "FOREIGN",     "FROM",     "FULL",     "GOTO",
     "GRANT",    "GROUP",        "HAVING",       "IDENTITY",    "IF",       "IN",       "INDEX",
     "INNER",    "INSERT",       "INTERSECT",    "INTO",        "IS",       "JOIN",     "KEY",
     "LEFT",     "LIKE",         "NONCLUSTERED", "NOT",         "NULL",     "OF",       "OFF",
     "ON",       "OPTION",       "OR",           "ORDER",       "OUTER",    "PERCENT",  "PRIMARY",
     "PRINT",    "PROC",         "PROCEDURE",    "RETURN",      "RIGHT",    "ROLLBACK", "SAVE",
     "SELECT",   "SET",          "SHUTDOWN",     "SYSTEM_USER", "TABLE",    "THEN",     "TO",
     "TOP",      "TRAN",         "TRANSACTION",  "TRUNCATE",    "UNION",    "UNIQUE",   "UPDATE",
     "USE",      "VALUES",       "VIEW",         "WAITFOR",     "WHEN",     "WHERE",    "WHILE",
     "WITH"});

}  // namespace

bool is_reserved(std::string_view upper_word) {
  return std::find(kReserved.begin(), kReserved.end(), upper_word) != kReserved.end();
}

std::vector<Token> tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  int line = 1;
  std::size_t i = 0;
  auto count_lines = [&](std::size_t from, std::size_t to) {
    line += static_cast<int>(std::count(sql.begin() + static_cast<std::ptrdiff_t>(from),
                                        sql.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      while (i < sql.size() && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      // Block comments nest in T-SQL.
      std::size_t j = i + 2;
      int depth = 1;
      while (j < sql.size() && depth > 0) {
        if (sql[j] == '/' && j + 1 < sql.size() && sql[j + 1] == '*') {
          ++depth;
          j += 2;
        } else if (sql[j] == '*' && j + 1 < sql.size() && sql[j + 1] == '/') {
          --depth;
          j += 2;
        } else {
          ++j;
        }
      }
      if (depth > 0) throw at_line(errors::missing_end_comment(), line);
      count_lines(i, j);
      i = j;
      continue;
    }

    Token token;
    token.offset = i;
    token.line = line;
    std::size_t end = i + 1;
    if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'') {
      token.kind = TokenKind::NationalString;
      end = read_quoted(sql, i + 2, '\'', token.text);
      if (end == std::string_view::npos)
        throw at_line(errors::unclosed_quote(sql.substr(i + 2)), line);
    } else if (c == '\'') {
      token.kind = TokenKind::String;
      end = read_quoted(sql, i + 1, '\'', token.text);
      if (end == std::string_view::npos)
        throw at_line(errors::unclosed_quote(sql.substr(i + 1)), line);
    } else if (c == '[') {
      token.kind = TokenKind::QuotedIdentifier;
      end = read_quoted(sql, i + 1, ']', token.text);
      if (end == std::string_view::npos)
        throw at_line(errors::unclosed_quote(sql.substr(i + 1)), line);
    } else if (c == '"') {
      token.kind = TokenKind::QuotedIdentifier;
      end = read_quoted(sql, i + 1, '"', token.text);
      if (end == std::string_view::npos)
        throw at_line(errors::unclosed_quote(sql.substr(i + 1)), line);
    } else if (digit(c)) {
      token.kind = TokenKind::Number;
      while (end < sql.size() && digit(sql[end])) ++end;
      token.text = std::string(sql.substr(i, end - i));
    } else if (c == '@') {
      token.kind = TokenKind::Variable;
      while (end < sql.size() && (word_part(sql[end]) || sql[end] == '@')) ++end;
      token.text = std::string(sql.substr(i, end - i));
    } else if (word_start(c)) {
      token.kind = TokenKind::Word;
      while (end < sql.size() && word_part(sql[end])) ++end;
      token.text = std::string(sql.substr(i, end - i));
      token.upper = text::ascii_upper(token.text);
    } else {
      token.kind = TokenKind::Symbol;
      static constexpr std::array<std::string_view, 4> kPairs = {"<>", "!=", "<=", ">="};
      const auto two = sql.substr(i, 2);
      if (std::find(kPairs.begin(), kPairs.end(), two) != kPairs.end()) end = i + 2;
      token.text = std::string(sql.substr(i, end - i));
    }
    token.raw = std::string(sql.substr(i, end - i));
    count_lines(i, end);
    i = end;
    tokens.push_back(std::move(token));
  }
  Token last;
  last.kind = TokenKind::End;
  last.offset = sql.size();
  last.line = line;
  tokens.push_back(std::move(last));
  return tokens;
}

}  // namespace standin::tsql
