// TDS packet framing: reads whole request messages (reassembling multi-packet requests) and
// sends replies split at the negotiated packet size with EOM on the last packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace standin::tds {

enum class PacketType : std::uint8_t {
  SqlBatch = 0x01,
  Rpc = 0x03,
  Reply = 0x04,
  Attention = 0x06,
  TransactionManager = 0x0E,
  Login7 = 0x10,
  PreLogin = 0x12,
};

struct Message {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> payload;
};

class PacketChannel {
 public:
  PacketChannel(int fd, std::uint16_t spid) : fd_(fd), spid_(spid) {}

  // One whole message; nullopt when the client closed the connection between messages.
  std::optional<Message> read();
  // Sends a reply message; the payload must not be empty.
  void send(std::span<const std::uint8_t> payload);
  // Sends the header of the message's first packet and about half of the message, always less
  // than that packet and at least one byte of it: a reply cut off in the middle.
  void send_partial(std::span<const std::uint8_t> payload);
  // Sends payload in whole packets none of which ends the message: the client has read every
  // token when the connection goes.
  void send_unfinished(std::span<const std::uint8_t> payload);

  int fd() const noexcept { return fd_; }

 private:
  std::vector<std::uint8_t> packet(std::span<const std::uint8_t> payload, std::size_t offset);

  int fd_;
  std::uint16_t spid_;
  std::size_t packet_size_ = 4096;
  std::uint8_t packet_id_ = 1;
};

// Little-endian writers shared by the token builders.
void put_u8(std::vector<std::uint8_t>& out, std::uint32_t value);
void put_u16(std::vector<std::uint8_t>& out, std::uint32_t value);
void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value);
void put_u64(std::vector<std::uint8_t>& out, std::uint64_t value);
std::uint16_t get_u16(std::span<const std::uint8_t> data, std::size_t offset);
std::uint32_t get_u32(std::span<const std::uint8_t> data, std::size_t offset);

}  // namespace standin::tds
