// PRELOGIN and LOGIN7: the pre-login reply (no encryption) and decoding of the login record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin::tds {

struct Login7 {
  std::uint32_t tds_version = 0;
  std::string host;
  std::string user;
  std::string password;
  std::string application;
  std::string database;
  bool integrated = false;  // Windows authentication requested (fIntSecurity or SSPI data)
};

// Throws std::runtime_error for a record too short for its offsets.
Login7 parse_login7(std::span<const std::uint8_t> payload);

inline constexpr std::uint8_t kEncryptNotSupported = 0x02;
inline constexpr std::uint8_t kEncryptRequired = 0x03;

// VERSION 16.0.4223, ENCRYPTION = not supported (required, for a server that accepts only
// encrypted logins), INSTOPT ok, empty THREADID, MARS off.
std::vector<std::uint8_t> prelogin_reply(bool encryption_required);

// The version to announce in LOGINACK for a requested one: the same, in its TDS 7.x form.
std::uint32_t answered_version(std::uint32_t requested);

}  // namespace standin::tds
