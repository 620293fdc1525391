// The window and its dispatch: a window built from its design table, each message to a handler.
#include "platform/Win32Form.hpp"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <stdexcept>

#include "platform/Twips.hpp"
#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"

namespace win32 {
namespace {

constexpr const wchar_t* kFormClass = L"OravendForm";
constexpr const wchar_t* kPanelClass = L"OravendPanel";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

void RegisterPanelClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = DefWindowProcW;
    panel.hInstance = Instance();
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    panel.lpszClassName = kPanelClass;
    return RegisterClassExW(&panel);
  }();
  if (atom == 0) throw std::runtime_error("RegisterClassExW(OravendPanel) failed");
}

bool IsContainer(Kind kind) { return kind == Kind::Panel || kind == Kind::Frame; }

LRESULT ShowHourglass() {
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return TRUE;
}

}  // namespace

ATOM Form::ClassAtom() {
  static const ATOM atom = [] {
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = &Form::WindowProc;
    form.hInstance = Instance();
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.lpszClassName = kFormClass;
    return RegisterClassExW(&form);
  }();
  return atom;
}

bool Form::IsForm(HWND window) { return GetClassLongPtrW(window, GCW_ATOM) == ClassAtom(); }

Form::Form(const FormDesign& design, std::span<const ControlDesign> controls)
    : design_(design), controls_(controls.begin(), controls.end()) {
  if (ClassAtom() == 0) throw std::runtime_error("RegisterClassExW(OravendForm) failed");
  RegisterPanelClass();
  // The window procedure attaches the window to this object as the window is created.
  if (CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kFormClass,
                      Wide(design.caption).c_str(), design.style, CW_USEDEFAULT, CW_USEDEFAULT, 0,
                      0, nullptr, nullptr, Instance(), this) == nullptr) {
    throw std::runtime_error("CreateWindowExW failed");
  }
  if (design.icon != 0) SetIcons(design.icon);
  for (std::size_t row = 0; row < controls_.size(); ++row) CreateControl(row);
  OrderForFocus();
  Layout(Dpi());
}

void Form::SetIcons(int icon) {
  for (const auto& [which, metric] : {std::pair<WPARAM, int>{ICON_BIG, SM_CXICON},
                                      std::pair<WPARAM, int>{ICON_SMALL, SM_CXSMICON}}) {
    const int size = GetSystemMetrics(metric);
    const HANDLE image =
        LoadImageW(Instance(), MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, LR_SHARED);
    SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(image));
  }
}

namespace {
/// The window class, styles and extended styles that a kind of control is made of.
struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extended;
};

ControlClass ClassOf(const ControlDesign& control) {
  switch (control.kind) {
    case Kind::Label:
      return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case Kind::TextBox:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::PushButton:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Kind::OptionButton:
      return {L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
    case Kind::Frame:
      return {L"BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case Kind::Panel:
      // A panel that is a tab stop takes the focus itself instead of passing it on.
      return {kPanelClass, 0,
              static_cast<DWORD>((control.style & WS_TABSTOP) != 0 ? 0 : WS_EX_CONTROLPARENT) |
                  WS_EX_CLIENTEDGE};
    case Kind::ProgressBar:
      return {PROGRESS_CLASSW, 0, 0};
  }
  throw std::logic_error("unknown kind of control");
}
}  // namespace

void Form::CreateControl(std::size_t row) {
  const ControlDesign& control = controls_[row];
  const ControlClass kind = ClassOf(control);
  const DWORD style =
      WS_CHILD | WS_CLIPSIBLINGS | kind.style | control.style | (control.visible ? WS_VISIBLE : 0);
  const HWND item = CreateWindowExW(
      kind.extended, kind.name, control.caption == nullptr ? L"" : control.caption, style, 0, 0, 0,
      0, control.parent == 0 ? hwnd_ : Item(control.parent),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), Instance(), nullptr);
  if (item == nullptr) throw std::runtime_error("CreateWindowExW failed for a control");
  // The subclass knows its row: no search of the table on every message.
  SetWindowSubclass(item, &Form::ControlProc, row, reinterpret_cast<DWORD_PTR>(this));
  if (control.kind == Kind::TextBox) {
    if (control.maxLength > 0) {
      SendMessageW(item, EM_SETLIMITTEXT, static_cast<WPARAM>(control.maxLength), 0);
    }
    if ((control.style & ES_PASSWORD) != 0) SendMessageW(item, EM_SETPASSWORDCHAR, L'*', 0);
  }
  items_[control.id] = item;
}

void Form::OrderForFocus() {
  // The dialog manager moves the focus in the order of the siblings: the rows with a tab
  // index go first among their siblings, in its order; the others follow in table order.
  std::vector<const ControlDesign*> tabbed;
  for (const auto& control : controls_) {
    if (control.tab >= 0) tabbed.push_back(&control);
  }
  std::stable_sort(tabbed.begin(), tabbed.end(),
                   [](const auto* a, const auto* b) { return a->tab < b->tab; });
  std::map<int, HWND> placed;  // the last one placed, per parent
  for (const auto* control : tabbed) {
    const auto before = placed.find(control->parent);
    const HWND item = Item(control->id);
    SetWindowPos(item, before == placed.end() ? HWND_TOP : before->second, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    placed[control->parent] = item;
  }
}

Form::~Form() {
  if (hwnd_ == nullptr) return;
  // Destroyed without its handlers: the object is going, and the closing handlers do not run.
  for (std::size_t row = 0; row < controls_.size(); ++row) {
    RemoveWindowSubclass(Item(controls_[row].id), &Form::ControlProc, row);
  }
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

HWND Form::Item(int id) const {
  const auto item = items_.find(id);
  return item == items_.end() ? nullptr : item->second;
}

int Form::Dpi() const { return static_cast<int>(GetDpiForWindow(hwnd_)); }

void Form::ShowCentred() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT window{};
  GetWindowRect(hwnd_, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void Form::Unload() { Close(CloseReason::Program); }

bool Form::Close(CloseReason reason) {
  if (hwnd_ == nullptr) return true;
  if (OnCloseRequest(reason) && reason != CloseReason::Program) return false;
  DestroyWindow(hwnd_);
  return true;
}

std::wstring Form::Text(int id) const {
  const HWND item = Item(id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return text;
}

void Form::SetText(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }

bool Form::IsChecked(int id) const {
  return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::SetChecked(int id, bool checked) {
  SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form::SetEnabled(int id, bool enabled) { EnableWindow(Item(id), enabled); }

bool Form::IsEnabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

HWND Form::AccessKeyTarget(wchar_t key) const {
  const auto upper = [](wchar_t c) {
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(
        reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<unsigned short>(c))))));
  };
  for (const auto& control : controls_) {
    const std::wstring_view caption = control.caption == nullptr ? L"" : control.caption;
    const auto amp = caption.find(L'&');
    if (amp == std::wstring_view::npos || amp + 1 >= caption.size()) continue;
    const HWND item = Item(control.id);
    if (upper(caption[amp + 1]) == upper(key) && IsWindowVisible(item) && IsWindowEnabled(item)) {
      return item;
    }
  }
  return nullptr;
}

bool Form::TakesFocus(HWND control) const {
  return std::any_of(controls_.begin(), controls_.end(), [&](const ControlDesign& design) {
    return Item(design.id) == control &&
           (design.kind == Kind::TextBox || design.kind == Kind::PushButton ||
            design.kind == Kind::OptionButton) &&
           IsWindowVisible(control) && IsWindowEnabled(control);
  });
}

HBRUSH Form::Brush(COLORREF colour) {
  struct Deleter {
    void operator()(HBRUSH brush) const { DeleteObject(brush); }
  };
  static std::map<COLORREF, std::unique_ptr<std::remove_pointer_t<HBRUSH>, Deleter>> brushes;
  auto& brush = brushes[colour];
  if (!brush) brush.reset(CreateSolidBrush(colour));
  return brush.get();
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    created->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return form->OnMessage(message, wParam, lParam);
}

// One line per message, as a dispatch table reads.
// clang-format off
LRESULT Form::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:          return OnCommandMessage(wParam, lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:      return OnCtlColor(message, wParam, lParam);
    case WM_ERASEBKGND:       return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_SETCURSOR:        return Hourglass() ? ShowHourglass() : Default(message, wParam, lParam);
    case WM_ACTIVATE:         return OnActivate(message, wParam, lParam);
    case WM_SYSCOMMAND:       return OnSysCommand(wParam, lParam);
    case WM_CLOSE:            return OnClose();
    case WM_QUERYENDSESSION:  return OnCloseRequest(CloseReason::Session) ? FALSE : TRUE;
    case WM_ENDSESSION:       return OnEndSession(wParam);
    case WM_DPICHANGED:       return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    case WM_NCDESTROY:        return OnNcDestroy(wParam, lParam);
    default:                  return Default(message, wParam, lParam);
  }
}
// clang-format on

LRESULT Form::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT Form::OnCommandMessage(WPARAM wParam, LPARAM lParam) {
  // Enter and Esc send the ids 1 and 2 without a control: neither presses a button here.
  if (lParam != 0) OnCommand(LOWORD(wParam), HIWORD(wParam));
  return 0;
}

LRESULT Form::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  const auto brush = OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
  return brush ? *brush : Default(message, wParam, lParam);
}

LRESULT Form::OnEraseBackground(HDC dc) {
  RECT area{};
  GetClientRect(hwnd_, &area);
  FillRect(dc, &area,
           design_.background == CLR_INVALID ? GetSysColorBrush(COLOR_BTNFACE)
                                             : Brush(design_.background));
  return TRUE;
}

LRESULT Form::OnActivate(UINT message, WPARAM wParam, LPARAM lParam) {
  // As dialogs do: the focus goes back where it was when another window (a message box) took
  // the activation.
  if (LOWORD(wParam) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
  } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_) &&
             IsWindowVisible(lastFocus_)) {
    SetFocus(lastFocus_);
    return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT Form::OnSysCommand(WPARAM wParam, LPARAM lParam) {
  if ((wParam & 0xFFF0) != SC_CLOSE) return Default(WM_SYSCOMMAND, wParam, lParam);
  // The close box, the system menu's Close and Alt+F4 all come this way.
  closing_ = CloseReason::User;
  Default(WM_SYSCOMMAND, wParam, lParam);
  closing_.reset();
  return 0;
}

LRESULT Form::OnClose() {
  Close(closing_.value_or(CloseReason::Outside));
  return 0;
}

LRESULT Form::OnEndSession(WPARAM ending) {
  if (ending != FALSE) DestroyWindow(hwnd_);
  return 0;
}

LRESULT Form::OnDpiChanged(int dpi, const RECT& suggested) {
  Layout(dpi);
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

LRESULT Form::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
  const HWND hwnd = hwnd_;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  items_.clear();
  return DefWindowProcW(hwnd, WM_NCDESTROY, wParam, lParam);
}

std::optional<LRESULT> Form::OnColour(HDC dc, HWND control) {
  if (const HBRUSH brush = OnBackground(GetDlgCtrlID(control))) {
    LOGBRUSH colour{};
    GetObjectW(brush, sizeof colour, &colour);
    SetBkColor(dc, colour.lbColor);
    return reinterpret_cast<LRESULT>(brush);
  }
  if (design_.background != CLR_INVALID) {
    SetBkColor(dc, design_.background);
    return reinterpret_cast<LRESULT>(Brush(design_.background));
  }
  return std::nullopt;
}

LRESULT CALLBACK Form::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR row, DWORD_PTR data) {
  auto& form = *reinterpret_cast<Form*>(data);
  if (row >= form.controls_.size()) return DefSubclassProc(hwnd, message, wParam, lParam);
  return form.OnControlMessage(hwnd, row, message, wParam, lParam);
}

// One line per message, as a dispatch table reads.
// clang-format off
LRESULT Form::OnControlMessage(HWND control, std::size_t row, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:       return Hourglass() ? ShowHourglass() : DefSubclassProc(control, message, wParam, lParam);
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_NOTIFY:          return OnContainedMessage(control, row, message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:       return OnControlFocus(control, row, message, wParam, lParam);
    case WM_NCDESTROY:       return OnControlDestroy(control, row, wParam, lParam);
    default:                 return DefSubclassProc(control, message, wParam, lParam);
  }
}
// clang-format on

LRESULT Form::OnContainedMessage(HWND control, std::size_t row, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  // Containers pass their controls' notifications on to the window.
  if (IsContainer(controls_[row].kind)) return SendMessageW(hwnd_, message, wParam, lParam);
  return DefSubclassProc(control, message, wParam, lParam);
}

LRESULT Form::OnControlFocus(HWND control, std::size_t row, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  const ControlDesign& design = controls_[row];
  const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
  if (design.kind != Kind::TextBox) return result;
  const bool gained = message == WM_SETFOCUS;
  if (gained && design.imeOff) {
    if (const HIMC context = ImmGetContext(control)) {
      ImmSetOpenStatus(context, FALSE);
      ImmReleaseContext(control, context);
    }
  }
  OnFocus(design.id, gained, reinterpret_cast<HWND>(wParam));
  return result;
}

LRESULT Form::OnControlDestroy(HWND control, std::size_t row, WPARAM wParam, LPARAM lParam) {
  RemoveWindowSubclass(control, &Form::ControlProc, row);
  return DefSubclassProc(control, WM_NCDESTROY, wParam, lParam);
}

void Form::Layout(int dpi) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  const auto extended = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  RECT outer{0, 0, platform::Twips(design_.width, dpi), platform::Twips(design_.height, dpi)};
  AdjustWindowRectExForDpi(&outer, style, FALSE, extended, static_cast<UINT>(dpi));
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(design_.font, dpi)), FALSE);
  for (const auto& control : controls_) {
    const HWND item = Item(control.id);
    MoveWindow(item, platform::Twips(control.left, dpi), platform::Twips(control.top, dpi),
               platform::Twips(control.width, dpi), platform::Twips(control.height, dpi), FALSE);
    const FontDesign& font = control.font.face == nullptr ? design_.font : control.font;
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font, dpi)), FALSE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HFONT Form::FontFor(const FontDesign& font, int dpi) {
  auto& made = fonts_[{font.face, font.points, font.bold, dpi}];
  if (!made) {
    made.reset(CreateFontW(platform::FontHeight(font.points, dpi), 0, 0, 0,
                           font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, font.face));
  }
  return made.get();
}

}  // namespace win32
