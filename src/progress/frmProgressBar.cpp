// The progress window.
#include "progress/frmProgressBar.hpp"

#include <commctrl.h>

#include <algorithm>

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMeiryo;

constexpr win32::FormDesign kWindow{L"ソルテッカ",   4830,       1245,
                                    {kMeiryo, 9.75}, WS_CAPTION, RGB(255, 255, 255)};

const ControlDesign kControls[] = {
    {frmProgressBar::lblMsg,
     Kind::Label,
     0,
     L"完了までしばらくお待ちください...",
     180,
     90,
     3090,
     225,
     {kMeiryo, 8.25}},
    {frmProgressBar::lblProgress, Kind::Label, 0, L"100%", 2100, 390, 1215, 255, {kMeiryo, 9.75}},
    {frmProgressBar::ProgressBar1, Kind::ProgressBar, 0, nullptr, 120, 780, 4605, 360},
};

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
