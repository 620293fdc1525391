// The start-up sequence: the checks that may refuse to start, the connection dialog, the product
// generations on the server and the main window.
#pragma once

#include "bankname/Shared.hpp"
#include "platform/Ui.hpp"

namespace basCommon {

/// What start-up needs of the application and its windows.
class StartupHost : public platform::Ui {
 public:
  /// Whether another instance of the program is already running.
  virtual bool PrevInstance() = 0;
  /// Shows the connection dialog modally; returns when it has closed.
  virtual void ShowConnectDialog(Shared& shared) = 0;
  /// Shows the main window modelessly; its load runs before this returns.
  virtual void ShowMainWindow(Shared& shared) = 0;
};

/// Runs once at process start. `shared.ProgramFolder` must be set.
void Main(Shared& shared, StartupHost& host);

}  // namespace basCommon
