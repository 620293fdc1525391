// The update run.
#include "bankname/UpdateRun.hpp"

#include <exception>
#include <vector>

#include "bankname/CompanyDatabases.hpp"
#include "bankname/ControlFiles.hpp"
#include "bankname/UpdateEngine.hpp"

namespace basCommon {
namespace {

void UpdateDatabases(odbc::Connection& connection, const std::vector<std::string>& databases,
                     const std::filesystem::path& folder, const std::string& tableList,
                     RunHost& host) {
  for (const auto& database : databases) {
    connection.SetDefaultDatabase(database);
    const std::string batch = BuildUpdateSql(connection, folder, tableList, host);
    // A failing statement rolls back its whole database, so a run can simply be repeated.
    if (!batch.empty()) {
      odbc::Transaction transaction(connection);
      connection.Execute(batch);
      transaction.Commit();
    }
    host.ProgressBarIncrease();
    host.DoEvents();
  }
}

}  // namespace

void UpdateRun(odbc::Connection& connection, const std::filesystem::path& folder,
               const std::string& notaraFile, const std::string& vostrelFile, RunHost& host) {
  try {
    host.SetHourglass(true);
    host.SetButtonsEnabled(false);
    host.SetIsRunning(true);
    // A broken file is found before the first database changes, not halfway through the run.
    ParseBankRecord(ReadBankName(folder, host));
    ReadTableList(folder, notaraFile);
    ReadTableList(folder, vostrelFile);

    const auto notara = GetCompanyDatabases(connection, ProductNotara);
    const auto vostrel = GetCompanyDatabases(connection, ProductVostrel);
    const auto count = static_cast<int>(notara.size() + vostrel.size());
    host.ShowProgress();
    host.ProgressBarProperty(0, count, 0);
    UpdateDatabases(connection, notara, folder, notaraFile, host);
    UpdateDatabases(connection, vostrel, folder, vostrelFile, host);

    host.SetButtonsEnabled(true);
    host.SetIsRunning(false);
    host.SetHourglass(false);
    if (count > 0) {
      host.MsgBox("完了しました。", platform::Icon::Information, MainWindowCaption);
      host.EndProgram();
      return;
    }
    // Hidden again, so that closing the main window still ends the program.
    host.HideProgress();
    host.MsgBox("対象製品の会社データベースが見つかりません。", platform::Icon::Exclamation,
                MainWindowCaption);
  } catch (const std::exception& e) {
    host.MsgBox(e.what(), platform::Icon::Critical, MainWindowCaption);
    host.EndProgram();
  }
}

}  // namespace basCommon
