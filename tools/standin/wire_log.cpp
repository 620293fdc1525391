// JSON-lines request log.
#include "wire_log.hpp"

#include <cerrno>
#include <system_error>

namespace standin {

WireLog::WireLog(const std::optional<std::filesystem::path>& path) {
  if (!path) return;
  file_.reset(std::fopen(path->c_str(), "a"));
  if (!file_)
    throw std::system_error(errno, std::generic_category(), "cannot open " + path->string());
}

void WireLog::write(const nlohmann::ordered_json& fields) {
  if (!file_) return;
  std::lock_guard lock(mutex_);
  nlohmann::ordered_json line;
  line["seq"] = ++sequence_;
  for (const auto& [key, value] : fields.items()) line[key] = value;
  // Invalid UTF-8 cannot occur (text is decoded from UTF-16), but never let logging throw.
  const auto text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::fputs(text.c_str(), file_.get());
  std::fputc('\n', file_.get());
  std::fflush(file_.get());
}

}  // namespace standin
