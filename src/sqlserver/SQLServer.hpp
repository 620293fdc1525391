// The connection settings object: server, authentication, login, catalog and time-out, the
// connection string built from them, the connect attempt and its outcome, and the catalog
// existence questions. The class delegates to the procedures of basSQLServer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sqlserver/Odbc.hpp"

namespace basSQLServer {

/// The settings and the outcome of the last connect attempt.
struct Stored {
  bool LoginSecure = false;
  std::string DataSource;
  std::string InitialCatalog;
  std::string UserID;
  std::string Password;
  std::int32_t ConnectionTimeout = 0;
  bool ConnectingResult = false;
  std::string ConnectingError;
};

/// The connection string's fragments in their order, as keyword and value.
odbc::Properties ConnectionProperties(const Stored& stored);

/// The OLE DB connection string: every fragment as "keyword = value;", values verbatim.
std::string ConnectionString(const Stored& stored);

/// Opens a connection from the stored settings and records the outcome in `stored`. Never
/// raises: the returned object may be unopened, or empty when none could be created.
std::unique_ptr<odbc::Connection> OpenConnection(Stored& stored);

/// Catalog existence queries; any failure answers false.
bool DatabaseExists(odbc::Connection* connection, const std::string& name, bool like);
bool TableExists(odbc::Connection* connection, const std::string& table);
bool ColumnExists(odbc::Connection* connection, const std::string& table,
                  const std::string& column);

}  // namespace basSQLServer

class SQLServer {
 public:
  void DataSource(const std::string& value) { stored_.DataSource = value; }
  void LoginSecure(bool value) { stored_.LoginSecure = value; }
  void InitialCatalog(const std::string& value) { stored_.InitialCatalog = value; }
  void UserID(const std::string& value) { stored_.UserID = value; }
  void Password(const std::string& value) { stored_.Password = value; }
  void ConnectionTimeout(std::int32_t value) { stored_.ConnectionTimeout = value; }
  bool ConnectingResult() const { return stored_.ConnectingResult; }
  std::string ConnectingError() const { return stored_.ConnectingError; }

  std::unique_ptr<odbc::Connection> GetConnection() {
    return basSQLServer::OpenConnection(stored_);
  }
  bool ExistDatabase(odbc::Connection* connection, const std::string& name, bool like) const {
    return basSQLServer::DatabaseExists(connection, name, like);
  }
  bool ExistTable(odbc::Connection* connection, const std::string& table) const {
    return basSQLServer::TableExists(connection, table);
  }
  bool ExistColumn(odbc::Connection* connection, const std::string& table,
                   const std::string& column) const {
    return basSQLServer::ColumnExists(connection, table, column);
  }

  std::string DataSource() const { return stored_.DataSource; }
  bool LoginSecure() const { return stored_.LoginSecure; }
  std::string InitialCatalog() const { return stored_.InitialCatalog; }
  std::string UserID() const { return stored_.UserID; }
  std::string Password() const { return stored_.Password; }
  std::int32_t ConnectionTimeout() const { return stored_.ConnectionTimeout; }

  /// The connection string that GetConnection opens with.
  std::string ConnectionString() const { return basSQLServer::ConnectionString(stored_); }

 private:
  basSQLServer::Stored stored_;
};
