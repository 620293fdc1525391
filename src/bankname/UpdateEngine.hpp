// Builds one company database's UPDATE batch from the control files and that database's catalog.
#pragma once

#include <filesystem>
#include <string>

#include "platform/Ui.hpp"
#include "sqlserver/Odbc.hpp"

namespace basCommon {

/// The batch for the current database of `connection`: for every line of the table list
/// `fileName` whose name (then kana) column exists, an UPDATE setting it to the bank record's new
/// value where the key column equals the bank code, each ending in CR LF. Empty when no listed
/// column exists. Reads both control files anew; every error passes to the caller.
std::string BuildUpdateSql(odbc::Connection& connection, const std::filesystem::path& folder,
                           const std::string& fileName, platform::Ui& ui);

}  // namespace basCommon
