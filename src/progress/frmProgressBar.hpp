// The modeless progress window of the update run: a fixed message, a bar and a percentage;
// nothing the user can operate, and no close box.
#pragma once

#include "platform/Win32Form.hpp"
#include "progress/Progress.hpp"

class frmProgressBar : public win32::Form {
 public:
  enum Id { lblMsg = 101, lblProgress, ProgressBar1 };

  frmProgressBar();

  /// Sets the bar's minimum, maximum and value; the text starts again at "0%".
  void ProgressBarProperty(int minimum, int maximum, int value);
  /// Advances the bar by one step and shows the new percentage, unless it is full.
  void ProgressBarIncrease();

 private:
  bool OnCloseRequest(win32::CloseReason reason) override;
  void ShowModel();

  progress::ProgressModel model_;
};
