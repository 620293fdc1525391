// The main window.
#include "bankname/frmOravend.hpp"

#include "bankname/ControlFiles.hpp"
#include "bankname/MainWindow.hpp"

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMeiryo;
using win32::kMsGothic;

constexpr win32::FormDesign kWindow{
    L"オラベンド", 8385, 6135, {kMeiryo, 9.75}, WS_CAPTION | WS_SYSMENU};

constexpr int Label(int index) { return frmOravend::lblMsg0 + index; }
constexpr int kPanel = frmOravend::panel;

// In focus order: Close, Run, the panel (which takes the focus itself) and its contents, then
// the window's labels.
const ControlDesign kControls[] = {
    {frmOravend::cmdCancel,
     Kind::PushButton,
     0,
     L"閉じる(&X)",
     6345,
     5640,
     1335,
     375,
     {kMsGothic, 9}},
    {frmOravend::cmdOK, Kind::PushButton, 0, L"実行(&R)", 3540, 5640, 1335, 375, {kMeiryo, 9}},
    {kPanel, Kind::Panel, 0, nullptr, 150, 1215, 8070, 4290, {}, WS_TABSTOP},
    {Label(2),
     Kind::Label,
     kPanel,
     L"名称・カナは下記のように変更されます。(コードは変更されません。)",
     165,
     75,
     7560,
     270,
     {kMeiryo, 9}},
    {Label(3), Kind::Label, kPanel, L"コード", 270, 375, 600, 225},
    {Label(18), Kind::Label, kPanel, L":", 945, 375, 195, 225},
    {Label(6), Kind::Label, kPanel, L"0005", 1140, 375, 750, 285},
    {Label(4), Kind::Label, kPanel, L"名称", 270, 660, 600, 225},
    {Label(19), Kind::Label, kPanel, L":", 945, 660, 195, 225},
    {Label(7), Kind::Label, kPanel, L"Label7", 1140, 660, 3195, 270},
    {Label(5), Kind::Label, kPanel, L"カナ", 255, 945, 585, 225},
    {Label(20), Kind::Label, kPanel, L":", 945, 945, 195, 225},
    {Label(8), Kind::Label, kPanel, L"Label8", 1140, 945, 3345, 270, {kMeiryo, 9}},
    {Label(9), Kind::Label, kPanel, L"↓", 2385, 1230, 240, 225, {kMeiryo, 9.75, true}},
    {Label(17), Kind::Label, kPanel, L"コード", 270, 1515, 585, 225},
    {Label(21), Kind::Label, kPanel, L":", 945, 1500, 195, 225},
    {Label(10), Kind::Label, kPanel, L"0005", 1140, 1500, 750, 255},
    {Label(16), Kind::Label, kPanel, L"名称", 270, 1800, 540, 225},
    {Label(22), Kind::Label, kPanel, L":", 945, 1800, 195, 225},
    {Label(11), Kind::Label, kPanel, L"Label11", 1140, 1800, 3375, 270, {kMeiryo, 9}},
    {Label(15), Kind::Label, kPanel, L"カナ", 270, 2085, 540, 225},
    {Label(23), Kind::Label, kPanel, L":", 945, 2085, 195, 225},
    {Label(12), Kind::Label, kPanel, L"Label12", 1140, 2085, 3390, 270, {kMeiryo, 9}},
    {frmOravend::fmTargetFolder, Kind::Frame, kPanel, L"行名変更の対象となる製品", 270, 2430, 5670,
     1620},
    {Label(13),
     Kind::Label,
     frmOravend::fmTargetFolder,
     L"Label13",
     195,
     360,
     5310,
     1095,
     {kMeiryo, 9}},
    // The scope choice is laid out but never shown: every run uses the master-only lists.
    {frmOravend::Frame1, Kind::Frame, kPanel, L"更新対象", 6060, 2430, 1860, 1125, {}, 0, false},
    {frmOravend::optTargetTable0,
     Kind::OptionButton,
     frmOravend::Frame1,
     L"全て",
     195,
     345,
     780,
     315,
     {},
     WS_GROUP,
     false},
    {frmOravend::optTargetTable0 + 1,
     Kind::OptionButton,
     frmOravend::Frame1,
     L"マスターのみ",
     195,
     675,
     1500,
     315,
     {},
     0,
     false},
    {Label(0), Kind::Label, 0, L"オラベンド", 240, 150, 6045, 270, {kMeiryo, 12, true}},
    {Label(1), Kind::Label, 0, L"本ツールは銀行名を一括で変更します。", 330, 585, 4695, 270},
    {Label(14),
     Kind::Label,
     0,
     L"※完了まで数十秒程度かかる場合があります。",
     345,
     885,
     5985,
     270,
     {kMeiryo, 9}},
};

/// The value labels of the bank record's fields 0 to 5, in this order.
constexpr int kValueLabels[] = {Label(6), Label(7), Label(8), Label(10), Label(11), Label(12)};

int ShiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

}  // namespace

frmOravend::frmOravend(basCommon::Shared& shared, platform::Ui& ui)
    : Form(kWindow, kControls), shared_(shared), ui_(ui) {
  SetChecked(optTargetTable0 + 1, true);
}

bool frmOravend::Load() {
  try {
    ChooseScope();
    const auto fields = basCommon::ReadBankName(shared_.ProgramFolder, ui_);
    SetText(Label(13), win32::Wide(shared_.ProductLabel));
    ShowBankRecord(basCommon::ParseBankRecord(fields));
    return true;
  } catch (const std::exception& e) {
    ui_.MsgBox(e.what(), platform::Icon::Critical, basCommon::MainWindowCaption);
    ui_.EndProgram();
    return false;
  }
}

void frmOravend::Show() {
  ShowCentred();
  SetFocus(Item(cmdCancel));
}

void frmOravend::OnCommand(int id, WORD code) {
  if (code != BN_CLICKED) return;
  if (id == cmdOK) {
    RunUpdate();
  } else if (id == cmdCancel) {
    Unload();
  } else if (id == optTargetTable0 || id == optTargetTable0 + 1) {
    ChooseScope();
  }
}

bool frmOravend::OnCloseRequest(win32::CloseReason reason) {
  // The close box is refused while a run is in progress; other closes never are.
  return reason == win32::CloseReason::User && IsRunning;
}

bool frmOravend::PreTranslate(const MSG& message) {
  // Key preview: the window sees every key press before the control that has the focus.
  if (message.message == WM_KEYDOWN) KeyDown(message.wParam, ShiftState());
  return false;
}

void frmOravend::KeyDown(WPARAM keyCode, int shift) {
  if (shift != 1) return;
  // A shortcut acts only while its button is enabled: never during a run.
  if (keyCode == 'R' && IsEnabled(cmdOK)) RunUpdate();
  if (keyCode == 'X' && IsEnabled(cmdCancel)) Unload();
}

void frmOravend::RunUpdate() {
  basCommon::UpdateRun(*shared_.gConnection, shared_.ProgramFolder, shared_.NotaraFile,
                       shared_.VostrelFile, bank_, *this);
}

void frmOravend::ChooseScope() {
  // Only the state of the first option counts, whichever option was clicked.
  basCommon::ChooseScope(IsChecked(optTargetTable0), shared_);
}

void frmOravend::MsgBox(const std::string& text, platform::Icon icon, const std::string& title) {
  ui_.MsgBox(text, icon, title);
}

void frmOravend::EndProgram() { ui_.EndProgram(); }

void frmOravend::SetHourglass(bool on) { win32::SetHourglass(on); }

void frmOravend::SetButtonsEnabled(bool enabled) {
  // A disabled button loses the focus: the window takes it meanwhile, so that its keys still
  // arrive, and gives it back afterwards.
  if (!enabled) {
    const HWND focus = GetFocus();
    focusedButton_ = focus == Item(cmdOK) || focus == Item(cmdCancel) ? focus : nullptr;
    if (focusedButton_ != nullptr) SetFocus(Handle());
  }
  SetEnabled(cmdOK, enabled);
  SetEnabled(cmdCancel, enabled);
  if (enabled && focusedButton_ != nullptr && GetFocus() == Handle()) SetFocus(focusedButton_);
}

void frmOravend::SetIsRunning(bool running) { IsRunning = running; }

void frmOravend::ShowBankRecord(const basCommon::BankRecord& bank) {
  bank_ = bank;
  const std::string* values[] = {&bank.currentCode, &bank.currentName, &bank.currentKana,
                                 &bank.code,        &bank.name,        &bank.kana};
  for (std::size_t i = 0; i < std::size(values); ++i) {
    SetText(kValueLabels[i], win32::Wide(*values[i]));
  }
}

void frmOravend::ShowProgress() {
  if (!progress_) progress_ = std::make_unique<frmProgressBar>();
  progress_->ShowCentred();
}

void frmOravend::HideProgress() { ShowWindow(progress_->Handle(), SW_HIDE); }

void frmOravend::ProgressBarProperty(int minimum, int maximum, int value) {
  progress_->ProgressBarProperty(minimum, maximum, value);
}

void frmOravend::ProgressBarIncrease() { progress_->ProgressBarIncrease(); }

void frmOravend::DoEvents() { win32::DoEvents(); }
