// The update run: a trial pass over every company database that changes nothing, then the real
// pass.
#include "bankname/UpdateRun.hpp"

#include <exception>
#include <stdexcept>
#include <vector>

#include "bankname/CompanyDatabases.hpp"
#include "bankname/UpdateEngine.hpp"

namespace basCommon {
namespace {

/// Databases listed one by one in a message; the rest are counted.
constexpr std::size_t kListed = 10;

struct Database {
  std::string name;
  const UpdatePlan* plan;
  std::string batch;  ///< built by the trial pass
};

struct Failure {
  std::string database;
  std::string description;
};

/// "・name" lines, the first kListed of them, then how many more.
std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kListed; ++i) text += "\r\n・" + names[i];
  if (names.size() > kListed) {
    text += "\r\n・ほか " + std::to_string(names.size() - kListed) + " 件";
  }
  return text;
}

std::string TrialFailureMessage(const std::vector<Failure>& failures) {
  std::vector<std::string> lines;
  for (const auto& failure : failures) {
    lines.push_back(failure.database + ": " + failure.description);
  }
  return "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n" +
         Listed(lines);
}

/// How the connection stands after a failure: whether the next database can use it (it still
/// answers and holds no transaction), and whether it is gone. The transaction guard has already
/// tried its rollback.
struct Aftermath {
  bool usable;
  bool lost;
  std::string detail;  ///< what the check found, when the failure itself does not say it
};

Aftermath CheckConnection(odbc::Connection& connection, const std::exception& failure) {
  const auto* error = dynamic_cast<const odbc::Error*>(&failure);
  if (error != nullptr && error->ConnectionLost()) return {false, true, {}};
  try {
    const long long open = odbc::QueryNumber(connection, "SELECT @@TRANCOUNT");
    if (open == 0) return {true, false, {}};
    return {false, false,
            "トランザクションが終了していません (@@TRANCOUNT = " + std::to_string(open) + ")。"};
  } catch (const odbc::Error&) {
    // A connection that cannot answer this has failed for every later database too; what the
    // driver says of the check adds nothing to the failure itself.
    return {false, true, {}};
  }
}

std::string WithDetail(const std::exception& failure, const Aftermath& after) {
  const std::string description = failure.what();
  if (after.detail.empty() || after.detail == description) return description;
  return description + "\r\n" + after.detail;
}

/// The batch of one database, tried in a transaction that is rolled back, and the rows it
/// would change.
long long TryDatabase(odbc::Connection& connection, Database& database) {
  connection.SetDefaultDatabase(database.name);
  database.batch = BuildUpdateSql(connection, *database.plan);
  if (database.batch.empty()) return 0;
  odbc::Transaction trial(connection);
  const long long rows = RowsChanged(trial.Execute(database.batch));
  trial.Rollback();
  return rows;
}

/// Visits every database as the real pass will, always rolling back: builds its batch and
/// counts the rows it would change. Databases that fail are collected; a connection that cannot
/// serve the next database ends the run at once.
std::vector<Failure> TrialPass(odbc::Connection& connection, std::vector<Database>& databases,
                               long long& rows, RunHost& host) {
  std::vector<Failure> failures;
  for (auto& database : databases) {
    try {
      rows += TryDatabase(connection, database);
    } catch (const std::exception& e) {
      const Aftermath after = CheckConnection(connection, e);
      if (!after.usable) {
        throw std::runtime_error(
            "会社データベース" + Quoted(database.name) +
            (after.lost ? "を確かめる途中でサーバーとの接続が切れました。"
                        : "を確かめる途中でエラーが発生し、試した変更を取り消せたことを確か"
                          "められなかったため、中止しました。") +
            "どのデータベースも変更していません。\r\n" + WithDetail(e, after));
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
                                   bool committing, const Aftermath& after,
                                   const std::string& description) {
  std::string text = "会社データベース" + Quoted(databases[failed].name);
  if (!committing) {
    text += after.lost ? "の変更中にサーバーとの接続が切れました。確定していないこのデータベー"
                         "スの変更は、サーバーが取り消します。"
                       : "の変更中にエラーが発生しました。このデータベースの変更は取り消しまし"
                         "た。";
  } else {
    text += after.lost ? "の変更を確定する途中でサーバーとの接続が切れました。"
                       : "の変更を確定する途中でエラーが発生しました。";
    text += "このデータベースが変更されたかどうかは分かりません。確かめてください。";
  }
  text += "\r\n" + description + "\r\n";
  std::vector<std::string> changed, notReached;
  for (std::size_t i = 0; i < databases.size(); ++i) {
    if (i == failed || databases[i].batch.empty()) continue;
    (i < failed ? changed : notReached).push_back(databases[i].name);
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

/// Each database's batch in a transaction of its own, committed as the step's last act. A
/// failure before the commit leaves the database as it was; a failed commit leaves unknown
/// whether the server committed.
void RealPass(odbc::Connection& connection, const std::vector<Database>& databases, RunHost& host) {
  for (std::size_t i = 0; i < databases.size(); ++i) {
    const auto& database = databases[i];
    if (!database.batch.empty()) {
      bool committing = false;
      try {
        connection.SetDefaultDatabase(database.name);
        odbc::Transaction transaction(connection);
        transaction.Execute(database.batch);
        committing = true;
        transaction.Commit();
      } catch (const std::exception& e) {
        const Aftermath after = CheckConnection(connection, e);
        throw std::runtime_error(
            RealPassFailureMessage(databases, i, committing, after, WithDetail(e, after)));
      }
    }
    host.ProgressBarIncrease();
    host.DoEvents();
  }
}

void Idle(RunHost& host) {
  host.SetButtonsEnabled(true);
  host.SetIsRunning(false);
  host.SetHourglass(false);
}

}  // namespace

void UpdateRun(odbc::Connection& connection, const std::filesystem::path& folder,
               const std::string& notaraFile, const std::string& vostrelFile,
               const BankRecord& shown, RunHost& host) {
  try {
    host.SetHourglass(true);
    host.SetButtonsEnabled(false);
    host.SetIsRunning(true);
    // Read once: every database gets the same values, and a broken file is found before the
    // first database is touched.
    const BankRecord bank = ReadBankRecord(folder);
    if (bank != shown) {
      Idle(host);
      host.ShowBankRecord(bank);
      host.MsgBox("ファイル" + Quoted(BankNameFile) +
                      "の内容が、画面に表示した後で変わりました。画面を今の内容に更新しました。"
                      "確かめてから、もう一度実行してください。何も変更していません。",
                  platform::Icon::Exclamation, MainWindowCaption);
      return;
    }
    const UpdatePlan notaraPlan(notaraFile, ReadTableList(folder, notaraFile), bank);
    const UpdatePlan vostrelPlan(vostrelFile, ReadTableList(folder, vostrelFile), bank);

    std::vector<Database> databases;
    for (const auto& name : GetCompanyDatabases(connection, ProductNotara)) {
      databases.push_back({name, &notaraPlan, {}});
    }
    for (const auto& name : GetCompanyDatabases(connection, ProductVostrel)) {
      databases.push_back({name, &vostrelPlan, {}});
    }
    const auto count = static_cast<int>(databases.size());
    host.ShowProgress();
    // One step per database in each pass.
    host.ProgressBarProperty(0, 2 * count, 0);
    host.DoEvents();
    if (count == 0) {
      Idle(host);
      // Hidden again, so that closing the main window still ends the program.
      host.HideProgress();
      host.MsgBox("対象製品の会社データベースが見つかりません。", platform::Icon::Exclamation,
                  MainWindowCaption);
      return;
    }

    long long rows = 0;
    const auto failures = TrialPass(connection, databases, rows, host);
    if (!failures.empty()) {
      host.MsgBox(TrialFailureMessage(failures), platform::Icon::Critical, MainWindowCaption);
      host.EndProgram();
      return;
    }
    if (rows == 0) {
      Idle(host);
      host.HideProgress();
      host.MsgBox("銀行コード" + Quoted(bank.code) +
                      "の行はどの会社データベースにも見つかりませんでした。何も変更していません。",
                  platform::Icon::Exclamation, MainWindowCaption);
      return;
    }
    RealPass(connection, databases, host);

    Idle(host);
    host.MsgBox("完了しました。", platform::Icon::Information, MainWindowCaption);
    host.EndProgram();
  } catch (const std::exception& e) {
    host.MsgBox(e.what(), platform::Icon::Critical, MainWindowCaption);
    host.EndProgram();
  }
}

}  // namespace basCommon
