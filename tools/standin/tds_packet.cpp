// Packet reading and writing over a connected socket.
#include "tds_packet.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "posix_io.hpp"

namespace standin::tds {
namespace {
constexpr std::size_t kHeaderSize = 8;
constexpr std::uint8_t kEndOfMessage = 0x01;
}  // namespace

std::optional<Message> PacketChannel::read() {
  Message message;
  bool first = true;
  for (;;) {
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!read_exact(fd_, header)) {
      if (first) return std::nullopt;
      throw std::runtime_error("connection closed in the middle of a message");
    }
    const std::size_t length = static_cast<std::size_t>(header[2] << 8 | header[3]);
    if (length < kHeaderSize) throw std::runtime_error("packet shorter than its header");
    if (!first && header[0] != message.type)
      throw std::runtime_error("packet type changed inside a message");
    message.type = header[0];
    const auto old_size = message.payload.size();
    message.payload.resize(old_size + length - kHeaderSize);
    if (length > kHeaderSize &&
        !read_exact(fd_, std::span(message.payload).subspan(old_size, length - kHeaderSize)))
      throw std::runtime_error("connection closed in the middle of a packet");
    first = false;
    if ((header[1] & kEndOfMessage) != 0) return message;
  }
}

void PacketChannel::send(std::span<const std::uint8_t> payload) {
  if (payload.empty()) throw std::logic_error("a reply message may not be empty");
  const std::size_t chunk = packet_size_ - kHeaderSize;
  std::vector<std::uint8_t> packet;
  for (std::size_t offset = 0; offset < payload.size(); offset += chunk) {
    const std::size_t size = std::min(chunk, payload.size() - offset);
    const bool last = offset + size == payload.size();
    const std::size_t length = size + kHeaderSize;
    packet.assign({static_cast<std::uint8_t>(PacketType::Reply),
                   static_cast<std::uint8_t>(last ? kEndOfMessage : 0),
                   static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF),
                   static_cast<std::uint8_t>(spid_ >> 8), static_cast<std::uint8_t>(spid_ & 0xFF),
                   packet_id_++, 0});
    packet.insert(packet.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                  payload.begin() + static_cast<std::ptrdiff_t>(offset + size));
    write_all(fd_, packet);
  }
}

void put_u8(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}
void put_u16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put_u8(out, value);
  put_u8(out, value >> 8);
}
void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put_u16(out, value);
  put_u16(out, value >> 16);
}
void put_u64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  put_u32(out, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
  put_u32(out, static_cast<std::uint32_t>(value >> 32));
}
std::uint16_t get_u16(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset + 2 > data.size()) throw std::runtime_error("request shorter than expected");
  return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}
std::uint32_t get_u32(std::span<const std::uint8_t> data, std::size_t offset) {
  return static_cast<std::uint32_t>(get_u16(data, offset)) |
         static_cast<std::uint32_t>(get_u16(data, offset + 2)) << 16;
}

}  // namespace standin::tds
