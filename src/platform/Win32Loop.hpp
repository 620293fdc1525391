// The program's message loop: the routing of every queued message (the window's own look first,
// then the dialog manager's focus order and access keys), the main loop, the one pass of pending
// messages that a run lets through, and the application-wide pointer.
#pragma once

#include <windows.h>

#include <functional>

namespace win32 {

/// Routes a message of the program's queue: to its window's PreTranslate, then to the dialog
/// manager (focus order, access keys), then to its window procedure.
void Dispatch(MSG& message);

/// Runs the program's message loop until `done()` holds.
void RunMessageLoop(const std::function<bool()>& done);

/// Lets the pending window messages run: one pass over the queue.
void DoEvents();

/// The application-wide pointer: the hourglass over every window of the program while set.
void SetHourglass(bool on);
/// Whether it is set; safe to ask from any thread.
bool Hourglass();

}  // namespace win32
