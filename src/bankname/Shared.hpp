// The state that start-up, the windows and the run share for the life of the process: the
// module-level values of basCommon.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "sqlserver/Odbc.hpp"
#include "sqlserver/SQLServer.hpp"

namespace basCommon {

struct Shared {
  /// The folder of the program file, where the control files lie.
  std::filesystem::path ProgramFolder;
  /// The one settings object; created by start-up just before the connection dialog.
  std::unique_ptr<SQLServer> gSQLServer;
  /// The one connection, replaced by every connect attempt of the dialog; never closed.
  std::unique_ptr<odbc::Connection> gConnection;
  /// One line, ending in CR LF, per product generation found on the server.
  std::string ProductLabel;
  /// The table lists of the chosen scope, set by the main window.
  std::string NotaraFile;
  std::string VostrelFile;
};

}  // namespace basCommon
