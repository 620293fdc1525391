// The update run over both products' databases, as the server's data and the wire log show it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "bankname/UpdateRun.hpp"
#include "support/TestServer.hpp"

namespace {

using support::TestServer;
using Rows = std::vector<std::string>;

/// Records every call of the run on the windows, in order.
class RecordingRunHost : public basCommon::RunHost {
 public:
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    calls.push_back("box " + title + ": " + text);
    icons.push_back(icon);
    box = text;
  }
  void EndProgram() override { calls.push_back("end"); }
  void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
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
    if (onEvents) onEvents(++events);
  }
  bool Ended() const { return !calls.empty() && calls.back() == "end"; }

  std::vector<std::string> calls;
  std::vector<platform::Icon> icons;
  std::string box = "no box";  ///< the last message box's text
  int events = 0;
  /// Called with the number of times events were let through: once before the trial pass, then
  /// after each database.
  std::function<void(int)> onEvents;
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

/// A database whose listed table has a column to change but not its key column.
std::string KeylessDatabase(const std::string& name, const std::string& table) {
  return "CREATE DATABASE " + name + "\nGO\nUSE " + name + "\nCREATE TABLE " + table + "\nGO\n";
}

// 0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝ in code page 932.
const std::string kBankRecord =
    "0005,\x8B\x8C\x8B\xE2\x8D\x73,\xB7\xAD\xB3,0005,\x90\x56\x8B\xE2\x8D\x73,\xBC\xDD\r\n";
const std::string kNotaraList = "TBank,BankCode,BankName,BankKana\r\n";
const std::string kVostrelList =
    "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\nT_PAY,PAY_BANK_CD,PAY_BANK_NM,\r\n";

const Rows kChanged{"0005|新銀行|ｼﾝ|旧銀行", "0009|他行|ﾀｺｳ|"};
const Rows kUnchanged{"0005|旧銀行|ｷｭｳ|旧銀行", "0009|他行|ﾀｺｳ|"};

/// Three databases, the third of product B. Requests: the two listings, four per database in
/// the trial pass (USE, checks, update, rollback), then USE, update and commit per database.
const std::string kThreeDatabases =
    NotaraDatabase("qnt8dat01") + NotaraDatabase("qnt8dat02") + VostrelDatabase("zarvekkdat01");

const std::string kTrialFailed =
    "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n";

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
    try {
      return basCommon::ReadBankRecord(dir_.Path());
    } catch (const std::exception&) {
      return {};
    }
  }
  void Run(TestServer& server, long timeout = 0) {
    const auto connection = server.Connect();
    if (timeout > 0) connection->SetCommandTimeout(timeout);
    basCommon::UpdateRun(*connection, dir_.Path(), "ORV_Notara_MasterOnly",
                         "ORV_Vostrel_MasterOnly", Shown(), host_);
  }
  /// The rows of `query` in `database`, read with a connection of the test's own.
  static Rows Select(const TestServer& server, const std::string& database,
                     const std::string& query) {
    Rows rows;
    const auto results = server.Connect(database)->Execute(query);
    for (const auto& row : results.at(0).rows) {
      std::string text;
      for (const auto& field : row) text += (text.empty() ? "" : "|") + field.value_or("NULL");
      rows.push_back(text);
    }
    return rows;
  }
  static Rows Banks(const TestServer& server, const std::string& database) {
    return Select(server, database, "SELECT * FROM TBank ORDER BY BankCode");
  }
  static std::string VostrelBankName(const TestServer& server, const std::string& database) {
    return Select(server, database, "SELECT BANK_NM FROM M_BANK WHERE BANK_CD = '0005'").at(0);
  }
  /// For each of kThreeDatabases: '+' where the bank's row has its new name and reading and no
  /// other row changed, '-' where nothing changed, '?' where it cannot be read, '!' otherwise.
  static std::string Changed(const TestServer& server) {
    std::string states;
    for (const char* db : {"qnt8dat01", "qnt8dat02"}) {
      try {
        const auto banks = Banks(server, db);
        states += banks == kChanged ? '+' : banks == kUnchanged ? '-' : '!';
      } catch (const odbc::Error&) {
        states += '?';
      }
    }
    const auto name = VostrelBankName(server, "zarvekkdat01");
    return states + (name == "新銀行" ? '+' : name == "旧銀行" ? '-' : '!');
  }
  /// The run ended the program after one error message with the critical icon.
  void ExpectTheRunEndedWith(const std::string& message) const {
    EXPECT_TRUE(host_.Ended());
    EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Critical});
    EXPECT_EQ(host_.box, message);
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
    EXPECT_EQ(Select(server, db, "SELECT * FROM M_BANK ORDER BY BANK_CD"),
              (Rows{"0005|新銀行|ｼﾝ", "0009|他行|ﾀｺｳ"}))
        << db;
    EXPECT_EQ(Select(server, db, "SELECT * FROM T_PAY"), Rows{"0005|新銀行"}) << db;
  }
  // Both passes advance the progress window, which is drawn before the first database.
  Rows expected{"busy", "show progress", "progress 0 12 0", "events"};
  for (int i = 0; i < 12; ++i) expected.insert(expected.end(), {"increase", "events"});
  // qnt8def is named: nothing was changed there.
  expected.insert(
      expected.end(),
      {"idle",
       "box オラベンド: 完了しました。\r\n\r\n次の会社データベースには一覧にあるテーブル"
       "や列がどれもないため、何も変更していません (1 件):\r\n・qnt8def",
       "end"});
  EXPECT_EQ(host_.calls, expected);
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Information});

  // Product A's databases first, each in list order, in four requests: the trial switches and asks
  // the catalog in one, tries the batch and undoes it in another; the real pass switches, begins
  // and changes in one and commits in another. The transactions are SQL text.
  Rows requests;
  for (const auto& entry : log) {
    if (entry.value("kind", "") == "tm") {
      requests.push_back("tm " + entry.at("request").get<std::string>());
    } else if (entry.value("kind", "") == "batch") {
      const std::string sql = entry.at("sql").get<std::string>();
      const std::string first = sql.substr(0, sql.find('\r'));
      requests.push_back(
          sql.find("\r\nSELECT system_type_id") != std::string::npos           ? first + " checks"
          : sql.find("\r\nBEGIN TRANSACTION\r\nUPDATE [") != std::string::npos ? first + " change"
          : sql.starts_with("BEGIN TRANSACTION\r\nUPDATE [") &&
                  sql.ends_with("\r\nIF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\nSELECT @@TRANCOUNT")
              ? "try"
          : sql == "COMMIT TRANSACTION\r\nSELECT @@TRANCOUNT" ? "commit"
                                                              : first);
    }
  }
  const Rows order{"qnt8dat01",    "qnt8dat02",   "qnt8def",
                   "zarvekkdat01", "zarvekkbank", "zarvekkdat02"};
  Rows sent{
      "SELECT name FROM sys.databases WHERE name LIKE 'qnt_dat%' OR name LIKE 'qnt_def'",
      "SELECT name FROM sys.databases WHERE name LIKE 'zarvekkdat%' OR name LIKE 'zarvekkbank'"};
  Rows real;
  for (const auto& db : order) {
    sent.push_back("USE [" + db + "] checks");
    if (db == "qnt8def") continue;
    sent.push_back("try");
    real.insert(real.end(), {"USE [" + db + "] change", "commit"});
  }
  sent.insert(sent.end(), real.begin(), real.end());
  EXPECT_EQ(requests, sent);
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
      kTrialFailed +
      "\r\n・qnt8dat02: Database 'qnt8dat02' cannot be opened because it is offline."
      "\r\n・qnt8dat03: Failed to update database \"qnt8dat03\" because the "
      "database is read-only."
      "\r\n・zarvekkdat01: Database 'zarvekkdat01' is already open and can only "
      "have one user at a time."
      "\r\n・zarvekkdat02: Database 'zarvekkdat02' cannot be opened. It is in the "
      "middle of a restore.");
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
  EXPECT_EQ(Banks(server, "qnt8dat03"), kUnchanged);
  EXPECT_EQ(VostrelBankName(server, "zarvekkdat01"), "旧銀行");
  EXPECT_EQ(VostrelBankName(server, "zarvekkbank"), "旧銀行");
  for (const auto& sql : server.Batches()) EXPECT_EQ(sql.find("COMMIT"), std::string::npos) << sql;
}

// Every database that cannot take the change is named with its reason, whatever failed in the one
// before it, the list cut after ten; nothing is changed anywhere. A name cannot add lines to the
// message: its line end is shown, also where the server quotes it.
TEST_F(UpdateRunTest, ALongListOfFailingDatabasesIsCutWithACount) {
  std::string seed =
      "CREATE DATABASE [qnt8dat00\r\n・qnt8dat99: OK]\nGO\n"
      "ALTER DATABASE [qnt8dat00\r\n・qnt8dat99: OK] SET OFFLINE\nGO\n";
  std::string expected =
      kTrialFailed +
      "\r\n・qnt8dat00\\r\\n・qnt8dat99: OK: Database 'qnt8dat00\\r\\n・qnt8dat99: "
      "OK' cannot be opened because it is offline.";
  for (int i = 10; i < 18; ++i) {
    const std::string name = "qnt8dat" + std::to_string(i);
    seed += KeylessDatabase(name, "TBank (BankName nvarchar(40))");
    expected += "\r\n・" + name + ": テーブル「TBank」にキー列「BankCode」がありません。";
  }
  // zarvekkdat01's payee key holds no number (error 245).
  seed += NotaraDatabase("qnt8dat30") + VostrelDatabase("zarvekkdat01", "X1") +
          VostrelDatabase("zarvekkdat02");
  for (int i = 3; i < 7; ++i)
    seed += KeylessDatabase("zarvekkdat0" + std::to_string(i), "M_BANK (BANK_NM nvarchar(40))");
  TestServer server({.seed = seed});
  WriteControlFiles();
  Run(server);
  ExpectTheRunEndedWith(expected +
                        "\r\n・zarvekkdat01: Conversion failed when converting the varchar value "
                        "'X1' to data type int."
                        "\r\n・ほか 4 件");
  EXPECT_EQ(Banks(server, "qnt8dat30"), kUnchanged);
  EXPECT_EQ(VostrelBankName(server, "zarvekkdat02"), "旧銀行");
}

TEST_F(UpdateRunTest, NoRowWithTheBanksCodeChangesNothingAndWarns) {
  TestServer server(
      {.seed = NotaraDatabase("qnt8dat01", "0007") + VostrelDatabase("zarvekkdat01")});
  WriteControlFiles(kNotaraList, "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\n",
                    "0008,A,B,0008,\x90\x56,\xBC\xDD\r\n");
  Run(server);
  EXPECT_EQ(host_.box,
            "銀行コード「0008」の行はどの会社データベースにも見つかりませんでした。何も変更してい"
            "ません。");
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
  EXPECT_FALSE(host_.Ended());
  // The window is usable again, without the progress window over it.
  const std::vector<std::string> last(host_.calls.end() - 3, host_.calls.end() - 1);
  EXPECT_EQ(last, (std::vector<std::string>{"idle", "hide progress"}));
  EXPECT_EQ(Banks(server, "qnt8dat01"), (Rows{"0007|旧銀行|ｷｭｳ|旧銀行", "0009|他行|ﾀｺｳ|"}));
}

TEST_F(UpdateRunTest, NoDatabaseWarnsAndLeavesTheWindowUsable) {
  TestServer server({.seed = "CREATE DATABASE qnt8sys\n"});
  WriteControlFiles();
  Run(server);
  EXPECT_EQ(host_.calls,
            (Rows{"busy", "show progress", "progress 0 0 0", "events", "idle", "hide progress",
                  "box オラベンド: 対象製品の会社データベースが見つかりません。"}));
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
}

// Control files that would change rows nobody asked for are refused before any database is
// touched, whichever product's list they are in.
struct Refused {
  std::string notara = kNotaraList;
  std::string vostrel = kVostrelList;
  std::string bank = kBankRecord;
  std::string where;  ///< how the message begins
};

class RefusedControlFileTest : public UpdateRunTest, public testing::WithParamInterface<Refused> {};

TEST_P(RefusedControlFileTest, ChangesNothingAndNamesTheFileAndLine) {
  TestServer server(
      {.seed = NotaraDatabase("qnt8dat01") + VostrelDatabase("zarvekkdat01"), .wireLog = true});
  WriteControlFiles(GetParam().notara, GetParam().vostrel, GetParam().bank);
  Run(server);
  ExpectTheRunEndedWith(host_.box);
  EXPECT_TRUE(host_.box.starts_with(GetParam().where)) << host_.box;
  for (const auto& sql : server.Batches()) {
    EXPECT_FALSE(sql.starts_with("USE") || sql.find("UPDATE") != std::string::npos) << sql;
  }
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
}

const std::string kNotaraItem = "ファイル「ORV_Notara_MasterOnly」の1行目の項目 ";

// One row for each file; ControlFilesTest has the rules themselves.
INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, RefusedControlFileTest,
    testing::Values(Refused{.notara = "TBank,1=1 OR BankCode,BankName,BankKana\r\n",
                            .where = kNotaraItem + "2"},
                    Refused{.vostrel = "M_BANK,GINKO CD,BANK_NM,BANK_KN\r\n",
                            .where = "ファイル「ORV_Vostrel_MasterOnly」の1行目の項目 2"},
                    Refused{.bank = "0001,A,B,0005,C,D\r\n",
                            .where = "ファイル「ORV_BankName」の項目 1 (コード) 「0001」と項目 4"},
                    Refused{.bank = "0005,A,B,0005,C,\x80\r\n",
                            .where = "ファイル「ORV_BankName」の1行目に、Shift_JIS (ANSI) の"}));

// The control files as the administrator's tools save them, read as meant: UTF-8 with or without
// its mark (also where its bytes are valid code page 932) or code page 932; a new kana that only
// half-width kana columns can take; and columns that the database's collation makes one.
struct AsSaved {
  std::string bank;
  std::string list = kNotaraList;
  std::string box = "完了しました。";
  Rows banks = kChanged;  ///< qnt8dat01's TBank afterwards
};

class AsSavedTest : public UpdateRunTest, public testing::WithParamInterface<AsSaved> {};

TEST_P(AsSavedTest, WritesWhatTheFileMeansOrNothing) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01")});
  WriteControlFiles(GetParam().list, "", GetParam().bank);
  Run(server);
  EXPECT_EQ(host_.box, GetParam().box);
  EXPECT_EQ(host_.icons.size(), 1u);
  EXPECT_EQ(Banks(server, "qnt8dat01"), GetParam().banks);
}

const std::string kUtf8Record = "0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝ\r\n";
const std::string kSameColumn =
    "は、このデータベースでは同じ列です。キー列、名称列、カナ列は別の列にしてください。";

INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, AsSavedTest,
    testing::Values(
        AsSaved{.bank = kBankRecord}, AsSaved{.bank = kUtf8Record},
        AsSaved{.bank = "\xEF\xBB\xBF" + kUtf8Record, .list = "\xEF\xBB\xBF" + kNotaraList},
        // Read as code page 932, "新アイ" in UTF-8 would be 譁ｰ繧｢繧､.
        AsSaved{.bank = "0005,アイ,AI,0005,新アイ,SIN AI\r\n",
                .banks = {"0005|新アイ|SIN AI|旧銀行", "0009|他行|ﾀｺｳ|"}},
        AsSaved{.bank = "0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝｷﾞﾝｺｳ(ﾊﾟ) 1.2-3/~｡\r\n",
                .banks = {"0005|新銀行|ｼﾝｷﾞﾝｺｳ(ﾊﾟ) 1.2-3/~｡|旧銀行", "0009|他行|ﾀｺｳ|"}},
        AsSaved{
            .bank = "0005,旧銀行,ｷｭｳ,0005,新銀行,シンギンコウ\r\n",
            .box = "ファイル「ORV_BankName」の項目 6 (変更後のカナ) に、半角カナではない文字「シ"
                   "」があります。カナは半角カナ (と半角の英数字・記号) で書いてください。IME "
                   "で入力した後に F8 キーを押すと半角カナになります。",
            .banks = kUnchanged},
        AsSaved{
            .bank = "0005,旧銀行,ｷｭｳ,0005,新銀行,ｼﾝぎんこう\r\n",
            .box = "ファイル「ORV_BankName」の項目 6 (変更後のカナ) に、半角カナではない文字「ぎ"
                   "」があります。カナは半角カナ (と半角の英数字・記号) で書いてください。IME "
                   "で入力した後に F8 キーを押すと半角カナになります。",
            .banks = kUnchanged},
        // Japanese_CI_AS ignores width: the full-width name is the same column.
        AsSaved{.bank = kBankRecord,
                .list = "TBank,BankCode,BankName,ＢａｎｋＮａｍｅ\r\n",
                .box = kTrialFailed +
                       "\r\n・qnt8dat01: ファイル「ORV_Notara_MasterOnly」の1行目の項目 3 (名称列) "
                       "「BankName」と項目 4 (カナ列) 「ＢａｎｋＮａｍｅ」" +
                       kSameColumn,
                .banks = kUnchanged},
        AsSaved{.bank = kBankRecord,
                .list = "TBank,BankCode,ｂａｎｋｃｏｄｅ,\r\n",
                .box = kTrialFailed +
                       "\r\n・qnt8dat01: ファイル「ORV_Notara_MasterOnly」の1行目の項目 2 (キー列) "
                       "「BankCode」と項目 3 (名称列) 「ｂａｎｋｃｏｄｅ」" +
                       kSameColumn,
                .banks = kUnchanged}));

// A run that stops: what it says, and which databases keep the change. A run that cannot trust
// the connection any more stops at once; a database that cannot take the change in the trial pass
// is named; a failure in the real pass tells where every database stands; a commit not answered
// as it should be leaves its outcome open.
struct Stop {
  std::vector<std::string> args;  ///< the stand-in's faults
  long timeout;                   ///< the run's command time-out, 0 for none
  std::string changed;            ///< as Changed() gives it
  int commits;                    ///< COMMITs the stand-in receives, read where it has faults
  std::string box;                ///< how the message begins
  std::string tail = {};          ///< how it ends
  std::string sql = {};           ///< run by a connection of the test's own ...
  int at = 0;                     ///< ... when the run lets events through for the at-th time
  double seconds = 0;             ///< a bound on the run's time, where not 0
};

class StopTest : public UpdateRunTest, public testing::WithParamInterface<Stop> {};

TEST_P(StopTest, SaysWhereTheRunStoppedAndWhatChanged) {
  const auto& param = GetParam();
  TestServer server({.seed = kThreeDatabases, .args = param.args, .wireLog = !param.args.empty()});
  WriteControlFiles();
  std::unique_ptr<odbc::Connection> other;
  host_.onEvents = [&](int events) {
    if (events != param.at) return;
    other = server.Connect();
    other->Execute(param.sql);
  };
  const auto start = std::chrono::steady_clock::now();
  Run(server, param.timeout);
  if (param.seconds > 0) {
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              param.seconds);
  }
  // Ends a transaction the statement left open, so that every database can be read.
  if (other) other->Execute("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");

  EXPECT_TRUE(host_.Ended());
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Critical});
  EXPECT_TRUE(host_.box.starts_with(param.box) && host_.box.ends_with(param.tail)) << host_.box;
  EXPECT_EQ(Changed(server), param.changed);
  if (!param.args.empty()) {
    const auto batches = server.Batches();
    EXPECT_EQ(std::count_if(
                  batches.begin(), batches.end(),
                  [](const std::string& sql) { return sql.find("COMMIT") != std::string::npos; }),
              param.commits);
  }
}

const std::string kRollbackUnsure =
    "会社データベース「qnt8dat02」を確かめる途中でエラーが発生し、試した変更を取り消せたことを確"
    "かめられなかったため、中止しました。どのデータベースも変更していません。\r\nTimeout expired"
    "\r\nトランザクションが終了していません (@@TRANCOUNT = 1)。";
const std::string kRollbackFailed =
    kTrialFailed + "\r\n・qnt8dat01: Error 229 raised by the stand-in server.";
/// The trial ends at its first time-out.
std::string TrialTimeout(const std::string& database, long seconds, int after) {
  return "会社データベース「" + database + "」を確かめる途中で、サーバーの応答がタイムアウト (" +
         std::to_string(seconds) + " 秒) までにありませんでした。これより後の会社データベース (" +
         std::to_string(after) +
         " 件) は確かめていません。どのデータベースも変更していません。\r\nTimeout expired";
}
const std::string kLostInQnt8dat02 =
    "会社データベース「qnt8dat02」を確かめる途中でサーバーとの接続が切れました。どのデータベー"
    "スも変更していません。\r\n";
const std::string kFailedInQnt8dat02 =
    "会社データベース「qnt8dat02」の変更中にエラーが発生しました。このデータベースの変更は取り"
    "消しました。\r\n";
const std::string kOffline =
    kFailedInQnt8dat02 + "Database 'qnt8dat02' cannot be opened because it is offline.\r\n";
const std::string kReadOnly =
    kFailedInQnt8dat02 +
    "Failed to update database \"qnt8dat02\" because the database is read-only.\r\n";
const std::string kLostAtQnt8dat02 =
    "会社データベース「qnt8dat02」の変更中にサーバーとの接続が切れました。確定していないこのデー"
    "タベースの変更は、サーバーが取り消します。\r\n";
const std::string kCommitLost =
    "会社データベース「qnt8dat01」の変更を確定する途中でサーバーとの接続が切れました。このデータ"
    "ベースが変更されたかどうかは分かりません。確かめてください。\r\n";
const std::string kCommitFailed =
    "会社データベース「qnt8dat01」の変更を確定する途中でエラーが発生しました。このデータベースが"
    "変更されたかどうかは分かりません。確かめてください。\r\nTransaction (Process ID 51) was "
    "deadlocked on lock resources with another process and has been chosen as the deadlock "
    "victim. Rerun the transaction.";
const std::string kRunAgain =
    "\r\n\r\n原因を取り除いてからもう一度実行すると、変更が完了します。変更済みのデータベースに"
    "は同じ変更がもう一度行われるだけです。";
const std::string kOneChanged =
    "\r\n\r\n変更済みの会社データベース (1 件):\r\n・qnt8dat01\r\nまだ変更していない会社データ"
    "ベース (1 件):\r\n・zarvekkdat01" +
    kRunAgain;
const std::string kNoneKnown =
    "\r\n\r\n変更済みの会社データベース: なし\r\nまだ変更していない会社データベース (2 件):"
    "\r\n・qnt8dat02\r\n・zarvekkdat01" +
    kRunAgain;
const std::string kFatal =
    "A fatal error occurred while reading the input stream from the network.";
const std::string kEof = "Unexpected EOF from the server";
const std::string kLock =
    "USE qnt8dat02 BEGIN TRANSACTION UPDATE TBank SET Memo = N'held' WHERE BankCode = '0009'";

// Requests of kThreeDatabases, after the two listings: two a database in the trial pass (the switch
// with the checks, the try), two a database in the real pass (the switch with the batch, the
// commit). So the 4th is the first try, the 5th the second database's switch and checks; the 10th
// is the first commit, the 11th the second database's switch and batch. Events: the 1st before
// the trial pass, the 4th after it.
INSTANTIATE_TEST_SUITE_P(
    UpdateRunTest, StopTest,
    testing::Values(
        // A try that waited for a lock and was cancelled, whose transaction the clean-up cannot
        // end (the lock is the 3rd batch, the try the 7th): it would hold every later change.
        Stop{{"--fail-batch", "8:229"}, 2, "---", 0, kRollbackUnsure, "", kLock, 1},
        // The try fails as a whole; the trial goes on, and names the database.
        Stop{{"--fail-batch", "4:229"}, 0, "---", 0, kRollbackFailed},
        // Changing the database waits no longer than the command time-out.
        Stop{{"--hold", "USE [qnt8dat02]:60"}, 1, "---", 0, TrialTimeout("qnt8dat02", 1, 1)},
        // A server that holds every database's UPDATE: one time-out ends the trial, however
        // many databases there are.
        Stop{{"--hold", "UPDATE:60"}, 3, "---", 0, TrialTimeout("qnt8dat01", 3, 2), "", "", 0, 8},
        // Its rollback and the question after it held too: the clean-up waits a short time of
        // its own (4 + 2 + 2 s; a full time-out each would be 12 s), and a server that does not
        // answer is not a lost connection.
        Stop{{"--hold", "TRANCOUNT:60"},
             4,
             "---",
             0,
             "会社データベース「qnt8dat01」を確かめる途中でサーバーが応答しなくなりました。どのデー"
             "タベースも変更していません。\r\nTimeout expired",
             "",
             "",
             0,
             11},
        // A server that stops answering, even the cancel; a session that ends; a connection that
        // goes in the middle of a reply's rows.
        Stop{{"--stall-batch", "5"}, 1, "---", 0, kLostInQnt8dat02},
        Stop{{"--fail-batch", "5:4014"}, 0, "---", 0, kLostInQnt8dat02 + kFatal},
        Stop{{"--drop-in-rows", "5"}, 0, "---", 0, kLostInQnt8dat02 + kEof},
        Stop{
            {"--drop-in-rows", "1"},
            0,
            "---",
            0,
            "会社データベースの一覧をサーバーから読めませんでした。どのデータベースも変更していませ"
            "ん。\r\n" +
                kEof},
        // A lock held elsewhere: the UPDATE waits, as on SQL Server, which has no lock time-out by
        // default, until the command time-out cancels it and the run rolls back.
        // An earlier database's failure is named with the time-out (the lock is the 3rd batch).
        Stop{{"--fail-batch", "5:229"},
             2,
             "---",
             0,
             TrialTimeout("qnt8dat02", 2, 1),
             "\r\n\r\n" + kRollbackFailed,
             kLock,
             1},
        Stop{{}, 2, "+--", 0, kFailedInQnt8dat02 + "Timeout expired\r\n", kOneChanged, kLock, 4},
        // The real pass, after the first database.
        Stop{{"--drop-batch", "11"}, 0, "+--", 1, kLostAtQnt8dat02, kOneChanged},
        Stop{{"--drop-reply", "11"}, 0, "+--", 1, kLostAtQnt8dat02, kOneChanged},
        Stop{{"--stall-batch", "11"}, 1, "+--", 1, kLostAtQnt8dat02, kOneChanged},
        Stop{{}, 0, "+?-", 0, kOffline, kOneChanged, "ALTER DATABASE qnt8dat02 SET OFFLINE", 4},
        Stop{{}, 0, "+--", 0, kReadOnly, kOneChanged, "ALTER DATABASE qnt8dat02 SET READ_ONLY", 4},
        Stop{{}, 0, "+?-", 0, kFailedInQnt8dat02, kOneChanged, "USE qnt8dat02 DROP TABLE TBank", 4},
        // The first commit, not answered as it should be: its outcome is unknown.
        Stop{{"--drop-reply", "10"}, 0, "+--", 1, kCommitLost, kNoneKnown},
        Stop{{"--drop-batch", "10"}, 0, "---", 1, kCommitLost, kNoneKnown},
        Stop{{"--fail-batch", "10:4014"}, 0, "---", 1, kCommitLost + kFatal, kNoneKnown},
        Stop{{"--fail-text", "COMMIT TRANSACTION:1205"}, 0, "---", 1, kCommitFailed, kNoneKnown}));

// Once the cause is gone, running again completes the change: the databases changed before get
// the same change again. The record read as the run starts is the one used, though the file
// changes meanwhile.
TEST_F(UpdateRunTest, RunningAgainAfterARealPassFailureCompletesTheChange) {
  TestServer server({.seed = kThreeDatabases});
  WriteControlFiles();
  host_.onEvents = [&](int events) {
    if (events == 4) server.Connect()->Execute("ALTER DATABASE qnt8dat02 SET OFFLINE");
  };
  Run(server);
  ASSERT_TRUE(host_.box.starts_with(kFailedInQnt8dat02)) << host_.box;
  server.Connect()->Execute("ALTER DATABASE qnt8dat02 SET ONLINE");
  host_ = {};
  host_.onEvents = [&](int) {
    support::WriteFile(dir_.Path() / "ORV_BankName", "0005,a,b,0009,EDITED,EDITED\r\n");
  };
  Run(server);
  EXPECT_EQ(host_.box, "完了しました。");
  EXPECT_EQ(Changed(server), "+++");
}

// The window shows one record; when the file holds another by the time Run is pressed, the
// window shows the file's record and nothing is changed.
TEST_F(UpdateRunTest, ARecordChangedSinceTheWindowShowedItChangesNothing) {
  TestServer server({.seed = NotaraDatabase("qnt8dat01"), .wireLog = true});
  WriteControlFiles();
  const auto shown = Shown();
  support::WriteFile(dir_.Path() / "ORV_BankName", "0005,A,B,0005,Other,OTHER\r\n");
  basCommon::UpdateRun(*server.Connect(), dir_.Path(), "ORV_Notara_MasterOnly",
                       "ORV_Vostrel_MasterOnly", shown, host_);
  EXPECT_EQ(host_.calls,
            (Rows{"busy", "show 0005 Other", "idle", "hide progress",
                  "box オラベンド: ファイル「ORV_BankName」の内容が、画面に表示した後で変わりまし"
                  "た。画面を今の内容に更新しました。確かめてから、もう一度実行してください。何も変"
                  "更していません。"}));
  EXPECT_EQ(host_.icons, std::vector<platform::Icon>{platform::Icon::Exclamation});
  EXPECT_TRUE(server.Batches().empty());
  EXPECT_EQ(Banks(server, "qnt8dat01"), kUnchanged);
}

// A case-sensitive server with company databases of several collations: each is found and
// changed. The columns are just wide enough in bytes for the old kana in UTF-8 (three a kana).
// Names are compared by the server under each database's collation: Japanese names in a
// database of another code page are found too.
TEST_F(UpdateRunTest, ACaseSensitiveServerAndDatabasesOfEachCollationAreChanged) {
  const auto database = [](const std::string& name, const std::string& collation) {
    return "CREATE DATABASE " + name + " COLLATE " + collation + "\nGO\nUSE " + name +
           "\nCREATE TABLE TBank (BankCode char(4), BankName varchar(9), BankKana varchar(9), "
           "Memo nvarchar(40))\n"
           "INSERT INTO TBank VALUES ('0005', N'旧銀行', N'ｷｭｳ', N'旧銀行'), "
           "('0009', N'他行', N'ﾀｺｳ', N'')\nGO\n";
  };
  const Rows databases{"qnt8dat01", "qnt8dat02", "qnt8dat03"};
  TestServer server({.seed = database(databases[0], "Japanese_CI_AS") +
                             database(databases[1], "Japanese_XJIS_140_CI_AS") +
                             database(databases[2], "Latin1_General_100_CI_AS_SC_UTF8") +
                             "CREATE DATABASE qnt8dat04 COLLATE Latin1_General_CI_AS\nGO\n"
                             "USE qnt8dat04\nCREATE TABLE 銀行 (コード char(4), 名称 "
                             "nvarchar(40), カナ nvarchar(40))\n"
                             "INSERT INTO 銀行 VALUES ('0005', N'旧銀行', N'ｷｭｳ')\n",
                     .args = {"--collation", "Latin1_General_CS_AS"}});
  // 銀行,コード,名称,カナ in code page 932.
  WriteControlFiles(
      kNotaraList +
      "\x8B\xE2\x8D\x73,\x83\x52\x81\x5B\x83\x68,\x96\xBC\x8F\xCC,\x83\x4A\x83\x69\r\n");
  Run(server);
  EXPECT_EQ(host_.box, "完了しました。");
  for (const auto& db : databases) EXPECT_EQ(Banks(server, db), kChanged) << db;
  EXPECT_EQ(Select(server, "qnt8dat04", "SELECT * FROM 銀行"), Rows{"0005|新銀行|ｼﾝ"});
}

}  // namespace
