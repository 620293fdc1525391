// Command line of oravend-standin.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "collations.hpp"
#include "posix_io.hpp"

namespace standin {

struct LoginAccount {
  std::string name;
  std::string password;
};

struct Options {
  Endpoint listen{"127.0.0.1", 0};
  std::vector<LoginAccount> logins;
  std::optional<std::string> instance;
  std::optional<std::filesystem::path> data_dir;
  std::optional<std::filesystem::path> seed;
  std::optional<std::filesystem::path> wire_log;
  std::optional<std::filesystem::path> ready_file;
  bool exit_with_parent = false;
  std::optional<std::chrono::seconds> exit_when_idle;
  std::optional<std::filesystem::path> stop_file;
  std::vector<std::pair<std::uint64_t, int>> fail_batches;
  std::vector<std::pair<std::string, int>> fail_texts;
  std::vector<std::pair<std::string, std::chrono::milliseconds>> holds;
  std::vector<std::uint64_t> drop_batches;
  std::vector<std::uint64_t> stalled_batches;
  std::vector<std::uint64_t> drop_replies;
  std::vector<std::uint64_t> drops_in_rows;
  std::chrono::nanoseconds reply_delay{0};
  bool require_encryption = false;
  std::vector<std::string> restoring_databases;
  std::string collation{collations::kDefault};
  bool help = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws UsageError with a one-line description of what is wrong.
Options parse_options(int argc, const char* const* argv);
const char* usage_text();

}  // namespace standin
