// The update run: every company database of both products gets its UPDATE batch, with progress.
#pragma once

#include <filesystem>
#include <string>

#include "bankname/MainWindow.hpp"
#include "platform/Ui.hpp"
#include "sqlserver/Odbc.hpp"

namespace basCommon {

/// What the run needs of the main window and the progress window.
class RunHost : public platform::Ui {
 public:
  virtual void SetHourglass(bool on) = 0;
  /// Enables or disables the Run and Close buttons.
  virtual void SetButtonsEnabled(bool enabled) = 0;
  virtual void SetIsRunning(bool running) = 0;
  virtual void ShowProgress() = 0;
  virtual void HideProgress() = 0;
  virtual void ProgressBarProperty(int minimum, int maximum, int value) = 0;
  virtual void ProgressBarIncrease() = 0;
  /// Lets pending window events run, so that both windows repaint.
  virtual void DoEvents() = 0;
};

/// The handler of the Run button. Reads and checks the bank record and both table lists once,
/// before it touches any database. A trial pass then visits every company database as the real
/// pass will, always rolling back; when any database fails there, or no row holds the bank's
/// code, nothing is changed anywhere. The real pass runs each database's batch in a transaction
/// of its own. Ends the program after completion and after an error; when no database or no row
/// is found, warns and comes back.
void UpdateRun(odbc::Connection& connection, const std::filesystem::path& folder,
               const std::string& notaraFile, const std::string& vostrelFile, RunHost& host);

}  // namespace basCommon
