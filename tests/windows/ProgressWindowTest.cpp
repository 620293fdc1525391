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
  // The bar and the text follow the model, whose numbers core/ProgressTest checks.
  window.ProgressBarProperty(0, 3, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(shown(), "33%@1/3");
  window.ProgressBarProperty(0, 0, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(shown(), "0%@0/1");  // an empty bar needs a range of 1 to be drawn empty

  SendMessageW(window.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

}  // namespace
