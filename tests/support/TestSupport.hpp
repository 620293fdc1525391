// Helpers shared by the tests: temporary folders, files, child processes, a recording Ui.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Ui.hpp"

namespace support {

/// A new empty folder for one test under the build's test folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// The path as a Linux program sees it, and back (under Wine, Z:\x\y is /x/y).
std::string HostPath(const std::filesystem::path& path);
std::filesystem::path FromHostPath(const std::string& path);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

/// Polls `condition` until it holds or `limit` has passed; the answer is its last value.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

/// A process started by a test and ended with the test.
class ChildProcess {
 public:
  /// Starts `program` with `args`; a Linux program under Wine cannot be waited for or killed:
  /// it is left to end by itself.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Waits for the process to end by itself; its exit code.
  int Wait();

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

/// The small helper program built with the tests (sleep, hold the instance lock).
std::filesystem::path HelperProgram();

/// The test ODBC driver whose answers each statement's text scripts: a Linux library, which the
/// driver manager loads under Wine too. Its path is the value of the "Driver" property.
std::string ScriptedDriver();

/// A copy of the helper program under `exeName` in `dir`, running `sleep 60`.
std::unique_ptr<ChildProcess> StartNamedProcess(const std::filesystem::path& dir,
                                                const std::string& exeName);

/// A TCP listener on loopback that accepts connections into its backlog and never answers.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  std::string DataSource() const;

 private:
  std::intptr_t socket_ = -1;
  int port_ = 0;
};

/// Records what the code under test shows and whether it ended the program.
class RecordingUi : public platform::Ui {
 public:
  struct Box {
    std::string text;
    platform::Icon icon;
    std::string title;
    bool operator==(const Box&) const = default;
  };
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    boxes.push_back({text, icon, title});
  }
  void EndProgram() override { ++ended; }

  std::vector<Box> boxes;
  int ended = 0;
};

}  // namespace support
