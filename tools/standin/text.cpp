// Unicode conversion, folding, collation and LIKE matching.
#include "text.hpp"

#include <algorithm>
#include <array>

namespace standin::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Half-width katakana U+FF66..U+FF9D mapped to their full-width forms.
constexpr std::array<char16_t, 0x38> kHalfWidthKana = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2,
    0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9,
    0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6,
    0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3};

bool takes_voiced_mark(char32_t kana) {
  return (kana >= 0x30AB && kana <= 0x30C8 && kana != 0x30C3) ||
         (kana >= 0x30CF && kana <= 0x30DB) || kana == 0x30A6;
}
bool takes_semi_voiced_mark(char32_t kana) { return kana >= 0x30CF && kana <= 0x30DB; }

char32_t fold_one(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
  if (c == 0x3000) c = U' ';
  if (c >= 0x3041 && c <= 0x3096) c += 0x60;  // hiragana to katakana
  if (c >= 'a' && c <= 'z') return c - 32;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  return c;
}

}  // namespace

std::u32string decode_utf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07;
      extra = 3;
    } else {
      out += kReplacement;
      ++i;
      continue;
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size()) {
      out += kReplacement;
      break;
    }
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    out += c;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string encode_utf8(std::u32string_view code_points) {
  std::string out;
  out.reserve(code_points.size());
  for (const auto c : code_points) append_utf8(out, c);
  return out;
}

std::string utf16le_to_utf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t k) {
    return static_cast<char32_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  };
  for (std::size_t k = 0; k < units; ++k) {
    const char32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      const char32_t low = unit(k + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++k;
        continue;
      }
    }
    append_utf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
  }
  return out;
}

void append_utf16le(std::vector<std::uint8_t>& out, std::string_view utf8) {
  auto put = [&](char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (const char32_t c : decode_utf8(utf8)) {
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
}

namespace {

std::size_t unit_size(char32_t c, int code_page) {
  if (code_page == kNational) return c >= 0x10000 ? 2 : 1;
  if (c < 0x80) return 1;
  switch (code_page) {
    case 65001:
      return c < 0x800 ? 2 : (c < 0x10000 ? 3 : 4);
    case 932:
      return c >= 0xFF61 && c <= 0xFF9F ? 1 : 2;
    case 936:
    case 949:
    case 950:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

std::size_t measure_units(std::string_view utf8, int code_page) {
  std::size_t units = 0;
  for (const char32_t c : decode_utf8(utf8)) units += unit_size(c, code_page);
  return units;
}

std::string truncate_units(std::string_view utf8, std::size_t max_units, int code_page) {
  std::u32string kept;
  std::size_t used = 0;
  for (const char32_t c : decode_utf8(utf8)) {
    const std::size_t size = unit_size(c, code_page);
    if (used + size > max_units) break;
    used += size;
    kept += c;
  }
  return encode_utf8(kept);
}

std::string_view trim_trailing_blanks(std::string_view value) {
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  return value;
}

std::string_view trim_blanks(std::string_view value) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!value.empty() && blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && blank(value.back())) value.remove_suffix(1);
  return value;
}

std::string ascii_upper(std::string_view value) {
  std::string out(value);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::u32string fold(std::string_view utf8) {
  const auto input = decode_utf8(utf8);
  std::u32string out;
  out.reserve(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    char32_t c = input[i];
    if (c >= 0xFF66 && c <= 0xFF9D) {
      c = kHalfWidthKana[c - 0xFF66];
      const char32_t next = i + 1 < input.size() ? input[i + 1] : 0;
      if (next == 0xFF9E && takes_voiced_mark(c)) {
        c = c == 0x30A6 ? 0x30F4 : c + 1;
        ++i;
      } else if (next == 0xFF9F && takes_semi_voiced_mark(c)) {
        c += 2;
        ++i;
      }
    } else if (c == 0xFF9E) {
      c = 0x309B;
    } else if (c == 0xFF9F) {
      c = 0x309C;
    }
    out += fold_one(c);
  }
  return out;
}

int collate_compare(std::string_view left, std::string_view right) {
  const auto a = fold(trim_trailing_blanks(left));
  const auto b = fold(trim_trailing_blanks(right));
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool collate_equal(std::string_view left, std::string_view right) {
  return collate_compare(left, right) == 0;
}

bool same_name(std::string_view left, std::string_view right, bool case_sensitive) {
  if (!case_sensitive) return collate_equal(left, right);
  const auto trimmed = [](std::string_view text) {
    return text.substr(0, text.find_last_not_of(' ') + 1);
  };
  return trimmed(left) == trimmed(right);
}

bool like(std::string_view value, std::string_view pattern) {
  const auto subject = fold(trim_trailing_blanks(value));
  const auto items = fold(pattern);
  // Iterative wildcard matching with backtracking to the last '%'.
  std::size_t s = 0, p = 0;
  std::size_t star = std::u32string::npos, star_s = 0;
  while (s < subject.size()) {
    if (p < items.size() && items[p] == U'%') {
      star = p++;
      star_s = s;
    } else if (p < items.size() && (items[p] == U'_' || items[p] == subject[s])) {
      ++p;
      ++s;
    } else if (star != std::u32string::npos) {
      p = star + 1;
      s = ++star_s;
    } else {
      return false;
    }
  }
  while (p < items.size() && items[p] == U'%') ++p;
  return p == items.size();
}

}  // namespace standin::text
