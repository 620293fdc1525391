// Starts the stand-in with a ready file, reads its wire log, and stops it; or reserves a real
// server for one test and makes the test's databases there.
#include "support/TestServer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "platform/Platform.hpp"

namespace support {

std::string CurrentDatabase(odbc::Connection& connection) {
  return connection.Execute("SELECT DB_NAME()").at(0).rows.at(0).at(0).value_or("");
}

StandIn::StandIn(const ServerOptions& options) : address_(options.address) {
  const auto ready = ReadyFile();
  const auto seed = dir_.Path() / "seed.sql";
  const auto data = options.dataDir.empty() ? dir_.Path() / "data" : options.dataDir;
  WriteFile(seed, options.seed);
  std::filesystem::create_directories(data);
  std::vector<std::string> args{
      "--listen", address_ + ":0", "--login", std::string(kLogin) + ":" + kPassword, "--data-dir",
      HostPath(data), "--seed", HostPath(seed), "--wire-log", HostPath(dir_.Path() / "wire.log"),
      "--ready-file", HostPath(ready),
      // Under Wine the test is not the server's parent: a test that
      // dies cannot leave its server running for long.
      "--exit-when-idle", "60",
      // For servers that refuse every login, such as one that demands encryption.
      "--stop-file", HostPath(StopFile())};
#ifndef _WIN32
  // Not under Wine: there the server's first parent can be a helper process of Wine's that exits
  // at once, which the server would take for the test gone, stopping during the test.
  args.push_back("--exit-with-parent");
#endif
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

std::vector<nlohmann::json> StandIn::WireLog() const {
  std::vector<nlohmann::json> entries;
  std::istringstream lines(ReadFile(dir_.Path() / "wire.log"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) entries.push_back(nlohmann::json::parse(line));
  }
  return entries;
}

namespace {

/// The server named by ORAVEND_TEST_SERVER, if any, and its login.
std::optional<ServerLogin> RealServerFromEnvironment() {
  const char* server = std::getenv("ORAVEND_TEST_SERVER");
  if (server == nullptr || *server == '\0') return std::nullopt;
  const char* login = std::getenv("ORAVEND_TEST_LOGIN");
  const char* password = std::getenv("ORAVEND_TEST_PASSWORD");
  if (login == nullptr || *login == '\0' || password == nullptr) {
    throw std::runtime_error(
        "ORAVEND_TEST_SERVER is set: ORAVEND_TEST_LOGIN and ORAVEND_TEST_PASSWORD must be too");
  }
  return ServerLogin{server, login, password};
}

// Under a prefix that nothing of the products' matches.
constexpr const char* kLockDatabase = "oravend_test_lock";

// The names Oravend finds company databases and products by. A server that has such a database
// of its own is not used: a run under test would change it.
constexpr const char* kProductDatabases =
    "SELECT name FROM sys.databases WHERE name LIKE 'qnt_dat%' OR name LIKE 'qnt_def' OR name "
    "LIKE 'qnt_sys' OR name LIKE 'zarvekk%'";

// The seeds give their databases the server's collation where they name none.
constexpr const char* kServerCollation = "Japanese_CI_AS";

// "Cannot drop database because it is currently in use."
constexpr long kInUse = 3702;

// How long a test waits for another run of the tests to leave the server.
constexpr long kReservationWait = 25;

std::string Literal(const std::string& text) { return "N'" + odbc::EscapeApostrophes(text) + "'"; }

std::unique_ptr<odbc::Connection> Open(const ServerLogin& login, const std::string& database,
                                       long commandTimeout) {
  auto connection = std::make_unique<odbc::Connection>();
  connection->Open({{"Data Source", login.dataSource},
                    {"User ID", login.login},
                    {"Password", login.password},
                    {"Initial Catalog", database},
                    {"Connect Timeout", "15"}});
  connection->SetCommandTimeout(commandTimeout);
  return connection;
}

/// The first column of every row the last statement of `sql` returned.
std::vector<std::string> Column(odbc::Connection& connection, const std::string& sql) {
  const auto results = connection.Execute(sql);
  std::vector<std::string> values;
  if (results.empty()) return values;
  for (const auto& row : results.back().rows) values.push_back(row.at(0).value_or(""));
  return values;
}

bool DatabaseExists(odbc::Connection& connection, const std::string& name) {
  return odbc::QueryNumber(connection,
                           "SELECT COUNT(*) FROM sys.databases WHERE name = " + Literal(name)) > 0;
}

/// Runs `sql`, which makes something, unless it exists already: another run can make it first.
void Make(odbc::Connection& connection, const std::string& sql, long alreadyExists) {
  try {
    connection.Execute(sql);
  } catch (const odbc::Error& e) {
    if (e.NativeError() != alreadyExists) throw;
  }
}

/// The lock database with its one table, made by whichever run comes first. Each is looked for
/// first: making the table again can wait for the run that holds it.
void EnsureLockDatabase(const ServerLogin& login) {
  auto master = Open(login, "master", 60);
  if (!DatabaseExists(*master, kLockDatabase)) {
    Make(*master, std::string("CREATE DATABASE ") + kLockDatabase, 1801);
  }
  auto lock = Open(login, kLockDatabase, 60);
  if (odbc::QueryNumber(*lock, "SELECT COUNT(*) FROM sys.tables WHERE name = 'run_lock'") == 0) {
    Make(*lock, "CREATE TABLE run_lock (id int NOT NULL PRIMARY KEY)", 2714);
  }
}

/// The databases a seed or one of its batches makes, by name, in its order.
std::vector<std::string> SeedDatabases(const std::string& seed) {
  static const std::regex create(R"(CREATE\s+DATABASE\s+(\[(?:[^\]]|\]\])*\]|[^\s\[\];]+))",
                                 std::regex::icase);
  std::vector<std::string> names;
  for (std::sregex_iterator it(seed.begin(), seed.end(), create), end; it != end; ++it) {
    std::string name = (*it)[1];
    if (name.front() == '[') {
      name = std::regex_replace(name.substr(1, name.size() - 2), std::regex(R"(\]\])"), "]");
    }
    names.push_back(name);
  }
  return names;
}

/// The seed's batches: the text between lines that say GO.
std::vector<std::string> SeedBatches(const std::string& seed) {
  static const std::regex go(R"(^\s*GO\s*$)", std::regex::icase);
  std::vector<std::string> batches{""};
  std::istringstream lines(seed);
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, go)) {
      batches.emplace_back();
    } else {
      batches.back() += line + "\n";
    }
  }
  std::erase_if(batches, [](const std::string& batch) {
    return batch.find_first_not_of(" \t\r\n") == std::string::npos;
  });
  return batches;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

}  // namespace

/// A real server held for one test: a row inserted in an open transaction in the lock database
/// keeps other runs of the tests waiting until the test ends.
class TestServer::Reservation {
 public:
  explicit Reservation(const ServerLogin& login)
      : login_(login), admin_(Open(login, "master", 60)) {
    const auto collation =
        Column(*admin_, "SELECT CAST(SERVERPROPERTY('Collation') AS nvarchar(128))");
    if (collation != std::vector<std::string>{kServerCollation}) {
      throw std::runtime_error("ORAVEND_TEST_SERVER: " + login.dataSource + " has the collation " +
                               Joined(collation) + "; the tests expect a server installed with " +
                               kServerCollation + ", as the offices' servers are.");
    }
    EnsureLockDatabase(login);
    lock_ = Open(login, kLockDatabase, kReservationWait);
    try {
      lock_->Execute("BEGIN TRANSACTION\r\nINSERT INTO run_lock (id) VALUES (1)");
    } catch (const odbc::Error& e) {
      throw std::runtime_error("ORAVEND_TEST_SERVER: " + login.dataSource +
                               " could not be reserved within " + std::to_string(kReservationWait) +
                               " s (another run of the tests may hold it): " + e.what());
    }
  }

  ~Reservation() {
    for (auto name = made_.rbegin(); name != made_.rend(); ++name) {
      try {
        Drop(*name);
      } catch (const std::exception& e) {
        ADD_FAILURE() << "ORAVEND_TEST_SERVER: database " << *name
                      << " was not dropped: " << e.what();
      }
    }
    try {
      lock_->Execute("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
    } catch (const std::exception&) {
      // Closing the connection ends the transaction too.
    }
  }

  Reservation(const Reservation&) = delete;
  Reservation& operator=(const Reservation&) = delete;

  /// Refuses a server that has any database the seed or a run would touch, then runs the seed.
  /// A database counts as the test's own once the batch that makes it has succeeded: one that
  /// somebody else made meanwhile fails that batch, and is left alone.
  void Seed(const std::string& seed) {
    std::string present = kProductDatabases;
    for (const auto& name : SeedDatabases(seed)) present += " OR name = " + Literal(name);
    if (const auto found = Column(*admin_, present); !found.empty()) {
      throw std::runtime_error("ORAVEND_TEST_SERVER: " + login_.dataSource +
                               " has databases the tests would make or change: " + Joined(found) +
                               ". The tests run only on a server without them; drop them if an "
                               "earlier run of the tests left them.");
    }
    auto seeding = Open(login_, "master", 60);
    for (const auto& batch : SeedBatches(seed)) {
      try {
        seeding->Execute(batch);
      } catch (const odbc::Error& e) {
        throw std::runtime_error(
            "ORAVEND_TEST_SERVER: the test's seed failed: " + std::string(e.what()) + "\n" + batch);
      }
      for (const auto& name : SeedDatabases(batch)) {
        if (DatabaseExists(*admin_, name)) made_.push_back(name);
      }
    }
  }

 private:
  void Drop(const std::string& name) {
    const auto states =
        Column(*admin_, "SELECT state_desc FROM sys.databases WHERE name = " + Literal(name));
    if (states.empty()) return;
    // Dropping an offline database would leave its files behind.
    if (states.front() == "OFFLINE") {
      admin_->Execute("ALTER DATABASE " + odbc::QuoteIdentifier(name) + " SET ONLINE");
    }
    const std::string drop =
        (states.front() == "RESTORING" ? ""
                                       : "ALTER DATABASE " + odbc::QuoteIdentifier(name) +
                                             " SET SINGLE_USER WITH ROLLBACK IMMEDIATE\r\n") +
        "DROP DATABASE " + odbc::QuoteIdentifier(name);
    // The session of a client that has just disconnected can still be in the database while
    // the server cleans it up; a server ends such sessions within moments.
    std::exception_ptr failure;
    const bool dropped = WaitFor(
        [&] {
          try {
            admin_->Execute(drop);
            return true;
          } catch (const odbc::Error& e) {
            if (e.NativeError() != kInUse) throw;
            failure = std::current_exception();
            return false;
          }
        },
        std::chrono::seconds(10));
    if (!dropped) std::rethrow_exception(failure);
  }

  ServerLogin login_;
  std::unique_ptr<odbc::Connection> admin_;
  std::unique_ptr<odbc::Connection> lock_;
  std::vector<std::string> made_;
};

TestServer::TestServer(const ServerOptions& options) : wireLog_(options.wireLog) {
  const auto real = RealServerFromEnvironment();
  const bool standInOnly = options.wireLog || !options.args.empty() || !options.instance.empty() ||
                           !options.dataDir.empty() || options.address != ServerOptions{}.address;
  if (!real || standInOnly) {
    standIn_ = std::make_unique<StandIn>(options);
    login_ = {standIn_->DataSource(), StandIn::kLogin, StandIn::kPassword};
    return;
  }
  login_ = *real;
  reservation_ = std::make_unique<Reservation>(login_);
  reservation_->Seed(options.seed);
}

TestServer::~TestServer() = default;

std::string TestServer::DataSource() const { return login_.dataSource; }

std::unique_ptr<odbc::Connection> TestServer::Connect(const std::string& database) const {
  return Open(login_, database, 10);
}

std::vector<nlohmann::json> TestServer::WireLog() const {
  if (!wireLog_) throw std::logic_error("the test reads the wire log without the wireLog option");
  return standIn_->WireLog();
}

std::vector<std::string> TestServer::Batches() const {
  std::vector<std::string> batches;
  for (const auto& entry : WireLog()) {
    if (entry.value("kind", "") == "batch") batches.push_back(entry.at("sql").get<std::string>());
  }
  return batches;
}

}  // namespace support
