// Helpers of the window tests.
#include "windows/WindowTestSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>

#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"
#include "support/Scaling.hpp"

namespace windowtest {

void Click(HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  const LPARAM point = MAKELPARAM(area.right / 2, area.bottom / 2);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(control, WM_LBUTTONUP, 0, point);
  win32::DoEvents();
}

void Key(WPARAM key, std::initializer_list<BYTE> held) {
  std::array<BYTE, 256> state{};
  GetKeyboardState(state.data());
  std::array<BYTE, 256> pressed = state;
  for (const BYTE modifier : held) pressed[modifier] = 0x80;
  SetKeyboardState(pressed.data());
  const bool alt = std::find(held.begin(), held.end(), VK_MENU) != held.end();
  const auto scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC));
  const LPARAM down = 1 | scan << 16 | (alt ? 1L << 29 : 0);
  PostMessageW(GetFocus(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
  PostMessageW(GetFocus(), alt ? WM_SYSKEYUP : WM_KEYUP, key, down | 3L << 30);
  win32::DoEvents();
  SetKeyboardState(state.data());
}

RECT PlaceOf(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

COLORREF BackgroundOf(HWND control) {
  const HDC dc = CreateCompatibleDC(nullptr);
  const bool edit =
      IsWindowEnabled(control) && (GetWindowLongPtrW(control, GWL_STYLE) & ES_READONLY) == 0;
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(control), edit ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  DeleteDC(dc);
  LOGBRUSH colour{};
  GetObjectW(brush, sizeof colour, &colour);
  return colour.lbColor;
}

COLORREF PixelOf(HWND window, POINT point) {
  RECT area{};
  GetClientRect(window, &area);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), area.right, -area.bottom, 1, 32, BI_RGB};
  void* bits = nullptr;
  const HDC dc = CreateCompatibleDC(nullptr);
  const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(dc),
               PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  const COLORREF pixel = GetPixel(dc, point.x, point.y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixel;
}

bool HasStyle(HWND window, LONG_PTR style) {
  return (GetWindowLongPtrW(window, GWL_STYLE) & style) == style;
}

HWND FindOwnWindow(const wchar_t* windowClass, const wchar_t* caption) {
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, caption); window != nullptr;
       window = FindWindowExW(nullptr, window, windowClass, caption)) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return win32::Utf8(text);
}

void ExpectBuiltAsDesigned(const win32::Form& form, int dpi, const std::set<int>& filled) {
  const win32::FormDesign& design = form.Design();
  // The figures written down for the designs, not the conversion the windows use.
  const auto pixels = [dpi](int twips) -> LONG {
    const auto figure = support::PixelsOf(twips, dpi);
    EXPECT_TRUE(figure) << "no figure for " << twips << " twips at " << dpi << " dpi";
    return figure.value_or(-1);
  };
  // The frame is measured at the window's own DPI, which a WM_DPICHANGED sent by a test leaves.
  if (dpi == form.Dpi()) {
    RECT client{};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, pixels(design.width));
    EXPECT_EQ(client.bottom, pixels(design.height));
  }
  EXPECT_EQ(TextOf(form.Handle()), design.caption);
  EXPECT_TRUE(HasStyle(form.Handle(), static_cast<LONG_PTR>(design.style)));
  EXPECT_FALSE(GetWindowLongPtrW(form.Handle(), GWL_STYLE) &
               (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  for (const auto& row : form.Controls()) {
    const HWND item = form.Item(row.id);
    ASSERT_NE(item, nullptr) << row.id;
    EXPECT_EQ(GetParent(item), row.parent == 0 ? form.Handle() : form.Item(row.parent)) << row.id;
    const RECT place = PlaceOf(item);
    EXPECT_EQ(
        (std::array{place.left, place.top, place.right - place.left, place.bottom - place.top}),
        (std::array{pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height)}))
        << row.id;
    EXPECT_EQ(HasStyle(item, WS_VISIBLE), row.visible) << row.id;
    EXPECT_TRUE(HasStyle(item, static_cast<LONG_PTR>(row.style))) << row.id;
    if (row.kind != win32::Kind::Panel && row.kind != win32::Kind::ProgressBar) {
      const win32::FontDesign& font = row.font.face == nullptr ? design.font : row.font;
      const LOGFONTW shown = FontOf(item);
      EXPECT_EQ(
          std::tuple(std::wstring(shown.lfFaceName), shown.lfHeight, shown.lfWeight,
                     shown.lfCharSet),
          std::tuple(std::wstring(font.face), support::FontHeightOf(font.points, dpi).value_or(0),
                     font.bold ? FW_BOLD : FW_NORMAL, SHIFTJIS_CHARSET))
          << row.id;
    }
    if (row.kind == win32::Kind::TextBox) {
      EXPECT_EQ(SendMessageW(item, EM_GETLIMITTEXT, 0, 0), row.maxLength) << row.id;
    }
    if (row.caption != nullptr && !filled.contains(row.id)) {
      EXPECT_EQ(TextOf(item), win32::Utf8(row.caption)) << row.id;
    }
  }
}

}  // namespace windowtest
