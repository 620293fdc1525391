// What running a batch produces, independent of the wire format: result sets, DONE records,
// messages and state changes. The TDS connection turns them into tokens; the seed runner
// only watches for errors.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "sql_errors.hpp"
#include "translator.hpp"

namespace standin {

using Value = std::variant<std::monostate, std::int64_t, std::string>;

// SQL Server's CurCmd values for the DONE token.
enum class Command : std::uint16_t {
  None = 0,
  Select = 0xC1,
  Insert = 0xC3,
  Delete = 0xC4,
  Update = 0xC5,
};

struct Done {
  bool has_count = false;
  std::uint64_t count = 0;
  bool error = false;
  Command command = Command::None;
};

class ReplySink {
 public:
  virtual ~ReplySink() = default;

  virtual void columns(const std::vector<ResultColumn>& columns) = 0;
  virtual void row(const std::vector<Value>& values) = 0;
  virtual void done(const Done& done) = 0;
  virtual void message(const ServerMessage& message, bool is_error, int line) = 0;
  virtual void database_changed(const std::string& old_name, const std::string& new_name) = 0;
  virtual void transaction_began(std::uint64_t descriptor) = 0;
  virtual void transaction_ended(bool committed, std::uint64_t descriptor) = 0;
  // Lets time pass (WAITFOR); false when the request was cancelled meanwhile.
  virtual bool wait(std::chrono::milliseconds duration) = 0;
};

}  // namespace standin
