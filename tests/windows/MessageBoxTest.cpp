// The program's message boxes, as MessageBoxW shows them: the text, the title as given (an empty
// one too), the icon asked for, and one OK button.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "platform/Win32Form.hpp"
#include "platform/Win32Ui.hpp"
#include "support/TestSupport.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

struct Seen {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  bool icon = false;
};

BOOL CALLBACK Inspect(HWND child, LPARAM data) {
  auto& seen = *reinterpret_cast<Seen*>(data);
  wchar_t kind[32] = {};
  GetClassNameW(child, kind, 32);
  if (std::wstring(kind) == L"Button" && IsWindowVisible(child)) {
    seen.buttons.push_back(windowtest::TextOf(child));
  } else if (std::wstring(kind) == L"Static") {
    if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      seen.icon = seen.icon || (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0));
    } else if (GetWindowTextLengthW(child) > 0) {
      seen.text = windowtest::TextOf(child);
    }
  }
  return TRUE;
}

/// Shows a box and reads it from another thread, then presses its button.
Seen Show(const std::string& text, platform::Icon icon, const std::string& title) {
  Seen seen;
  std::thread reader([&] {
    support::WaitFor([&] {
      const HWND box = windowtest::FindOwnWindow(L"#32770");
      if (box == nullptr) return false;
      seen.title = windowtest::TextOf(box);
      EnumChildWindows(box, Inspect, reinterpret_cast<LPARAM>(&seen));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return true;
    });
  });
  win32::Ui().MsgBox(text, icon, title);
  reader.join();
  return seen;
}

TEST(MessageBoxTest, OneOkButtonWithTheGivenTextIconAndTitle) {
  // Start-up's refusals have no icon; the error boxes of module procedures an empty title.
  const struct {
    const char *text, *title;
    platform::Icon icon;
  } cases[] = {
      {"サーバー名を指定してください。", "サーバー接続設定", platform::Icon::Exclamation},
      {"a\r\nb", "Oravend", platform::Icon::None},
      {"x", "", platform::Icon::Critical},
  };
  for (const auto& c : cases) {
    const Seen seen = Show(c.text, c.icon, c.title);
    EXPECT_EQ(seen.title, c.title);
    EXPECT_EQ(seen.text, c.text);
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"}) << c.text;
    EXPECT_EQ(seen.icon, c.icon != platform::Icon::None) << c.text;
  }
}

}  // namespace
