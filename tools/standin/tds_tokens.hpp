// Builds the token stream of a reply message (DONE, ERROR/INFO, ENVCHANGE, LOGINACK,
// COLMETADATA, ROW) for the TDS version of the connection.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reply_sink.hpp"
#include "sql_errors.hpp"

namespace standin::tds {

inline constexpr std::uint16_t kDoneMore = 0x0001;
inline constexpr std::uint16_t kDoneError = 0x0002;
inline constexpr std::uint16_t kDoneCount = 0x0010;
inline constexpr std::uint16_t kDoneAttention = 0x0020;

inline constexpr std::uint8_t kEnvDatabase = 1;
inline constexpr std::uint8_t kEnvLanguage = 2;
inline constexpr std::uint8_t kEnvPacketSize = 4;
inline constexpr std::uint8_t kEnvCollation = 7;
inline constexpr std::uint8_t kEnvBeginTransaction = 8;
inline constexpr std::uint8_t kEnvCommitTransaction = 9;
inline constexpr std::uint8_t kEnvRollbackTransaction = 10;

// Japanese_CI_AS: LCID 0x0411, IgnoreCase + IgnoreKana + IgnoreWidth, sort id 0.
inline constexpr std::uint8_t kCollation[5] = {0x11, 0x04, 0xD0, 0x00, 0x00};

// TDS 7.2 and later carry 8-byte row counts, 4-byte line numbers and 4-byte user types.
bool is_tds72_or_later(std::uint32_t tds_version);

class TokenWriter {
 public:
  explicit TokenWriter(std::uint32_t tds_version) : modern_(is_tds72_or_later(tds_version)) {}

  void done(std::uint16_t status, std::uint16_t command, std::uint64_t rows);
  void message(const ServerMessage& message, bool is_error, std::string_view server, int line);
  void env_string(std::uint8_t type, std::string_view new_value, std::string_view old_value);
  void env_bytes(std::uint8_t type, std::span<const std::uint8_t> new_value,
                 std::span<const std::uint8_t> old_value);
  void login_ack(std::uint32_t tds_version);
  void column_metadata(const std::vector<ResultColumn>& columns);
  void row(const std::vector<ResultColumn>& columns, const std::vector<Value>& values);

  // Bytes written since the last finish().
  std::size_t size() const noexcept { return buffer_.size(); }

  // Ends the stream with a DONE if needed and sets DONE_MORE on every DONE but the last.
  std::vector<std::uint8_t> finish();

 private:
  void b_varchar(std::string_view text);
  void us_varchar(std::string_view text);

  bool modern_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::size_t> done_offsets_;
};

}  // namespace standin::tds
