// The update run: a trial pass over every company database that changes nothing, then the real
// pass. The run computes one ending, which UpdateRun shows.
#include "bankname/UpdateRun.hpp"

#include <algorithm>
#include <exception>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "bankname/CompanyDatabases.hpp"
#include "bankname/UpdateEngine.hpp"
#include "platform/Platform.hpp"

namespace basCommon {
namespace {

/// Databases listed one by one in a message; the rest are counted.
constexpr std::size_t kListed = 10;

struct Database {
  std::string name;
  const UpdatePlan* plan;
  std::string batch;   ///< built by the trial pass
  long long rows = 0;  ///< the rows the trial's batch changed
};

struct Failure {
  std::string database;
  std::string description;
};

/// How a run ends. A completed run and a failed one end the program after their box; after a
/// warning nothing was changed, and the window is usable again.
enum class Kind { Completed, Warning, Failed };

struct Ending {
  Kind kind;
  std::string text;
};

/// Where a database was when it failed.
enum class Stage { Trial, Change, Commit };

/// How the connection stands after a failure: it can serve the next database (it answers and
/// holds no transaction), it still holds a transaction, it is gone, or the server does not
/// answer within the clean-up's time.
enum class State { Usable, Open, Lost, Silent };

struct Aftermath {
  State state;
  std::string detail;  ///< what the check found, when the failure itself does not say it
};

constexpr const char* kNothingChanged = "どのデータベースも変更していません。";
// The program ends after the box, and with it the connection: the server then rolls back what
// is not committed.
const std::string kServerUndoes =
    "確定していないこのデータベースの変更は、サーバーが取り消します。";
const std::string kUnknown =
    "このデータベースが変更されたかどうかは分かりません。確かめてください。";

/// What the box says of a database that failed, after its name; one row per stage and state.
struct StopText {
  Stage stage;
  State state;
  std::string text;
};

const StopText kStopTexts[] = {
    {Stage::Trial, State::Open,
     "を確かめる途中でエラーが発生し、試した変更を取り消せたことを確かめられなかったため、中止しま"
     "した。"},
    {Stage::Trial, State::Lost, "を確かめる途中でサーバーとの接続が切れました。"},
    {Stage::Trial, State::Silent, "を確かめる途中でサーバーが応答しなくなりました。"},
    {Stage::Change, State::Usable,
     "の変更中にエラーが発生しました。このデータベースの変更は取り消しました。"},
    {Stage::Change, State::Open,
     "の変更中にエラーが発生し、変更を取り消せたことを確かめられませんでした。" + kServerUndoes},
    {Stage::Change, State::Lost, "の変更中にサーバーとの接続が切れました。" + kServerUndoes},
    {Stage::Change, State::Silent, "の変更中にサーバーが応答しなくなりました。" + kServerUndoes},
    {Stage::Commit, State::Usable, "の変更を確定する途中でエラーが発生しました。" + kUnknown},
    {Stage::Commit, State::Open, "の変更を確定する途中でエラーが発生しました。" + kUnknown},
    {Stage::Commit, State::Lost, "の変更を確定する途中でサーバーとの接続が切れました。" + kUnknown},
    {Stage::Commit, State::Silent,
     "の変更を確定する途中でサーバーが応答しなくなりました。" + kUnknown},
};

std::string StopTextOf(Stage stage, State state) {
  const auto row = std::find_if(std::begin(kStopTexts), std::end(kStopTexts), [&](const auto& r) {
    return r.stage == stage && r.state == state;
  });
  return row == std::end(kStopTexts) ? std::string() : row->text;
}

bool TimedOut(const std::exception& failure) {
  const auto* error = dynamic_cast<const odbc::Error*>(&failure);
  return error != nullptr && error->TimedOut();
}

/// "・name" lines, the first kListed of them, then how many more.
std::string Listed(const std::vector<std::string>& names) {
  const std::size_t listed = std::min(names.size(), kListed);
  std::string text;
  for (std::size_t i = 0; i < listed; ++i) text += "\r\n・" + names[i];
  if (const std::size_t more = names.size() - listed; more > 0) {
    text += "\r\n・ほか " + std::to_string(more) + " 件";
  }
  return text;
}

std::string TrialFailureMessage(const std::vector<Failure>& failures) {
  std::vector<std::string> lines;
  for (const auto& failure : failures) {
    lines.push_back(platform::VisibleControls(failure.database) + ": " + failure.description);
  }
  return "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n" +
         Listed(lines);
}

/// A request of databases[timedOut] ran out of time in the trial: the trial ends there, so that
/// a server that holds every database's requests keeps the user waiting once, not once each.
std::string TrialTimeoutMessage(const std::vector<Database>& databases, std::size_t timedOut,
                                long seconds, const std::exception& failure,
                                const std::vector<Failure>& failures) {
  std::string text = "会社データベース" + Quoted(databases[timedOut].name) +
                     "を確かめる途中で、サーバーの応答がタイムアウト (" + std::to_string(seconds) +
                     " 秒) までにありませんでした。";
  if (const auto after = databases.size() - timedOut - 1; after > 0) {
    text += "これより後の会社データベース (" + std::to_string(after) + " 件) は確かめていません。";
  }
  text += std::string(kNothingChanged) + "\r\n" + failure.what();
  if (!failures.empty()) text += "\r\n\r\n" + TrialFailureMessage(failures);
  return text;
}

/// The transaction guard has already tried its rollback.
Aftermath CheckConnection(odbc::Connection& connection, const std::exception& failure) {
  const auto* error = dynamic_cast<const odbc::Error*>(&failure);
  if (error != nullptr && error->ConnectionLost()) return {State::Lost, {}};
  try {
    const long long open =
        odbc::QueryNumber(connection, odbc::kOpenTransactions, odbc::kCleanupTimeout);
    if (open == 0) return {State::Usable, {}};
    return {State::Open, odbc::LeftOpen(open)};
  } catch (const odbc::Error& e) {
    // A connection that cannot answer this has failed for every later database too; what the
    // driver says of the check adds nothing to the failure itself.
    return {e.TimedOut() ? State::Silent : State::Lost, {}};
  }
}

std::string WithDetail(const std::exception& failure, const Aftermath& after) {
  const std::string description = failure.what();
  if (after.detail.empty() || after.detail == description) return description;
  return description + "\r\n" + after.detail;
}

/// Builds the batch of one database and tries it in a transaction that is rolled back: two
/// requests.
void BuildAndTry(odbc::Connection& connection, Database& database) {
  database.batch = BuildUpdateSql(connection, *database.plan, database.name);
  if (database.batch.empty()) return;
  odbc::Transaction trial(connection);
  database.rows = RowsChanged(trial.Try(database.batch));
}

/// Visits every database as the real pass will, always rolling back: builds its batch and
/// counts the rows it would change. Databases that fail are collected; a connection that cannot
/// serve the next database ends the run at once.
std::vector<Failure> BuildAndTryBatches(odbc::Connection& connection,
                                        std::vector<Database>& databases, RunHost& host) {
  std::vector<Failure> failures;
  for (std::size_t i = 0; i < databases.size(); ++i) {
    auto& database = databases[i];
    try {
      BuildAndTry(connection, database);
    } catch (const std::exception& e) {
      const Aftermath after = CheckConnection(connection, e);
      if (after.state != State::Usable) {
        throw std::runtime_error("会社データベース" + Quoted(database.name) +
                                 StopTextOf(Stage::Trial, after.state) + kNothingChanged + "\r\n" +
                                 WithDetail(e, after));
      }
      if (TimedOut(e)) {
        throw std::runtime_error(
            TrialTimeoutMessage(databases, i, connection.CommandTimeout(), e, failures));
      }
      failures.push_back({database.name, e.what()});
    }
    host.ProgressBarIncrease();
    host.DoEvents();
  }
  return failures;
}

/// Where every database stands after the real pass failed at databases[failed]: the ones
/// before it are changed, the ones after it are not; databases without a batch need no change
/// and are left out.
std::string RealPassFailureMessage(const std::vector<Database>& databases, std::size_t failed,
                                   Stage stage, const std::string& description,
                                   const Aftermath& after) {
  std::string text = "会社データベース" + Quoted(databases[failed].name) +
                     StopTextOf(stage, after.state) + "\r\n" + description + "\r\n";
  std::vector<std::string> changed, notReached;
  for (std::size_t i = 0; i < databases.size(); ++i) {
    if (i == failed || databases[i].batch.empty()) continue;
    (i < failed ? changed : notReached).push_back(platform::VisibleControls(databases[i].name));
  }
  const auto section = [&](const char* heading, const std::vector<std::string>& names) {
    text +=
        "\r\n" + std::string(heading) +
        (names.empty() ? ": なし" : " (" + std::to_string(names.size()) + " 件):" + Listed(names));
  };
  section("変更済みの会社データベース", changed);
  section("まだ変更していない会社データベース", notReached);
  return text +
         "\r\n\r\n原因を取り除いてからもう一度実行すると、変更が完了します。変更済みのデータベー"
         "スには同じ変更がもう一度行われるだけです。";
}

/// Each database's batch in a transaction of its own, committed as the step's last act: the
/// switch of database, the beginning and the batch in one request, the commit in another. A
/// failure before the commit leaves the database as it was; a failed commit leaves unknown
/// whether the server committed.
void ChangeDatabases(odbc::Connection& connection, const std::vector<Database>& databases,
                     RunHost& host) {
  for (std::size_t i = 0; i < databases.size(); ++i) {
    const auto& database = databases[i];
    if (!database.batch.empty()) {
      Stage stage = Stage::Change;
      try {
        odbc::Transaction transaction(connection, "USE " + odbc::QuoteIdentifier(database.name));
        transaction.Execute(database.batch);
        stage = Stage::Commit;
        transaction.Commit();
      } catch (const std::exception& e) {
        const Aftermath after = CheckConnection(connection, e);
        throw std::runtime_error(
            RealPassFailureMessage(databases, i, stage, WithDetail(e, after), after));
      }
    }
    host.ProgressBarIncrease();
    host.DoEvents();
  }
}

std::vector<Database> ListDatabases(odbc::Connection& connection, const UpdatePlan& notaraPlan,
                                    const UpdatePlan& vostrelPlan) {
  try {
    std::vector<Database> databases;
    for (const auto& name : GetCompanyDatabases(connection, ProductNotara)) {
      databases.push_back({name, &notaraPlan, {}});
    }
    for (const auto& name : GetCompanyDatabases(connection, ProductVostrel)) {
      databases.push_back({name, &vostrelPlan, {}});
    }
    return databases;
  } catch (const std::exception& e) {
    throw std::runtime_error("会社データベースの一覧をサーバーから読めませんでした。" +
                             std::string(kNothingChanged) + "\r\n" + e.what());
  }
}

/// The lines a completion adds for the databases that none of their list's columns were found
/// in: a new product generation or a wrong list would otherwise leave the bank unrenamed there
/// without a word.
std::string Untouched(const std::vector<Database>& databases) {
  std::vector<std::string> names;
  for (const auto& database : databases) {
    if (database.batch.empty()) names.push_back(platform::VisibleControls(database.name));
  }
  if (names.empty()) return {};
  return "\r\n\r\n次の会社データベースには一覧にあるテーブルや列がどれもないため、何も変更して"
         "いません (" +
         std::to_string(names.size()) + " 件):" + Listed(names);
}

Ending Run(odbc::Connection& connection, const std::filesystem::path& folder,
           const std::string& notaraFile, const std::string& vostrelFile, const BankRecord& shown,
           RunHost& host) {
  try {
    // Read once: every database gets the same values, and a broken file is found before the
    // first database is touched.
    const BankRecord bank = ReadBankRecord(folder);
    if (bank != shown) {
      host.ShowBankRecord(bank);
      return {Kind::Warning,
              "ファイル" + Quoted(BankNameFile) +
                  "の内容が、画面に表示した後で変わりました。画面を今の内容に更新しました。確かめて"
                  "から、もう一度実行してください。何も変更していません。"};
    }
    const UpdatePlan notaraPlan(notaraFile, ReadTableList(folder, notaraFile), bank);
    const UpdatePlan vostrelPlan(vostrelFile, ReadTableList(folder, vostrelFile), bank);

    std::vector<Database> databases = ListDatabases(connection, notaraPlan, vostrelPlan);
    const auto count = static_cast<int>(databases.size());
    host.ShowProgress();
    // One step per database in each pass.
    host.ProgressBarProperty(0, 2 * count, 0);
    host.DoEvents();
    if (count == 0) return {Kind::Warning, "対象製品の会社データベースが見つかりません。"};

    const auto failures = BuildAndTryBatches(connection, databases, host);
    if (!failures.empty()) return {Kind::Failed, TrialFailureMessage(failures)};
    const long long rows = std::accumulate(
        databases.begin(), databases.end(), 0LL,
        [](long long sum, const Database& database) { return sum + database.rows; });
    if (rows == 0) {
      return {Kind::Warning,
              "銀行コード" + Quoted(bank.code) +
                  "の行はどの会社データベースにも見つかりませんでした。何も変更していません。"};
    }
    ChangeDatabases(connection, databases, host);
    return {Kind::Completed, "完了しました。" + Untouched(databases)};
  } catch (const std::exception& e) {
    return {Kind::Failed, e.what()};
  }
}

platform::Icon IconOf(Kind kind) {
  switch (kind) {
    case Kind::Completed:
      return platform::Icon::Information;
    case Kind::Warning:
      return platform::Icon::Exclamation;
    case Kind::Failed:
      break;
  }
  return platform::Icon::Critical;
}

}  // namespace

void UpdateRun(odbc::Connection& connection, const std::filesystem::path& folder,
               const std::string& notaraFile, const std::string& vostrelFile,
               const BankRecord& shown, RunHost& host) {
  host.SetBusy(true);
  const Ending ending = Run(connection, folder, notaraFile, vostrelFile, shown, host);
  // The program ends after a failure's box: the window is not made usable for it.
  if (ending.kind != Kind::Failed) host.SetBusy(false);
  // Hidden again, so that closing the main window still ends the program.
  if (ending.kind == Kind::Warning) host.HideProgress();
  host.MsgBox(ending.text, IconOf(ending.kind), MainWindowCaption);
  if (ending.kind != Kind::Warning) host.EndProgram();
}

}  // namespace basCommon
