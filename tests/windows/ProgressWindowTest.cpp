// The progress window: its design, its two operations, and that the user cannot close it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "platform/Twips.hpp"
#include "progress/frmProgressBar.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

using windowtest::TextOf;

TEST(ProgressWindowTest, IsLaidOutAsDesignedOnWhiteWithoutACloseBox) {
  frmProgressBar window;
  window.ShowCentred();
  windowtest::ExpectBuiltAsDesigned(window, {frmProgressBar::lblProgress});
  EXPECT_FALSE(windowtest::HasStyle(window.Handle(), WS_SYSMENU));
  EXPECT_EQ(windowtest::BackgroundOf(window.Item(frmProgressBar::lblMsg)), RGB(255, 255, 255));
  EXPECT_EQ(windowtest::PixelOf(window.Handle(), {2, 2}), RGB(255, 255, 255));
}

TEST(ProgressWindowTest, AdvancesStepByStepToAFullBarAndNoFurther) {
  frmProgressBar window;
  const HWND bar = window.Item(frmProgressBar::ProgressBar1);
  window.ProgressBarProperty(0, 5, 0);
  EXPECT_EQ(TextOf(window.Item(frmProgressBar::lblProgress)), "0%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 5);
  std::vector<std::string> shown;
  for (int i = 0; i < 6; ++i) {
    window.ProgressBarIncrease();
    shown.push_back(TextOf(window.Item(frmProgressBar::lblProgress)) + "@" +
                    std::to_string(SendMessageW(bar, PBM_GETPOS, 0, 0)));
  }
  EXPECT_EQ(shown,
            (std::vector<std::string>{"20%@1", "40%@2", "60%@3", "80%@4", "100%@5", "100%@5"}));
  // An empty range is drawn empty and never advances; 1 of 8 rounds to even.
  window.ProgressBarProperty(0, 0, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(TextOf(window.Item(frmProgressBar::lblProgress)), "0%");
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
  window.ProgressBarProperty(0, 8, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(TextOf(window.Item(frmProgressBar::lblProgress)), "12%");
}

TEST(ProgressWindowTest, TheUserCannotCloseIt) {
  frmProgressBar window;
  window.ShowCentred();
  SendMessageW(window.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

}  // namespace
