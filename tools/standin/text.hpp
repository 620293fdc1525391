// Text helpers: UTF-8/UTF-16LE conversion and the Japanese_CI_AS-like comparison rules
// (case-, width- and kana-insensitive, trailing blanks ignored) used by the collation and LIKE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace standin::text {

std::u32string decode_utf8(std::string_view utf8);
std::string encode_utf8(std::u32string_view code_points);

// Invalid UTF-16 (lone surrogates) becomes U+FFFD.
std::string utf16le_to_utf8(std::span<const std::uint8_t> bytes);
void append_utf16le(std::vector<std::uint8_t>& out, std::string_view utf8);
std::size_t utf16_units(std::string_view utf8);

// Length as char/varchar measures it under a Japanese (code page 932) collation: one byte for
// ASCII and half-width katakana, two for everything else.
std::size_t cp932_bytes(std::string_view utf8);

// Longest prefix that fits max_units of the given measure.
std::string truncate_units(std::string_view utf8, std::size_t max_units, bool national);
std::size_t measure_units(std::string_view utf8, bool national);

std::string_view trim_trailing_blanks(std::string_view value);
std::string_view trim_blanks(std::string_view value);
std::string ascii_upper(std::string_view value);

// Folds case, width and kana type so that equal folds mean equal under the collation.
std::u32string fold(std::string_view utf8);

// Three-way comparison under the collation; trailing blanks do not count.
int collate_compare(std::string_view left, std::string_view right);
bool collate_equal(std::string_view left, std::string_view right);

// T-SQL LIKE: % _ [set] [^set] and an optional escape character; trailing blanks of the
// value are ignored.
bool like(std::string_view value, std::string_view pattern, char32_t escape = 0);

}  // namespace standin::text
