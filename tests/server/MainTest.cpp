// The start-up sequence: its refusals, the connection, and the product generations.
#include <gtest/gtest.h>

#include <sstream>

#include "startup/Main.hpp"
#include "support/TestServer.hpp"

namespace {

using support::TestServer;
using Boxes = std::vector<support::RecordingUi::Box>;

class RecordingStartupHost : public basCommon::StartupHost {
 public:
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    ui.MsgBox(text, icon, title);
  }
  void EndProgram() override { ui.EndProgram(); }
  bool PrevInstance() override { return prevInstance; }
  void ShowConnectDialog(basCommon::Shared& shared) override {
    ++dialogs;
    if (connect) connect(shared);
  }
  void ShowMainWindow(basCommon::Shared& shared) override {
    ++mainWindows;
    label = shared.ProductLabel;
  }

  support::RecordingUi ui;
  bool prevInstance = false;
  std::function<void(basCommon::Shared&)> connect;
  int dialogs = 0;
  int mainWindows = 0;
  std::string label;
};

class MainTest : public testing::Test {
 protected:
  void SetUp() override {
    shared_.ProgramFolder = dir_.Path();
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly", "");
    support::WriteFile(dir_.Path() / "ORV_Vostrel_MasterOnly", "");
  }
  /// The dialog's part: connect with the test server's login.
  static std::function<void(basCommon::Shared&)> ConnectTo(const TestServer& server) {
    return [&server](basCommon::Shared& shared) {
      auto& settings = *shared.gSQLServer;
      settings.DataSource(server.DataSource());
      settings.InitialCatalog("master");
      settings.UserID(server.Login());
      settings.Password(server.Password());
      settings.ConnectionTimeout(10);
      shared.gConnection = settings.GetConnection();
    };
  }
  support::TempDir dir_;
  basCommon::Shared shared_;
  RecordingStartupHost host_;
};

TEST_F(MainTest, ASecondInstanceIsWarnedAndEndsBeforeAnyOtherCheck) {
  host_.prevInstance = true;
  std::filesystem::remove(dir_.Path() / "ORV_Notara_MasterOnly");
  basCommon::Main(shared_, host_);
  EXPECT_EQ(host_.ui.boxes,
            (Boxes{{"『Oravend』は既に起動しています。", platform::Icon::Exclamation, ""}}));
  EXPECT_EQ(host_.ui.ended, 1);
  EXPECT_EQ(host_.dialogs, 0);
}

TEST_F(MainTest, MissingMasterListsAreNamedInOrder) {
  std::filesystem::remove(dir_.Path() / "ORV_Vostrel_MasterOnly");
  basCommon::Main(shared_, host_);
  const std::string tail =
      "\r\nファイルが検知できないのには以下の原因が考えられます。\r\n・ファイル名に誤りがある。\r\n"
      "・ファイルが存在しない。";
  EXPECT_EQ(host_.ui.boxes,
            (Boxes{{"下記のファイルを検知できませんでした。\r\n・ORV_Vostrel_MasterOnly\r\n" + tail,
                    platform::Icon::None, "Oravend"}}));

  // Explorer hides the extension of a file saved as ORV_Notara_MasterOnly.txt: one more line
  // says so.
  std::filesystem::rename(dir_.Path() / "ORV_Notara_MasterOnly",
                          dir_.Path() / "ORV_Notara_MasterOnly.txt");
  RecordingStartupHost again;
  basCommon::Main(shared_, again);
  ASSERT_EQ(again.ui.boxes.size(), 1u);
  EXPECT_EQ(again.ui.boxes[0].text,
            "下記のファイルを検知できませんでした。\r\n・ORV_Notara_MasterOnly\r\n"
            "・ORV_Vostrel_MasterOnly\r\n※同じフォルダーに「ORV_Notara_MasterOnly.txt」があり"
            "ます。ファイル名の最後の「.txt」を消してください (エクスプローラーでは拡張子が表示され"
            "ないことがあります)。\r\n" +
                tail);
  EXPECT_EQ(again.ui.ended, 1);
  EXPECT_EQ(again.dialogs, 0);
}

TEST_F(MainTest, ARunningProductRefusesTheStartProductAFirst) {
  support::TempDir programs;
  const auto productB = support::StartNamedProcess(programs.Path(), "Zarvekk.MainMenu.exe");
  const auto productA = support::StartNamedProcess(programs.Path(), "Notara.exe");
  basCommon::Main(shared_, host_);
  EXPECT_EQ(host_.ui.boxes, (Boxes{{"『ノタラ』が起動中のため、管理ツールを起動できません。",
                                    platform::Icon::None, "Oravend"}}));
  EXPECT_EQ(host_.ui.ended, 1);
}

TEST_F(MainTest, ADialogClosedWithoutAConnectionEndsStartUpQuietly) {
  basCommon::Main(shared_, host_);
  EXPECT_EQ(host_.dialogs, 1);
  EXPECT_EQ(host_.mainWindows, 0);
  EXPECT_TRUE(host_.ui.boxes.empty());
  EXPECT_EQ(host_.ui.ended, 0);
}

// Each generation's system database found adds its line, in the table's order, whatever the
// server's order; the checks are one request each.
TEST_F(MainTest, TheProductLabelListsTheGenerationsFound) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"zarvekksys qnt8sys", "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nトリベル\r\n"},
      {"qnt4sys zarvekksys qnt7sys qnt8sys",
       "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nNotara7(ノタラ7A)\r\nNotara4(ノタラ4A,ノタラ4B)"
       "\r\nトリベル\r\n"},
  };
  for (const auto& [databases, label] : cases) {
    std::string seed;
    std::istringstream names(databases);
    for (std::string name; names >> name;) seed += "CREATE DATABASE " + name + "\nGO\n";
    TestServer server({.seed = seed, .wireLog = true});
    RecordingStartupHost host;
    host.connect = ConnectTo(server);
    basCommon::Shared shared;
    shared.ProgramFolder = dir_.Path();
    basCommon::Main(shared, host);
    EXPECT_EQ(host.mainWindows, 1);
    EXPECT_EQ(host.label, label);
    EXPECT_EQ(server.Batches(),
              (std::vector<std::string>{
                  "SELECT COUNT(name) from sys.databases WHERE name = 'qnt8sys'",
                  "SELECT COUNT(name) from sys.databases WHERE name = 'qnt7sys'",
                  "SELECT COUNT(name) from sys.databases WHERE name = 'qnt4sys'",
                  "SELECT COUNT(name) from sys.databases WHERE name = 'zarvekksys'"}));
  }
}

}  // namespace
