// Scripted misbehaviour for tests: failing, holding or dropping chosen SQL batches, or cutting
// their replies short.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// Where the connection is closed inside the reply of a batch that ran.
enum class ReplyCut {
  None,
  Half,    // inside the first packet
  InRows,  // right after the first row
};

struct BatchFault {
  bool drop = false;
  bool stall = false;  // never answered, not even a cancel: a server that stopped
  ReplyCut cut = ReplyCut::None;
  std::optional<int> fail;  // SQL Server error number
  std::optional<std::chrono::milliseconds> hold;
};

class FaultPlan {
 public:
  void fail_batch(std::uint64_t number, int error);
  void fail_text(std::string text, int error);
  void hold_text(std::string text, std::chrono::milliseconds duration);
  void drop_batch(std::uint64_t number);
  void stall_batch(std::uint64_t number);
  void drop_reply(std::uint64_t number, ReplyCut cut);

  // Counts one received SQL batch (server-wide) and tells what to do with it.
  BatchFault on_batch(std::string_view sql);

 private:
  struct TextFault {
    std::string text;
    int error = 0;
    bool used = false;
  };
  struct Hold {
    std::string text;
    std::chrono::milliseconds duration;
  };
  std::mutex mutex_;
  std::uint64_t batches_ = 0;
  std::vector<std::pair<std::uint64_t, int>> failing_batches_;
  std::vector<TextFault> failing_texts_;
  std::vector<Hold> holds_;
  std::set<std::uint64_t> dropped_batches_;
  std::set<std::uint64_t> stalled_batches_;
  std::map<std::uint64_t, ReplyCut> cut_replies_;
};

}  // namespace standin
