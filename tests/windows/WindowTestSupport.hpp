// Helpers of the window tests, which run in-process under Wine's null graphics driver: input as
// the user gives it, through the program's own message handling, and what a window shows.
#pragma once

#include <windows.h>

#include <array>
#include <initializer_list>
#include <map>
#include <set>
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

/// A rectangle's left, top, right and bottom, to compare.
inline std::array<LONG, 4> Edges(const RECT& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

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

/// Checks a window against the design it was built from: its client size, caption and font, and
/// for every row the control's container, place (twips at the window's DPI), font, visibility,
/// styles, text box limit and caption, except the captions of `filled`, which the window sets.
void ExpectBuiltAsDesigned(const win32::Form& form, const std::set<int>& filled = {});

}  // namespace windowtest
