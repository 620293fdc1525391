// The small Win32 window layer that the windows are built with: a top-level window whose
// controls come from a design table (a row per control, positions in twips), and the handlers a
// window overrides. The message loop is in Win32Loop, message boxes and text in Win32Ui.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace win32 {

/// A font of the design: face, size in points and weight, with the Japanese character set.
struct FontDesign {
  const wchar_t* face = nullptr;  ///< nullptr: the window's font
  double points = 0;
  bool bold = false;
};

inline constexpr const wchar_t* kMsGothic = L"ＭＳ ゴシック";
inline constexpr const wchar_t* kMeiryo = L"メイリオ";

enum class Kind { Label, TextBox, PushButton, OptionButton, Frame, Panel, ProgressBar };

/// One row of a window's design table. Positions are twips relative to the client area of the
/// container: the window, or a Panel or Frame row above it. Rows are created in table order;
/// the focus moves in the order of `tab`.
struct ControlDesign {
  int id;  ///< unique in the window and above 2: Enter and Esc send the ids 1 and 2
  Kind kind;
  int parent = 0;  ///< 0: the window
  const wchar_t* caption = nullptr;
  int left, top, width, height;
  FontDesign font{};
  DWORD style = 0;      ///< further styles: ES_PASSWORD, ES_RIGHT, WS_GROUP, ...
  bool visible = true;  ///< created hidden when false
  int maxLength = 0;    ///< text boxes: at most this many characters; 0: no limit
  bool imeOff = false;  ///< text boxes: the input method is switched off when they get the focus
  int tab = -1;  ///< place in the focus order among its siblings; -1: after those that have one
};

struct FormDesign {
  const char* caption;  ///< UTF-8, as the core's message boxes take it for their titles
  int width, height;    ///< client area, twips
  FontDesign font;
  DWORD style;                        ///< WS_CAPTION, WS_SYSMENU, ...
  COLORREF background = CLR_INVALID;  ///< CLR_INVALID: the system colour button face
  int icon = 0;                       ///< resource id of the window's icon; 0: none
};

void Dispatch(MSG& message);

/// Why a window is asked to close: the user's close box, system menu or Alt+F4; the program's
/// own close; the session ending; a close sent from outside, as the task manager sends it.
enum class CloseReason { User = 0, Program = 1, Session = 2, Outside = 3 };

/// A top-level window built from a design table. The window's own code derives from it and
/// overrides the handlers it needs.
class Form {
 public:
  Form(const FormDesign& design, std::span<const ControlDesign> controls);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Handle() const { return hwnd_; }
  /// The design the window was built from.
  const FormDesign& Design() const { return design_; }
  std::span<const ControlDesign> Controls() const { return controls_; }
  HWND Item(int id) const;
  /// True from creation until the window is destroyed.
  bool IsLoaded() const { return hwnd_ != nullptr; }
  int Dpi() const;

  /// Shows the window centred on the screen's work area.
  void ShowCentred();
  /// The program's own close: the close request comes with CloseReason::Program and is never
  /// refused.
  void Unload();

  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  void SetEnabled(int id, bool enabled);
  bool IsEnabled(int id) const;

  /// Whether `window` is a top-level window of this layer.
  static bool IsForm(HWND window);

 protected:
  virtual void OnCommand(int /*id*/, WORD /*code*/) {}
  /// Return true to refuse the close.
  virtual bool OnCloseRequest(CloseReason /*reason*/) { return false; }
  /// A text box gained or lost the focus; `other` is the window that had it or gets it.
  virtual void OnFocus(int /*id*/, bool /*gained*/, HWND /*other*/) {}
  /// The background of a text box or label, or nullptr for the usual one.
  virtual HBRUSH OnBackground(int /*id*/) { return nullptr; }
  /// Sees a message for the window or one of its controls before anyone else; true when it is
  /// done with.
  virtual bool PreTranslate(const MSG& /*message*/) { return false; }
  friend void Dispatch(MSG& message);

  /// The control that a press of Alt and `key` reaches through the access keys, if any.
  HWND AccessKeyTarget(wchar_t key) const;
  /// Whether `control` is one of the window's controls that can take the focus now.
  bool TakesFocus(HWND control) const;

  /// A brush of a colour, owned by the layer.
  static HBRUSH Brush(COLORREF colour);

 private:
  static ATOM ClassAtom();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR form);
  void SetIcons(int icon);
  void CreateControl(std::size_t row);
  void OrderForFocus();

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnControlMessage(HWND control, std::size_t row, UINT message, WPARAM wParam,
                           LPARAM lParam);
  LRESULT OnContainedMessage(HWND control, std::size_t row, UINT message, WPARAM wParam,
                             LPARAM lParam);
  LRESULT OnControlFocus(HWND control, std::size_t row, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnControlDestroy(HWND control, std::size_t row, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCommandMessage(WPARAM wParam, LPARAM lParam);
  LRESULT OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnActivate(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnClose();
  LRESULT OnEndSession(WPARAM ending);
  LRESULT OnDpiChanged(int dpi, const RECT& suggested);
  LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnColour(HDC dc, HWND control);
  void Layout(int dpi);
  HFONT FontFor(const FontDesign& font, int dpi);
  bool Close(CloseReason reason);

  struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
  };

  FormDesign design_;
  std::vector<ControlDesign> controls_;
  HWND hwnd_ = nullptr;
  std::map<int, HWND> items_;
  std::map<std::tuple<std::wstring, double, bool, int>,
           std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>>
      fonts_;
  std::optional<CloseReason> closing_;
  HWND lastFocus_ = nullptr;
};

}  // namespace win32
