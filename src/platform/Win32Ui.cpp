// Message boxes, the end of the program and text conversion.
#include "platform/Win32Ui.hpp"

#include <windows.h>

#include "platform/Platform.hpp"

namespace win32 {

std::wstring Wide(const std::string& utf8) {
  const auto text = platform::ToUtf16(utf8);
  return {text.begin(), text.end()};
}

std::string Utf8(const std::wstring& wide) {
  return platform::ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

void Ui::MsgBox(const std::string& text, platform::Icon icon, const std::string& title) {
  UINT type = MB_OK;
  switch (icon) {
    case platform::Icon::None:
      break;
    case platform::Icon::Exclamation:
      type |= MB_ICONEXCLAMATION;
      break;
    case platform::Icon::Information:
      type |= MB_ICONINFORMATION;
      break;
    case platform::Icon::Critical:
      type |= MB_ICONERROR;
      break;
  }
  const HWND owner = GetActiveWindow();
  if (owner == nullptr) type |= MB_TASKMODAL;
  // An empty title stays empty: only a null one would read "Error".
  MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), type);
}

void Ui::EndProgram() { ExitProcess(0); }

}  // namespace win32
