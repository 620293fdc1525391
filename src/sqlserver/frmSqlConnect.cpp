// The connection dialog.
#include "sqlserver/frmSqlConnect.hpp"

#include "platform/Win32Loop.hpp"
#include "sqlserver/ConnectDialog.hpp"

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMsGothic;

constexpr COLORREF kFocused = RGB(255, 255, 0);
constexpr COLORREF kUnfocused = RGB(255, 255, 255);

constexpr win32::FormDesign kWindow{
    basSQLServer::DialogCaption, 5745,        2775, {kMsGothic, 10.5},
    WS_CAPTION | WS_SYSMENU,     CLR_INVALID, 1};

// One row per control, in the order of the design; `tab` gives the focus order.
// clang-format off
const ControlDesign kControls[] = {
    {.id = frmSqlConnect::Label0,               .kind = Kind::Label,        .caption = L"サーバー名",      .left = 150,  .top = 180,  .width = 1200, .height = 300, .tab = 9},
    {.id = frmSqlConnect::txtDataSource,        .kind = Kind::TextBox,      .caption = L"",                .left = 1560, .top = 150,  .width = 4000, .height = 300, .maxLength = 128, .imeOff = true, .tab = 0},
    {.id = frmSqlConnect::Label0 + 1,           .kind = Kind::Label,        .caption = L"認証方式",        .left = 150,  .top = 600,  .width = 1200, .height = 300, .tab = 10},
    {.id = frmSqlConnect::picLoginSecure,       .kind = Kind::Panel,        .caption = nullptr,            .left = 1560, .top = 570,  .width = 4000, .height = 300, .tab = 1},
    {.id = frmSqlConnect::optLoginSecure0 + 2,  .kind = Kind::OptionButton, .parent = frmSqlConnect::picLoginSecure, .caption = L"Windows認証",     .left = 144,  .top = -12, .width = 1600, .height = 300, .style = WS_GROUP, .tab = 2},
    {.id = frmSqlConnect::optLoginSecure0 + 1,  .kind = Kind::OptionButton, .parent = frmSqlConnect::picLoginSecure, .caption = L"SQL Server 認証", .left = 1860, .top = -12, .width = 2000, .height = 300, .tab = 3},
    {.id = frmSqlConnect::Label0 + 2,           .kind = Kind::Label,        .caption = L"ユーザー名",      .left = 360,  .top = 975,  .width = 1200, .height = 300, .tab = 11},
    {.id = frmSqlConnect::txtUserID,            .kind = Kind::TextBox,      .caption = L"",                .left = 1560, .top = 930,  .width = 3705, .height = 300, .style = WS_GROUP,    .maxLength = 64, .imeOff = true, .tab = 4},
    {.id = frmSqlConnect::Label0 + 3,           .kind = Kind::Label,        .caption = L"パスワード",      .left = 360,  .top = 1335, .width = 1200, .height = 300, .tab = 12},
    {.id = frmSqlConnect::txtPasswd,            .kind = Kind::TextBox,      .caption = L"",                .left = 1560, .top = 1290, .width = 3705, .height = 300, .style = ES_PASSWORD, .maxLength = 64, .imeOff = true, .tab = 5},
    {.id = frmSqlConnect::Label0 + 4,           .kind = Kind::Label,        .caption = L"タイムアウト",    .left = 135,  .top = 1770, .width = 1410, .height = 300, .tab = 13},
    {.id = frmSqlConnect::txtConnectionTimeout, .kind = Kind::TextBox,      .caption = L"15",              .left = 1560, .top = 1740, .width = 504,  .height = 300, .style = ES_RIGHT,    .maxLength = 2,  .imeOff = true, .tab = 6},
    {.id = frmSqlConnect::Label0 + 5,           .kind = Kind::Label,        .caption = L"秒",              .left = 2160, .top = 1770, .width = 465,  .height = 300, .tab = 14},
    {.id = frmSqlConnect::cmdConn,              .kind = Kind::PushButton,   .caption = L"&OK",             .left = 2295, .top = 2205, .width = 1200, .height = 360, .font = {kMsGothic, 9}, .tab = 7},
    {.id = frmSqlConnect::cmdCancel,            .kind = Kind::PushButton,   .caption = L"ｷｬﾝｾﾙ",           .left = 4320, .top = 2205, .width = 1200, .height = 360, .font = {kMsGothic, 9}, .tab = 8},
};
// clang-format on

/// Posted when the time-out check refused a move it saw only afterwards: the focus goes back
/// once the press that moved it has been dropped.
constexpr UINT kTimeoutFocusBack = WM_APP + 1;

constexpr int kBoxes[] = {frmSqlConnect::txtDataSource, frmSqlConnect::txtUserID,
                          frmSqlConnect::txtPasswd, frmSqlConnect::txtConnectionTimeout};

}  // namespace

frmSqlConnect::frmSqlConnect(SQLServer& settings, std::unique_ptr<odbc::Connection>& connection,
                             platform::Ui& ui)
    : Form(kWindow, kControls), settings_(settings), connection_(connection), ui_(ui) {
  for (const int box : kBoxes) backgrounds_[box] = kUnfocused;
  const auto entries = basSQLServer::EntriesFor(settings_);
  SetText(txtDataSource, win32::Wide(entries.dataSource));
  SetChecked(optLoginSecure0 + 2, entries.loginSecureIndex == 2);
  SetChecked(optLoginSecure0 + 1, entries.loginSecureIndex == 1);
  SwitchAuthentication(entries.loginSecureIndex);
  SetText(txtConnectionTimeout, win32::Wide(entries.timeout));
}

void frmSqlConnect::Show() {
  ShowCentred();
  SetFocus(Item(txtDataSource));
}

void frmSqlConnect::ShowModal() {
  Show();
  win32::RunMessageLoop([this] { return !IsLoaded(); });
}

void frmSqlConnect::OnCommand(int id, WORD code) {
  if (code != BN_CLICKED || timeoutGuard_.Undoing()) return;
  if (id == optLoginSecure0 + 1 || id == optLoginSecure0 + 2) {
    SwitchAuthentication(id - optLoginSecure0);
  } else if (id == cmdConn) {
    ConnectToServer();
  } else if (id == cmdCancel) {
    Unload();
    ui_.EndProgram();
  }
}

bool frmSqlConnect::OnCloseRequest(win32::CloseReason reason) {
  // The close box ends the program; the session's end and a close from outside only close the
  // dialog, and start-up sees that no connection was made.
  if (reason == win32::CloseReason::User) ui_.EndProgram();
  return false;
}

void frmSqlConnect::SwitchAuthentication(int index) {
  const auto boxes = basSQLServer::AuthenticationSwitch(index);
  if (!boxes) return;
  for (const int box : {txtUserID, txtPasswd}) {
    SetText(box, box == txtUserID ? win32::Wide(boxes->user) : L"");
    SetEnabled(box, boxes->enabled);
    backgrounds_[box] = boxes->background;
    InvalidateRect(Item(box), nullptr, TRUE);
  }
}

void frmSqlConnect::ConnectToServer() {
  const bool windowsLogin = IsChecked(optLoginSecure0 + 2);
  if (const auto missing = basSQLServer::MissingEntry(Entry(txtDataSource), Entry(txtUserID),
                                                      Entry(txtPasswd), windowsLogin)) {
    Warn(*missing);
    return;
  }
  win32::SetHourglass(true);
  win32::DoEvents();
  basSQLServer::StoreEntries(settings_, Entry(txtDataSource), windowsLogin, Entry(txtUserID),
                             Entry(txtPasswd), Entry(txtConnectionTimeout));
  connection_ = settings_.GetConnection();
  win32::SetHourglass(false);
  if (settings_.ConnectingResult()) {
    Unload();
    return;
  }
  Warn(basSQLServer::ConnectFailureMessage(settings_.ConnectingError()));
}

void frmSqlConnect::OnFocus(int id, bool gained, HWND other) {
  if (gained) {
    backgrounds_[id] = kFocused;
    const int length = static_cast<int>(SendMessageW(Item(id), EM_GETLIMITTEXT, 0, 0));
    SendMessageW(Item(id), EM_SETSEL, 0, length);
  } else if (other != nullptr && IsChild(Handle(), other)) {
    // A message box or another program taking the focus is no move within the dialog.
    if (id == txtConnectionTimeout && timeoutGuard_.Undoes()) return;
    backgrounds_[id] = kUnfocused;
    if (id == txtConnectionTimeout) {
      SetText(id, win32::Wide(basSQLServer::TimeoutAfterLeaving(Entry(id))));
    }
  }
  InvalidateRect(Item(id), nullptr, TRUE);
}

HBRUSH frmSqlConnect::OnBackground(int id) {
  const auto background = backgrounds_.find(id);
  if (background == backgrounds_.end()) return nullptr;
  if (const auto* index = std::get_if<int>(&background->second)) return GetSysColorBrush(*index);
  return Brush(std::get<COLORREF>(background->second));
}

bool frmSqlConnect::PreTranslate(const MSG& message) { return timeoutGuard_.Drops(message); }

bool frmSqlConnect::TimeoutGuard::Drops(const MSG& message) {
  const HWND box = dialog_.Item(txtConnectionTimeout);
  if (message.message == kTimeoutFocusBack && message.hwnd == dialog_.Handle()) {
    SetFocus(box);
    undoing_ = false;
    return true;
  }
  if (GetFocus() != box) return false;
  // What would move the focus to another control: a click on it, Tab, or its access key. The
  // check runs first; when it fails, the focus stays and the click or key has no effect.
  const bool leaving =
      ((message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK) &&
       message.hwnd != box && dialog_.TakesFocus(message.hwnd)) ||
      (message.message == WM_KEYDOWN && message.wParam == VK_TAB) ||
      (message.message == WM_SYSCHAR &&
       dialog_.AccessKeyTarget(static_cast<wchar_t>(message.wParam)) != nullptr);
  return leaving && !MayLeave();
}

bool frmSqlConnect::TimeoutGuard::Undoes() {
  if (undoing_ || MayLeave()) return false;
  undoing_ = true;
  PostMessageW(dialog_.Handle(), kTimeoutFocusBack, 0, 0);
  return true;
}

bool frmSqlConnect::TimeoutGuard::MayLeave() {
  const auto warning = basSQLServer::TimeoutWarning(dialog_.Entry(txtConnectionTimeout));
  if (!warning) return true;
  dialog_.Warn(*warning);
  return false;
}

void frmSqlConnect::Warn(const std::string& text) {
  ui_.MsgBox(text, platform::Icon::Exclamation, basSQLServer::DialogCaption);
}
