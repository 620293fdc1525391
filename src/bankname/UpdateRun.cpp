// The update run: a trial pass over every company database that changes nothing, then the real
// pass.
#include "bankname/UpdateRun.hpp"

#include <exception>
#include <vector>

#include "bankname/CompanyDatabases.hpp"
#include "bankname/ControlFiles.hpp"
#include "bankname/UpdateEngine.hpp"

namespace basCommon {
namespace {

/// Failures listed one by one in the trial's message; the rest are counted.
constexpr std::size_t kListedFailures = 10;

struct Database {
  std::string name;
  const UpdatePlan* plan;
  std::string batch;  ///< built by the trial pass
};

struct Failure {
  std::string database;
  std::string description;
};

std::string TrialFailureMessage(const std::vector<Failure>& failures) {
  std::string text =
      "次の会社データベースは変更できないため、どのデータベースも変更しませんでした。\r\n";
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i) {
    text += "\r\n・" + failures[i].database + ": " + failures[i].description;
  }
  if (failures.size() > kListedFailures) {
    text += "\r\n・ほか " + std::to_string(failures.size() - kListedFailures) + " 件";
  }
  return text;
}

/// Visits every database as the real pass will, inside a transaction that is always rolled
/// back: builds its batch and counts the rows it would change.
std::vector<Failure> TrialPass(odbc::Connection& connection, std::vector<Database>& databases,
                               long long& rows, RunHost& host) {
  std::vector<Failure> failures;
  for (auto& database : databases) {
    try {
      connection.SetDefaultDatabase(database.name);
      database.batch = BuildUpdateSql(connection, *database.plan);
      odbc::Transaction discarded(connection);
      if (!database.batch.empty()) rows += RowsChanged(discarded.Execute(database.batch));
    } catch (const odbc::Error& e) {
      // Every later database would fail the same way: the run ends here.
      if (e.ConnectionLost()) {
        throw std::runtime_error("会社データベース「" + database.name +
                                 "」を確かめる途中でサーバーとの接続が切れました。どのデータベース"
                                 "も変更していません。\r\n" +
                                 e.what());
      }
      failures.push_back({database.name, e.what()});
    } catch (const std::exception& e) {
      failures.push_back({database.name, e.what()});
    }
    host.ProgressBarIncrease();
    host.DoEvents();
  }
  return failures;
}

/// Each database's batch in a transaction of its own, committed as the step's last act. A
/// failure before the commit leaves the database as it was; a failed commit (a lost connection,
/// say) leaves unknown whether the server committed.
void RealPass(odbc::Connection& connection, const std::vector<Database>& databases, RunHost& host) {
  for (const auto& database : databases) {
    if (!database.batch.empty()) {
      bool committing = false;
      try {
        connection.SetDefaultDatabase(database.name);
        odbc::Transaction transaction(connection);
        transaction.Execute(database.batch);
        committing = true;
        transaction.Commit();
      } catch (const std::exception& e) {
        throw std::runtime_error(
            "会社データベース「" + database.name +
            (committing ? "」の変更を確定する途中でエラーが発生しました。このデータベースが変更"
                          "されたかどうかは分かりません。確かめてください。\r\n"
                        : "」の変更中にエラーが発生しました。このデータベースの変更は取り消しま"
                          "した。\r\n") +
            e.what());
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
               const std::string& notaraFile, const std::string& vostrelFile, RunHost& host) {
  try {
    host.SetHourglass(true);
    host.SetButtonsEnabled(false);
    host.SetIsRunning(true);
    // Read once: every database gets the same values, and a broken file is found before the
    // first database is touched.
    const BankRecord bank = ParseBankRecord(ReadBankName(folder, host));
    const UpdatePlan notaraPlan(ReadTableList(folder, notaraFile), bank);
    const UpdatePlan vostrelPlan(ReadTableList(folder, vostrelFile), bank);

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
      host.MsgBox(
          "銀行コード「" + bank.code +
              "」の行はどの会社データベースにも見つかりませんでした。何も変更していません。",
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
