// The update run: every company database of both products gets its UPDATE batch, with progress.
#pragma once

#include <filesystem>
#include <string>

#include "bankname/ControlFiles.hpp"
#include "platform/Ui.hpp"
#include "sqlserver/Odbc.hpp"

namespace basCommon {

/// The main window's caption: the title of the run's message boxes.
inline constexpr const char* MainWindowCaption = "オラベンド";

/// What the run needs of the main window and the progress window.
class RunHost : public platform::Ui {
 public:
  /// Busy: the hourglass, the Run and Close buttons disabled, IsRunning set; and back.
  virtual void SetBusy(bool busy) = 0;
  /// Shows `bank` in the window, in place of the record it showed.
  virtual void ShowBankRecord(const BankRecord& bank) = 0;
  virtual void ShowProgress() = 0;
  /// Hides the progress window, where it was shown.
  virtual void HideProgress() = 0;
  virtual void ProgressBarProperty(int minimum, int maximum, int value) = 0;
  virtual void ProgressBarIncrease() = 0;
  /// Lets pending window events run, so that both windows repaint.
  virtual void DoEvents() = 0;
};

/// The handler of the Run button. `shown` is the bank record the window shows: when the file
/// holds another one now, the window is brought up to date and nothing is changed. Otherwise
/// both table lists are read and checked once, before any database is touched. A trial pass then
/// visits every company database as the real pass will, always rolling back; when any database
/// fails there, or no row holds the bank's code, nothing is changed anywhere. The real pass
/// commits each database's batch in a transaction of its own; a failure there names the
/// databases changed, the one that failed and those not reached. Ends the program after
/// completion and after an error; when the record has changed, or no database or row is found,
/// warns and comes back.
void UpdateRun(odbc::Connection& connection, const std::filesystem::path& folder,
               const std::string& notaraFile, const std::string& vostrelFile,
               const BankRecord& shown, RunHost& host);

}  // namespace basCommon
