// The running-process probe over the platform's process list.
#include "startup/ProcessProbe.hpp"

#include <algorithm>
#include <exception>

#include "platform/Platform.hpp"

namespace basCommon {

bool IsProcessRunning(const std::string& exeName, platform::Ui& ui) {
  try {
    // The list may hold names that differ in letter case: only an exact match counts.
    const auto names = platform::ProcessNames(exeName);
    return std::find(names.begin(), names.end(), exeName) != names.end();
  } catch (const std::exception& e) {
    ui.MsgBox(e.what(), platform::Icon::Critical, platform::AppComments());
    return false;
  }
}

}  // namespace basCommon
