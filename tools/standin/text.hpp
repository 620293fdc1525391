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

// Lengths of character data: UTF-16 units for nchar/nvarchar (code page 0, kNational), bytes in
// the code page for char/varchar. Double-byte code pages take two bytes for anything but ASCII
// (and, in 932, half-width katakana); single-byte ones one byte per character.
inline constexpr int kNational = 0;
std::size_t measure_units(std::string_view utf8, int code_page);
// Longest prefix that fits max_units of that measure.
std::string truncate_units(std::string_view utf8, std::size_t max_units, int code_page);

std::string_view trim_trailing_blanks(std::string_view value);
std::string_view trim_blanks(std::string_view value);
std::string ascii_upper(std::string_view value);

// Folds case, width and kana type so that equal folds mean equal under the collation.
std::u32string fold(std::string_view utf8);

// Three-way comparison under the collation; trailing blanks do not count.
int collate_compare(std::string_view left, std::string_view right);
bool collate_equal(std::string_view left, std::string_view right);
// Identifiers: as collate_equal, or exactly (trailing blanks aside) under a case-sensitive
// collation.
bool same_name(std::string_view left, std::string_view right, bool case_sensitive);

// T-SQL LIKE with the wildcards % and _; trailing blanks of the value are ignored.
bool like(std::string_view value, std::string_view pattern);

}  // namespace standin::text
