// Splits T-SQL text into tokens: identifiers (bare, [bracketed], "quoted"), string and number
// literals, variables and operators; comments are dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace standin::tsql {

enum class TokenKind {
  Word,              // bare identifier or keyword
  QuotedIdentifier,  // [x] or "x", text unescaped
  String,            // '...', text unescaped
  NationalString,    // N'...'
  Number,
  Variable,  // @name or @@name, text includes the @ signs
  Symbol,    // operators and punctuation
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;   // unescaped value
  std::string raw;    // as written, for messages
  std::string upper;  // Word tokens only: the text in upper case
  std::size_t offset = 0;
  int line = 1;
};

// Throws SqlError 105 (unclosed quote) or 113 (unclosed comment).
std::vector<Token> tokenize(std::string_view sql);

bool is_reserved(std::string_view upper_word);

}  // namespace standin::tsql
