// Code pages of collation families; conversion checks by iconv without transliteration.
#include "collations.hpp"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "text.hpp"

namespace standin::collations {
namespace {

constexpr auto kFamilies = std::to_array<std::pair<std::string_view, int>>({
    {"JAPANESE_", 932},
    {"LATIN1_GENERAL_", 1252},
    {"SQL_LATIN1_GENERAL_CP1_", 1252},
    {"CHINESE_PRC_", 936},
    {"CHINESE_TAIWAN_", 950},
    {"KOREAN_", 949},
    {"CYRILLIC_GENERAL_", 1251},
    {"GREEK_", 1253},
    {"THAI_", 874},
});

class Converter {
 public:
  explicit Converter(int code_page)
      : handle_(::iconv_open(("CP" + std::to_string(code_page)).c_str(), "UTF-8")) {
    if (handle_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error("no converter for code page " + std::to_string(code_page));
  }
  ~Converter() { ::iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool converts(std::string_view utf8) {
    char output[16];
    char* in = const_cast<char*>(utf8.data());
    char* out = output;
    std::size_t in_left = utf8.size();
    std::size_t out_left = sizeof output;
    const bool ok =
        ::iconv(handle_, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    return ok && in_left == 0;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<int> code_page(std::string_view collation) {
  const auto name = text::ascii_upper(collation);
  if (name.ends_with("_UTF8")) return kUtf8;
  for (const auto& [prefix, page] : kFamilies)
    if (name.starts_with(prefix)) return page;
  return std::nullopt;
}

bool case_sensitive(std::string_view collation) {
  const auto name = text::ascii_upper(collation);
  return name.find("_CS") != std::string::npos || name.find("_BIN") != std::string::npos;
}

std::string to_code_page(std::string_view utf8, int code_page) {
  const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
  if (code_page == text::kNational || code_page == kUtf8 ||
      std::all_of(utf8.begin(), utf8.end(), ascii))
    return std::string(utf8);
  Converter converter(code_page);
  std::string out;
  for (const char32_t c : text::decode_utf8(utf8)) {
    const auto character = text::encode_utf8(std::u32string(1, c));
    out += c < 0x80 || converter.converts(character) ? character : std::string("?");
  }
  return out;
}

}  // namespace standin::collations
