// The connection dialog's rules that are not about drawing it: what its boxes start with, the
// authentication switch, the time-out box, the checks of the OK button and the messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sqlserver/SQLServer.hpp"

namespace basSQLServer {

/// The dialog's caption, also the title of its message boxes.
inline constexpr const char* DialogCaption = "サーバー接続設定";

/// Windows system colour indexes of the user and password boxes' backgrounds.
inline constexpr int kWindowBackground = 5;
inline constexpr int kButtonFace = 15;

/// What the server, authentication and time-out boxes start with: the earlier settings when
/// they name a server, else "<COMPUTERNAME>\VORNAINSTANCE2", Windows authentication and 15.
struct InitialEntries {
  std::string dataSource;
  int loginSecureIndex;  ///< 1 SQL Server authentication, 2 Windows authentication
  std::string timeout;
};
InitialEntries EntriesFor(const SQLServer& settings);

/// The user and password boxes after the authentication switch: index 1 (SQL Server
/// authentication) empties and enables both; index 2 (Windows authentication) shows the
/// account "<USERDOMAIN>\<USERNAME>" and disables both. Other indexes change nothing.
struct LoginBoxes {
  std::string user;
  bool enabled;
  int background;  ///< a system colour index
};
std::optional<LoginBoxes> AuthenticationSwitch(int index);

/// The warning when the focus tries to leave the time-out box holding `text`: its numeric value
/// must not be 0.
std::optional<std::string> TimeoutWarning(std::string_view text);

/// The time-out box's text once it has lost the focus: a negative number made positive.
std::string TimeoutAfterLeaving(std::string_view text);

/// The first of the OK button's warnings that applies: a blank server name, a blank user name,
/// or with SQL Server authentication a blank password.
std::optional<std::string> MissingEntry(std::string_view dataSource, std::string_view user,
                                        std::string_view password, bool windowsAuthentication);

/// Writes the entries into the settings object in the dialog's order, trimmed and converted.
void StoreEntries(SQLServer& settings, std::string_view dataSource, bool windowsAuthentication,
                  std::string_view user, std::string_view password, std::string_view timeout);

/// The number a text begins with after leading blanks (sign, digits, decimal point and
/// fraction); 0 when it begins with no number: "15" 15, "-5" -5, "5a" 5, ".5" 0.5, "ab" 0.
double NumericValue(std::string_view text);

/// The time-out setting for a text: its numeric value rounded half to even.
std::int32_t TimeoutSeconds(std::string_view text);

/// A number as the dialog writes it back into a box: "5", "2.5".
std::string NumberText(double value);

/// Leading and trailing blanks (U+0020) removed.
std::string Trim(std::string_view text);

/// The warning after a failed connect attempt; `error` is the access layer's description.
std::string ConnectFailureMessage(const std::string& error);

}  // namespace basSQLServer
