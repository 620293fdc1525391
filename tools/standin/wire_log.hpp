// Appends one JSON object per received request to a file, flushed before the reply is sent,
// so that tests can assert on exactly what a client sent.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace standin {

class WireLog {
 public:
  // Without a path nothing is written.
  explicit WireLog(const std::optional<std::filesystem::path>& path);

  // Adds "seq" in front of the given fields and writes the line.
  void write(const nlohmann::ordered_json& fields);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
  };
  std::mutex mutex_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint64_t sequence_ = 0;
};

}  // namespace standin
