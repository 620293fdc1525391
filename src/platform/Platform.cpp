// The parts of the platform layer that the standard library already makes portable.
#include "platform/Platform.hpp"

#include <algorithm>
#include <cstdio>

namespace platform {

std::string VisibleControls(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    const auto third = i + 2 < utf8.size() ? static_cast<unsigned char>(utf8[i + 2]) : 0;
    char escape[8] = {};
    if (byte == '\r' || byte == '\n' || byte == '\t') {
      out += byte == '\r' ? "\\r" : byte == '\n' ? "\\n" : "\\t";
      continue;
    }
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", next);
      i += 1;
    } else if (byte == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {
      std::snprintf(escape, sizeof escape, "\\u%04X", 0x2000 + third - 0x80);
      i += 2;
    } else {
      out += static_cast<char>(byte);
      continue;
    }
    out += escape;
  }
  return out;
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
