// The progress window.
#include "progress/frmProgressBar.hpp"

#include <commctrl.h>

#include <algorithm>

#include "platform/Win32Ui.hpp"

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMeiryo;

constexpr win32::FormDesign kWindow{"ソルテッカ",    4830,       1245,
                                    {kMeiryo, 9.75}, WS_CAPTION, RGB(255, 255, 255)};

// clang-format off
const ControlDesign kControls[] = {
    {.id = frmProgressBar::lblMsg,       .kind = Kind::Label,       .caption = L"完了までしばらくお待ちください...", .left = 180,  .top = 90,  .width = 3090, .height = 225, .font = {kMeiryo, 8.25}},
    {.id = frmProgressBar::lblProgress,  .kind = Kind::Label,       .caption = L"100%",                             .left = 2100, .top = 390, .width = 1215, .height = 255, .font = {kMeiryo, 9.75}},
    {.id = frmProgressBar::ProgressBar1, .kind = Kind::ProgressBar, .caption = nullptr,                             .left = 120,  .top = 780, .width = 4605, .height = 360},
};
// clang-format on

}  // namespace

frmProgressBar::frmProgressBar() : Form(kWindow, kControls) { ShowModel(); }

void frmProgressBar::ProgressBarProperty(int minimum, int maximum, int value) {
  model_.Set(minimum, maximum, value);
  ShowModel();
}

void frmProgressBar::ProgressBarIncrease() {
  if (model_.Increase()) ShowModel();
}

bool frmProgressBar::OnCloseRequest(win32::CloseReason reason) {
  // The window has no close box; Alt+F4 does not close it either.
  return reason == win32::CloseReason::User;
}

void frmProgressBar::ShowModel() {
  // The common controls' bar needs a range; an empty one is drawn empty.
  const int minimum = static_cast<int>(model_.Minimum());
  const int maximum = std::max(static_cast<int>(model_.Maximum()), minimum + 1);
  SendMessageW(Item(ProgressBar1), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  SendMessageW(Item(ProgressBar1), PBM_SETPOS, static_cast<WPARAM>(model_.Value()), 0);
  SetText(lblProgress, win32::Wide(model_.Text()));
}
