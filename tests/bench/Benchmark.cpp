// Figures for the closing notes, not a test: connect time, statements per second through the
// access layer over loopback, and a whole run over many company databases.
//   oravend_benchmark [DATABASES]
#include <chrono>
#include <cstdio>
#include <string>

#include "bankname/UpdateRun.hpp"
#include "support/StandIn.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

class SilentRunHost : public basCommon::RunHost {
 public:
  void MsgBox(const std::string& text, platform::Icon, const std::string&) override {
    message = text;
  }
  void EndProgram() override {}
  void SetHourglass(bool) override {}
  void SetButtonsEnabled(bool) override {}
  void SetIsRunning(bool) override {}
  void ShowProgress() override {}
  void HideProgress() override {}
  void ProgressBarProperty(int, int, int) override {}
  void ProgressBarIncrease() override {}
  void DoEvents() override {}
  std::string message;
};

}  // namespace

int main(int argc, char** argv) {
  const int databases = argc > 1 ? std::stoi(argv[1]) : 100;
  std::string seed;
  for (int i = 0; i < databases; ++i) {
    const std::string name = (i % 2 ? "zarvekkdat" : "qnt8dat") + std::to_string(i);
    seed +=
        "CREATE DATABASE " + name + "\nGO\nUSE " + name +
        "\nCREATE TABLE TBank (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40))\n"
        "INSERT INTO TBank VALUES ('0005', N'旧', N'ｷｭｳ'), ('0009', N'他', N'ﾀ')\nGO\n";
  }
  support::StandIn server({.seed = seed});

  auto start = Clock::now();
  const int logins = 20;
  for (int i = 0; i < logins; ++i) server.Connect();
  std::printf("connect and log in: %.1f ms each\n", 1000 * Seconds(Clock::now() - start) / logins);

  auto connection = server.Connect();
  start = Clock::now();
  int statements = 0;
  while (Clock::now() - start < std::chrono::seconds(3)) {
    odbc::QueryNumber(*connection, "SELECT COUNT(name) from sys.databases WHERE name = 'qnt8sys'");
    ++statements;
  }
  std::printf("catalog queries: %.0f statements per second\n",
              statements / Seconds(Clock::now() - start));

  support::TempDir dir;
  support::WriteFile(dir.Path() / "ORV_BankName", "0005,a,b,0005,new,kana\r\n");
  support::WriteFile(dir.Path() / "ORV_Notara_MasterOnly", "TBank,BankCode,BankName,BankKana\r\n");
  support::WriteFile(dir.Path() / "ORV_Vostrel_MasterOnly", "TBank,BankCode,BankName,BankKana\r\n");
  SilentRunHost host;
  start = Clock::now();
  basCommon::UpdateRun(*connection, dir.Path(), "ORV_Notara_MasterOnly", "ORV_Vostrel_MasterOnly",
                       host);
  const double run = Seconds(Clock::now() - start);
  std::printf("run over %d databases: %.2f s (%.1f ms a database): %s\n", databases, run,
              1000 * run / databases, host.message.c_str());
  return host.message == "完了しました。" ? 0 : 1;
}
