// SQL Server Browser responder on UDP port 1434 of the listen address, so that clients can
// resolve ADDR\INSTANCE to the stand-in's TCP port.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "posix_io.hpp"

namespace standin {

class Browser {
 public:
  // Binds ADDR:1434 at once (throws if taken); answers from a thread until stop is raised.
  Browser(const std::string& address, std::string instance, std::uint16_t tcp_port,
          const StopSignal& stop);
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

 private:
  void serve();

  UniqueFd socket_;
  std::string instance_;
  std::uint16_t tcp_port_;
  const StopSignal& stop_;
  std::thread thread_;
};

}  // namespace standin
