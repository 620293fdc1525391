// The modeless progress window of the update run.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "progress/Progress.hpp"

class frmProgressBar : public QWidget {
  Q_OBJECT

 public:
  frmProgressBar();

  void ProgressBarProperty(int minimum, int maximum, int value);
  void ProgressBarIncrease();

  /// Shows the window centred on the screen.
  void ShowCentred();

  QLabel* lblMsg;
  QLabel* lblProgress;
  QProgressBar* ProgressBar1;

 private:
  void ShowModel();
  progress::ProgressModel model_;
};
