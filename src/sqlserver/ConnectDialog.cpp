// Numbers and messages of the connection dialog.
#include "sqlserver/ConnectDialog.hpp"

#include <cctype>
#include <cmath>
#include <limits>
#include <sstream>

namespace basSQLServer {

double NumericValue(std::string_view text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return 0;
  const std::size_t start = i;
  if (text[i] == '+' || text[i] == '-') ++i;
  const std::size_t digitsFrom = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  bool digits = i > digitsFrom;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionFrom = ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    digits = digits || i > fractionFrom;
  }
  if (!digits) return 0;
  std::istringstream number{std::string(text.substr(start, i - start))};
  number.imbue(std::locale::classic());
  double value = 0;
  number >> value;
  return value;
}

std::int32_t TimeoutSeconds(std::string_view text) {
  // nearbyint rounds in the default mode: to nearest, ties to even (0.5 gives 0).
  const double rounded = std::nearbyint(NumericValue(text));
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded > kMax ? kMax : rounded < kMin ? kMin : rounded);
}

std::string NumberText(double value) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text.precision(15);
  text << value;
  return text.str();
}

std::string Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string ConnectFailureMessage(const std::string& error) {
  return "サーバーに接続できません。\r\n" + error +
         "\r\n\r\nサーバーに接続できないのは以下の原因が考えられます。\r\n"
         "・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名、パスワードに誤りがある。\r\n"
         "・サーバー側のファイアーウォールの設定が不十分である。";
}

}  // namespace basSQLServer
