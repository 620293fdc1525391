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

// The packet of payload that starts at offset.
std::vector<std::uint8_t> PacketChannel::packet(std::span<const std::uint8_t> payload,
                                                std::size_t offset) {
  const auto data =
      payload.subspan(offset, std::min(packet_size_ - kHeaderSize, payload.size() - offset));
  const bool last = offset + data.size() == payload.size();
  const std::size_t length = data.size() + kHeaderSize;
  std::vector<std::uint8_t> out(length);
  out[0] = static_cast<std::uint8_t>(PacketType::Reply);
  out[1] = last ? kEndOfMessage : 0;
  out[2] = static_cast<std::uint8_t>(length >> 8);
  out[3] = static_cast<std::uint8_t>(length & 0xFF);
  out[4] = static_cast<std::uint8_t>(spid_ >> 8);
  out[5] = static_cast<std::uint8_t>(spid_ & 0xFF);
  out[6] = packet_id_++;
  std::copy(data.begin(), data.end(), out.begin() + kHeaderSize);
  return out;
}

void PacketChannel::send(std::span<const std::uint8_t> payload) {
  if (payload.empty()) throw std::logic_error("a reply message may not be empty");
  for (std::size_t offset = 0; offset < payload.size(); offset += packet_size_ - kHeaderSize)
    write_all(fd_, packet(payload, offset));
}

void PacketChannel::send_partial(std::span<const std::uint8_t> payload) {
  if (payload.size() < 2) throw std::logic_error("a reply too short to be cut");
  const auto first = packet(payload, 0);
  const std::size_t data = std::min(payload.size() / 2, first.size() - kHeaderSize - 1);
  write_all(fd_, std::span(first).first(kHeaderSize + data));
}

void PacketChannel::send_unfinished(std::span<const std::uint8_t> payload) {
  for (std::size_t offset = 0; offset < payload.size(); offset += packet_size_ - kHeaderSize) {
    auto out = packet(payload, offset);
    out[1] = 0;
    write_all(fd_, out);
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
