// Connection string, connect attempt and catalog existence queries of the settings object.
#include "sqlserver/SQLServer.hpp"

namespace basSQLServer {
namespace {

/// Runs a one-row, one-column count; any failure, a missing connection included, is false.
bool CountIsPositive(odbc::Connection* connection, const std::string& sql) {
  if (connection == nullptr) return false;
  try {
    return odbc::QueryNumber(*connection, sql) > 0;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

odbc::Properties ConnectionProperties(const Stored& stored) {
  const std::string timeout = std::to_string(stored.ConnectionTimeout);
  if (stored.LoginSecure) {
    return {{"PROVIDER", "SQLOLEDB.1"},
            {"Integrated Security", "SSPI"},
            {"Persist Security Info", "False"},
            {"Data Source", stored.DataSource},
            {"Initial Catalog", stored.InitialCatalog},
            {"LoginSecure", "True"},
            {"Connect Timeout", timeout}};
  }
  return {{"PROVIDER", "SQLOLEDB.1"},         {"Persist Security Info", "False"},
          {"Data Source", stored.DataSource}, {"User ID", stored.UserID},
          {"Password", stored.Password},      {"Initial Catalog", stored.InitialCatalog},
          {"LoginSecure", "False"},           {"Connect Timeout", timeout}};
}

std::string ConnectionString(const Stored& stored) {
  std::string out;
  for (const auto& [keyword, value] : ConnectionProperties(stored)) {
    out += keyword + " = " + value + ";";
  }
  return out;
}

std::unique_ptr<odbc::Connection> OpenConnection(Stored& stored) {
  stored.ConnectingResult = false;
  stored.ConnectingError.clear();
  std::unique_ptr<odbc::Connection> connection;
  try {
    connection = std::make_unique<odbc::Connection>();
    connection->Open(ConnectionProperties(stored));
    connection->SetCommandTimeout(stored.ConnectionTimeout);
    stored.ConnectingResult = true;
  } catch (const std::exception& e) {
    stored.ConnectingError = e.what();
  }
  return connection;
}

bool DatabaseExists(odbc::Connection* connection, const std::string& name, bool like) {
  return CountIsPositive(connection,
                         std::string("SELECT COUNT(name) from sys.databases WHERE name ") +
                             (like ? "LIKE" : "=") + " '" + odbc::EscapeApostrophes(name) + "'");
}

bool TableExists(odbc::Connection* connection, const std::string& table) {
  return CountIsPositive(connection,
                         "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = "
                         "object_id(N'[dbo].[" +
                             odbc::EscapeApostrophes(table) +
                             "]') AND OBJECTPROPERTY(id, N'IsUserTable') = 1;");
}

bool ColumnExists(odbc::Connection* connection, const std::string& table,
                  const std::string& column) {
  // Column names as SQL Server spells them, which case-sensitive collations require.
  return CountIsPositive(connection, "SELECT COUNT(object_id) FROM sys.columns WHERE name = N'" +
                                         odbc::EscapeApostrophes(column) +
                                         "' AND object_id = OBJECT_ID(N'[dbo].[" +
                                         odbc::EscapeApostrophes(table) + "]')");
}

}  // namespace basSQLServer
