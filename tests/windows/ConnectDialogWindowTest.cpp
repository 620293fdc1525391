// The connection dialog as a user drives it: focus and colours as drawn, the time-out box's hold
// on the focus, the authentication switch, attempts and closes. Its rules apart from the window
// are tested in core/ConnectDialogTest, its layout in ScalingWindowTest.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <functional>
#include <thread>

#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"
#include "sqlserver/ConnectDialog.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestServer.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

using namespace windowtest;
using Box = support::RecordingUi::Box;
using Dialog = frmSqlConnect;

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kSqlLogin = Dialog::optLoginSecure0 + 1;
constexpr int kWindowsLogin = Dialog::optLoginSecure0 + 2;

Box Warning(const std::string& text) {
  return {text, platform::Icon::Exclamation, "サーバー接続設定"};
}

class ConnectDialogWindowTest : public testing::Test {
 protected:
  ConnectDialogWindowTest() { UseAccount(); }
  /// The dialog shown, as start-up shows it.
  std::unique_ptr<Dialog> Open() {
    auto dialog = std::make_unique<Dialog>(settings_, connection_, ui_);
    dialog->Show();
    win32::DoEvents();
    return dialog;
  }
  static void SqlLogin(Dialog& dialog, const support::TestServer& server,
                       const std::wstring& password) {
    dialog.SetText(Dialog::txtDataSource, win32::Wide(server.DataSource()));
    Click(dialog.Item(kSqlLogin));
    dialog.SetText(Dialog::txtUserID, win32::Wide(server.Login()));
    dialog.SetText(Dialog::txtPasswd, password);
  }
  /// Nothing was tried and the dialog is still open.
  void ExpectNoAttempt(const Dialog& dialog) const {
    EXPECT_EQ(connection_, nullptr);
    EXPECT_EQ(settings_.DataSource(), "");
    EXPECT_TRUE(dialog.IsLoaded());
    EXPECT_EQ(ui_.ended, 0);
  }

  SQLServer settings_;
  std::unique_ptr<odbc::Connection> connection_;
  support::RecordingUi ui_;
};

TEST_F(ConnectDialogWindowTest, HasTheDesignsPixelsAtNinetySixDpiAndItsOwnIcon) {
  const auto dialog = Open();
  // At 96 dpi a pixel is 15 twips, and 10.5 pt and 9 pt are 14 and 12 pixels high.
  ASSERT_EQ(dialog->Dpi(), 96);
  const RECT ok = PlaceOf(dialog->Item(Dialog::cmdConn));
  EXPECT_EQ((std::array{ok.left, ok.top, ok.right, ok.bottom}),
            (std::array{153L, 147L, 233L, 171L}));
  EXPECT_EQ(FontOf(dialog->Item(Dialog::Label0)).lfHeight, -14);
  EXPECT_EQ(FontOf(dialog->Item(Dialog::cmdCancel)).lfHeight, -12);
  EXPECT_NE(SendMessageW(dialog->Handle(), WM_GETICON, ICON_BIG, 0), 0);
  // The icon group's directory: one image, 128 by 128 pixels of 24 bits.
  const HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* icons = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  EXPECT_EQ((std::array{icons[4], icons[6], icons[7], icons[12]}),
            (std::array<BYTE, 4>{1, 128, 128, 24}));
}

TEST_F(ConnectDialogWindowTest, OpensWithTheFocusInTheServerBoxAndEarlierSettingsTakenOver) {
  const struct {
    const char *earlier, *server;  // earlier: the settings' server; none, the defaults
    int option;
    const char *user, *timeout;
    COLORREF loginBackground;
  } cases[] = {
      {"", "PC01\\VORNAINSTANCE2", kWindowsLogin, "CORP\\user01", "15", GetSysColor(COLOR_BTNFACE)},
      {"SRV\\INST", "SRV\\INST", kSqlLogin, "", "30", GetSysColor(COLOR_WINDOW)},
  };
  for (const auto& c : cases) {
    settings_.DataSource(c.earlier);
    settings_.ConnectionTimeout(30);
    const auto dialog = Open();
    const HWND server = dialog->Item(Dialog::txtDataSource);
    EXPECT_EQ(TextOf(server), c.server);
    EXPECT_EQ(dialog->IsChecked(kSqlLogin), c.option == kSqlLogin);
    EXPECT_EQ(dialog->IsChecked(kWindowsLogin), c.option == kWindowsLogin);
    EXPECT_EQ(TextOf(dialog->Item(Dialog::txtUserID)), c.user);
    for (const int id : {Dialog::txtUserID, Dialog::txtPasswd}) {
      EXPECT_EQ(IsWindowEnabled(dialog->Item(id)), c.option == kSqlLogin) << id;
      EXPECT_EQ(BackgroundOf(dialog->Item(id)), c.loginBackground) << id;
    }
    EXPECT_EQ(TextOf(dialog->Item(Dialog::txtConnectionTimeout)), c.timeout);
    // The whole text selected, on yellow.
    EXPECT_EQ(GetFocus(), server);
    EXPECT_EQ(BackgroundOf(server), kYellow);
    RECT box{};
    GetClientRect(server, &box);
    EXPECT_EQ(PixelOf(server, {box.right - 3, box.bottom / 2}), kYellow);
    EXPECT_EQ(SendMessageW(server, EM_GETSEL, 0, 0), MAKELONG(0, std::string(c.server).size()));
  }
}

// SQL Server authentication opens the login boxes to the focus, in the design's order.
TEST_F(ConnectDialogWindowTest, TheAuthenticationSwitchSetsTheBoxesAndTheFocusMovesInDesignOrder) {
  const auto dialog = Open();
  const HWND user = dialog->Item(Dialog::txtUserID);
  const HWND password = dialog->Item(Dialog::txtPasswd);
  Click(dialog->Item(kSqlLogin));
  EXPECT_TRUE(dialog->IsChecked(kSqlLogin));
  EXPECT_EQ(TextOf(user), "");
  EXPECT_TRUE(IsWindowEnabled(user) && IsWindowEnabled(password));
  EXPECT_EQ(BackgroundOf(password), GetSysColor(COLOR_WINDOW));
  SetFocus(dialog->Item(Dialog::txtDataSource));
  for (const int id : std::initializer_list<int>{kSqlLogin, Dialog::txtUserID, Dialog::txtPasswd,
                                                 Dialog::txtConnectionTimeout, Dialog::cmdConn,
                                                 Dialog::cmdCancel, Dialog::txtDataSource}) {
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), dialog->Item(id)) << id;
  }
  EXPECT_EQ(BackgroundOf(dialog->Item(Dialog::txtConnectionTimeout)), kWhite);
  EXPECT_EQ(BackgroundOf(dialog->Item(Dialog::txtDataSource)), kYellow);
  Key(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(GetFocus(), dialog->Item(Dialog::cmdCancel));
  EXPECT_EQ(BackgroundOf(dialog->Item(Dialog::txtDataSource)), kWhite);

  dialog->SetText(Dialog::txtPasswd, L"x");
  Click(dialog->Item(kWindowsLogin));
  EXPECT_EQ(TextOf(user), "CORP\\user01");
  EXPECT_EQ(TextOf(password), "");
  EXPECT_FALSE(IsWindowEnabled(user) || IsWindowEnabled(password));
  EXPECT_EQ(BackgroundOf(password), GetSysColor(COLOR_BTNFACE));
}

TEST_F(ConnectDialogWindowTest, AWarningGivesTheFocusBackToTheBoxItWasIn) {
  // A real message box: the dialog is deactivated and activated again.
  win32::Ui real;
  const auto dialog = std::make_unique<Dialog>(settings_, connection_, real);
  dialog->Show();
  const HWND timeout = dialog->Item(Dialog::txtConnectionTimeout);
  SetFocus(timeout);
  dialog->SetText(Dialog::txtConnectionTimeout, L"0");
  std::thread closer([] {
    support::WaitFor([] {
      const HWND box = FindOwnWindow(L"#32770", L"サーバー接続設定");
      return box != nullptr && PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
  });
  Click(dialog->Item(Dialog::cmdConn));
  closer.join();
  EXPECT_EQ(GetFocus(), timeout);
  EXPECT_EQ(BackgroundOf(timeout), kYellow);
}

TEST_F(ConnectDialogWindowTest, OkAndItsAccessKeyWarnOfABlankEntryAndEnterAndEscDoNothing) {
  const auto dialog = Open();
  dialog->SetText(Dialog::txtDataSource, L"   ");
  Click(dialog->Item(Dialog::cmdConn));
  dialog->SetText(Dialog::txtDataSource, L"S");
  Click(dialog->Item(kSqlLogin));
  dialog->SetText(Dialog::txtUserID, L"sa");
  dialog->SetText(Dialog::txtPasswd, L"  ");
  SetFocus(dialog->Item(Dialog::txtDataSource));
  Key('O', {VK_MENU});
  Key(VK_RETURN);
  Key(VK_ESCAPE);
  EXPECT_EQ(ui_.boxes, (std::vector{Warning("サーバー名を指定してください。"),
                                    Warning("パスワードを指定してください。")}));
  ExpectNoAttempt(*dialog);
}

TEST_F(ConnectDialogWindowTest, AZeroTimeOutKeepsTheFocusAndSwallowsWhatWouldMoveIt) {
  const auto dialog = Open();
  const HWND timeout = dialog->Item(Dialog::txtConnectionTimeout);
  SetFocus(timeout);
  dialog->SetText(Dialog::txtConnectionTimeout, L"");
  // Clicks on controls that take the focus (a label takes none: no move), Tab, the access key,
  // and presses without a click or a key, as accessibility tools send them.
  for (const int id : std::initializer_list<int>{
           Dialog::cmdConn, Dialog::cmdCancel, Dialog::txtDataSource, kSqlLogin, Dialog::Label0}) {
    Click(dialog->Item(id));
  }
  Key(VK_TAB);
  Key('O', {VK_MENU});
  for (const int id : {Dialog::cmdCancel, Dialog::cmdConn}) {
    SendMessageW(dialog->Item(id), BM_CLICK, 0, 0);
    win32::DoEvents();
    EXPECT_EQ(GetFocus(), timeout) << id;
  }
  EXPECT_EQ(ui_.boxes,
            std::vector<Box>(8, Warning("タイムアウトまでの時間(秒)を設定してください。")));
  EXPECT_EQ(GetFocus(), timeout);
  EXPECT_EQ(BackgroundOf(timeout), kYellow);
  EXPECT_TRUE(dialog->IsChecked(kWindowsLogin));
  ExpectNoAttempt(*dialog);
}

TEST_F(ConnectDialogWindowTest, ASuccessfulAttemptClosesTheDialogWithTheConnectionOpen) {
  support::TestServer server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, L" " + win32::Wide(server.Password()) + L" ");
  // Leaving the time-out box makes a negative number positive.
  SetFocus(dialog->Item(Dialog::txtConnectionTimeout));
  dialog->SetText(Dialog::txtConnectionTimeout, L"-5");
  Click(dialog->Item(Dialog::txtUserID));
  EXPECT_EQ(TextOf(dialog->Item(Dialog::txtConnectionTimeout)), "5");
  EXPECT_EQ(BackgroundOf(dialog->Item(Dialog::txtConnectionTimeout)), kWhite);
  Click(dialog->Item(Dialog::cmdConn));
  EXPECT_FALSE(dialog->IsLoaded());
  ASSERT_NE(connection_, nullptr);
  EXPECT_TRUE(settings_.ConnectingResult() && connection_->IsOpen());
  EXPECT_EQ(settings_.ConnectionTimeout(), 5);
  EXPECT_EQ(settings_.Password(), server.Password());
  EXPECT_FALSE(win32::Hourglass());
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ConnectDialogWindowTest, AFailedAttemptExplainsAndStaysOpenForTheNext) {
  support::TestServer server({.wireLog = true});
  const auto dialog = Open();
  SqlLogin(*dialog, server, L"wrong");
  Click(dialog->Item(Dialog::cmdConn));
  Click(dialog->Item(Dialog::cmdConn));
  EXPECT_EQ(ui_.boxes,
            std::vector<Box>(
                2, Warning(basSQLServer::ConnectFailureMessage("Login failed for user 'sa'."))));
  int logins = 0;
  for (const auto& entry : server.WireLog()) logins += entry.value("kind", "") == "login";
  EXPECT_EQ(logins, 2);
  EXPECT_TRUE(dialog->IsLoaded());
  EXPECT_FALSE(settings_.ConnectingResult() || win32::Hourglass());
}

TEST_F(ConnectDialogWindowTest, CancelAndTheCloseBoxEndTheProgramOtherClosesDoNot) {
  // The close box, the system menu's Close and Alt+F4 all arrive as SC_CLOSE; WM_CLOSE comes
  // from outside, as the task manager sends it.
  const std::pair<std::function<void(HWND)>, int> closes[] = {
      {[](HWND dialog) { Click(GetDlgItem(dialog, Dialog::cmdCancel)); }, 1},
      {[](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, 1},
      {[](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); }, 0},
      {[](HWND dialog) {
         EXPECT_EQ(SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0), TRUE);
         SendMessageW(dialog, WM_ENDSESSION, TRUE, 0);
       },
       0},
  };
  for (const auto& [close, ends] : closes) {
    ui_.ended = 0;
    const auto dialog = Open();
    close(dialog->Handle());
    EXPECT_FALSE(dialog->IsLoaded());
    EXPECT_EQ(ui_.ended, ends);
  }
  EXPECT_EQ(connection_, nullptr);
  EXPECT_TRUE(ui_.boxes.empty());
}

}  // namespace
