// Whether a program with a given executable file name is running on this computer.
#pragma once

#include <string>

#include "platform/Ui.hpp"

namespace basCommon {

/// True exactly when a process whose executable file name equals `exeName` (letter case
/// included) runs. When the process list cannot be read, tells the user why and answers false.
bool IsProcessRunning(const std::string& exeName, platform::Ui& ui);

}  // namespace basCommon
