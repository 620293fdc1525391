// The main window: the bank record before and after the change, the product generations found,
// and the Run and Close buttons. It hosts the update run.
#pragma once

#include <memory>

#include "bankname/Shared.hpp"
#include "bankname/UpdateRun.hpp"
#include "platform/Win32Form.hpp"
#include "progress/frmProgressBar.hpp"

class frmOravend : public win32::Form, public basCommon::RunHost {
 public:
  /// Control ids; lblMsg(i) is lblMsg0 + i and optTargetTable(i) is optTargetTable0 + i.
  enum Id {
    cmdCancel = 101,
    cmdOK,
    panel,  // the picture-box panel, named like the window in the design
    fmTargetFolder,
    Frame1,
    optTargetTable0,
    lblMsg0 = optTargetTable0 + 2,
  };

  frmOravend(basCommon::Shared& shared, platform::Ui& ui);

  /// The load handler: fills the window from the control files and the product label. On
  /// failure it reports, ends the program and answers false; the window is then not shown.
  bool Load();
  /// Shows the window centred on the screen, the Close button focused.
  void Show();

  bool IsRunning = false;

  /// Created on first use by the run.
  frmProgressBar* ProgressWindow() const { return progress_.get(); }

  // The run's view of the windows.
  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override;
  void EndProgram() override;
  void SetBusy(bool busy) override;
  void ShowBankRecord(const basCommon::BankRecord& bank) override;
  void ShowProgress() override;
  void HideProgress() override;
  void ProgressBarProperty(int minimum, int maximum, int value) override;
  void ProgressBarIncrease() override;
  void DoEvents() override;

 private:
  void OnCommand(int id, WORD code) override;
  bool OnCloseRequest(win32::CloseReason reason) override;
  bool PreTranslate(const MSG& message) override;

  /// Key down as the window sees it before the focused control; `shift` is 1 Shift, 2 Ctrl,
  /// 4 Alt. Never consumes the key.
  void KeyDown(WPARAM keyCode, int shift);
  void RunUpdate();
  void ChooseScope();
  void SetButtonsEnabled(bool enabled);

  basCommon::Shared& shared_;
  platform::Ui& ui_;
  /// The record the window shows: what a run writes.
  basCommon::BankRecord bank_;
  std::unique_ptr<frmProgressBar> progress_;
  HWND focusedButton_ = nullptr;
};
