// Answers CLNT_BCAST_EX (0x02), CLNT_UCAST_EX (0x03) and CLNT_UCAST_INST (0x04) with SVR_RESP.
#include "browser.hpp"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <vector>

#include "text.hpp"

namespace standin {
namespace {

constexpr std::uint16_t kBrowserPort = 1434;
constexpr std::uint8_t kBroadcastEx = 0x02;
constexpr std::uint8_t kUnicastEx = 0x03;
constexpr std::uint8_t kUnicastInstance = 0x04;
constexpr std::uint8_t kServerResponse = 0x05;

}  // namespace

Browser::Browser(const std::string& address, std::string instance, std::uint16_t tcp_port,
                 const StopSignal& stop)
    : socket_(bind_udp({address, kBrowserPort})),
      instance_(std::move(instance)),
      tcp_port_(tcp_port),
      stop_(stop),
      thread_([this] { serve(); }) {}

Browser::~Browser() {
  if (thread_.joinable()) thread_.join();
}

void Browser::serve() {
  const std::string description = "ServerName;STANDIN;InstanceName;" + instance_ +
                                  ";IsClustered;No;Version;16.0.4223.1;tcp;" +
                                  std::to_string(tcp_port_) + ";;";
  std::vector<std::uint8_t> reply(3 + description.size());
  reply[0] = kServerResponse;
  reply[1] = static_cast<std::uint8_t>(description.size() & 0xFF);
  reply[2] = static_cast<std::uint8_t>(description.size() >> 8);
  std::copy(description.begin(), description.end(), reply.begin() + 3);

  while (wait_readable(socket_.get(), stop_, std::nullopt) == WaitResult::Readable) {
    std::uint8_t request[512];
    sockaddr_storage sender{};
    socklen_t sender_size = sizeof sender;
    const auto received = ::recvfrom(socket_.get(), request, sizeof request, 0,
                                     reinterpret_cast<sockaddr*>(&sender), &sender_size);
    if (received <= 0) continue;
    bool answer = request[0] == kBroadcastEx || request[0] == kUnicastEx;
    if (request[0] == kUnicastInstance) {
      std::string name(reinterpret_cast<const char*>(request + 1),
                       static_cast<std::size_t>(received - 1));
      if (const auto nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
      answer = text::collate_equal(name, instance_);
    }
    if (answer && ::sendto(socket_.get(), reply.data(), reply.size(), 0,
                           reinterpret_cast<sockaddr*>(&sender), sender_size) < 0) {
      std::cerr << "oravend-standin: browser reply failed: errno " << errno << "\n";
    }
  }
}

}  // namespace standin
