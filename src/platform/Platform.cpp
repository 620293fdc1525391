// The parts of the platform layer that the standard library already makes portable.
#include "platform/Platform.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

std::string VisibleControls(std::string_view utf8) {
  std::u16string shown;
  for (const char16_t c : ToUtf16(utf8)) {
    if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F) && c != 0x2028 && c != 0x2029) {
      shown += c;
      continue;
    }
    char escape[8];
    if (c == u'\r' || c == u'\n' || c == u'\t') {
      std::snprintf(escape, sizeof escape, "\\%c", c == u'\r' ? 'r' : c == u'\n' ? 'n' : 't');
    } else {
      std::snprintf(escape, sizeof escape, c < 0x80 ? "\\x%02X" : "\\u%04X", unsigned{c});
    }
    shown.append(escape, escape + std::strlen(escape));
  }
  return ToUtf8(shown);
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace platform
