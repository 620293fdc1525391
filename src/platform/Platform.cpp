// The parts of the platform layer that the standard library already makes portable.
#include "platform/Platform.hpp"

namespace platform {

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace platform
