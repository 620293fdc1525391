// The project's SQL Server stand-in, started on loopback for one test and stopped with it.
#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "sqlserver/Odbc.hpp"
#include "support/TestSupport.hpp"

namespace support {

class StandIn {
 public:
  struct Options {
    std::string address = "127.0.0.1";
    std::string instance;                 ///< answer browser requests on UDP 1434 for this instance
    std::string seed;                     ///< T-SQL run at start-up, batches separated by GO lines
    std::vector<std::string> args;        ///< further options, e.g. fault injection
    std::filesystem::path dataDir;        ///< keep the databases here, from an earlier server too
    std::chrono::seconds startLimit{20};  ///< time the seed may take
  };

  static constexpr const char* kLogin = "sa";
  static constexpr const char* kPassword = "Oravend-Test1";

  explicit StandIn(Options options);
  StandIn() : StandIn(Options{}) {}
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  /// "address,port": a server name the driver connects to without a browser lookup.
  std::string DataSource() const;
  const std::string& Address() const { return address_; }

  /// A connection of our own, as the sa login, to check data beside the code under test.
  std::unique_ptr<odbc::Connection> Connect(const std::string& database = "master") const;

  /// Every request received so far, one JSON object each.
  std::vector<nlohmann::json> WireLog() const;
  /// The SQL text of every batch received so far, in order.
  std::vector<std::string> Batches() const;

 private:
  std::filesystem::path ReadyFile() const;
  std::filesystem::path StopFile() const;

  TempDir dir_;
  std::string address_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace support
