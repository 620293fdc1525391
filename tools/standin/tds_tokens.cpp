// Token encodings as MS-TDS lays them out.
#include "tds_tokens.hpp"

#include <algorithm>
#include <stdexcept>

#include "tds_packet.hpp"
#include "text.hpp"

namespace standin::tds {
namespace {

constexpr std::uint8_t kTokenDone = 0xFD;
constexpr std::uint8_t kTokenError = 0xAA;
constexpr std::uint8_t kTokenInfo = 0xAB;
constexpr std::uint8_t kTokenEnvChange = 0xE3;
constexpr std::uint8_t kTokenLoginAck = 0xAD;
constexpr std::uint8_t kTokenColMetadata = 0x81;
constexpr std::uint8_t kTokenRow = 0xD1;

constexpr std::uint8_t kTypeIntN = 0x26;
constexpr std::uint8_t kTypeBitN = 0x68;
constexpr std::uint8_t kTypeNVarChar = 0xE7;
constexpr std::size_t kMaxNVarCharBytes = 8000;

std::vector<std::uint8_t> utf16(std::string_view text, std::size_t max_units) {
  std::vector<std::uint8_t> out;
  text::append_utf16le(out, text);
  if (out.size() > 2 * max_units) {
    out.resize(2 * max_units);
    // Do not leave half of a surrogate pair behind.
    const auto last = static_cast<std::uint16_t>(out[out.size() - 2] | out.back() << 8);
    if (last >= 0xD800 && last <= 0xDBFF) out.resize(out.size() - 2);
  }
  return out;
}

std::uint8_t integer_size(TypeKind kind) {
  switch (kind) {
    case TypeKind::TinyInt:
      return 1;
    case TypeKind::SmallInt:
      return 2;
    case TypeKind::BigInt:
      return 8;
    default:
      return 4;
  }
}

std::size_t nvarchar_bytes(const SqlType& type) {
  if (type.length < 0) return kMaxNVarCharBytes;
  return std::min<std::size_t>(kMaxNVarCharBytes,
                               2 * static_cast<std::size_t>(std::max(type.length, 1)));
}

}  // namespace

bool is_tds72_or_later(std::uint32_t tds_version) { return tds_version >= 0x72000000; }

void TokenWriter::b_varchar(std::string_view text) {
  const auto bytes = utf16(text, 255);
  put_u8(buffer_, static_cast<std::uint32_t>(bytes.size() / 2));
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void TokenWriter::us_varchar(std::string_view text) {
  const auto bytes = utf16(text, 65535);
  put_u16(buffer_, static_cast<std::uint32_t>(bytes.size() / 2));
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void TokenWriter::done(std::uint16_t status, std::uint16_t command, std::uint64_t rows) {
  done_offsets_.push_back(buffer_.size());
  put_u8(buffer_, kTokenDone);
  put_u16(buffer_, status);
  put_u16(buffer_, command);
  if (modern_)
    put_u64(buffer_, rows);
  else
    put_u32(buffer_, static_cast<std::uint32_t>(rows));
}

void TokenWriter::message(const ServerMessage& message, bool is_error, std::string_view server,
                          int line) {
  put_u8(buffer_, is_error ? kTokenError : kTokenInfo);
  const auto length_at = buffer_.size();
  put_u16(buffer_, 0);
  put_u32(buffer_, static_cast<std::uint32_t>(message.number));
  put_u8(buffer_, static_cast<std::uint32_t>(message.state));
  put_u8(buffer_, static_cast<std::uint32_t>(message.severity));
  us_varchar(message.text);
  b_varchar(server);
  b_varchar("");
  if (modern_)
    put_u32(buffer_, static_cast<std::uint32_t>(line));
  else
    put_u16(buffer_, static_cast<std::uint32_t>(line));
  const auto length = buffer_.size() - length_at - 2;
  buffer_[length_at] = static_cast<std::uint8_t>(length & 0xFF);
  buffer_[length_at + 1] = static_cast<std::uint8_t>(length >> 8);
}

void TokenWriter::env_string(std::uint8_t type, std::string_view new_value,
                             std::string_view old_value) {
  std::vector<std::uint8_t> body;
  body.push_back(type);
  for (const auto value : {new_value, old_value}) {
    const auto bytes = utf16(value, 255);
    body.push_back(static_cast<std::uint8_t>(bytes.size() / 2));
    body.insert(body.end(), bytes.begin(), bytes.end());
  }
  put_u8(buffer_, kTokenEnvChange);
  put_u16(buffer_, static_cast<std::uint32_t>(body.size()));
  buffer_.insert(buffer_.end(), body.begin(), body.end());
}

void TokenWriter::env_bytes(std::uint8_t type, std::span<const std::uint8_t> new_value,
                            std::span<const std::uint8_t> old_value) {
  put_u8(buffer_, kTokenEnvChange);
  put_u16(buffer_, static_cast<std::uint32_t>(3 + new_value.size() + old_value.size()));
  put_u8(buffer_, type);
  put_u8(buffer_, static_cast<std::uint32_t>(new_value.size()));
  buffer_.insert(buffer_.end(), new_value.begin(), new_value.end());
  put_u8(buffer_, static_cast<std::uint32_t>(old_value.size()));
  buffer_.insert(buffer_.end(), old_value.begin(), old_value.end());
}

void TokenWriter::login_ack(std::uint32_t tds_version) {
  const auto name = utf16("Microsoft SQL Server", 255);
  put_u8(buffer_, kTokenLoginAck);
  put_u16(buffer_, static_cast<std::uint32_t>(1 + 4 + 1 + name.size() + 4));
  put_u8(buffer_, 1);
  // The version is big-endian here, unlike in LOGIN7.
  for (int shift = 24; shift >= 0; shift -= 8) put_u8(buffer_, tds_version >> shift);
  put_u8(buffer_, static_cast<std::uint32_t>(name.size() / 2));
  buffer_.insert(buffer_.end(), name.begin(), name.end());
  static constexpr std::uint8_t kProgramVersion[] = {0x10, 0x00, 0x10, 0x7F};
  buffer_.insert(buffer_.end(), std::begin(kProgramVersion), std::end(kProgramVersion));
}

void TokenWriter::column_metadata(const std::vector<ResultColumn>& columns) {
  put_u8(buffer_, kTokenColMetadata);
  put_u16(buffer_, static_cast<std::uint32_t>(columns.size()));
  for (const auto& column : columns) {
    if (modern_)
      put_u32(buffer_, 0);
    else
      put_u16(buffer_, 0);
    put_u16(buffer_, 0x0001);  // nullable
    const auto& type = column.type;
    if (type.is_character()) {
      put_u8(buffer_, kTypeNVarChar);
      put_u16(buffer_, static_cast<std::uint32_t>(nvarchar_bytes(type)));
      buffer_.insert(buffer_.end(), std::begin(kCollation), std::end(kCollation));
    } else if (type.kind == TypeKind::Bit) {
      put_u8(buffer_, kTypeBitN);
      put_u8(buffer_, 1);
    } else {
      put_u8(buffer_, kTypeIntN);
      put_u8(buffer_, integer_size(type.kind));
    }
    b_varchar(column.name);
  }
}

void TokenWriter::row(const std::vector<ResultColumn>& columns, const std::vector<Value>& values) {
  put_u8(buffer_, kTokenRow);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const auto& type = columns[i].type;
    const auto& value = values[i];
    const bool null = std::holds_alternative<std::monostate>(value);
    if (type.is_character()) {
      if (null) {
        put_u16(buffer_, 0xFFFF);
        continue;
      }
      std::string text;
      if (const auto* s = std::get_if<std::string>(&value))
        text = *s;
      else
        text = std::to_string(std::get<std::int64_t>(value));
      const auto bytes = utf16(text, nvarchar_bytes(type) / 2);
      put_u16(buffer_, static_cast<std::uint32_t>(bytes.size()));
      buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
      continue;
    }
    if (null) {
      put_u8(buffer_, 0);
      continue;
    }
    const auto bits = static_cast<std::uint64_t>(std::get<std::int64_t>(value));
    if (type.kind == TypeKind::Bit) {
      put_u8(buffer_, 1);
      put_u8(buffer_, bits != 0 ? 1 : 0);
      continue;
    }
    const auto size = integer_size(type.kind);
    put_u8(buffer_, size);
    for (std::uint8_t b = 0; b < size; ++b)
      put_u8(buffer_, static_cast<std::uint32_t>(bits >> (8 * b)));
  }
}

std::vector<std::uint8_t> TokenWriter::finish() {
  const std::size_t done_size = modern_ ? 13 : 9;
  if (done_offsets_.empty() || done_offsets_.back() + done_size != buffer_.size()) done(0, 0, 0);
  for (std::size_t i = 0; i < done_offsets_.size(); ++i) {
    auto& status = buffer_[done_offsets_[i] + 1];
    if (i + 1 < done_offsets_.size())
      status = static_cast<std::uint8_t>(status | kDoneMore);
    else
      status = static_cast<std::uint8_t>(status & ~kDoneMore);
  }
  done_offsets_.clear();
  auto out = std::move(buffer_);
  buffer_.clear();
  return out;
}

}  // namespace standin::tds
