// The table update engine.
#include "bankname/UpdateEngine.hpp"

#include "bankname/ControlFiles.hpp"
#include "sqlserver/SQLServer.hpp"

namespace basCommon {
namespace {

std::string ColumnCheckSql(const std::string& table, const std::string& column) {
  return "SELECT COUNT(name) As 'Count' FROM sys.columns WHERE name = '" + column +
         "' AND object_id = Object_ID('[dbo].[" + table + "]')";
}

/// The names were checked when the table list was read; the values may hold apostrophes.
std::string UpdateSql(const std::string& table, const std::string& column, const std::string& value,
                      const std::string& key, const std::string& code) {
  return "UPDATE " + table + " SET " + column + " = '" + basSQLServer::EscapeApostrophes(value) +
         "' WHERE " + key + " = " + code + "\r\n";
}

bool ColumnExists(odbc::Connection& connection, const std::string& table,
                  const std::string& column) {
  return odbc::QueryNumber(connection, ColumnCheckSql(table, column)) > 0;
}

}  // namespace

std::string BuildUpdateSql(odbc::Connection& connection, const std::filesystem::path& folder,
                           const std::string& fileName, platform::Ui& ui) {
  const BankRecord bank = ParseBankRecord(ReadBankName(folder, ui));
  std::string batch;
  for (const auto& line : ReadTableList(folder, fileName)) {
    if (!line.nameColumn.empty() && ColumnExists(connection, line.table, line.nameColumn)) {
      batch += UpdateSql(line.table, line.nameColumn, bank.name, line.key, bank.code);
    }
    if (!line.kanaColumn.empty() && ColumnExists(connection, line.table, line.kanaColumn)) {
      batch += UpdateSql(line.table, line.kanaColumn, bank.kana, line.key, bank.code);
    }
  }
  return batch;
}

}  // namespace basCommon
