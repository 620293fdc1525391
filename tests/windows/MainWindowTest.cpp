// The main window: what it shows, its keys and close requests, and a run as the user starts it.
// Its layout is checked with the other windows' in ScalingWindowTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "bankname/frmOravend.hpp"
#include "platform/Win32Loop.hpp"
#include "support/TestServer.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

using support::TestServer;
using windowtest::Key;
using windowtest::TextOf;

constexpr int Label(int index) { return frmOravend::lblMsg0 + index; }

const char* const kDatabase =
    "CREATE DATABASE qnt8dat01\nGO\nUSE qnt8dat01\n"
    "CREATE TABLE TBank (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40))\n"
    "INSERT INTO TBank VALUES ('0005', N'A', N'B')\nGO\n";

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    shared_.ProgramFolder = dir_.Path();
    WriteBank("0005,A,B,0005,C,D\r\n");
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly",
                       "TBank,BankCode,BankName,BankKana\r\n");
    support::WriteFile(dir_.Path() / "ORV_Vostrel_MasterOnly", "");
  }
  void WriteBank(const std::string& record) {
    support::WriteFile(dir_.Path() / "ORV_BankName", record);
  }
  /// The window loaded and shown, as start-up shows it.
  std::unique_ptr<frmOravend> Open() {
    auto window = std::make_unique<frmOravend>(shared_, ui_);
    if (window->Load()) window->Show();
    win32::DoEvents();
    return window;
  }
  void ConnectTo(const TestServer& server) { shared_.gConnection = server.Connect(); }
  int Boxes(const std::string& text) const {
    return static_cast<int>(std::count_if(ui_.boxes.begin(), ui_.boxes.end(),
                                          [&](const auto& box) { return box.text == text; }));
  }
  /// The requests that carry UPDATE statements: the trial's and the real pass's.
  static int Updates(const TestServer& server) {
    int updates = 0;
    for (const auto& sql : server.Batches())
      updates += sql.find("BEGIN TRANSACTION\r\nUPDATE") != std::string::npos;
    return updates;
  }

  support::TempDir dir_;
  basCommon::Shared shared_;
  support::RecordingUi ui_;
};

TEST_F(MainWindowTest, ShowsTheBankRecordAndTheProductsWithCloseFocused) {
  WriteBank("0005,A,B,0005,C,D,seventh\r\n");
  shared_.ProductLabel = "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nトリベル\r\n";
  const auto window = Open();
  const std::pair<int, std::string> values[] = {{6, "0005"},
                                                {7, "A"},
                                                {8, "B"},
                                                {10, "0005"},
                                                {11, "C"},
                                                {12, "D"},
                                                {13, shared_.ProductLabel}};
  for (const auto& [index, text] : values) {
    EXPECT_EQ(TextOf(window->Item(Label(index))), text) << index;
  }
  // 12 pt at 96 dpi.
  EXPECT_EQ(windowtest::FontOf(window->Item(Label(0))).lfHeight, -16);
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(ui_.boxes.empty());
  // The scope choice is there but hidden, and the master-only lists are in use.
  EXPECT_FALSE(IsWindowVisible(window->Item(frmOravend::Frame1)));
  EXPECT_TRUE(window->IsChecked(frmOravend::optTargetTable0 + 1));
  EXPECT_EQ(shared_.NotaraFile, "ORV_Notara_MasterOnly");
  EXPECT_EQ(shared_.VostrelFile, "ORV_Vostrel_MasterOnly");
  EXPECT_EQ(GetFocus(), window->Item(frmOravend::cmdCancel));
  for (const int id : {frmOravend::cmdOK, frmOravend::panel, frmOravend::cmdCancel}) {
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), window->Item(id)) << id;
  }
}

// One box says why, the file's own reader adding none, and the program ends.
TEST_F(MainWindowTest, ABankRecordThatCannotBeShownEndsTheProgramBeforeTheWindowShows) {
  const std::pair<std::string, std::string> cases[] = {
      {"0005,A,B,0005,C\r\n",
       "ファイル「ORV_BankName」の最後の行には項目が 6 つ必要です (5 個しかありません)。"},
      // Saved as ORV_BankName.txt, which Explorer shows as ORV_BankName.
      {"",
       "\r\n※同じフォルダーに「ORV_BankName.txt」があります。ファイル名の最後の「.txt」を消して"
       "ください (エクスプローラーでは拡張子が表示されないことがあります)。"},
  };
  for (const auto& [record, message] : cases) {
    if (record.empty()) {
      std::filesystem::rename(dir_.Path() / "ORV_BankName", dir_.Path() / "ORV_BankName.txt");
    } else {
      WriteBank(record);
    }
    ui_ = {};
    const auto window = Open();
    ASSERT_EQ(ui_.boxes.size(), 1u) << record;
    EXPECT_TRUE(ui_.boxes[0].text.ends_with(message)) << ui_.boxes[0].text;
    EXPECT_EQ(std::pair(ui_.boxes[0].icon, ui_.boxes[0].title),
              std::pair(platform::Icon::Critical, std::string("オラベンド")));
    EXPECT_EQ(ui_.ended, 1);
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
  }
}

TEST_F(MainWindowTest, ShiftRRunsOnceOnlyWithShiftAloneAndAltRAsTheButtonDoes) {
  TestServer server({.seed = kDatabase, .wireLog = true});
  ConnectTo(server);
  auto window = Open();
  Key('R');
  Key('R', {VK_SHIFT, VK_CONTROL});
  EXPECT_EQ(Updates(server), 0);
  EXPECT_TRUE(ui_.boxes.empty());
  Key('R', {VK_SHIFT});
  // The trial pass and the real pass each send the database's two statements once.
  EXPECT_EQ(Boxes("完了しました。"), 1);
  EXPECT_EQ(Updates(server), 2);
  EXPECT_EQ(ui_.ended, 1);
  ASSERT_NE(window->ProgressWindow(), nullptr);
  EXPECT_EQ(TextOf(window->ProgressWindow()->Item(frmProgressBar::lblProgress)), "100%");

  // The access key of "実行(&R)" runs it as a click does.
  window.reset();
  window = Open();
  Key('R', {VK_MENU});
  EXPECT_EQ(Boxes("完了しました。"), 2);
  EXPECT_EQ(Updates(server), 4);
}

TEST_F(MainWindowTest, WithNoDatabaseTheWarningComesOnceAndTheWindowStaysUsable) {
  TestServer server;
  ConnectTo(server);
  const auto window = Open();
  Key('R', {VK_SHIFT});
  EXPECT_EQ(ui_.boxes,
            (std::vector<support::RecordingUi::Box>{{"対象製品の会社データベースが見つかりません。",
                                                     platform::Icon::Exclamation, "オラベンド"}}));
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_TRUE(window->IsEnabled(frmOravend::cmdOK) && window->IsEnabled(frmOravend::cmdCancel));
  EXPECT_FALSE(window->IsRunning);
  EXPECT_FALSE(win32::Hourglass());
  EXPECT_FALSE(IsWindowVisible(window->ProgressWindow()->Handle()));

  // The record edited while the window stays open: Run shows it instead of writing it.
  WriteBank("0005,A,B,0005,X,Y\r\n");
  Key('R', {VK_SHIFT});
  EXPECT_EQ(ui_.boxes.back().text,
            "ファイル「ORV_BankName」の内容が、画面に表示した後で変わりました。画面を今の内容に更新"
            "しました。確かめてから、もう一度実行してください。何も変更していません。");
  EXPECT_EQ(TextOf(window->Item(frmOravend::lblMsg0 + 11)), "X");
  EXPECT_EQ(TextOf(window->Item(frmOravend::lblMsg0 + 12)), "Y");
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_TRUE(window->IsEnabled(frmOravend::cmdOK));
}

TEST_F(MainWindowTest, ShiftXAndTheCloseBoxCloseButNotDuringARun) {
  const auto closed = Open();
  Key('X', {VK_SHIFT});
  EXPECT_FALSE(closed->IsLoaded());

  const auto running = Open();
  running->IsRunning = true;
  SendMessageW(running->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(running->IsLoaded());
  EXPECT_TRUE(ui_.boxes.empty());
  // A close from outside, as the task manager sends it, is allowed even then.
  SendMessageW(running->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(running->IsLoaded());

  const auto idle = Open();
  SendMessageW(idle->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(idle->IsLoaded());
  EXPECT_EQ(ui_.ended, 0);
}

TEST_F(MainWindowTest, TheRunShowsItsStateOnTheScreenBeforeTheFirstDatabaseIsProcessed) {
  // The first database's catalog checks are held at the server while the screen is looked at.
  TestServer server(
      {.seed = kDatabase, .args = {"--hold", "SELECT system_type_id:3"}, .wireLog = true});
  ConnectTo(server);
  const auto window = Open();
  std::string observed = "the checks did not arrive";
  std::thread watcher([&] {
    const auto held = [&] {
      const auto batches = server.Batches();
      return std::any_of(batches.begin(), batches.end(), [](const std::string& sql) {
        return sql.find("SELECT system_type_id") != std::string::npos;
      });
    };
    if (!support::WaitFor(held)) return;
    // No message is sent to the blocked window thread: only what the windows hold is read.
    const HWND progress = windowtest::FindOwnWindow(L"OravendForm", L"ソルテッカ");
    wchar_t percent[16] = {};
    InternalGetWindowText(GetDlgItem(progress, frmProgressBar::lblProgress), percent, 16);
    RECT pending{};
    observed = std::string(IsWindowVisible(progress) ? "progress shown" : "progress hidden") +
               (std::wstring(percent) == L"0%" ? ", 0%" : ", not 0%") +
               (IsWindowEnabled(window->Item(frmOravend::cmdOK)) ||
                        IsWindowEnabled(window->Item(frmOravend::cmdCancel))
                    ? ", buttons enabled"
                    : ", buttons disabled") +
               (win32::Hourglass() ? ", hourglass" : ", pointer") +
               (GetUpdateRect(progress, &pending, FALSE) ||
                        GetUpdateRect(window->Handle(), &pending, FALSE)
                    ? ", not yet drawn"
                    : ", drawn");
  });
  Key('R', {VK_SHIFT});
  watcher.join();
  EXPECT_EQ(observed, "progress shown, 0%, buttons disabled, hourglass, drawn");
  EXPECT_EQ(Boxes("完了しました。"), 1);
}

}  // namespace
