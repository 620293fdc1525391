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
  void Run(TestServer& server) {
    auto connection = server.Connect();
    basCommon::UpdateRun(*connection, dir_.Path(), "ORV_Notara_MasterOnly",
                         "ORV_Vostrel_MasterOnly", host_);
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
                         : sql.starts_with("BEGIN TRANSACTION\r\nUPDATE ")         ? "update"
                         : sql.starts_with("SELECT COUNT(name) As")                ? "checks"
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

// A deadlock at the first commit: the server has rolled the database's transaction back, and the
// run ends with the server's own message instead of going on as if it had been committed.
TEST_F(UpdateRunTest, ADeadlockAtTheCommitEndsTheRunWithTheDatabaseUnchanged) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02"),
                     .args = {"--fail-text", "COMMIT TRANSACTION:1205"}});
  WriteControlFiles();
  Run(server);
  ExpectTheRunEndedWith(
      "会社データベース「qnt8dat01」の変更を確定する途中でエラーが発生しました。このデータ"
      "ベースが変更されたかどうかは分かりません。確かめてください。\r\nTransaction (Process "
      "ID 51) was deadlocked on lock resources with "
      "another process and has been chosen as the deadlock victim. Rerun the transaction.");
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(Rows(server, "master", "SELECT @@TRANCOUNT"), std::vector<std::string>{"0"});
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
                                 kBankRecord, "ファイル「ORV_Notara_MasterOnly」の1行目の項目 1"},
        std::vector<std::string>{"TBank,5,BankName,BankKana\r\n", kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 1"},
        std::vector<std::string>{"TBank,BankCode = 0 DELETE FROM TBank WHERE 5,BankName,\r\n",
                                 kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 1"},
        std::vector<std::string>{kNotaraList, "M_BANK,GINKO CD,BANK_NM,BANK_KN\r\n", kBankRecord,
                                 "ファイル「ORV_Vostrel_MasterOnly」の1行目の項目 1"},
        std::vector<std::string>{"TBank,BankCode,Bank[Name],\r\n", kVostrelList, kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の1行目の項目 2"},
        std::vector<std::string>{kNotaraList, kVostrelList, "1,A,B,1,C,D\n0005,A,B,0005,E,F\n",
                                 "ファイル「ORV_BankName」の1行目に制御文字 (U+000A)"},
        std::vector<std::string>{kNotaraList + "TBank\t,BankCode,BankName,\r\n", kVostrelList,
                                 kBankRecord,
                                 "ファイル「ORV_Notara_MasterOnly」の2行目に制御文字"}));

// A connection that dies in the middle of the real pass: the run ends with its error, the
// database whose batch was committed keeps its change, and those it had not committed are as
// they were.
class DroppedConnectionTest : public UpdateRunTest,
                              public testing::WithParamInterface<const char*> {};

TEST_P(DroppedConnectionTest, EndsTheRunWithItsErrorAndLeavesUncommittedDatabasesUnchanged) {
  // Batches: the two listings, four per database in the trial pass (USE, checks, update,
  // rollback), then USE, update and commit per database: the 19th is the second database's
  // real update.
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                             NotaraDatabase("qnt8dat03"),
                     .args = {GetParam(), "19"}});
  WriteControlFiles();
  Run(server);
  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(host_.icons.back(), platform::Icon::Critical);
  EXPECT_TRUE(
      host_.Box().starts_with("会社データベース「qnt8dat02」の変更中にエラーが発生しました。"))
      << host_.Box();
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "increase"), 4);
  EXPECT_EQ(Banks(server, "qnt8dat01"), kChanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat03"), kUnchanged);
}

INSTANTIATE_TEST_SUITE_P(UpdateRunTest, DroppedConnectionTest,
                         testing::Values("--drop-batch", "--drop-reply", "--drop-after-done"));

// A database locked by another connection: the UPDATE waits, as on SQL Server, which has no lock
// time-out by default, until the command time-out cancels it; the run rolls its transaction back
// and shows the time-out. In the trial pass the database is named and nothing changes; in the real
// pass the databases before it keep their change.
class LockWaitTest : public UpdateRunTest, public testing::WithParamInterface<bool> {};

TEST_P(LockWaitTest, TheCommandTimeOutEndsTheWaitAndTheDatabaseIsUnchanged) {
  const bool inRealPass = GetParam();
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                             NotaraDatabase("qnt8dat03")});
  WriteControlFiles();
  const auto holder = server.Connect("qnt8dat02");
  std::optional<odbc::Transaction> lock;
  const auto takeLock = [&] {
    lock.emplace(*holder);
    lock->Execute("UPDATE TBank SET Memo = N'held' WHERE BankCode = '0009'");
  };
  // Events come once before the trial pass and after each database of it.
  int events = 0;
  if (inRealPass) {
    host_.onEvents = [&] {
      if (++events == 4) takeLock();
    };
  } else {
    takeLock();
  }
  const auto connection = server.Connect();
  connection->SetCommandTimeout(2);
  const auto start = std::chrono::steady_clock::now();
  basCommon::UpdateRun(*connection, dir_.Path(), "ORV_Notara_MasterOnly", "ORV_Vostrel_MasterOnly",
                       host_);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  lock.reset();

  ExpectTheRunEndedWith(
      inRealPass ? "会社データベース「qnt8dat02」の変更中にエラーが発生しました。このデータベー"
                   "スの変更は取り消しました。\r\nTimeout expired"
                 : "次の会社データベースは変更できないため、どのデータベースも変更しませんでし"
                   "た。\r\n\r\n・qnt8dat02: Timeout expired");
  EXPECT_EQ(Banks(server, "qnt8dat01"), inRealPass ? kChanged : kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat03"), kUnchanged);
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT @@TRANCOUNT"), 0);
}

INSTANTIATE_TEST_SUITE_P(UpdateRunTest, LockWaitTest, testing::Bool());

// The connection goes at the first commit (batch 13), after the server committed or before: the
// run cannot know which, says so, and changes nothing more.
TEST_F(UpdateRunTest, ALostCommitLeavesTheOutcomeOpenAndSaysSo) {
  for (const auto& [fault, committed] :
       {std::pair{"--drop-reply", true}, {"--drop-batch", false}}) {
    SCOPED_TRACE(fault);
    RecordingRunHost host;
    TestServer server(
        {.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02"), .args = {fault, "13"}});
    WriteControlFiles();
    basCommon::UpdateRun(*server.Connect(), dir_.Path(), "ORV_Notara_MasterOnly",
                         "ORV_Vostrel_MasterOnly", host);
    EXPECT_TRUE(host.Ended());
    const std::string heading =
        "会社データベース「qnt8dat01」の変更を確定する途中でエラーが発生しました。このデータベース"
        "が変更されたかどうかは分かりません。確かめてください。\r\n";
    EXPECT_TRUE(host.Box().starts_with(heading)) << host.Box();
    EXPECT_GT(host.Box().size(), heading.size()) << "a description follows";
    EXPECT_EQ(Banks(server, "qnt8dat01"), committed ? kChanged : kUnchanged);
    EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
  }
}

// An error of severity 20 at the commit ends the session, and the server rolls the database's
// transaction back.
TEST_F(UpdateRunTest, AFatalErrorAtTheCommitShowsTheServersMessage) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02"),
                     .args = {"--fail-batch", "13:4014"}});
  WriteControlFiles();
  Run(server);
  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(
      host_.Box(),
      "会社データベース「qnt8dat01」の変更を確定する途中でエラーが発生しました。このデータ"
      "ベースが変更されたかどうかは分かりません。確かめてください。\r\nA fatal error occurred "
      "while reading the input stream from the network. The session will be terminated "
      "(input error: 10054, output error: 0).");
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat02"), kUnchanged);
}

// The connection goes in the middle of the rows of a reply: in the listing of the databases
// (batch 1), and in the answers of the second database's catalog during the trial pass (batch 8):
// the run ends with the driver's description at once, instead of trying the databases left.
class CutRowStreamTest : public UpdateRunTest,
                         public testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(CutRowStreamTest, EndsTheRunWithADescriptionAndChangesNothing) {
  const auto& [batch, heading] = GetParam();
  TestServer server({.seed = NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") +
                             NotaraDatabase("qnt8dat03"),
                     .args = {"--drop-in-rows", batch}});
  WriteControlFiles();
  Run(server);
  ExpectTheRunEndedWith(std::string(heading) + "Unexpected EOF from the server");
  EXPECT_EQ(host_.Boxes().size(), 1u);
  for (const char* db : {"qnt8dat01", "qnt8dat02", "qnt8dat03"})
    EXPECT_EQ(Banks(server, db), kUnchanged) << db;
}

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, CutRowStreamTest,
    testing::Values(std::pair{"1", ""},
                    std::pair{"8",
                              "会社データベース「qnt8dat02」を確かめる途中でサーバーとの接続が切れ"
                              "ました。どのデータベースも変更していません。\r\n"}));

}  // namespace
