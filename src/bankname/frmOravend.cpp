// The main window.
#include "bankname/frmOravend.hpp"

#include "bankname/ControlFiles.hpp"
#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMeiryo;
using win32::kMsGothic;

constexpr win32::FormDesign kWindow{
    basCommon::MainWindowCaption, 8385, 6135, {kMeiryo, 9.75}, WS_CAPTION | WS_SYSMENU};

constexpr int Label(int index) { return frmOravend::lblMsg0 + index; }
constexpr int kPanel = frmOravend::panel;

// One row per control, in the order of the design: the window's own, then the panel's. The
// focus goes to Close, Run, then the panel, which takes it itself. The scope choice is laid out
// but never shown: every run uses the master-only lists.
// clang-format off
const ControlDesign kControls[] = {
    {.id = Label(0),  .kind = Kind::Label,      .caption = L"オラベンド",                                         .left = 240,  .top = 150,  .width = 6045, .height = 270, .font = {kMeiryo, 12, true}},
    {.id = Label(1),  .kind = Kind::Label,      .caption = L"本ツールは銀行名を一括で変更します。",                 .left = 330,  .top = 585,  .width = 4695, .height = 270},
    {.id = Label(14), .kind = Kind::Label,      .caption = L"※完了まで数十秒程度かかる場合があります。",           .left = 345,  .top = 885,  .width = 5985, .height = 270, .font = {kMeiryo, 9}},
    {.id = kPanel,    .kind = Kind::Panel,      .caption = nullptr,                                               .left = 150,  .top = 1215, .width = 8070, .height = 4290, .style = WS_TABSTOP, .tab = 2},
    {.id = frmOravend::cmdOK,     .kind = Kind::PushButton, .caption = L"実行(&R)",                              .left = 3540, .top = 5640, .width = 1335, .height = 375, .font = {kMeiryo, 9},   .tab = 1},
    {.id = frmOravend::cmdCancel, .kind = Kind::PushButton, .caption = L"閉じる(&X)",                            .left = 6345, .top = 5640, .width = 1335, .height = 375, .font = {kMsGothic, 9}, .tab = 0},
    {.id = Label(2),  .kind = Kind::Label, .parent = kPanel, .caption = L"名称・カナは下記のように変更されます。(コードは変更されません。)", .left = 165, .top = 75, .width = 7560, .height = 270, .font = {kMeiryo, 9}},
    {.id = Label(3),  .kind = Kind::Label, .parent = kPanel, .caption = L"コード",  .left = 270,  .top = 375,  .width = 600,  .height = 225},
    {.id = Label(18), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 375,  .width = 195,  .height = 225},
    {.id = Label(6),  .kind = Kind::Label, .parent = kPanel, .caption = L"0005",    .left = 1140, .top = 375,  .width = 750,  .height = 285},
    {.id = Label(4),  .kind = Kind::Label, .parent = kPanel, .caption = L"名称",    .left = 270,  .top = 660,  .width = 600,  .height = 225},
    {.id = Label(19), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 660,  .width = 195,  .height = 225},
    {.id = Label(7),  .kind = Kind::Label, .parent = kPanel, .caption = L"Label7",  .left = 1140, .top = 660,  .width = 3195, .height = 270},
    {.id = Label(5),  .kind = Kind::Label, .parent = kPanel, .caption = L"カナ",    .left = 255,  .top = 945,  .width = 585,  .height = 225},
    {.id = Label(20), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 945,  .width = 195,  .height = 225},
    {.id = Label(8),  .kind = Kind::Label, .parent = kPanel, .caption = L"Label8",  .left = 1140, .top = 945,  .width = 3345, .height = 270, .font = {kMeiryo, 9}},
    {.id = Label(9),  .kind = Kind::Label, .parent = kPanel, .caption = L"↓",      .left = 2385, .top = 1230, .width = 240,  .height = 225, .font = {kMeiryo, 9.75, true}},
    {.id = Label(17), .kind = Kind::Label, .parent = kPanel, .caption = L"コード",  .left = 270,  .top = 1515, .width = 585,  .height = 225},
    {.id = Label(21), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 1500, .width = 195,  .height = 225},
    {.id = Label(10), .kind = Kind::Label, .parent = kPanel, .caption = L"0005",    .left = 1140, .top = 1500, .width = 750,  .height = 255},
    {.id = Label(16), .kind = Kind::Label, .parent = kPanel, .caption = L"名称",    .left = 270,  .top = 1800, .width = 540,  .height = 225},
    {.id = Label(22), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 1800, .width = 195,  .height = 225},
    {.id = Label(11), .kind = Kind::Label, .parent = kPanel, .caption = L"Label11", .left = 1140, .top = 1800, .width = 3375, .height = 270, .font = {kMeiryo, 9}},
    {.id = Label(15), .kind = Kind::Label, .parent = kPanel, .caption = L"カナ",    .left = 270,  .top = 2085, .width = 540,  .height = 225},
    {.id = Label(23), .kind = Kind::Label, .parent = kPanel, .caption = L":",       .left = 945,  .top = 2085, .width = 195,  .height = 225},
    {.id = Label(12), .kind = Kind::Label, .parent = kPanel, .caption = L"Label12", .left = 1140, .top = 2085, .width = 3390, .height = 270, .font = {kMeiryo, 9}},
    {.id = frmOravend::fmTargetFolder, .kind = Kind::Frame, .parent = kPanel, .caption = L"行名変更の対象となる製品", .left = 270, .top = 2430, .width = 5670, .height = 1620},
    {.id = Label(13), .kind = Kind::Label, .parent = frmOravend::fmTargetFolder, .caption = L"Label13", .left = 195, .top = 360, .width = 5310, .height = 1095, .font = {kMeiryo, 9}},
    {.id = frmOravend::Frame1,              .kind = Kind::Frame,        .parent = kPanel,             .caption = L"更新対象",     .left = 6060, .top = 2430, .width = 1860, .height = 1125, .visible = false},
    {.id = frmOravend::optTargetTable0,     .kind = Kind::OptionButton, .parent = frmOravend::Frame1, .caption = L"全て",         .left = 195,  .top = 345,  .width = 780,  .height = 315,  .style = WS_GROUP, .visible = false},
    {.id = frmOravend::optTargetTable0 + 1, .kind = Kind::OptionButton, .parent = frmOravend::Frame1, .caption = L"マスターのみ", .left = 195,  .top = 675,  .width = 1500, .height = 315,  .visible = false},
};
// clang-format on

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
    const auto bank = basCommon::ReadBankRecord(shared_.ProgramFolder);
    SetText(Label(13), win32::Wide(shared_.ProductLabel));
    ShowBankRecord(bank);
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
  // Only the state of the first option ("全て") counts, whichever option was clicked.
  const bool all = IsChecked(optTargetTable0);
  shared_.NotaraFile = all ? basCommon::NotaraAllFile : basCommon::NotaraMasterOnlyFile;
  shared_.VostrelFile = all ? basCommon::VostrelAllFile : basCommon::VostrelMasterOnlyFile;
}

void frmOravend::MsgBox(const std::string& text, platform::Icon icon, const std::string& title) {
  ui_.MsgBox(text, icon, title);
}

void frmOravend::EndProgram() { ui_.EndProgram(); }

void frmOravend::SetBusy(bool busy) {
  if (busy) win32::SetHourglass(true);
  SetButtonsEnabled(!busy);
  IsRunning = busy;
  if (!busy) win32::SetHourglass(false);
}

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

void frmOravend::HideProgress() {
  if (progress_) ShowWindow(progress_->Handle(), SW_HIDE);
}

void frmOravend::ProgressBarProperty(int minimum, int maximum, int value) {
  progress_->ProgressBarProperty(minimum, maximum, value);
}

void frmOravend::ProgressBarIncrease() { progress_->ProgressBarIncrease(); }

void frmOravend::DoEvents() { win32::DoEvents(); }
