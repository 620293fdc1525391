// Owned file descriptors, a stop flag that poll() can wait on, and socket helpers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace standin {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  void reset(int fd = -1) noexcept;

 private:
  int fd_ = -1;
};

// Throws std::system_error naming the failed call.
[[noreturn]] void throw_errno(const std::string& what);

// Raised once to make every waiting thread stop; its descriptor then stays readable.
class StopSignal {
 public:
  StopSignal();
  void raise() noexcept;
  bool raised() const noexcept { return raised_.load(); }
  int fd() const noexcept { return fd_.get(); }

 private:
  UniqueFd fd_;
  std::atomic<bool> raised_{false};
};

enum class WaitResult { Readable, Stopped, TimedOut };

// Waits until fd is readable, the stop signal is raised or the timeout (if any) passes.
WaitResult wait_readable(int fd, const StopSignal& stop,
                         std::optional<std::chrono::milliseconds> timeout);

// Reads exactly buffer.size() bytes; false when the peer closed before the first byte.
bool read_exact(int fd, std::span<std::uint8_t> buffer);
void write_all(int fd, std::span<const std::uint8_t> data);

struct Endpoint {
  std::string host;
  std::uint16_t port = 0;
};

// "ADDR:PORT" with a numeric IPv4 address.
Endpoint parse_endpoint(const std::string& text);
UniqueFd listen_tcp(const Endpoint& endpoint);
UniqueFd bind_udp(const Endpoint& endpoint);
std::uint16_t local_port(int fd);

}  // namespace standin
