// The SQL Server a test talks to: the project's stand-in, started on loopback for the test, or a
// real server named by ORAVEND_TEST_SERVER, where the test's databases are made for it.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "sqlserver/Odbc.hpp"
#include "support/TestSupport.hpp"

namespace support {

struct ServerOptions {
  std::string address = "127.0.0.1";
  std::string instance;                 ///< answer browser requests on UDP 1434 for this instance
  std::string seed;                     ///< T-SQL run at start-up, batches separated by GO lines
  std::vector<std::string> args;        ///< further stand-in options, e.g. fault injection
  std::filesystem::path dataDir;        ///< keep the databases here, from an earlier server too
  std::chrono::seconds startLimit{20};  ///< time the seed may take
  bool wireLog = false;                 ///< the test reads what the server received
};

/// The stand-in process.
class StandIn {
 public:
  static constexpr const char* kLogin = "sa";
  static constexpr const char* kPassword = "Oravend-Test1";

  explicit StandIn(const ServerOptions& options);
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  /// "address,port": a server name the driver connects to without a browser lookup.
  std::string DataSource() const;

  /// Every request received so far, one JSON object each.
  std::vector<nlohmann::json> WireLog() const;

 private:
  std::filesystem::path ReadyFile() const;
  std::filesystem::path StopFile() const;

  TempDir dir_;
  std::string address_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

/// The connection's current database, as the server says it.
std::string CurrentDatabase(odbc::Connection& connection);

/// A server's name and login: the stand-in's, or a real server's from ORAVEND_TEST_SERVER,
/// ORAVEND_TEST_LOGIN and ORAVEND_TEST_PASSWORD.
struct ServerLogin {
  std::string dataSource;
  std::string login;
  std::string password;
};

/// The server of one test. On a real server the test takes the server for itself (other runs of
/// the tests wait), refuses to start where databases the tests would make or change already
/// exist, makes the seed's databases and drops them with the object. What only the stand-in can
/// do (fault injection, a browser instance, a kept data folder, the wire log) keeps the stand-in.
class TestServer {
 public:
  explicit TestServer(const ServerOptions& options);
  TestServer() : TestServer(ServerOptions{}) {}
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  std::string DataSource() const;
  const std::string& Login() const { return login_.login; }
  const std::string& Password() const { return login_.password; }

  /// A connection of our own, to check data beside the code under test.
  std::unique_ptr<odbc::Connection> Connect(const std::string& database = "master") const;

  /// Every request received so far, one JSON object each; only with the `wireLog` option.
  std::vector<nlohmann::json> WireLog() const;
  /// The SQL text of every batch received so far, in order.
  std::vector<std::string> Batches() const;

 private:
  class Reservation;

  bool wireLog_ = false;
  ServerLogin login_;
  std::unique_ptr<StandIn> standIn_;
  std::unique_ptr<Reservation> reservation_;
};

}  // namespace support
