// Numbers and messages of the connection dialog.
#include "sqlserver/ConnectDialog.hpp"

#include <cctype>
#include <cmath>
#include <limits>
#include <sstream>

#include "platform/Platform.hpp"

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

InitialEntries EntriesFor(const SQLServer& settings) {
  if (!Trim(settings.DataSource()).empty()) {
    return {settings.DataSource(), settings.LoginSecure() ? 2 : 1,
            std::to_string(settings.ConnectionTimeout())};
  }
  return {platform::Environment("COMPUTERNAME") + "\\VORNAINSTANCE2", 2, "15"};
}

std::optional<LoginBoxes> AuthenticationSwitch(int index) {
  if (index == 1) return LoginBoxes{"", true, kWindowBackground};
  if (index == 2) {
    return LoginBoxes{
        platform::Environment("USERDOMAIN") + "\\" + platform::Environment("USERNAME"), false,
        kButtonFace};
  }
  return std::nullopt;
}

std::optional<std::string> TimeoutWarning(std::string_view text) {
  if (NumericValue(text) != 0) return std::nullopt;
  return "タイムアウトまでの時間(秒)を設定してください。";
}

std::string TimeoutAfterLeaving(std::string_view text) {
  const double value = NumericValue(text);
  return value < 0 ? NumberText(-value) : std::string(text);
}

std::optional<std::string> MissingEntry(std::string_view dataSource, std::string_view user,
                                        std::string_view password, bool windowsAuthentication) {
  if (Trim(dataSource).empty()) return "サーバー名を指定してください。";
  if (Trim(user).empty()) return "ユーザー名を指定してください。";
  if (!windowsAuthentication && Trim(password).empty()) return "パスワードを指定してください。";
  return std::nullopt;
}

void StoreEntries(SQLServer& settings, std::string_view dataSource, bool windowsAuthentication,
                  std::string_view user, std::string_view password, std::string_view timeout) {
  settings.DataSource(Trim(dataSource));
  settings.InitialCatalog("master");
  settings.LoginSecure(windowsAuthentication);
  settings.UserID(Trim(user));
  settings.Password(Trim(password));
  settings.ConnectionTimeout(TimeoutSeconds(timeout));
}

}  // namespace basSQLServer
