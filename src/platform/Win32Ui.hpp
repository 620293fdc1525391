// What the core asks of the user interface, done with the Windows API: message boxes and the end
// of the program; and the text conversion between UTF-8 and the API's wide text.
#pragma once

#include <string>

#include "platform/Ui.hpp"

namespace win32 {

/// Message boxes with MessageBoxW, one OK button; the end of the program with ExitProcess.
class Ui : public platform::Ui {
 public:
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override;
  [[noreturn]] void EndProgram() override;
};

/// UTF-8 to the wide text of the Windows API, and back.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace win32
