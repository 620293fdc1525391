// Figures, not a test: the update run over N company databases with a table list of L lines,
// against the stand-in at a simulated network latency.
//   oravend_benchmark [DATABASES [LINES [LATENCIES]]]    default: 100,500 40 0,1,10,30
// For every run: total time, time and CPU time per database, requests per database, the floor
// (the run's time at zero latency plus requests x latency) and the time against it, and the peak
// memory of the process that ran it. Each run is a fresh process (this program, started again),
// so that its peak memory and CPU time are its own.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bankname/UpdateRun.hpp"
#include "support/TestServer.hpp"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kNotaraList = "ORV_Notara_MasterOnly";
const std::string kVostrelList = "ORV_Vostrel_MasterOnly";

class SilentRunHost : public basCommon::RunHost {
 public:
  void MsgBox(const std::string& text, platform::Icon, const std::string&) override {
    message = text;
  }
  void EndProgram() override {}
  void SetBusy(bool) override {}
  void ShowBankRecord(const basCommon::BankRecord&) override {}
  void ShowProgress() override {}
  void HideProgress() override {}
  void ProgressBarProperty(int, int, int) override {}
  void ProgressBarIncrease() override {}
  void DoEvents() override {}
  std::string message;
};

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream list(text);
  for (std::string part; std::getline(list, part, ',');) parts.push_back(part);
  return parts;
}

std::string Seed(int databases, int lines) {
  std::string seed;
  for (int i = 0; i < databases; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04d", i % 2 == 0 ? "qnt8dat" : "zarvekkdat", i);
    seed += std::string("CREATE DATABASE ") + name + "\nGO\nUSE " + name + "\n";
    for (int t = 1; t <= lines; ++t) {
      const std::string table = "T" + std::to_string(t);
      seed += "CREATE TABLE " + table +
              " (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40))\nINSERT INTO " +
              table + " VALUES ('0005', N'旧銀行', N'ｷｭｳ'), ('0009', N'他行', N'ﾀｺｳ')\n";
    }
    seed += "GO\n";
  }
  return seed;
}

/// The CPU time this process has used, user and system.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// Runs the update in this process: prints its seconds, peak memory and CPU seconds.
int Measure(const std::string& dataSource, const std::filesystem::path& folder) {
  odbc::Connection connection;
  connection.Open({{"Data Source", dataSource},
                   {"User ID", support::StandIn::kLogin},
                   {"Password", support::StandIn::kPassword},
                   {"Initial Catalog", "master"},
                   {"Connect Timeout", "30"}});
  const auto start = Clock::now();
  const double cpuBefore = CpuSeconds();
  SilentRunHost host;
  const auto bank = basCommon::ReadBankRecord(folder);
  basCommon::UpdateRun(connection, folder, kNotaraList, kVostrelList, bank, host);
  // The process's own high-water mark: what the kernel keeps for a spawned child also counts the
  // parent that spawned it.
  std::ifstream status("/proc/self/status");
  double peakKilobytes = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) peakKilobytes = std::stod(line.substr(6));
  }
  std::printf("%.6f %.0f %.6f\n", std::chrono::duration<double>(Clock::now() - start).count(),
              peakKilobytes, CpuSeconds() - cpuBefore);
  if (host.message != "完了しました。") std::fprintf(stderr, "run: %s\n", host.message.c_str());
  return host.message == "完了しました。" ? 0 : 1;
}

struct Figures {
  double seconds = 0;
  double peakMegabytes = 0;
  double cpuSeconds = 0;  ///< the run's own, in the measuring process
  long requests = 0;
};

/// This program started again to measure the run; its time, peak memory and requests.
Figures RunChild(const support::StandIn& server, const std::filesystem::path& folder) {
  const auto requestsSoFar = [&] {
    long requests = 0;
    for (const auto& entry : server.WireLog()) {
      const auto kind = entry.value("kind", "");
      requests += kind == "batch" || kind == "tm";
    }
    return requests;
  };
  const long before = requestsSoFar();
  const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() +
                              " --measure " + server.DataSource() + " '" + folder.string() + "'";
  std::unique_ptr<FILE, decltype(&pclose)> child(popen(command.c_str(), "r"), &pclose);
  if (!child) throw std::runtime_error("cannot start the measuring process");
  double seconds = 0, peakKilobytes = 0, cpu = 0;
  const bool read = std::fscanf(child.get(), "%lf %lf %lf", &seconds, &peakKilobytes, &cpu) == 3;
  if (pclose(child.release()) != 0 || !read) throw std::runtime_error("the measured run failed");
  return {seconds, peakKilobytes / 1024.0, cpu, requestsSoFar() - before};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--measure") return Measure(argv[2], argv[3]);
  const auto databases = Split(argc > 1 ? argv[1] : "100,500");
  const int lines = argc > 2 ? std::stoi(argv[2]) : 40;
  auto latencies = Split(argc > 3 ? argv[3] : "0,1,10,30");
  if (latencies.front() != "0") latencies.insert(latencies.begin(), "0");  // for the floor

  std::printf("%9s %5s %8s | %8s %8s %8s %8s %8s %6s %8s\n", "databases", "lines", "latency",
              "run s", "ms/db", "cpu ms/db", "req/db", "floor s", "/floor", "peak MB");
  for (const auto& count : databases) {
    const int n = std::stoi(count);
    support::TempDir data;
    {
      const auto start = Clock::now();
      const support::StandIn seeding({.seed = Seed(n, lines),
                                      .dataDir = data.Path() / "databases",
                                      .startLimit = std::chrono::seconds(3600)});
      std::fprintf(stderr, "seeded %d databases of %d tables in %.1f s\n", n, lines,
                   std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::string list;
    for (int t = 1; t <= lines; ++t)
      list += "T" + std::to_string(t) + ",BankCode,BankName,BankKana\r\n";
    support::WriteFile(data.Path() / kNotaraList, list);
    support::WriteFile(data.Path() / kVostrelList, list);
    support::WriteFile(data.Path() / "ORV_BankName",
                       "0005,a,b,0005,\x90\x56\x8B\xE2\x8D\x73,\xBC\xDD\r\n");  // 新銀行, ｼﾝ
    double atZero = 0;
    for (const auto& latency : latencies) {
      const support::StandIn server(
          {.args = {"--reply-delay", latency}, .dataDir = data.Path() / "databases"});
      const Figures run = RunChild(server, data.Path());
      if (latency == "0") atZero = run.seconds;
      const double floor = static_cast<double>(run.requests) * std::stod(latency) / 1000.0 + atZero;
      std::printf("%9d %5d %8s | %8.2f %8.2f %8.2f %8.1f %8.2f %6.2f %8.1f\n", n, lines,
                  latency.c_str(), run.seconds, 1000 * run.seconds / n, 1000 * run.cpuSeconds / n,
                  static_cast<double>(run.requests) / n, floor, run.seconds / floor,
                  run.peakMegabytes);
      std::fflush(stdout);
    }
  }
  return 0;
}
