// The connection dialog's rules apart from its window: the time-out box's numbers, the OK
// button's checks, the authentication switch, what the boxes start with and the messages.
#include <gtest/gtest.h>

#include <limits>

#include "platform/Platform.hpp"
#include "sqlserver/ConnectDialog.hpp"

namespace {

using namespace basSQLServer;

TEST(ConnectDialogTest, TheTimeOutBoxReadsTheNumberItsTextBeginsWith) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    const char* text;
    double value;
    std::int32_t seconds;  // rounded half to even
    const char* afterLeaving;
  } cases[] = {
      // clang-format off
      {"15", 15, 15, "15"},     {"-5", -5, -5, "5"},      {"5a", 5, 5, "5a"},
      {".5", 0.5, 0, ".5"},     {"1.5", 1.5, 2, "1.5"},   {"2.5", 2.5, 2, "2.5"},
      {"3.5", 3.5, 4, "3.5"},   {" -2.5x", -2.5, -2, "2.5"}, {"  7", 7, 7, "  7"},
      {"+8", 8, 8, "+8"},       {"9999999999", 9999999999, kMax, "9999999999"},
      {"-1234567", -1234567, -1234567, "1234567"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumericValue(c.text), c.value) << c.text;
    EXPECT_EQ(TimeoutSeconds(c.text), c.seconds) << c.text;
    EXPECT_EQ(TimeoutAfterLeaving(c.text), c.afterLeaving) << c.text;
    EXPECT_EQ(TimeoutWarning(c.text), std::nullopt) << c.text;
  }
  for (const char* zero : {"", "ab", "-", ".", "-.", "a5", "\t5", "00", " "}) {
    EXPECT_EQ(NumericValue(zero), 0) << zero;
    EXPECT_EQ(TimeoutAfterLeaving(zero), zero);
    EXPECT_EQ(TimeoutWarning(zero), "タイムアウトまでの時間(秒)を設定してください。") << zero;
  }
}

TEST(ConnectDialogTest, TheOkButtonWarnsOfTheFirstBlankEntry) {
  const struct {
    const char *server, *user, *password;
    bool windows;
    std::optional<std::string> warning;
  } cases[] = {
      {"  ", "", "", false, "サーバー名を指定してください。"},
      {"S", " ", "", false, "ユーザー名を指定してください。"},
      {"S", "", "", true, "ユーザー名を指定してください。"},
      {"S", "u", "  ", false, "パスワードを指定してください。"},
      {"S", "u", "", true, std::nullopt},
      {"S", "\t", "p", false, std::nullopt},  // only spaces are blank
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MissingEntry(c.server, c.user, c.password, c.windows), c.warning)
        << c.server << c.user;
  }
}

TEST(ConnectDialogTest, TheEntriesAreStoredTrimmedWithTheTimeOutRounded) {
  SQLServer settings;
  StoreEntries(settings, " SRV\\I ", false, " sa ", " p w ", "2.5");
  EXPECT_EQ((std::vector{settings.DataSource(), settings.InitialCatalog(), settings.UserID(),
                         settings.Password()}),
            (std::vector<std::string>{"SRV\\I", "master", "sa", "p w"}));
  EXPECT_FALSE(settings.LoginSecure());
  EXPECT_EQ(settings.ConnectionTimeout(), 2);
  StoreEntries(settings, "S", true, "\tu\t", "", "3.5");
  EXPECT_TRUE(settings.LoginSecure());
  EXPECT_EQ(settings.UserID(), "\tu\t");
  EXPECT_EQ(settings.ConnectionTimeout(), 4);
}

TEST(ConnectDialogTest, TheSwitchShowsTheWindowsAccountOrEmptiesTheLogin) {
  const auto windows = AuthenticationSwitch(2);
  EXPECT_EQ(windows->user,
            platform::Environment("USERDOMAIN") + "\\" + platform::Environment("USERNAME"));
  EXPECT_FALSE(windows->enabled);
  EXPECT_EQ(windows->background, kButtonFace);
  const auto sql = AuthenticationSwitch(1);
  EXPECT_EQ(sql->user, "");
  EXPECT_TRUE(sql->enabled);
  EXPECT_EQ(sql->background, kWindowBackground);
  EXPECT_FALSE(AuthenticationSwitch(0) || AuthenticationSwitch(3));
}

TEST(ConnectDialogTest, TheBoxesStartWithEarlierSettingsOrTheDefaults) {
  SQLServer settings;
  settings.ConnectionTimeout(30);
  const std::string server = platform::Environment("COMPUTERNAME") + "\\VORNAINSTANCE2";
  for (const char* none : {"", "  "}) {
    settings.DataSource(none);
    const auto defaults = EntriesFor(settings);
    EXPECT_EQ(std::tie(defaults.dataSource, defaults.loginSecureIndex, defaults.timeout),
              std::tuple(server, 2, "15"));
  }
  settings.DataSource("SRV\\INST");
  for (const bool secure : {false, true}) {
    settings.LoginSecure(secure);
    const auto earlier = EntriesFor(settings);
    EXPECT_EQ(std::tie(earlier.dataSource, earlier.loginSecureIndex, earlier.timeout),
              std::tuple("SRV\\INST", secure ? 2 : 1, "30"));
  }
}

TEST(ConnectDialogTest, TheFailureMessageHasSevenLines) {
  EXPECT_EQ(
      ConnectFailureMessage("D"),
      "サーバーに接続できません。\r\nD\r\n\r\nサーバーに接続できないのは以下の原因が考えられます。"
      "\r\n・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名、パスワードに誤りがある。\r\n"
      "・サーバー側のファイアーウォールの設定が不十分である。");
}

}  // namespace
