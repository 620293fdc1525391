// The update run over both products' databases, as the server's data and the wire log show it.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "bankname/UpdateRun.hpp"
#include "support/TestServer.hpp"

namespace {

using support::TestServer;

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
  void ShowBankRecord(const basCommon::BankRecord& bank) override {
    calls.push_back("show " + bank.code + " " + bank.name);
  }
  void ShowProgress() override { calls.push_back("show progress"); }
  void HideProgress() override { calls.push_back("hide progress"); }
  void ProgressBarProperty(int minimum, int maximum, int value) override {
    calls.push_back("progress " + std::to_string(minimum) + " " + std::to_string(maximum) + " " +
                    std::to_string(value));
  }
  void ProgressBarIncrease() override { calls.push_back("increase"); }
  void DoEvents() override {
    calls.push_back("events");
    if (onEvents) onEvents();
  }

  /// The texts of the message boxes, in order.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& call : calls) {
      if (call.starts_with("box ")) texts.push_back(call.substr(call.find(": ") + 2));
    }
    return texts;
  }
  /// The last message box's text.
  std::string Box() const { return Boxes().empty() ? "no box" : Boxes().back(); }
  bool Ended() const { return !calls.empty() && calls.back() == "end"; }

  std::vector<std::string> calls;
  std::vector<platform::Icon> icons;
  std::function<void()> onEvents;
};

std::string NotaraDatabase(const std::string& name, const std::string& code = "0005") {
  return "CREATE DATABASE " + name + "\nGO\nUSE " + name +
         "\nCREATE TABLE TBank (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40), "
         "Memo nvarchar(40))\n"
         "INSERT INTO TBank VALUES ('" +
         code + "', N'旧銀行', N'ｷｭｳ', N'旧銀行'), ('0009', N'他行', N'ﾀｺｳ', N'')\nGO\n";
}

std::string VostrelDatabase(const std::string& name, const std::string& payeeCode = "0005") {
  return "CREATE DATABASE " + name + "\nGO\nUSE " + name +
         "\nCREATE TABLE M_BANK (BANK_CD varchar(4), BANK_NM nvarchar(40), BANK_KN nvarchar(40))\n"
         "CREATE TABLE T_PAY (PAY_BANK_CD varchar(4), PAY_BANK_NM nvarchar(40))\n"
         "INSERT INTO M_BANK VALUES ('0005', N'旧銀行', N'ｷｭｳ'), ('0009', N'他行', N'ﾀｺｳ')\n"
         "INSERT INTO T_PAY VALUES ('" +
         payeeCode + "', N'旧銀行')\nGO\n";
}

// 0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝ in code page 932.
const std::string kBankRecord =
    "0005,\x8B\x8C\x8B\xE2\x8D\x73,\xB7\xAD\xB3,0005,\x90\x56\x8B\xE2\x8D\x73,\xBC\xDD\r\n";
const std::string kNotaraList = "TBank,BankCode,BankName,BankKana\r\n";
const std::string kVostrelList =
    "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\nT_PAY,PAY_BANK_CD,PAY_BANK_NM,\r\n";

const std::vector<std::string> kChanged{"0005|新銀行|ｼﾝ|旧銀行", "0009|他行|ﾀｺｳ|"};
const std::vector<std::string> kUnchanged{"0005|旧銀行|ｷｭｳ|旧銀行", "0009|他行|ﾀｺｳ|"};

class UpdateRunTest : public testing::Test {
 protected:
  void WriteControlFiles(const std::string& notaraList = kNotaraList,
                         const std::string& vostrelList = kVostrelList,
                         const std::string& bankRecord = kBankRecord) {
    support::WriteFile(dir_.Path() / "ORV_BankName", bankRecord);
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly", notaraList);
    support::WriteFile(dir_.Path() / "ORV_Vostrel_MasterOnly", vostrelList);
  }
  /// The record the main window would show for the bank file as it is now.
  basCommon::BankRecord Shown() {
    RecordingRunHost loader;
    try {
      return basCommon::ParseBankRecord(basCommon::ReadBankName(dir_.Path(), loader));
    } catch (const std::exception&) {
      return {};
    }
  }
  void Run(TestServer& server, long timeout = 0, RecordingRunHost* host = nullptr) {
    const auto connection = server.Connect();
    if (timeout > 0) connection->SetCommandTimeout(timeout);
    basCommon::UpdateRun(*connection, dir_.Path(), "ORV_Notara_MasterOnly",
                         "ORV_Vostrel_MasterOnly", Shown(), host ? *host : host_);
  }
  /// The rows of `query` in `database`, read with a connection of the test's own.
  static std::vector<std::string> Rows(const TestServer& server, const std::string& database,
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
  static std::vector<std::string> Banks(const TestServer& server, const std::string& database) {
    return Rows(server, database, "SELECT * FROM TBank ORDER BY BankCode");
  }
  /// The run ended the program after an error message with the critical icon.
  void ExpectTheRunEndedWith(const std::string& message) const {
    EXPECT_TRUE(host_.Ended());
    ASSERT_FALSE(host_.icons.empty());
    EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
    EXPECT_EQ(host_.Box(), message);
  }
  /// Nothing but catalog queries reached the server: no database was touched.
  static void ExpectNoDatabaseTouched(const TestServer& server) {
    for (const auto& sql : server.Batches()) {
      EXPECT_FALSE(sql.starts_with("USE") || sql.find("UPDATE") != std::string::npos) << sql;
    }
  }

  support::TempDir dir_;
  RecordingRunHost host_;
};

TEST_F(UpdateRunTest, ChangesTheListedColumnsOfTheBanksRowsInEveryDatabase) {
  // qnt8def has none of the listed tables: it counts, but gets no batch.
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + VostrelDatabase("zarvekkdat01") +
                             NotaraDatabase("qnt8dat02") + VostrelDatabase("zarvekkbank") +
                             VostrelDatabase("zarvekkdat02") + "CREATE DATABASE qnt8def\nGO\n" +
                             "CREATE DATABASE qnt8sys\n",
                     .wireLog = true});
  WriteControlFiles();
  Run(server);
  const auto log = server.WireLog();  // the run's requests, before the checks below add theirs

  for (const char* db : {"qnt8dat01", "qnt8dat02"}) EXPECT_EQ(Banks(server, db), kChanged) << db;
  for (const char* db : {"zarvekkdat01", "zarvekkbank", "zarvekkdat02"}) {
    EXPECT_EQ(Rows(server, db, "SELECT * FROM M_BANK ORDER BY BANK_CD"),
              (std::vector<std::string>{"0005|新銀行|ｼﾝ", "0009|他行|ﾀｺｳ"}))
        << db;
    EXPECT_EQ(Rows(server, db, "SELECT * FROM T_PAY"), std::vector<std::string>{"0005|新銀行"});
  }
  // Both passes advance the progress window, which is drawn before the first database.
  std::vector<std::string> expected{"hourglass",     "buttons off",     "running",
                                    "show progress", "progress 0 12 0", "events"};
  for (int i = 0; i < 12; ++i) expected.insert(expected.end(), {"increase", "events"});
  expected.insert(expected.end(),
                  {"buttons on", "idle", "pointer", "box オラベンド: 完了しました。", "end"});
  EXPECT_EQ(host_.calls, expected);
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Information});

  // Product A's databases first, each in list order: the trial pass rolls back what it did,
  // the real pass needs only the change of database, the batch and the commit. The
  // transactions are SQL text; the batch begins its own.
  std::vector<std::string> requests;
  for (const auto& entry : log) {
    if (entry.value("kind", "") == "tm") {
      requests.push_back("tm " + entry.at("request").get<std::string>());
    } else if (entry.value("kind", "") == "batch") {
      const std::string sql = entry.at("sql").get<std::string>();
      requests.push_back(sql.starts_with("USE [") || sql.ends_with(" TRANSACTION") ? sql
                         : sql.starts_with("BEGIN TRANSACTION\r\nUPDATE dbo.")     ? "update"
                         : sql.starts_with("SELECT system_type_id")                ? "checks"
                         : sql.ends_with(" TRANSACTION\r\nSELECT @@TRANCOUNT")
                             ? sql.substr(0, sql.find('\r'))
                             : "list");
    }
  }
  const std::vector<std::string> order{"qnt8dat01",    "qnt8dat02",   "qnt8def",
                                       "zarvekkdat01", "zarvekkbank", "zarvekkdat02"};
  std::vector<std::string> expectedRequests{"list", "list"};
  for (const auto& db : order) {
    expectedRequests.insert(expectedRequests.end(), {"USE [" + db + "]", "checks"});
    if (db != "qnt8def") {
      expectedRequests.insert(expectedRequests.end(),
                              {"update", "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"});
    }
  }
  for (const auto& db : order) {
    if (db == "qnt8def") continue;
    expectedRequests.insert(expectedRequests.end(),
                            {"USE [" + db + "]", "update", "COMMIT TRANSACTION"});
  }
  EXPECT_EQ(requests, expectedRequests);
}

TEST_F(UpdateRunTest, WhenTheTrialPassFailsAnywhereNothingIsChangedAnywhere) {
  // zarvekkdat01's payee key holds no number (error 245); zarvekkdat03 has no key column.
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                             VostrelDatabase("zarvekkdat01", "X1") +
                             VostrelDatabase("zarvekkdat02") +
                             "CREATE DATABASE zarvekkdat03\nGO\nUSE zarvekkdat03\n"
                             "CREATE TABLE M_BANK (BANK_NM nvarchar(40))\n"});
  WriteControlFiles();
  Run(server);

  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(Rows(server, "zarvekkdat02", "SELECT BANK_NM FROM M_BANK WHERE BANK_CD = '0005'"),
            std::vector<std::string>{"旧銀行"});
  ExpectTheRunEndedWith(
      "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n"
      "\r\n・zarvekkdat01: Conversion failed when converting the varchar value 'X1' to data "
      "type int."
      "\r\n・zarvekkdat03: テーブル「M_BANK」にキー列「BANK_CD」がありません。");
}

// Databases that cannot be used or changed are still listed by the discovery: the trial pass names
// every one with the server's reason, and nothing is changed anywhere.
TEST_F(UpdateRunTest, DatabasesThatCannotBeUsedOrChangedAreAllNamedBeforeAnythingChanges) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                             NotaraDatabase("qnt8dat03") + VostrelDatabase("zarvekkdat01") +
                             VostrelDatabase("zarvekkdat02") + VostrelDatabase("zarvekkbank") +
                             "ALTER DATABASE qnt8dat02 SET OFFLINE\n"
                             "ALTER DATABASE qnt8dat03 SET READ_ONLY\n"
                             "ALTER DATABASE zarvekkdat01 SET SINGLE_USER\n",
                     .args = {"--restoring", "zarvekkdat02"},
                     .wireLog = true});
  WriteControlFiles();
  {
    const auto holder = server.Connect("zarvekkdat01");
    Run(server);
  }
  ExpectTheRunEndedWith(
      "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n"
      "\r\n・qnt8dat02: Database 'qnt8dat02' cannot be opened because it is offline."
      "\r\n・qnt8dat03: Failed to update database \"qnt8dat03\" because the database is "
      "read-only."
      "\r\n・zarvekkdat01: Database 'zarvekkdat01' is already open and can only have one "
      "user at a time."
      "\r\n・zarvekkdat02: Database 'zarvekkdat02' cannot be opened. It is in the middle of "
      "a restore.");
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat03"), kUnchanged);
  for (const char* db : {"zarvekkdat01", "zarvekkbank"}) {
    EXPECT_EQ(Rows(server, db, "SELECT BANK_NM FROM M_BANK WHERE BANK_CD = '0005'"),
              std::vector<std::string>{"旧銀行"})
        << db;
  }
  for (const auto& sql : server.Batches()) EXPECT_EQ(sql.find("COMMIT"), std::string::npos) << sql;
}

// A case-sensitive server with company databases of several collations: each is found and
// changed. The columns are just wide enough in bytes for the old kana in UTF-8 (three a kana).
TEST_F(UpdateRunTest, ACaseSensitiveServerAndDatabasesOfEachCollationAreChanged) {
  const auto database = [](const std::string& name, const std::string& collation) {
    return "CREATE DATABASE " + name + (collation.empty() ? "" : " COLLATE " + collation) +
           "\nGO\nUSE " + name +
           "\nCREATE TABLE TBank (BankCode char(4), BankName varchar(9), BankKana varchar(9), "
           "Memo nvarchar(40))\n"
           "INSERT INTO TBank VALUES ('0005', N'旧銀行', N'ｷｭｳ', N'旧銀行'), "
           "('0009', N'他行', N'ﾀｺｳ', N'')\nGO\n";
  };
  TestServer server({.seed = database("qnt8dat01", "Japanese_CI_AS") +
                             database("qnt8dat02", "Japanese_XJIS_140_CI_AS") +
                             database("qnt8dat03", "Latin1_General_100_CI_AS_SC_UTF8") +
                             "CREATE DATABASE qnt8def\n",
                     .args = {"--collation", "Latin1_General_CS_AS"}});
  WriteControlFiles();
  Run(server);
  EXPECT_EQ(host_.Box(), "完了しました。");
  for (const char* db : {"qnt8dat01", "qnt8dat02", "qnt8dat03"}) {
    EXPECT_EQ(Banks(server, db), kChanged) << db;
  }
}

TEST_F(UpdateRunTest, ALongListOfFailingDatabasesIsCutWithACount) {
  std::string seed;
  for (int i = 10; i < 23; ++i) {
    const std::string name = "qnt8dat" + std::to_string(i);
    seed += "CREATE DATABASE " + name + "\nGO\nUSE " + name +
            "\nCREATE TABLE TBank (BankName nvarchar(40))\nGO\n";
  }
  TestServer server({.seed = seed + NotaraDatabase("qnt8dat30")});
  WriteControlFiles();
  Run(server);
  const std::string box = host_.Box();
  EXPECT_NE(box.find("・qnt8dat19: テーブル「TBank」"), std::string::npos) << box;
  EXPECT_EQ(box.find("qnt8dat20"), std::string::npos) << box;
  EXPECT_TRUE(box.ends_with("\r\n・ほか 3 件")) << box;
  EXPECT_EQ(Banks(server, "qnt8dat30"), kUnchanged);
}

TEST_F(UpdateRunTest, NoRowWithTheBanksCodeChangesNothingAndWarns) {
  TestServer server(
      {.seed = NotaraDatabase("qnt8dat01", "0007") + VostrelDatabase("zarvekkdat01")});
  WriteControlFiles(kNotaraList, "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\n",
                    "0008,A,B,0008,\x90\x56,\xBC\xDD\r\n");
  Run(server);
  EXPECT_EQ(host_.Box(),
            "銀行コード「0008」の行はどの会社データベースにも見つかりませんでした。何も変更してい"
            "ません。");
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
  EXPECT_FALSE(host_.Ended());
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "buttons on"), 1);
  EXPECT_EQ(Banks(server, "qnt8dat01"),
            (std::vector<std::string>{"0007|旧銀行|ｷｭｳ|旧銀行", "0009|他行|ﾀｺｳ|"}));
}

TEST_F(UpdateRunTest, EveryDatabaseGetsTheBankRecordAsItWasWhenTheRunStarted) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02")});
  WriteControlFiles();
  host_.onEvents = [&] {
    support::WriteFile(dir_.Path() / "ORV_BankName", "0005,a,b,0009,EDITED,EDITED\r\n");
  };
  Run(server);
  EXPECT_EQ(Banks(server, "qnt8dat01"), kChanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kChanged);
}

TEST_F(UpdateRunTest, NoDatabaseWarnsAndLeavesTheWindowUsable) {
  TestServer server({.seed = "CREATE DATABASE qnt8sys\n"});
  WriteControlFiles();
  Run(server);
  EXPECT_EQ(host_.calls,
            (std::vector<std::string>{
                "hourglass", "buttons off", "running", "show progress", "progress 0 0 0", "events",
                "buttons on", "idle", "pointer", "hide progress",
                "box オラベンド: 対象製品の会社データベースが見つかりません。"}));
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
}

// Control files that would change rows nobody asked for are refused before any database is
// touched, whichever product's list they are in.
class RefusedControlFileTest : public UpdateRunTest,
                               public testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(RefusedControlFileTest, ChangesNothingAndNamesTheFileAndLine) {
  const auto& [notaraList, vostrelList, bankRecord, where] =
      std::tuple(GetParam()[0], GetParam()[1], GetParam()[2], GetParam()[3]);
  TestServer server(
      {.seed = NotaraDatabase("qnt8dat01") + VostrelDatabase("zarvekkdat01"), .wireLog = true});
  WriteControlFiles(notaraList, vostrelList, bankRecord);
  Run(server);
  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
  const auto boxes = host_.Boxes();
  EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(), [&](const std::string& box) {
    return box.starts_with(where);
  })) << host_.Box();
  ExpectNoDatabaseTouched(server);
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Rows(server, "qnt8dat01", "SELECT COUNT(*) FROM TBank"), std::vector<std::string>{"2"});
}

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, RefusedControlFileTest,
    testing::Values(
        std::vector<std::string>{"TBank,1=1 OR BankCode,BankName,BankKana\r\n", kVostrelList,
                                 kBankRecord, "ファイル「ORV_Notara_MasterOnly」の1行目の項目 2"},
        std::vector<std::string>{"TBank,5,BankName,BankKana\r\n", kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 2"},
        std::vector<std::string>{"TBank,BankCode = 0 DELETE FROM TBank WHERE 5,BankName,\r\n",
                                 kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 2"},
        std::vector<std::string>{kNotaraList, "M_BANK,GINKO CD,BANK_NM,BANK_KN\r\n", kBankRecord,
                                 "ファイル「ORV_Vostrel_MasterOnly」の1行目の項目 2"},
        std::vector<std::string>{"TBank,BankCode,Bank[Name],\r\n", kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 3"},
        std::vector<std::string>{
            "TBank,BankCode,BankName,BankName\r\n", kVostrelList, kBankRecord,
            "ファイル「ORV_Notara_MasterOnly」の1行目の項目 3 (名称列) と項目 4"},
        std::vector<std::string>{kNotaraList, kVostrelList, "0001,A,B,0005,C,D\r\n",
                                 "ファイル「ORV_BankName」の項目 1 (コード) 「0001」と項目 4"},
        std::vector<std::string>{kNotaraList, kVostrelList, "1,A,B,1,C,D\n0005,A,B,0005,E,F\n",
                                 "ファイル「ORV_BankName」の1行目に制御文字 (U+000A)"},
        std::vector<std::string>{kNotaraList + "TBank\t,BankCode,BankName,\r\n", kVostrelList,
                                 kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の2行目に制御文字"}));

/// Three databases, the third of product B. Requests: the two listings, four per database in
/// the trial pass (USE, checks, update, rollback), then USE, update and commit per database: the
/// 7th is the second USE of the trial, the 8th its checks, the 18th the second USE of the real
/// pass and the 19th its update.
const std::string kThreeDatabases =
    NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") + VostrelDatabase("zarvekkdat01");

std::string VostrelBankName(const TestServer& server) {
  const auto connection = server.Connect("zarvekkdat01");
  const auto rows = connection->Execute("SELECT BANK_NM FROM M_BANK WHERE BANK_CD = '0005'");
  return rows.at(0).rows.at(0).at(0).value_or("NULL");
}

// A run that cannot trust the connection any more stops at once, and one database that cannot
// take the change is named: either way nothing is committed anywhere.
struct TrialStop {
  std::vector<std::string> args;
  long timeout;
  std::string box;  ///< how the message box begins
};

class TrialStopTest : public UpdateRunTest, public testing::WithParamInterface<TrialStop> {};

TEST_P(TrialStopTest, EndsTheRunWithNothingChanged) {
  const auto& param = GetParam();
  TestServer server({.seed = kThreeDatabases, .args = param.args, .wireLog = true});
  WriteControlFiles();
  Run(server, param.timeout);
  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
  EXPECT_TRUE(host_.Box().starts_with(param.box)) << host_.Box();
  EXPECT_EQ(host_.Boxes().size(), 1u);
  for (const auto& sql : server.Batches()) EXPECT_EQ(sql.find("COMMIT"), std::string::npos) << sql;
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(VostrelBankName(server), "旧銀行");
}

const std::string kTrialFailed =
    "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n\r\n";
const std::string kLostInQnt8dat02 =
    "会社データベース「qnt8dat02」を確かめる途中でサーバーとの接続が切れました。どのデータベー"
    "スも変更していません。\r\n";

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, TrialStopTest,
    testing::Values(
        // The trial's rollback does not happen: the transaction would hold every later change.
        TrialStop{{"--hold", "ROLLBACK:5"},
                  1,
                  "会社データベース「qnt8dat01」を確かめる途中でエラーが発生し、試した変更を取り"
                  "消せたことを確かめられなかったため、中止しました。どのデータベースも変更してい"
                  "ません。\r\nTimeout expired\r\nトランザクションが終了していません (@@TRANCOUNT "
                  "= 1)。"},
        // The rollback fails, and the guard's second one ends the transaction.
        TrialStop{{"--fail-batch", "6:229"},
                  0,
                  kTrialFailed + "・qnt8dat01: Error 229 raised by the stand-in server."},
        // Changing the database waits no longer than the command time-out.
        TrialStop{
            {"--hold", "USE [qnt8dat02]:60"}, 1, kTrialFailed + "・qnt8dat02: Timeout expired"},
        // A server that stops answering, even the cancel.
        TrialStop{{"--stall-batch", "7"}, 1, kLostInQnt8dat02},
        // The session ends, or the connection goes in the middle of a reply's rows.
        TrialStop{{"--fail-batch", "8:4014"},
                  0,
                  kLostInQnt8dat02 +
                      "A fatal error occurred while reading the input stream from the network."},
        TrialStop{{"--drop-in-rows", "8"}, 0, kLostInQnt8dat02 + "Unexpected EOF from the server"},
        TrialStop{{"--drop-in-rows", "1"}, 0, "Unexpected EOF from the server"}));

// A failure in the real pass tells where every database stands: the ones changed before it,
// the one that failed, and the ones not reached.
struct RealPassStop {
  std::vector<std::string> args;
  std::string betweenPasses;  ///< run on master once the trial pass is done
  long timeout;
  std::string heading;
};

class RealPassStopTest : public UpdateRunTest, public testing::WithParamInterface<RealPassStop> {};

TEST_P(RealPassStopTest, NamesTheDatabasesChangedAndNotReached) {
  const auto& param = GetParam();
  TestServer server({.seed = kThreeDatabases, .args = param.args});
  WriteControlFiles();
  // Events come once before the trial pass and after each of its databases.
  int events = 0;
  host_.onEvents = [&] {
    if (++events == 4 && !param.betweenPasses.empty()) {
      server.Connect()->Execute(param.betweenPasses);
    }
  };
  Run(server, param.timeout);
  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
  const std::string box = host_.Box();
  EXPECT_TRUE(box.starts_with(param.heading)) << box;
  EXPECT_TRUE(
      box.ends_with("\r\n\r\n変更済みの会社データベース (1 件):\r\n・qnt8dat01\r\nまだ変更"
                    "していない会社データベース (1 件):\r\n・zarvekkdat01\r\n\r\n原因を取り"
                    "除いてからもう一度実行すると、変更が完了します。変更済みのデータベー"
                    "スには同じ変更がもう一度行われるだけです。"))
      << box;
  EXPECT_EQ(Banks(server, "qnt8dat01"), kChanged);
  EXPECT_EQ(VostrelBankName(server), "旧銀行");
  if (param.betweenPasses.empty()) {
    EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  }
}

const std::string kFailedInQnt8dat02 =
    "会社データベース「qnt8dat02」の変更中にエラーが発生しました。このデータベースの変更は取り"
    "消しました。\r\n";
const std::string kLostAtQnt8dat02 =
    "会社データベース「qnt8dat02」の変更中にサーバーとの接続が切れました。確定していないこのデー"
    "タベースの変更は、サーバーが取り消します。\r\n";

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, RealPassStopTest,
    testing::Values(
        RealPassStop{{"--drop-batch", "19"}, "", 0, kLostAtQnt8dat02},
        RealPassStop{{"--drop-reply", "19"}, "", 0, kLostAtQnt8dat02},
        RealPassStop{{"--stall-batch", "18"}, "", 1, kLostAtQnt8dat02},
        RealPassStop{{},
                     "ALTER DATABASE qnt8dat02 SET OFFLINE",
                     0,
                     kFailedInQnt8dat02 +
                         "Database 'qnt8dat02' cannot be opened because it is offline.\r\n"},
        RealPassStop{{},
                     "ALTER DATABASE qnt8dat02 SET READ_ONLY",
                     0,
                     kFailedInQnt8dat02 + "Failed to update database \"qnt8dat02\" because the "
                                          "database is read-only.\r\n"},
        RealPassStop{{}, "USE qnt8dat02 DROP TABLE TBank", 0, kFailedInQnt8dat02}));

// Once the cause is gone, running again completes the change: the databases changed before get
// the same change again.
TEST_F(UpdateRunTest, RunningAgainAfterARealPassFailureCompletesTheChange) {
  TestServer server({.seed = kThreeDatabases});
  WriteControlFiles();
  host_.onEvents = [&, events = 0]() mutable {
    if (++events == 4) server.Connect()->Execute("ALTER DATABASE qnt8dat02 SET OFFLINE");
  };
  Run(server);
  ASSERT_TRUE(host_.Box().starts_with(kFailedInQnt8dat02)) << host_.Box();
  server.Connect()->Execute("ALTER DATABASE qnt8dat02 SET ONLINE");
  RecordingRunHost again;
  Run(server, 0, &again);
  EXPECT_EQ(again.Box(), "完了しました。");
  EXPECT_EQ(Banks(server, "qnt8dat01"), kChanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kChanged);
  EXPECT_EQ(VostrelBankName(server), "新銀行");
}

// The commit of the first database is not answered as it should be: the run cannot know whether
// the server committed, says so, and changes nothing more.
struct CommitStop {
  std::vector<std::string> args;
  bool committed;
  std::string box;
};

class CommitStopTest : public UpdateRunTest, public testing::WithParamInterface<CommitStop> {};

TEST_P(CommitStopTest, LeavesTheOutcomeOpenAndSaysSo) {
  const auto& param = GetParam();
  // Requests: the two listings, four per database in the trial, then USE, update and commit:
  // the 13th is the first commit.
  TestServer server(
      {.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02"), .args = param.args});
  WriteControlFiles();
  Run(server);
  EXPECT_TRUE(host_.Ended());
  EXPECT_TRUE(host_.Box().starts_with(param.box)) << host_.Box();
  EXPECT_NE(host_.Box().find("\r\n\r\n変更済みの会社データベース: なし\r\nまだ変更していない会社デ"
                             "ータベース (1 件):\r\n・qnt8dat02\r\n"),
            std::string::npos)
      << host_.Box();
  EXPECT_EQ(Banks(server, "qnt8dat01"), param.committed ? kChanged : kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
}

const std::string kCommitLost =
    "会社データベース「qnt8dat01」の変更を確定する途中でサーバーとの接続が切れました。このデータ"
    "ベースが変更されたかどうかは分かりません。確かめてください。\r\n";

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, CommitStopTest,
    testing::Values(
        CommitStop{{"--drop-reply", "13"}, true, kCommitLost},
        CommitStop{{"--drop-batch", "13"}, false, kCommitLost},
        CommitStop{{"--fail-batch", "13:4014"},
                   false,
                   kCommitLost +
                       "A fatal error occurred while reading the input stream from the network."},
        CommitStop{{"--fail-text", "COMMIT TRANSACTION:1205"},
                   false,
                   "会社データベース「qnt8dat01」の変更を確定する途中でエラーが発生しました。この"
                   "データベースが変更されたかどうかは分かりません。確かめてください。\r\n"
                   "Transaction (Process ID 51) was deadlocked on lock resources with another "
                   "process and has been chosen as the deadlock victim. Rerun the transaction."}));

// A database locked by another connection: the UPDATE waits, as on SQL Server, which has no lock
// time-out by default, until the command time-out cancels it; the run rolls its transaction back
// and shows the time-out. In the trial pass the database is named and nothing changes; in the real
// pass the databases before it keep their change.
class LockWaitTest : public UpdateRunTest, public testing::WithParamInterface<bool> {};

TEST_P(LockWaitTest, TheCommandTimeOutEndsTheWaitAndTheDatabaseIsUnchanged) {
  const bool inRealPass = GetParam();
  TestServer server({.seed = kThreeDatabases});
  WriteControlFiles();
  const auto holder = server.Connect("qnt8dat02");
  std::optional<odbc::Transaction> lock;
  const auto takeLock = [&] {
    lock.emplace(*holder);
    lock->Execute("UPDATE TBank SET Memo = N'held' WHERE BankCode = '0009'");
  };
  int events = 0;
  if (inRealPass) {
    host_.onEvents = [&] {
      if (++events == 4) takeLock();
    };
  } else {
    takeLock();
  }
  Run(server, 2);
  lock.reset();

  EXPECT_TRUE(host_.Ended());
  EXPECT_TRUE(host_.Box().starts_with(inRealPass ? kFailedInQnt8dat02 + "Timeout expired\r\n"
                                                 : kTrialFailed + "・qnt8dat02: Timeout expired"))
      << host_.Box();
  EXPECT_EQ(Banks(server, "qnt8dat01"), inRealPass ? kChanged : kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(VostrelBankName(server), "旧銀行");
}

INSTANTIATE_TEST_SUITE_P(UpdateRunTest, LockWaitTest, testing::Bool());

// The window shows one record; when the file holds another by the time Run is pressed, the
// window shows the file's record and nothing is changed.
TEST_F(UpdateRunTest, ARecordChangedSinceTheWindowShowedItChangesNothing) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01"), .wireLog = true});
  WriteControlFiles();
  const auto shown = Shown();
  support::WriteFile(dir_.Path() / "ORV_BankName", "0005,A,B,0005,Other,OTHER\r\n");
  basCommon::UpdateRun(*server.Connect(), dir_.Path(), "ORV_Notara_MasterOnly",
                       "ORV_Vostrel_MasterOnly", shown, host_);
  EXPECT_EQ(
      host_.calls,
      (std::vector<std::string>{
          "hourglass", "buttons off", "running", "buttons on", "idle", "pointer", "show 0005 Other",
          "box オラベンド: ファイル「ORV_BankName」の内容が、画面に表示した後で変わりまし"
          "た。画面を今の内容に更新しました。確かめてから、もう一度実行してください。何も変"
          "更していません。"}));
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
  EXPECT_TRUE(server.Batches().empty());
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
}

// Names are compared by the server under each database's collation: Japanese names in a
// database of another code page are found and changed.
TEST_F(UpdateRunTest, JapaneseNamesAreFoundInADatabaseOfAnotherCodePage) {
  // 銀行,コード,名称,カナ in code page 932.
  WriteControlFiles(
      "\x8B\xE2\x8D\x73,\x83\x52\x81\x5B\x83\x68,\x96\xBC\x8F\xCC,\x83\x4A\x83\x69\r\n");
  TestServer server({.seed = "CREATE DATABASE qnt8dat01 COLLATE Latin1_General_CI_AS\nGO\n"
                             "USE qnt8dat01\nCREATE TABLE 銀行 (コード char(4), 名称 "
                             "nvarchar(40), カナ nvarchar(40))\n"
                             "INSERT INTO 銀行 VALUES ('0005', N'旧銀行', N'ｷｭｳ')\n"});
  Run(server);
  EXPECT_EQ(host_.Box(), "完了しました。");
  EXPECT_EQ(Rows(server, "qnt8dat01", "SELECT * FROM 銀行"),
            std::vector<std::string>{"0005|新銀行|ｼﾝ"});
}

}  // namespace
