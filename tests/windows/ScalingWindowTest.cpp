// Every window at the display scalings an office PC uses (100, 125, 150 and 200 %): each label
// holds its whole text. A window gets a scaling as it does when moved to a display of that
// scaling, through WM_DPICHANGED.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bankname/frmOravend.hpp"
#include "platform/Twips.hpp"
#include "progress/frmProgressBar.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestSupport.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

BOOL CALLBACK CollectLabel(HWND child, LPARAM labels) {
  wchar_t kind[16] = {};
  GetClassNameW(child, kind, 16);
  if (_wcsicmp(kind, L"Static") == 0 && IsWindowVisible(child)) {
    reinterpret_cast<std::vector<HWND>*>(labels)->push_back(child);
  }
  return TRUE;
}

/// Where a label's text is cut: a line wider than the label, or, for text of several lines,
/// lines that reach below it; empty when the whole text shows.
std::string Cut(HWND label) {
  RECT client{};
  GetClientRect(label, &client);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(label, text.data(), static_cast<int>(text.size()))));
  const HDC dc = GetDC(label);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  std::string cut;
  int lines = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(L"\r\n", start), text.size());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data() + start, static_cast<int>(end - start), &size);
    if (size.cx > client.right) {
      cut += "line " + std::to_string(lines + 1) + " is " + std::to_string(size.cx) +
             " pixels wide in " + std::to_string(client.right) + "; ";
    }
    ++lines;
    start = end + 2;
  }
  if (lines > 1) {
    RECT drawn{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), -1, &drawn, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (drawn.bottom > client.bottom) {
      cut += "the lines are " + std::to_string(drawn.bottom) + " pixels high in " +
             std::to_string(client.bottom);
    }
  }
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return cut;
}

TEST(ScalingWindowTest, EveryLabelHoldsItsTextAtEachScaling) {
  const windowtest::Environment environment{
      {L"COMPUTERNAME", L"PC01"}, {L"USERDOMAIN", L"CORP"}, {L"USERNAME", L"user01"}};
  support::RecordingUi ui;
  SQLServer settings;
  std::unique_ptr<odbc::Connection> connection;
  const support::TempDir files;
  // 0005,みらい銀行,ﾐﾗｲｷﾞﾝｺｳ,0005,新みらい銀行,ｼﾝﾐﾗｲｷﾞﾝｺｳ in code page 932.
  support::WriteFile(files.Path() / "ORV_BankName",
                     "0005,\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xD0\xD7\xB2\xB7\xDE\xDD\xBA"
                     "\xB3,0005,\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xBC\xDD\xD0\xD7"
                     "\xB2\xB7\xDE\xDD\xBA\xB3\r\n");
  basCommon::Shared shared;
  shared.ProgramFolder = files.Path();
  // Every product generation found: the most lines the label ever shows.
  shared.ProductLabel =
      "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nNotara7(ノタラ7A)\r\nNotara4(ノタラ4A,ノタラ4B)\r\n"
      "トリベル\r\n";

  const struct {
    const char* name;
    int control, width;  // a control and its width in twips
    std::function<std::unique_ptr<win32::Form>()> open;
  } windows[] = {
      {"connection dialog", frmSqlConnect::Label0, 1200,
       [&] {
         auto dialog = std::make_unique<frmSqlConnect>(settings, connection, ui);
         dialog->Show();
         return dialog;
       }},
      {"main window", frmOravend::lblMsg0 + 17, 585,
       [&] {
         auto window = std::make_unique<frmOravend>(shared, ui);
         EXPECT_TRUE(window->Load());
         window->Show();
         return window;
       }},
      {"progress window", frmProgressBar::lblMsg, 3090,
       [] {
         auto progress = std::make_unique<frmProgressBar>();
         progress->ShowCentred();  // at "100%", its widest text
         return progress;
       }},
  };
  for (const auto& window : windows) {
    for (const int dpi : {96, 120, 144, 192}) {
      const auto form = window.open();
      RECT suggested{};
      GetWindowRect(form->Handle(), &suggested);
      SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
      windowtest::Pump();
      // Laid out anew at that scaling.
      const RECT place = windowtest::PlaceOf(form->Item(window.control));
      EXPECT_EQ(place.right - place.left, platform::Twips(window.width, dpi))
          << window.name << ", " << dpi;
      std::vector<HWND> labels;
      EnumChildWindows(form->Handle(), &CollectLabel, reinterpret_cast<LPARAM>(&labels));
      EXPECT_GE(labels.size(), 2u) << window.name;
      for (const HWND label : labels) {
        EXPECT_EQ(Cut(label), "") << window.name << " at " << dpi << " dpi: \""
                                  << windowtest::TextOf(label) << "\"";
      }
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
