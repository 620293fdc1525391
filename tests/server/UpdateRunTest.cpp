// The update run over both products' databases, as the stand-in's data and wire log show it.
#include <gtest/gtest.h>

#include "bankname/UpdateRun.hpp"
#include "support/StandIn.hpp"

namespace {

using support::StandIn;

/// Records every call of the run on the windows, in order.
class RecordingRunHost : public basCommon::RunHost {
 public:
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    calls.push_back("box " + title + ": " + text);
    icons.push_back(icon);
  }
  void EndProgram() override { calls.push_back("end"); }
  void SetHourglass(bool on) override { calls.push_back(on ? "hourglass" : "pointer"); }
  void SetButtonsEnabled(bool enabled) override {
    calls.push_back(enabled ? "buttons on" : "buttons off");
  }
  void SetIsRunning(bool running) override { calls.push_back(running ? "running" : "idle"); }
  void ShowProgress() override { calls.push_back("show progress"); }
  void HideProgress() override { calls.push_back("hide progress"); }
  void ProgressBarProperty(int minimum, int maximum, int value) override {
    calls.push_back("progress " + std::to_string(minimum) + " " + std::to_string(maximum) + " " +
                    std::to_string(value));
  }
  void ProgressBarIncrease() override { calls.push_back("increase"); }
  void DoEvents() override { calls.push_back("events"); }

  std::vector<std::string> calls;
  std::vector<platform::Icon> icons;
};

std::string NotaraDatabase(const std::string& name) {
  return "CREATE DATABASE " + name + "\nGO\nUSE " + name +
         "\nCREATE TABLE TBank (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40), "
         "Memo nvarchar(40))\n"
         "INSERT INTO TBank VALUES ('0005', N'旧銀行', N'ｷｭｳ', N'旧銀行'), "
         "('0009', N'他行', N'ﾀｺｳ', N'')\nGO\n";
}

std::string VostrelDatabase(const std::string& name, const std::string& payeeCode = "0005") {
  return "CREATE DATABASE " + name + "\nGO\nUSE " + name +
         "\nCREATE TABLE M_BANK (BANK_CD varchar(4), BANK_NM nvarchar(40), BANK_KN nvarchar(40))\n"
         "CREATE TABLE T_PAY (PAY_BANK_CD varchar(4), PAY_BANK_NM nvarchar(40))\n"
         "INSERT INTO M_BANK VALUES ('0005', N'旧銀行', N'ｷｭｳ'), ('0009', N'他行', N'ﾀｺｳ')\n"
         "INSERT INTO T_PAY VALUES ('" +
         payeeCode + "', N'旧銀行')\nGO\n";
}

class UpdateRunTest : public testing::Test {
 protected:
  void WriteControlFiles(const std::string& vostrelList) {
    support::WriteFile(dir_.Path() / "ORV_BankName",
                       "0005,\x8B\x8C\x8B\xE2\x8D\x73,\xB7\xAD\xB3,0005,\x90\x56\x8B\xE2\x8D\x73,"
                       "\xBC\xDD\r\n");  // 0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝ
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly",
                       "TBank,BankCode,BankName,BankKana\r\n");
    support::WriteFile(dir_.Path() / "ORV_Vostrel_MasterOnly", vostrelList);
  }
  void Run(StandIn& server) {
    auto connection = server.Connect();
    basCommon::UpdateRun(*connection, dir_.Path(), "ORV_Notara_MasterOnly",
                         "ORV_Vostrel_MasterOnly", host_);
  }
  static std::vector<std::string> Rows(StandIn& server, const std::string& database,
                                       const std::string& query) {
    std::vector<std::string> rows;
    const auto results = server.Connect(database)->Execute(query);
    for (const auto& row : results.at(0).rows) {
      std::string text;
      for (const auto& field : row) text += (text.empty() ? "" : "|") + field.value_or("NULL");
      rows.push_back(text);
    }
    return rows;
  }
  static std::vector<std::string> Changed() { return {"0005|新銀行|ｼﾝ|旧銀行", "0009|他行|ﾀｺｳ|"}; }

  support::TempDir dir_;
  RecordingRunHost host_;
  const std::string vostrelList_ =
      "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\nT_PAY,PAY_BANK_CD,PAY_BANK_NM,\r\n";
};

TEST_F(UpdateRunTest, ChangesTheListedColumnsOfTheBanksRowsInEveryDatabase) {
  // qnt8def has none of the listed tables: it counts, but gets no batch.
  StandIn server({.seed = NotaraDatabase("qnt8dat01") + VostrelDatabase("zarvekkdat01") +
                          NotaraDatabase("qnt8dat02") + VostrelDatabase("zarvekkbank") +
                          VostrelDatabase("zarvekkdat02") + "CREATE DATABASE qnt8def\nGO\n" +
                          "CREATE DATABASE qnt8sys\n"});
  WriteControlFiles(vostrelList_);
  Run(server);

  for (const char* db : {"qnt8dat01", "qnt8dat02"}) {
    EXPECT_EQ(Rows(server, db, "SELECT * FROM TBank ORDER BY BankCode"), Changed()) << db;
  }
  for (const char* db : {"zarvekkdat01", "zarvekkbank", "zarvekkdat02"}) {
    EXPECT_EQ(Rows(server, db, "SELECT * FROM M_BANK ORDER BY BANK_CD"),
              (std::vector<std::string>{"0005|新銀行|ｼﾝ", "0009|他行|ﾀｺｳ"}))
        << db;
    EXPECT_EQ(Rows(server, db, "SELECT * FROM T_PAY"), std::vector<std::string>{"0005|新銀行"});
  }
  std::vector<std::string> expected{"hourglass", "buttons off", "running", "show progress",
                                    "progress 0 6 0"};
  for (int i = 0; i < 6; ++i) expected.insert(expected.end(), {"increase", "events"});
  expected.insert(expected.end(),
                  {"buttons on", "idle", "pointer", "box オラベンド: 完了しました。", "end"});
  EXPECT_EQ(host_.calls, expected);
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Information});

  // Product A's databases first, each in list order, each batch in a transaction of its own.
  std::vector<std::string> order;
  for (const auto& entry : server.WireLog()) {
    const std::string sql = entry.value("sql", "");
    if (sql.starts_with("USE [")) order.push_back(sql);
    if (entry.value("kind", "") == "tm") order.push_back(entry.at("request").get<std::string>());
  }
  std::vector<std::string> expectedOrder;
  for (const std::string db :
       {"qnt8dat01", "qnt8dat02", "qnt8def", "zarvekkdat01", "zarvekkbank", "zarvekkdat02"}) {
    expectedOrder.push_back("USE [" + db + "]");
    if (db != "qnt8def") expectedOrder.insert(expectedOrder.end(), {"begin", "commit", "rollback"});
  }
  EXPECT_EQ(order, expectedOrder);
}

TEST_F(UpdateRunTest, AFailingDatabaseIsLeftAsItWasAndTheRunEnds) {
  // In the third database the payee's key holds no number: its third statement fails.
  StandIn server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                          VostrelDatabase("zarvekkdat01", "X1") + VostrelDatabase("zarvekkdat02") +
                          VostrelDatabase("zarvekkdat03")});
  WriteControlFiles(vostrelList_);
  Run(server);

  EXPECT_EQ(Rows(server, "qnt8dat01", "SELECT * FROM TBank ORDER BY BankCode"), Changed());
  EXPECT_EQ(Rows(server, "qnt8dat02", "SELECT * FROM TBank ORDER BY BankCode"), Changed());
  for (const char* db : {"zarvekkdat01", "zarvekkdat02", "zarvekkdat03"}) {
    EXPECT_EQ(Rows(server, db, "SELECT * FROM M_BANK ORDER BY BANK_CD"),
              (std::vector<std::string>{"0005|旧銀行|ｷｭｳ", "0009|他行|ﾀｺｳ"}))
        << db;
  }
  ASSERT_GE(host_.calls.size(), 2u);
  EXPECT_EQ(host_.calls.back(), "end");
  EXPECT_NE(host_.calls[host_.calls.size() - 2].find("box オラベンド: "), std::string::npos);
  EXPECT_NE(host_.calls[host_.calls.size() - 2].find("'X1'"), std::string::npos);
  EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "increase"), 2);
}

TEST_F(UpdateRunTest, ABrokenTableListChangesNothing) {
  StandIn server({.seed = NotaraDatabase("qnt8dat01") + VostrelDatabase("zarvekkdat01")});
  WriteControlFiles("M_BANK,BANK_CD,BANK_NM,BANK_KN\r\nT_PAY,PAY_BANK_CD,PAY_BANK_NM\r\n");
  Run(server);

  EXPECT_EQ(Rows(server, "qnt8dat01", "SELECT BankName FROM TBank WHERE BankCode = '0005'"),
            std::vector<std::string>{"旧銀行"});
  for (const auto& sql : server.Batches()) {
    EXPECT_FALSE(sql.starts_with("USE") || sql.starts_with("UPDATE")) << sql;
  }
  EXPECT_EQ(host_.calls.back(), "end");
  EXPECT_NE(host_.calls[host_.calls.size() - 2].find("ORV_Vostrel_MasterOnly"), std::string::npos);
}

TEST_F(UpdateRunTest, NoDatabaseWarnsAndLeavesTheWindowUsable) {
  StandIn server({.seed = "CREATE DATABASE qnt8sys\n"});
  WriteControlFiles(vostrelList_);
  Run(server);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{
                             "hourglass", "buttons off", "running", "show progress",
                             "progress 0 0 0", "buttons on", "idle", "pointer", "hide progress",
                             "box オラベンド: 対象製品の会社データベースが見つかりません。"}));
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
}

}  // namespace
