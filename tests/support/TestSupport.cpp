// Test helpers; the process handling differs between Linux and Windows.
#include "support/TestSupport.hpp"

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include "platform/Platform.hpp"

namespace support {
namespace {

/// Removes a folder and what it holds, trying each entry once. MinGW's remove_all tries an
/// entry that vanished while it ran again and again, for ever.
void RemoveTree(const std::filesystem::path& path) noexcept {
  std::error_code error;
  std::filesystem::directory_iterator entry(path, error);
  for (const std::filesystem::directory_iterator end; !error && entry != end;
       entry.increment(error)) {
    std::error_code ignored;
    if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
      RemoveTree(entry->path());
    } else {
      std::filesystem::remove(entry->path(), ignored);
    }
  }
  std::filesystem::remove(path, error);
}

}  // namespace

std::filesystem::path FromHostPath(const std::string& path) {
#ifdef _WIN32
  std::string windows = "Z:" + path;
  for (char& c : windows) c = c == '/' ? '\\' : c;
  return platform::PathFromUtf8(windows);
#else
  return path;
#endif
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::to_string(std::random_device{}()) + "-" + std::to_string(++counter);
  path_ = FromHostPath(ORAVEND_TEST_TMP_PATH) / ("oravend-test-" + stamp);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string HostPath(const std::filesystem::path& path) {
  std::string text = platform::PathToUtf8(path);
#ifdef _WIN32
  if (text.size() >= 2 && (text[0] == 'Z' || text[0] == 'z') && text[1] == ':') text.erase(0, 2);
  for (char& c : text) c = c == '\\' ? '/' : c;
#endif
  return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + platform::PathToUtf8(path));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::filesystem::path HelperProgram() { return FromHostPath(ORAVEND_TEST_HELPER_PATH); }

std::string ScriptedDriver() { return ORAVEND_SCRIPTED_DRIVER_PATH; }

std::unique_ptr<ChildProcess> StartNamedProcess(const std::filesystem::path& dir,
                                                const std::string& exeName) {
  const auto copy = dir / platform::PathFromUtf8(exeName);
  std::filesystem::copy_file(HelperProgram(), copy,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  return std::make_unique<ChildProcess>(copy, std::vector<std::string>{"sleep", "60"});
}

SilentListener::SilentListener() {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  const auto fd = ::socket(AF_INET, SOCK_STREAM, 0);
  socket_ = static_cast<std::intptr_t>(fd);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener() {
#ifdef _WIN32
  closesocket(static_cast<SOCKET>(socket_));
#else
  close(static_cast<int>(socket_));
#endif
}

std::string SilentListener::DataSource() const { return "127.0.0.1," + std::to_string(port_); }

#ifdef _WIN32

struct ChildProcess::Handle {
  HANDLE job = nullptr;
  PROCESS_INFORMATION info{};
  bool waitable = false;
};

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& args)
    : handle_(std::make_unique<Handle>()) {
  std::wstring command = L"\"" + program.wstring() + L"\"";
  for (const auto& arg : args) {
    const auto wide = platform::ToUtf16(arg);
    command += L" \"" + std::wstring(wide.begin(), wide.end()) + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &handle_->info)) {
    throw std::runtime_error("cannot start " + platform::PathToUtf8(program));
  }
  // Wine starts a Linux program without a process handle that could be waited for.
  handle_->waitable = program.extension() == ".exe";
  if (!handle_->waitable) return;
  // A job that kills the child when the test ends, however it ends.
  handle_->job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(handle_->job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  AssignProcessToJobObject(handle_->job, handle_->info.hProcess);
}

ChildProcess::~ChildProcess() {
  if (!handle_->waitable) return;
  TerminateProcess(handle_->info.hProcess, 1);
  WaitForSingleObject(handle_->info.hProcess, 10000);
  CloseHandle(handle_->info.hThread);
  CloseHandle(handle_->info.hProcess);
  CloseHandle(handle_->job);
}

int ChildProcess::Wait() {
  if (!handle_->waitable) throw std::runtime_error("this process cannot be waited for");
  WaitForSingleObject(handle_->info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(handle_->info.hProcess, &code);
  return static_cast<int>(code);
}

#else

struct ChildProcess::Handle {
  pid_t pid = 0;
  bool ended = false;
};

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& args)
    : handle_(std::make_unique<Handle>()) {
  std::vector<std::string> all{program.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (posix_spawn(&handle_->pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + program.string());
  }
}

ChildProcess::~ChildProcess() {
  if (handle_->ended) return;
  kill(handle_->pid, SIGKILL);
  waitpid(handle_->pid, nullptr, 0);
}

int ChildProcess::Wait() {
  int status = 0;
  waitpid(handle_->pid, &status, 0);
  handle_->ended = true;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace support
