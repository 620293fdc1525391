// LOGIN7 decoding and the PRELOGIN reply.
#include "tds_login.hpp"

#include <stdexcept>

#include "tds_packet.hpp"
#include "text.hpp"

namespace standin::tds {
namespace {

constexpr std::uint8_t kIntegratedSecurity = 0x80;

std::string field(std::span<const std::uint8_t> payload, std::size_t offset_at) {
  const std::size_t offset = get_u16(payload, offset_at);
  const std::size_t units = get_u16(payload, offset_at + 2);
  if (units == 0) return {};
  if (offset + 2 * units > payload.size()) throw std::runtime_error("LOGIN7 field out of range");
  return text::utf16le_to_utf8(payload.subspan(offset, 2 * units));
}

// Passwords are sent with nibbles swapped and XOR 0xA5 on every byte.
std::string password(std::span<const std::uint8_t> payload) {
  const std::size_t offset = get_u16(payload, 44);
  const std::size_t units = get_u16(payload, 46);
  if (offset + 2 * units > payload.size()) throw std::runtime_error("LOGIN7 password out of range");
  std::vector<std::uint8_t> bytes(
      payload.begin() + static_cast<std::ptrdiff_t>(offset),
      payload.begin() + static_cast<std::ptrdiff_t>(offset + 2 * units));
  for (auto& b : bytes) {
    const auto x = static_cast<std::uint8_t>(b ^ 0xA5);
    b = static_cast<std::uint8_t>((x << 4) | (x >> 4));
  }
  return text::utf16le_to_utf8(bytes);
}

}  // namespace

Login7 parse_login7(std::span<const std::uint8_t> payload) {
  if (payload.size() < 86) throw std::runtime_error("LOGIN7 record too short");
  Login7 login;
  login.tds_version = get_u32(payload, 4);
  login.host = field(payload, 36);
  login.user = field(payload, 40);
  login.password = password(payload);
  login.application = field(payload, 48);
  login.database = field(payload, 68);
  const std::uint16_t sspi_length = get_u16(payload, 80);
  login.integrated = (payload[25] & kIntegratedSecurity) != 0 || sspi_length > 0;
  return login;
}

std::vector<std::uint8_t> prelogin_reply(bool encryption_required) {
  return {0x00,
          0x00,
          0x1A,
          0x00,
          0x06,  // VERSION at 26, 6 bytes
          0x01,
          0x00,
          0x20,
          0x00,
          0x01,  // ENCRYPTION at 32
          0x02,
          0x00,
          0x21,
          0x00,
          0x01,  // INSTOPT at 33
          0x03,
          0x00,
          0x22,
          0x00,
          0x00,  // THREADID, empty
          0x04,
          0x00,
          0x22,
          0x00,
          0x01,  // MARS at 34
          0xFF,
          0x10,
          0x00,
          0x10,
          0x7F,
          0x00,
          0x00,  // 16.0.4223.0
          encryption_required ? kEncryptRequired : kEncryptNotSupported,
          0x00,
          0x00};
}

std::uint32_t answered_version(std::uint32_t requested) {
  if (requested == 0x07010000) return 0x71000001;
  if (requested == 0x07000000) return 0x70000000;
  return requested;
}

}  // namespace standin::tds
