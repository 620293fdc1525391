// The connection dialog.
#include "sqlserver/frmSqlConnect.hpp"

#include "sqlserver/ConnectDialog.hpp"

namespace {

using win32::ControlDesign;
using win32::Kind;
using win32::kMsGothic;

constexpr COLORREF kFocused = RGB(255, 255, 0);
constexpr COLORREF kUnfocused = RGB(255, 255, 255);

constexpr win32::FormDesign kWindow{L"サーバー接続設定",     5745,        2775, {kMsGothic, 10.5},
                                    WS_CAPTION | WS_SYSMENU, CLR_INVALID, 1};

// In focus order: the boxes, the options in their container, the buttons, then the labels.
const ControlDesign kControls[] = {
    {frmSqlConnect::txtDataSource,
     Kind::TextBox,
     0,
     L"",
     1560,
     150,
     4000,
     300,
     {},
     0,
     true,
     128,
     true},
    {frmSqlConnect::picLoginSecure, Kind::Panel, 0, nullptr, 1560, 570, 4000, 300},
    {frmSqlConnect::optLoginSecure0 + 2,
     Kind::OptionButton,
     frmSqlConnect::picLoginSecure,
     L"Windows認証",
     144,
     -12,
     1600,
     300,
     {},
     WS_GROUP},
    {frmSqlConnect::optLoginSecure0 + 1, Kind::OptionButton, frmSqlConnect::picLoginSecure,
     L"SQL Server 認証", 1860, -12, 2000, 300},
    {frmSqlConnect::txtUserID,
     Kind::TextBox,
     0,
     L"",
     1560,
     930,
     3705,
     300,
     {},
     WS_GROUP,
     true,
     64,
     true},
    {frmSqlConnect::txtPasswd,
     Kind::TextBox,
     0,
     L"",
     1560,
     1290,
     3705,
     300,
     {},
     ES_PASSWORD,
     true,
     64,
     true},
    {frmSqlConnect::txtConnectionTimeout,
     Kind::TextBox,
     0,
     L"15",
     1560,
     1740,
     504,
     300,
     {},
     ES_RIGHT,
     true,
     2,
     true},
    {frmSqlConnect::cmdConn, Kind::PushButton, 0, L"&OK", 2295, 2205, 1200, 360, {kMsGothic, 9}},
    {frmSqlConnect::cmdCancel,
     Kind::PushButton,
     0,
     L"ｷｬﾝｾﾙ",
     4320,
     2205,
     1200,
     360,
     {kMsGothic, 9}},
    {frmSqlConnect::Label0, Kind::Label, 0, L"サーバー名", 150, 180, 1200, 300},
    {frmSqlConnect::Label0 + 1, Kind::Label, 0, L"認証方式", 150, 600, 1200, 300},
    {frmSqlConnect::Label0 + 2, Kind::Label, 0, L"ユーザー名", 360, 975, 1200, 300},
    {frmSqlConnect::Label0 + 3, Kind::Label, 0, L"パスワード", 360, 1335, 1200, 300},
    {frmSqlConnect::Label0 + 4, Kind::Label, 0, L"タイムアウト", 135, 1770, 1410, 300},
    {frmSqlConnect::Label0 + 5, Kind::Label, 0, L"秒", 2160, 1770, 465, 300},
};

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
  if (code != BN_CLICKED || refusedMove_) return;
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
    // A message box or another program taking the focus is no move within the dialog. A move
    // that PreTranslate did not see is checked here, once it has happened.
    if (id == txtConnectionTimeout && !refusedMove_ && !TimeoutMayLeave()) {
      refusedMove_ = true;
      PostMessageW(Handle(), kTimeoutFocusBack, 0, 0);
      return;
    }
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

bool frmSqlConnect::PreTranslate(const MSG& message) {
  if (message.message == kTimeoutFocusBack && message.hwnd == Handle()) {
    SetFocus(Item(txtConnectionTimeout));
    refusedMove_ = false;
    return true;
  }
  if (GetFocus() != Item(txtConnectionTimeout)) return false;
  // What would move the focus to another control: a click on it, Tab, or its access key. The
  // check runs first; when it fails, the focus stays and the click or key has no effect.
  const bool leaving =
      ((message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK) &&
       message.hwnd != Item(txtConnectionTimeout) && TakesFocus(message.hwnd)) ||
      (message.message == WM_KEYDOWN && message.wParam == VK_TAB) ||
      (message.message == WM_SYSCHAR &&
       AccessKeyTarget(static_cast<wchar_t>(message.wParam)) != nullptr);
  return leaving && !TimeoutMayLeave();
}

bool frmSqlConnect::TimeoutMayLeave() {
  const auto warning = basSQLServer::TimeoutWarning(Entry(txtConnectionTimeout));
  if (!warning) return true;
  Warn(*warning);
  return false;
}

void frmSqlConnect::Warn(const std::string& text) {
  ui_.MsgBox(text, platform::Icon::Exclamation, basSQLServer::DialogCaption);
}
