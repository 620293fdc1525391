// Collation names as SQL Server knows them, and the code page each gives char and varchar data.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standin::collations {

inline constexpr std::string_view kDefault = "Japanese_CI_AS";
inline constexpr int kUtf8 = 65001;

// _CS and _BIN collations tell upper from lower case.
bool case_sensitive(std::string_view collation);

// The code page of char/varchar data under the collation; nullopt for an unknown name.
std::optional<int> code_page(std::string_view collation);

// utf8 as char/varchar data of the code page holds it: each character the code page lacks
// becomes '?'. Code page 0 (national data) and UTF-8 keep every character.
std::string to_code_page(std::string_view utf8, int code_page);

}  // namespace standin::collations
