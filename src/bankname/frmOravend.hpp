// The main window: the bank record before and after the change, the product generations found,
// and the Run and Close buttons. It hosts the update run.
#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <memory>

#include "bankname/UpdateRun.hpp"
#include "progress/frmProgressBar.hpp"
#include "startup/Shared.hpp"

class frmOravend : public QWidget, public basCommon::RunHost {
  Q_OBJECT

 public:
  frmOravend(basCommon::Shared& shared, platform::Ui& ui);
  ~frmOravend() override;

  /// The load handler: fills the window from the control files and the product label. On
  /// failure it reports, ends the program and answers false; the window is then not shown.
  bool Load();

  /// Shows the window centred on the screen, the Close button focused.
  void ShowCentred();

  bool IsRunning = false;

  std::array<QLabel*, 24> lblMsg{};
  QFrame* panel;
  QGroupBox* fmTargetFolder;
  QGroupBox* Frame1;
  std::array<QRadioButton*, 2> optTargetTable{};
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
  /// Created on first use by the run.
  std::unique_ptr<frmProgressBar> progressBar;

  // The run's view of the windows.
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override;
  void EndProgram() override;
  void SetHourglass(bool on) override;
  void SetButtonsEnabled(bool enabled) override;
  void SetIsRunning(bool running) override;
  void ShowProgress() override;
  void HideProgress() override;
  void ProgressBarProperty(int minimum, int maximum, int value) override;
  void ProgressBarIncrease() override;
  void DoEvents() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void runUpdate();
  void closeWindow();
  void chooseScope();
  /// Key down as the window sees it before the focused control; `shift` is 1 Shift, 2 Ctrl,
  /// 4 Alt. Never consumes the key.
  void keyDown(int keyCode, int shift);

  basCommon::Shared& shared_;
  platform::Ui& ui_;
  bool closingByProgram_ = false;
};
