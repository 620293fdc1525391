// Every window as built and at the display scalings an office PC uses (100, 125, 150 and 200 %):
// laid out as designed, and each label holding its whole text. A window gets a scaling as it
// does when moved to a display of that scaling, through WM_DPICHANGED.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "bankname/frmOravend.hpp"
#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"
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

/// Empty when a label holds its whole text: each line unbroken, and text of several lines not
/// reaching below it; else the size the text needs and the label's.
std::string Cut(HWND label) {
  RECT given{};
  GetClientRect(label, &given);
  const std::wstring text = win32::Wide(windowtest::TextOf(label));
  const HDC dc = GetDC(label);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT needed{};
  DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  const bool lines = text.find(L'\n') != std::wstring::npos;
  if (needed.right <= given.right && (!lines || needed.bottom <= given.bottom)) return "";
  return std::to_string(needed.right) + "x" + std::to_string(needed.bottom) + " in " +
         std::to_string(given.right) + "x" + std::to_string(given.bottom);
}

TEST(ScalingWindowTest, EveryWindowIsLaidOutAsDesignedAndEveryLabelHoldsItsText) {
  windowtest::UseAccount();
  support::RecordingUi ui;
  SQLServer settings;
  std::unique_ptr<odbc::Connection> connection;
  const support::TempDir files;
  support::WriteFile(files.Path() / "ORV_BankName", windowtest::kBankRecord);
  basCommon::Shared shared;
  shared.ProgramFolder = files.Path();
  // Every product generation found: the most lines the label ever shows.
  shared.ProductLabel =
      "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nNotara7(ノタラ7A)\r\nNotara4(ノタラ4A,ノタラ4B)\r\n"
      "トリベル\r\n";
  const auto value = [](int index) { return frmOravend::lblMsg0 + index; };

  const struct {
    const char* name;
    std::set<int> filled;  // controls whose captions the window sets
    std::function<std::unique_ptr<win32::Form>()> open;
  } windows[] = {
      {"connection dialog",
       {frmSqlConnect::txtDataSource, frmSqlConnect::txtUserID},
       [&] {
         auto dialog = std::make_unique<frmSqlConnect>(settings, connection, ui);
         dialog->Show();
         return dialog;
       }},
      {"main window",
       {value(6), value(7), value(8), value(10), value(11), value(12), value(13)},
       [&] {
         auto window = std::make_unique<frmOravend>(shared, ui);
         EXPECT_TRUE(window->Load());
         window->Show();
         return window;
       }},
      {"progress window",
       {frmProgressBar::lblProgress},
       [] {
         auto progress = std::make_unique<frmProgressBar>();
         progress->ShowCentred();  // at "100%", its widest text
         return progress;
       }},
  };
  for (const auto& window : windows) {
    for (const int dpi : {96, 120, 144, 192}) {
      SCOPED_TRACE(std::string(window.name) + " at " + std::to_string(dpi) + " dpi");
      const auto form = window.open();
      RECT suggested{};
      GetWindowRect(form->Handle(), &suggested);
      if (dpi != form->Dpi()) {
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
      }
      win32::DoEvents();
      windowtest::ExpectBuiltAsDesigned(*form, dpi, window.filled);
      std::vector<HWND> labels;
      EnumChildWindows(form->Handle(), &CollectLabel, reinterpret_cast<LPARAM>(&labels));
      EXPECT_GE(labels.size(), 2u);
      for (const HWND label : labels) {
        EXPECT_EQ(Cut(label), "") << windowtest::TextOf(label);
      }
    }
  }
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
