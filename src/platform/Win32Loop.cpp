// The message loop.
#include "platform/Win32Loop.hpp"

#include <atomic>

#include "platform/Win32Form.hpp"

namespace win32 {
namespace {

/// More messages than one pass over a queue ever holds: a handler that keeps posting cannot
/// keep the pass going.
constexpr int kMaxMessagesPerPass = 10000;

std::atomic<bool> hourglass{false};

}  // namespace

void Dispatch(MSG& message) {
  const HWND root = message.hwnd == nullptr ? nullptr : GetAncestor(message.hwnd, GA_ROOT);
  if (root != nullptr && Form::IsForm(root)) {
    if (auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(root, GWLP_USERDATA))) {
      if (form->PreTranslate(message)) return;
    }
    // The window may have gone meanwhile (a shortcut that closes it). Letters without Alt are
    // no access keys here: the dialog manager would press a focused button's neighbour on R.
    if (message.message != WM_CHAR && IsWindow(root) && IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void RunMessageLoop(const std::function<bool()>& done) {
  while (!done()) {
    MSG message{};
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loops around this one
      return;
    }
    if (got < 0) return;
    Dispatch(message);
  }
}

void DoEvents() {
  MSG message{};
  for (int i = 0; i < kMaxMessagesPerPass && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
       ++i) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

void SetHourglass(bool on) {
  hourglass = on;
  SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

bool Hourglass() { return hourglass.load(); }

}  // namespace win32
