// Seed script splitting and execution.
#include "seed.hpp"

#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "text.hpp"

namespace standin {
namespace {

// Remembers the first error of a batch; everything else is dropped.
class SeedSink final : public ReplySink {
 public:
  void columns(const std::vector<ResultColumn>&) override {}
  void row(const std::vector<Value>&) override {}
  void done(const Done&) override {}
  void message(const ServerMessage& message, bool is_error, int line) override {
    if (is_error && message.severity > 10 && !error) {
      error = message;
      error_line = line;
    }
  }
  void database_changed(const std::string&, const std::string&) override {}
  void transaction_began(std::uint64_t) override {}
  void transaction_ended(bool, std::uint64_t) override {}
  bool wait(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
    return true;
  }

  std::optional<ServerMessage> error;
  int error_line = 0;
};

bool is_go_line(std::string_view line) {
  return text::ascii_upper(text::trim_blanks(line)) == "GO";
}

}  // namespace

std::vector<ScriptBatch> split_script(std::string_view script) {
  if (script.substr(0, 3) == "\xEF\xBB\xBF") script.remove_prefix(3);
  std::vector<ScriptBatch> batches;
  ScriptBatch current;
  int line_number = 1;
  std::size_t start = 0;
  auto flush = [&](int next_line) {
    if (!text::trim_blanks(current.sql).empty()) batches.push_back(current);
    current = ScriptBatch{{}, next_line};
  };
  while (start <= script.size()) {
    auto end = script.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = script.size();
    const auto line = script.substr(start, end - start);
    if (is_go_line(line)) {
      flush(line_number + 1);
    } else {
      current.sql.append(line);
      if (!last) current.sql += '\n';
    }
    ++line_number;
    if (last) break;
    start = end + 1;
  }
  flush(line_number);
  return batches;
}

void run_seed(const std::filesystem::path& file, const EngineSettings& settings) {
  std::ifstream input(file, std::ios::binary);
  if (!input) throw SeedError("seed " + file.string() + ": cannot be read");
  std::ostringstream content;
  content << input.rdbuf();
  EngineSession session(settings);
  const auto batches = split_script(content.str());
  for (std::size_t i = 0; i < batches.size(); ++i) {
    SeedSink sink;
    session.run_batch(batches[i].sql, sink);
    if (sink.error) {
      const auto& error = *sink.error;
      throw SeedError(
          "seed " + file.string() + ": batch " + std::to_string(i + 1) + " (script line " +
          std::to_string(batches[i].first_line + sink.error_line - 1) + ") failed: Msg " +
          std::to_string(error.number) + ", Level " + std::to_string(error.severity) + ", State " +
          std::to_string(error.state) + ": " + error.text);
    }
  }
}

}  // namespace standin
