// Starts the stand-in with a ready file, reads its wire log, and stops it.
#include "support/StandIn.hpp"

#include <sstream>
#include <stdexcept>

#include "platform/Platform.hpp"

namespace support {

StandIn::StandIn(Options options) : address_(options.address) {
  const auto ready = ReadyFile();
  const auto seed = dir_.Path() / "seed.sql";
  const auto data = options.dataDir.empty() ? dir_.Path() / "data" : options.dataDir;
  WriteFile(seed, options.seed);
  std::filesystem::create_directories(data);
  std::vector<std::string> args{
      "--listen", address_ + ":0", "--login", std::string(kLogin) + ":" + kPassword, "--data-dir",
      HostPath(data), "--seed", HostPath(seed), "--wire-log", HostPath(dir_.Path() / "wire.log"),
      "--ready-file", HostPath(ready), "--exit-with-parent",
      // Under Wine the test is not the server's parent: a test that
      // dies cannot leave its server running for long.
      "--exit-when-idle", "60",
      // For servers that refuse every login, such as one that demands encryption.
      "--stop-file", HostPath(StopFile())};
  if (!options.instance.empty()) {
    args.insert(args.end(), {"--instance", options.instance});
  }
  args.insert(args.end(), options.args.begin(), options.args.end());
  process_ = std::make_unique<ChildProcess>(platform::PathFromUtf8(ORAVEND_STANDIN_PATH), args);
  if (!WaitFor([&] { return std::filesystem::exists(ready); }, options.startLimit)) {
    throw std::runtime_error("the stand-in did not start");
  }
  std::istringstream(ReadFile(ready)) >> address_ >> port_;
}

StandIn::~StandIn() {
  // Under Wine the server can be neither killed nor waited for from here: it is asked to shut
  // down, and it removes its ready file after it has closed every file in its folder.
  try {
    odbc::Connection connection;
    connection.Open({{"Data Source", DataSource()},
                     {"User ID", kLogin},
                     {"Password", kPassword},
                     {"Connect Timeout", "5"}});
    connection.SetCommandTimeout(5);
    connection.Execute("SHUTDOWN WITH NOWAIT");
  } catch (const std::exception&) {
    // Already gone, gone while answering, or refusing the login.
    WriteFile(StopFile(), "");
  }
  WaitFor([&] { return !std::filesystem::exists(ReadyFile()); }, std::chrono::seconds(10));
}

std::filesystem::path StandIn::ReadyFile() const { return dir_.Path() / "ready"; }
std::filesystem::path StandIn::StopFile() const { return dir_.Path() / "stop"; }

std::string StandIn::DataSource() const { return address_ + "," + std::to_string(port_); }

std::unique_ptr<odbc::Connection> StandIn::Connect(const std::string& database) const {
  auto connection = std::make_unique<odbc::Connection>();
  connection->Open({{"Data Source", DataSource()},
                    {"User ID", kLogin},
                    {"Password", kPassword},
                    {"Initial Catalog", database},
                    {"Connect Timeout", "10"}});
  connection->SetCommandTimeout(10);
  return connection;
}

std::vector<nlohmann::json> StandIn::WireLog() const {
  std::vector<nlohmann::json> entries;
  std::istringstream lines(ReadFile(dir_.Path() / "wire.log"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) entries.push_back(nlohmann::json::parse(line));
  }
  return entries;
}

std::vector<std::string> StandIn::Batches() const {
  std::vector<std::string> batches;
  for (const auto& entry : WireLog()) {
    if (entry.value("kind", "") == "batch") batches.push_back(entry.at("sql").get<std::string>());
  }
  return batches;
}

}  // namespace support
