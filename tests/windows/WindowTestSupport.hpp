// Helpers of the window tests, which run in-process under Wine's null graphics driver: input as
// the user gives it, through the program's own message handling, and what a window shows.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <set>
#include <string>

#include "platform/Win32Form.hpp"

namespace windowtest {

/// 0005,みらい銀行,ﾐﾗｲｷﾞﾝｺｳ,0005,新みらい銀行,ｼﾝﾐﾗｲｷﾞﾝｺｳ in code page 932.
inline constexpr const char* kBankRecord =
    "0005,\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3,0005,"
    "\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xBC\xDD\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3\r\n";

/// The Windows account the dialog shows. Every test of the process sets the same values, so
/// nothing is restored.
inline void UseAccount() {
  SetEnvironmentVariableW(L"COMPUTERNAME", L"PC01");
  SetEnvironmentVariableW(L"USERDOMAIN", L"CORP");
  SetEnvironmentVariableW(L"USERNAME", L"user01");
}

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

/// Checks a window laid out at `dpi` against the design it was built from: its client size (at
/// its own DPI), caption and font, and for every row the control's container, place, font,
/// visibility, styles, text box limit and caption, except the captions of `filled`, which the
/// window sets.
void ExpectBuiltAsDesigned(const win32::Form& form, int dpi, const std::set<int>& filled);

}  // namespace windowtest
