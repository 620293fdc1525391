// A small program the tests start: under a chosen file name for the process probe, or as one of
// two processes racing for the single-instance lock.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Platform.hpp"
#include "support/TestSupport.hpp"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "sleep" && argc == 3) {
    std::this_thread::sleep_for(std::chrono::seconds(std::stoi(argv[2])));
    return 0;
  }
  if (command == "lock" && argc == 5) {
    // lock NAME RESULT RELEASE: take the lock, report, and hold it until RELEASE exists.
    const platform::InstanceLock lock(argv[2]);
    const std::filesystem::path result = platform::PathFromUtf8(argv[3]);
    support::WriteFile(result.string() + ".tmp", lock.AnotherInstance() ? "another" : "first");
    std::filesystem::rename(result.string() + ".tmp", result);
    const std::filesystem::path release = platform::PathFromUtf8(argv[4]);
    return support::WaitFor([&] { return std::filesystem::exists(release); }) ? 0 : 1;
  }
  return 2;
}
