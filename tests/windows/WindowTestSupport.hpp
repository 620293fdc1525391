// Helpers of the window tests, which run in-process under Wine's null graphics driver: input as
// the user gives it, through the program's own message handling, and what a window shows.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

#include "platform/Win32Form.hpp"

namespace windowtest {

/// Environment variables of the process, set for one test and restored after it.
class Environment {
 public:
  explicit Environment(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values);
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

 private:
  std::map<std::wstring, std::wstring> saved_;
};

/// Lets the pending messages run, as the program's own loop runs them.
void Pump();

/// A left click in the middle of a control, delivered as the mouse delivers it.
void Click(HWND control);

/// A key pressed and released on the focused control while `held` (VK_SHIFT, VK_CONTROL,
/// VK_MENU) are down.
void Key(WPARAM key, std::initializer_list<BYTE> held = {});

/// A control's place in its container's client area, in pixels.
RECT PlaceOf(HWND control);

/// The font a window draws its text with.
LOGFONTW FontOf(HWND window);

/// The colour a control's background is drawn in, as its container paints it.
COLORREF BackgroundOf(HWND control);

/// The client area's pixel at `point`, as the window draws itself.
COLORREF PixelOf(HWND window, POINT point);

bool HasStyle(HWND window, LONG_PTR style);

/// A top-level window of this process (the tests of other processes share the desktop) with
/// the class and, unless null, the caption; found without sending it a message.
HWND FindOwnWindow(const wchar_t* windowClass, const wchar_t* caption = nullptr);

/// Text of a window as UTF-8.
std::string TextOf(HWND window);

}  // namespace windowtest
