// Listener, connection threads and the stop sequence.
#include "server.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include <sqlite3.h>

#include "browser.hpp"
#include "database_registry.hpp"
#include "fault_plan.hpp"
#include "seed.hpp"
#include "tds_connection.hpp"
#include "wire_log.hpp"

namespace standin {
namespace {

// A directory that exists for the life of the object: the given one, or a fresh temporary
// one that is removed again.
class DataDirectory {
 public:
  explicit DataDirectory(const std::optional<std::filesystem::path>& given) {
    if (given) {
      path_ = *given;
      std::filesystem::create_directories(path_);
      return;
    }
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/oravend-standin-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw_errno("mkdtemp");
    path_ = pattern;
    temporary_ = true;
  }
  ~DataDirectory() {
    std::error_code ignored;
    if (temporary_) std::filesystem::remove_all(path_, ignored);
  }
  DataDirectory(const DataDirectory&) = delete;
  DataDirectory& operator=(const DataDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool temporary_ = false;
};

// One accepted connection and the thread serving it. The descriptor is closed under the mutex
// so that the stop sequence never shuts down a reused descriptor number.
struct ConnectionSlot {
  std::mutex mutex;
  UniqueFd fd;
  std::thread thread;
  std::atomic<bool> finished{false};
};

// How many clients are connected, and since when none is.
class Activity {
 public:
  void opened() {
    std::lock_guard lock(mutex_);
    ++open_;
  }
  void closed() {
    std::lock_guard lock(mutex_);
    --open_;
    since_ = std::chrono::steady_clock::now();
  }
  bool idle_for(std::chrono::seconds duration) const {
    std::lock_guard lock(mutex_);
    return open_ == 0 && std::chrono::steady_clock::now() - since_ >= duration;
  }

 private:
  mutable std::mutex mutex_;
  int open_ = 0;
  std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
};

class Listener {
 public:
  Listener(UniqueFd socket, ConnectionContext& context, Activity& activity)
      : socket_(std::move(socket)), context_(context), activity_(activity) {}
  ~Listener() {
    if (thread_.joinable()) thread_.join();
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  void start() {
    thread_ = std::thread([this] { accept_loop(); });
  }

 private:
  void accept_loop() {
    int next_id = 1;
    while (wait_readable(socket_.get(), context_.stop, std::nullopt) == WaitResult::Readable) {
      const int client = ::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      const int on = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      reap(false);
      auto slot = std::make_unique<ConnectionSlot>();
      slot->fd.reset(client);
      auto* raw = slot.get();
      const int id = next_id++;
      activity_.opened();
      raw->thread = std::thread([this, raw, id] {
        TdsConnection(raw->fd.get(), id, context_).serve();
        std::lock_guard lock(raw->mutex);
        raw->fd.reset();
        raw->finished = true;
        activity_.closed();
      });
      slots_.push_back(std::move(slot));
    }
    for (auto& slot : slots_) {
      std::lock_guard lock(slot->mutex);
      if (slot->fd) ::shutdown(slot->fd.get(), SHUT_RDWR);
    }
    reap(true);
  }

  void reap(bool all) {
    for (auto it = slots_.begin(); it != slots_.end();) {
      if (all || (*it)->finished) {
        (*it)->thread.join();
        it = slots_.erase(it);
      } else {
        ++it;
      }
    }
  }

  UniqueFd socket_;
  ConnectionContext& context_;
  Activity& activity_;
  std::list<std::unique_ptr<ConnectionSlot>> slots_;
  std::thread thread_;
};

struct StopOnExit {
  StopSignal& stop;
  ~StopOnExit() { stop.raise(); }
};

// "ADDR PORT" for whoever waits for the server to listen. It is removed again when this object
// is destroyed, which must come after every file in the data directory is closed: clients that
// cannot wait for the process wait for this file to go before they delete that directory.
class ReadyFile {
 public:
  explicit ReadyFile(const std::optional<std::filesystem::path>& path) : path_(path) {}
  ~ReadyFile() {
    std::error_code ignored;
    if (written_) std::filesystem::remove(*path_, ignored);
  }
  ReadyFile(const ReadyFile&) = delete;
  ReadyFile& operator=(const ReadyFile&) = delete;

  void write(const std::string& line) {
    if (!path_) return;
    const auto temporary = path_->string() + ".tmp" + std::to_string(::getpid());
    {
      std::ofstream out(temporary, std::ios::trunc);
      out << line;
      if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
    }
    std::filesystem::rename(temporary, *path_);
    written_ = true;
  }

 private:
  std::optional<std::filesystem::path> path_;
  bool written_ = false;
};

UniqueFd stop_signals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  // Blocked before any thread starts, so every thread inherits the mask.
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) throw_errno("pthread_sigmask");
  UniqueFd fd(::signalfd(-1, &signals, SFD_CLOEXEC));
  if (!fd) throw_errno("signalfd");
  return fd;
}

}  // namespace

int run_server(const Options& options) {
  const pid_t parent = ::getppid();
  // Reply delays are meant to be exact: no timer slack for this thread and the threads it starts.
  if (options.reply_delay.count() > 0) ::prctl(PR_SET_TIMERSLACK, 1UL);
  ::signal(SIGPIPE, SIG_IGN);
  const auto signals = stop_signals();
  StopSignal stop;

  // Declared before the data directory and everything that opens files in it, so destroyed last.
  ReadyFile ready_file(options.ready_file);
  DataDirectory data(options.data_dir);
  DatabaseRegistry registry(data.path(), options.collation);
  const EngineSettings engine{registry,
                              options.instance ? "STANDIN\\" + *options.instance : "STANDIN"};
  if (options.seed) {
    try {
      run_seed(*options.seed, engine);
    } catch (const SeedError& error) {
      std::cerr << "oravend-standin: " << error.what() << "\n";
      return 1;
    }
  }

  for (const auto& name : options.restoring_databases) {
    try {
      registry.alter(name, [](DatabaseEntry& entry) { entry.state = DatabaseState::Restoring; });
    } catch (const SqlError&) {
      std::cerr << "oravend-standin: --restoring: no database '" << name << "'\n";
      return 1;
    }
  }

  WireLog wire_log(options.wire_log);
  FaultPlan faults;
  for (const auto& [batch, error] : options.fail_batches) faults.fail_batch(batch, error);
  for (const auto& [text, error] : options.fail_texts) faults.fail_text(text, error);
  for (const auto& [text, duration] : options.holds) faults.hold_text(text, duration);
  for (const auto batch : options.drop_batches) faults.drop_batch(batch);
  for (const auto batch : options.stalled_batches) faults.stall_batch(batch);
  for (const auto batch : options.drop_replies) faults.drop_reply(batch, ReplyCut::Half);
  for (const auto batch : options.drops_in_rows) faults.drop_reply(batch, ReplyCut::InRows);

  ConnectionContext context{options.logins,
                            engine,
                            wire_log,
                            faults,
                            stop,
                            [&stop] { stop.raise(); },
                            options.reply_delay,
                            options.require_encryption};
  auto socket = listen_tcp(options.listen);
  const auto port = local_port(socket.get());
  std::unique_ptr<Browser> browser;
  if (options.instance)
    browser = std::make_unique<Browser>(options.listen.host, *options.instance, port, stop);
  Activity activity;
  Listener listener(std::move(socket), context, activity);
  listener.start();

  // A parent that starts the server through another program (Wine does) is not its parent:
  // then only the time without clients bounds the server's life.
  std::jthread watchdog;
  if (options.exit_with_parent || options.exit_when_idle || options.stop_file) {
    watchdog = std::jthread([&] {
      while (wait_readable(stop.fd(), stop, std::chrono::milliseconds(200)) ==
             WaitResult::TimedOut) {
        if ((options.exit_with_parent && ::getppid() != parent) ||
            (options.exit_when_idle && activity.idle_for(*options.exit_when_idle)) ||
            (options.stop_file && std::filesystem::exists(*options.stop_file))) {
          stop.raise();
        }
      }
    });
  }
  // Destroyed first: whichever way this function is left, the threads above are told to stop
  // before they are joined.
  const StopOnExit stop_on_exit{stop};

  const std::string ready = options.listen.host + " " + std::to_string(port) + "\n";
  ready_file.write(ready);
  std::cout << "ready " << ready << std::flush;

  while (wait_readable(signals.get(), stop, std::nullopt) == WaitResult::Readable) {
    signalfd_siginfo info{};
    if (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
      stop.raise();
  }
  return 0;
}

}  // namespace standin
