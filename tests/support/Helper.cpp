// A small program the tests start: under a chosen file name for the process probe, as one of
// two processes racing for the single-instance lock, or, under Wine, to start the desktop
// process before the tests run.
#ifdef _WIN32
#include <windows.h>
#endif

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
#ifdef _WIN32
  if (command == "desktop" && argc == 4) {
    // desktop READY SECONDS: Wine's desktop process starts with the first program that asks
    // for the desktop, inherits that program's output and lives as long as any program runs.
    // Started here, with output nowhere, it never holds a test's output open.
    GetDesktopWindow();
    support::WriteFile(platform::PathFromUtf8(argv[2]), "");
    std::this_thread::sleep_for(std::chrono::seconds(std::stoi(argv[3])));
    return 0;
  }
#endif
  return 2;
}
