// The connection dialog, built from its design and driven as a user drives it.
#include <gtest/gtest.h>
#include <windows.h>

#include <imm.h>

#include <thread>

#include "platform/Twips.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestServer.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

using support::TestServer;
using windowtest::BackgroundOf;
using windowtest::Click;
using windowtest::Key;
using windowtest::TextOf;

constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kOption1 = frmSqlConnect::optLoginSecure0 + 1;
constexpr int kOption2 = frmSqlConnect::optLoginSecure0 + 2;

class ConnectDialogWindowTest : public testing::Test {
 protected:
  /// The dialog shown, as start-up shows it.
  std::unique_ptr<frmSqlConnect> Open() {
    auto dialog = std::make_unique<frmSqlConnect>(settings_, connection_, ui_);
    dialog->Show();
    windowtest::Pump();
    return dialog;
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> texts;
    for (const auto& box : ui_.boxes) {
      EXPECT_EQ(box.icon, platform::Icon::Exclamation);
      EXPECT_EQ(box.title, "サーバー接続設定");
      texts.push_back(box.text);
    }
    return texts;
  }
  static void Type(frmSqlConnect& dialog, int box, const std::wstring& text) {
    dialog.SetText(box, text);
  }
  void SqlLogin(frmSqlConnect& dialog, const TestServer& server, const std::wstring& password) {
    Type(dialog, frmSqlConnect::txtDataSource, win32::Wide(server.DataSource()));
    Click(dialog.Item(kOption1));
    Type(dialog, frmSqlConnect::txtUserID, win32::Wide(server.Login()));
    Type(dialog, frmSqlConnect::txtPasswd, password);
  }

  windowtest::Environment environment_{
      {L"COMPUTERNAME", L"PC01"}, {L"USERDOMAIN", L"CORP"}, {L"USERNAME", L"user01"}};
  SQLServer settings_;
  std::unique_ptr<odbc::Connection> connection_;
  support::RecordingUi ui_;
};

TEST_F(ConnectDialogWindowTest, IsBuiltAsDesigned) {
  const auto dialog = Open();
  windowtest::ExpectBuiltAsDesigned(*dialog,
                                    {frmSqlConnect::txtDataSource, frmSqlConnect::txtUserID});
  // At 96 dpi a pixel is 15 twips, and 10.5 pt and 9 pt are 14 and 12 pixels high.
  ASSERT_EQ(dialog->Dpi(), 96);
  EXPECT_EQ(windowtest::Edges(windowtest::PlaceOf(dialog->Item(frmSqlConnect::cmdConn))),
            (std::array<LONG, 4>{153, 147, 233, 171}));
  EXPECT_EQ(windowtest::FontOf(dialog->Item(frmSqlConnect::Label0)).lfHeight, -14);
  EXPECT_EQ(windowtest::FontOf(dialog->Item(frmSqlConnect::cmdCancel)).lfHeight, -12);
  EXPECT_EQ(SendMessageW(dialog->Item(frmSqlConnect::txtPasswd), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_TRUE(windowtest::HasStyle(dialog->Item(frmSqlConnect::txtConnectionTimeout), ES_RIGHT));
  // Neither button is a default button.
  for (const int id : {frmSqlConnect::cmdConn, frmSqlConnect::cmdCancel}) {
    EXPECT_FALSE(windowtest::HasStyle(dialog->Item(id), BS_DEFPUSHBUTTON)) << id;
  }
}

TEST_F(ConnectDialogWindowTest, HasItsOwnIconOf128PixelsIn24Bits) {
  const auto dialog = Open();
  EXPECT_NE(SendMessageW(dialog->Handle(), WM_GETICON, ICON_BIG, 0), 0);
  const auto icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 128);
  EXPECT_EQ(colour.bmHeight, 128);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  const HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  EXPECT_EQ(directory[4], 1);       // one image
  EXPECT_EQ(directory[6 + 6], 24);  // of 24 bits a pixel
}

TEST_F(ConnectDialogWindowTest, OpensWithTheDefaultsOfTheEnvironment) {
  const auto dialog = Open();
  const auto item = [&](int id) { return dialog->Item(id); };
  EXPECT_EQ(TextOf(item(frmSqlConnect::txtDataSource)), "PC01\\VORNAINSTANCE2");
  EXPECT_TRUE(dialog->IsChecked(kOption2));
  EXPECT_FALSE(dialog->IsChecked(kOption1));
  EXPECT_EQ(TextOf(item(frmSqlConnect::txtUserID)), "CORP\\user01");
  EXPECT_FALSE(IsWindowEnabled(item(frmSqlConnect::txtUserID)));
  EXPECT_EQ(BackgroundOf(item(frmSqlConnect::txtUserID)), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(TextOf(item(frmSqlConnect::txtPasswd)), "");
  EXPECT_FALSE(IsWindowEnabled(item(frmSqlConnect::txtPasswd)));
  EXPECT_EQ(TextOf(item(frmSqlConnect::txtConnectionTimeout)), "15");
  EXPECT_EQ(GetFocus(), item(frmSqlConnect::txtDataSource));
  EXPECT_EQ(BackgroundOf(item(frmSqlConnect::txtDataSource)), kYellow);
  RECT box{};
  GetClientRect(item(frmSqlConnect::txtDataSource), &box);
  EXPECT_EQ(
      windowtest::PixelOf(item(frmSqlConnect::txtDataSource), {box.right - 3, box.bottom / 2}),
      kYellow);  // right of the selected text
  DWORD start = 0, end = 0;
  SendMessageW(item(frmSqlConnect::txtDataSource), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 19u);  // the whole text
}

TEST_F(ConnectDialogWindowTest, TheAuthenticationSwitchSetsTextsStatesAndColours) {
  const auto dialog = Open();
  const HWND user = dialog->Item(frmSqlConnect::txtUserID);
  const HWND password = dialog->Item(frmSqlConnect::txtPasswd);
  Click(dialog->Item(kOption1));
  EXPECT_TRUE(dialog->IsChecked(kOption1));
  EXPECT_EQ(TextOf(user), "");
  EXPECT_TRUE(IsWindowEnabled(user) && IsWindowEnabled(password));
  EXPECT_EQ(BackgroundOf(password), GetSysColor(COLOR_WINDOW));
  dialog->SetText(frmSqlConnect::txtPasswd, L"x");
  Click(dialog->Item(kOption2));
  EXPECT_EQ(TextOf(user), "CORP\\user01");
  EXPECT_EQ(TextOf(password), "");
  EXPECT_FALSE(IsWindowEnabled(password));
  EXPECT_EQ(BackgroundOf(password), GetSysColor(COLOR_BTNFACE));
}

TEST_F(ConnectDialogWindowTest, TheFocusMovesInDesignOrderAndColoursTheBoxes) {
  const auto dialog = Open();
  Click(dialog->Item(kOption1));
  SetFocus(dialog->Item(frmSqlConnect::txtDataSource));
  const int order[] = {kOption1,
                       frmSqlConnect::txtUserID,
                       frmSqlConnect::txtPasswd,
                       frmSqlConnect::txtConnectionTimeout,
                       frmSqlConnect::cmdConn,
                       frmSqlConnect::cmdCancel,
                       frmSqlConnect::txtDataSource};
  for (const int id : order) {
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), dialog->Item(id)) << id;
  }
  EXPECT_EQ(BackgroundOf(dialog->Item(frmSqlConnect::txtConnectionTimeout)), kWhite);
  EXPECT_EQ(BackgroundOf(dialog->Item(frmSqlConnect::txtDataSource)), kYellow);
  Key(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(GetFocus(), dialog->Item(frmSqlConnect::cmdCancel));
  EXPECT_EQ(BackgroundOf(dialog->Item(frmSqlConnect::txtDataSource)), kWhite);
}

TEST_F(ConnectDialogWindowTest, TheInputMethodIsOffInTheBoxes) {
  const auto dialog = Open();
  if (ImmGetContext(dialog->Item(frmSqlConnect::txtDataSource)) == nullptr) {
    GTEST_SKIP() << "this system gives windows no input method context";
  }
  for (const int id : {frmSqlConnect::txtDataSource, frmSqlConnect::txtConnectionTimeout}) {
    const HWND box = dialog->Item(id);
    SetFocus(dialog->Item(frmSqlConnect::cmdConn));
    const HIMC context = ImmGetContext(box);
    ImmSetOpenStatus(context, TRUE);
    SetFocus(box);
    EXPECT_FALSE(ImmGetOpenStatus(context)) << id;
    ImmReleaseContext(box, context);
  }
}

TEST_F(ConnectDialogWindowTest, AWarningGivesTheFocusBackToTheBoxItWasIn) {
  // A real message box: the dialog is deactivated and activated again.
  win32::Ui real;
  const auto dialog = std::make_unique<frmSqlConnect>(settings_, connection_, real);
  dialog->Show();
  const HWND timeout = dialog->Item(frmSqlConnect::txtConnectionTimeout);
  SetFocus(timeout);
  dialog->SetText(frmSqlConnect::txtConnectionTimeout, L"0");
  std::thread closer([] {
    support::WaitFor([] {
      const HWND box = windowtest::FindOwnWindow(L"#32770", L"サーバー接続設定");
      if (box != nullptr) PostMessageW(box, WM_COMMAND, IDOK, 0);
      return box != nullptr;
    });
  });
  Click(dialog->Item(frmSqlConnect::cmdConn));
  closer.join();
  EXPECT_EQ(GetFocus(), timeout);
  EXPECT_EQ(BackgroundOf(timeout), kYellow);
}

TEST_F(ConnectDialogWindowTest, BlankEntriesAreRefusedInOrderWithoutAnAttempt) {
  const auto dialog = Open();
  dialog->SetText(frmSqlConnect::txtDataSource, L"   ");
  Click(dialog->Item(frmSqlConnect::cmdConn));
  dialog->SetText(frmSqlConnect::txtDataSource, L"S");
  Click(dialog->Item(kOption1));
  Click(dialog->Item(frmSqlConnect::cmdConn));
  dialog->SetText(frmSqlConnect::txtUserID, L"sa");
  dialog->SetText(frmSqlConnect::txtPasswd, L"  ");
  // The access key presses OK as a click does; Enter and Esc press no button.
  SetFocus(dialog->Item(frmSqlConnect::txtDataSource));
  Key('O', {VK_MENU});
  Key(VK_RETURN);
  Key(VK_ESCAPE);
  EXPECT_EQ(Warnings(), (std::vector<std::string>{"サーバー名を指定してください。",
                                                  "ユーザー名を指定してください。",
                                                  "パスワードを指定してください。"}));
  EXPECT_EQ(connection_, nullptr);
  EXPECT_EQ(settings_.DataSource(), "");
  EXPECT_TRUE(dialog->IsLoaded());
  EXPECT_EQ(ui_.ended, 0);
}

TEST_F(ConnectDialogWindowTest, AZeroTimeOutKeepsTheFocusAndSwallowsWhatWouldMoveIt) {
  const auto dialog = Open();
  const HWND timeout = dialog->Item(frmSqlConnect::txtConnectionTimeout);
  SetFocus(timeout);
  dialog->SetText(frmSqlConnect::txtConnectionTimeout, L"");
  for (const int id : std::initializer_list<int>{frmSqlConnect::cmdConn, frmSqlConnect::cmdCancel,
                                                 frmSqlConnect::txtDataSource, kOption1}) {
    Click(dialog->Item(id));
  }
  Key(VK_TAB);
  Key('O', {VK_MENU});
  EXPECT_EQ(Warnings(),
            std::vector<std::string>(6, "タイムアウトまでの時間(秒)を設定してください。"));
  EXPECT_EQ(GetFocus(), timeout);
  EXPECT_EQ(BackgroundOf(timeout), kYellow);
  EXPECT_TRUE(dialog->IsChecked(kOption2));
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_EQ(connection_, nullptr);
  EXPECT_TRUE(dialog->IsLoaded());
  // Labels take no focus: a click on one is no move.
  Click(dialog->Item(frmSqlConnect::Label0));
  EXPECT_EQ(ui_.boxes.size(), 6u);
  // A press that moves the focus without a click or a key, as accessibility tools send it.
  for (const int id : {frmSqlConnect::cmdCancel, frmSqlConnect::cmdConn}) {
    SendMessageW(dialog->Item(id), BM_CLICK, 0, 0);
    win32::DoEvents();
    EXPECT_EQ(GetFocus(), timeout) << id;
  }
  EXPECT_EQ(Warnings(),
            std::vector<std::string>(8, "タイムアウトまでの時間(秒)を設定してください。"));
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_EQ(connection_, nullptr);
  EXPECT_TRUE(dialog->IsLoaded());
}

TEST_F(ConnectDialogWindowTest, ANegativeTimeOutTurnsPositiveAndHalvesRoundToEven) {
  TestServer server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, L" " + win32::Wide(server.Password()) + L" ");
  SetFocus(dialog->Item(frmSqlConnect::txtConnectionTimeout));
  dialog->SetText(frmSqlConnect::txtConnectionTimeout, L"-5");
  Click(dialog->Item(frmSqlConnect::txtUserID));
  EXPECT_EQ(TextOf(dialog->Item(frmSqlConnect::txtConnectionTimeout)), "5");
  EXPECT_EQ(BackgroundOf(dialog->Item(frmSqlConnect::txtConnectionTimeout)), kWhite);
  Click(dialog->Item(frmSqlConnect::cmdConn));
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(settings_.ConnectionTimeout(), 5);
  EXPECT_EQ(settings_.Password(), server.Password());
  EXPECT_FALSE(dialog->IsLoaded());

  const auto again = Open();
  EXPECT_EQ(TextOf(again->Item(frmSqlConnect::txtConnectionTimeout)), "5");
  again->SetText(frmSqlConnect::txtConnectionTimeout, L".5");
  again->SetText(frmSqlConnect::txtUserID, win32::Wide(server.Login()));
  again->SetText(frmSqlConnect::txtPasswd, win32::Wide(server.Password()));
  Click(again->Item(frmSqlConnect::cmdConn));
  EXPECT_EQ(settings_.ConnectionTimeout(), 0);
}

TEST_F(ConnectDialogWindowTest, AFailedAttemptExplainsInSevenLinesAndStaysOpen) {
  TestServer server({.wireLog = true});
  const auto dialog = Open();
  SqlLogin(*dialog, server, L"wrong");
  Click(dialog->Item(frmSqlConnect::cmdConn));
  Click(dialog->Item(frmSqlConnect::cmdConn));
  const std::string message =
      "サーバーに接続できません。\r\nLogin failed for user 'sa'.\r\n\r\n"
      "サーバーに接続できないのは以下の原因が考えられます。\r\n"
      "・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名、パスワードに誤りがある。\r\n"
      "・サーバー側のファイアーウォールの設定が不十分である。";
  EXPECT_EQ(Warnings(), std::vector<std::string>(2, message));
  int logins = 0;
  for (const auto& entry : server.WireLog()) logins += entry.value("kind", "") == "login";
  EXPECT_EQ(logins, 2);
  EXPECT_TRUE(dialog->IsLoaded());
  EXPECT_FALSE(settings_.ConnectingResult());
  EXPECT_FALSE(win32::Hourglass());
}

TEST_F(ConnectDialogWindowTest, ASuccessfulAttemptClosesTheDialogWithTheConnectionOpen) {
  TestServer server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, win32::Wide(server.Password()));
  Click(dialog->Item(frmSqlConnect::cmdConn));
  EXPECT_FALSE(dialog->IsLoaded());
  EXPECT_TRUE(settings_.ConnectingResult());
  ASSERT_NE(connection_, nullptr);
  EXPECT_TRUE(connection_->IsOpen());
  EXPECT_EQ(settings_.InitialCatalog(), "master");
  EXPECT_FALSE(settings_.LoginSecure());
  EXPECT_FALSE(win32::Hourglass());
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ConnectDialogWindowTest, CancelAndTheCloseBoxEndTheProgramOtherClosesDoNot) {
  const auto cancelled = Open();
  Click(cancelled->Item(frmSqlConnect::cmdCancel));
  EXPECT_FALSE(cancelled->IsLoaded());
  EXPECT_EQ(ui_.ended, 1);
  // The close box, the system menu's Close and Alt+F4 all arrive as this command.
  const auto closed = Open();
  SendMessageW(closed->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(closed->IsLoaded());
  EXPECT_EQ(ui_.ended, 2);
  // A close sent from outside, as the task manager sends it, and the session's end.
  const auto outside = Open();
  SendMessageW(outside->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(outside->IsLoaded());
  const auto session = Open();
  EXPECT_EQ(SendMessageW(session->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(session->Handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(session->IsLoaded());
  EXPECT_EQ(ui_.ended, 2);
  EXPECT_EQ(connection_, nullptr);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ConnectDialogWindowTest, EarlierSettingsAreTakenOver) {
  settings_.DataSource("SRV\\INST");
  settings_.LoginSecure(false);
  settings_.ConnectionTimeout(30);
  const auto dialog = Open();
  EXPECT_EQ(TextOf(dialog->Item(frmSqlConnect::txtDataSource)), "SRV\\INST");
  EXPECT_TRUE(dialog->IsChecked(kOption1));
  EXPECT_FALSE(dialog->IsChecked(kOption2));
  EXPECT_EQ(TextOf(dialog->Item(frmSqlConnect::txtUserID)), "");
  EXPECT_TRUE(IsWindowEnabled(dialog->Item(frmSqlConnect::txtUserID)));
  EXPECT_TRUE(IsWindowEnabled(dialog->Item(frmSqlConnect::txtPasswd)));
  EXPECT_EQ(TextOf(dialog->Item(frmSqlConnect::txtConnectionTimeout)), "30");
}

}  // namespace
