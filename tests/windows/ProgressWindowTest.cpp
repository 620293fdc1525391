// The progress window: white, without a close box, a bar that follows the steps, and no close
// by the user. Its layout is checked in ScalingWindowTest, its numbers in core/ProgressTest.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "progress/frmProgressBar.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

TEST(ProgressWindowTest, AWhiteWindowWhoseBarFollowsTheStepsAndThatTheUserCannotClose) {
  frmProgressBar window;
  window.ShowCentred();
  EXPECT_FALSE(windowtest::HasStyle(window.Handle(), WS_SYSMENU));
  EXPECT_EQ(windowtest::BackgroundOf(window.Item(frmProgressBar::lblMsg)), RGB(255, 255, 255));
  EXPECT_EQ(windowtest::PixelOf(window.Handle(), {2, 2}), RGB(255, 255, 255));

  const HWND bar = window.Item(frmProgressBar::ProgressBar1);
  const auto shown = [&] {
    return windowtest::TextOf(window.Item(frmProgressBar::lblProgress)) + "@" +
           std::to_string(SendMessageW(bar, PBM_GETPOS, 0, 0)) + "/" +
           std::to_string(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  };
  window.ProgressBarProperty(0, 5, 0);
  std::vector<std::string> steps{shown()};
  for (int i = 0; i < 6; ++i) {
    window.ProgressBarIncrease();
    steps.push_back(shown());
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"0%@0/5", "20%@1/5", "40%@2/5", "60%@3/5", "80%@4/5",
                                             "100%@5/5", "100%@5/5"}));
  window.ProgressBarProperty(0, 0, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(shown(), "0%@0/1");  // an empty bar needs a range of 1 to be drawn empty

  SendMessageW(window.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

}  // namespace
