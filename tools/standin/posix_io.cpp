// POSIX socket and descriptor helpers used by the listener, the browser and the sessions.
#include "posix_io.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace standin {

void UniqueFd::reset(int fd) noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

void throw_errno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!fd_) throw_errno("eventfd");
}

void StopSignal::raise() noexcept {
  if (raised_.exchange(true)) return;
  const std::uint64_t one = 1;
  // Nothing useful can be done if this fails; the flag is already set.
  [[maybe_unused]] auto written = ::write(fd_.get(), &one, sizeof one);
}

WaitResult wait_readable(int fd, const StopSignal& stop,
                         std::optional<std::chrono::milliseconds> timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
  for (;;) {
    pollfd fds[2] = {{stop.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
    int wait_ms = -1;
    if (timeout) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return WaitResult::TimedOut;
      wait_ms = static_cast<int>(left.count());
    }
    const int n = ::poll(fds, 2, wait_ms);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_errno("poll");
    }
    if (stop.raised()) return WaitResult::Stopped;
    if (fds[1].revents != 0) return WaitResult::Readable;
  }
}

bool read_exact(int fd, std::span<std::uint8_t> buffer) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const auto n = ::recv(fd, buffer.data() + done, buffer.size() - done, 0);
    if (n == 0) {
      if (done == 0) return false;
      throw std::runtime_error("connection closed in the middle of a packet");
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == ECONNRESET && done == 0) return false;
      throw_errno("recv");
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void write_all(int fd, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_errno("send");
    }
    done += static_cast<std::size_t>(n);
  }
}

Endpoint parse_endpoint(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos)
    throw std::invalid_argument("expected ADDR:PORT, got '" + text + "'");
  Endpoint endpoint;
  endpoint.host = text.substr(0, colon);
  in_addr probe{};
  if (::inet_pton(AF_INET, endpoint.host.c_str(), &probe) != 1)
    throw std::invalid_argument("'" + endpoint.host + "' is not a numeric IPv4 address");
  const auto port_text = text.substr(colon + 1);
  std::size_t used = 0;
  unsigned long port = 0;
  try {
    port = std::stoul(port_text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (port_text.empty() || used != port_text.size() || port > 65535)
    throw std::invalid_argument("'" + port_text + "' is not a port number");
  endpoint.port = static_cast<std::uint16_t>(port);
  return endpoint;
}

namespace {

sockaddr_in to_sockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  ::inet_pton(AF_INET, endpoint.host.c_str(), &address.sin_addr);
  return address;
}

UniqueFd bound_socket(const Endpoint& endpoint, int type) {
  UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
  if (!fd) throw_errno("socket");
  // For TCP this only allows a quick restart; for UDP it would let two servers share 1434.
  const int on = 1;
  if (type == SOCK_STREAM && ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
    throw_errno("setsockopt");
  const auto address = to_sockaddr(endpoint);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw_errno("bind " + endpoint.host + ":" + std::to_string(endpoint.port));
  return fd;
}

}  // namespace

UniqueFd listen_tcp(const Endpoint& endpoint) {
  auto fd = bound_socket(endpoint, SOCK_STREAM);
  if (::listen(fd.get(), 64) != 0) throw_errno("listen");
  return fd;
}

UniqueFd bind_udp(const Endpoint& endpoint) { return bound_socket(endpoint, SOCK_DGRAM); }

std::uint16_t local_port(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw_errno("getsockname");
  return ntohs(address.sin_port);
}

}  // namespace standin
