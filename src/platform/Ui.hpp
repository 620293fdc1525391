// What the toolkit-free code asks of the user interface: message boxes and ending the program.
// The windows implement it with the Win32 API; tests record it.
#pragma once

#include <string>

namespace platform {

/// The application title, and the comments text of the program's version information (empty):
/// the titles of message boxes that name no window.
inline const std::string AppTitle = "Oravend";
std::string AppComments();

enum class Icon { None, Exclamation, Information, Critical };

class Ui {
 public:
  virtual ~Ui() = default;

  /// A modal message box with one OK button; returns when the user has dismissed it.
  virtual void MsgBox(const std::string& text, Icon icon, const std::string& title) = 0;

  /// Ends the program at once: windows close without their closing handlers running. The real
  /// program does not come back from this call; callers return right after it all the same.
  virtual void EndProgram() = 0;
};

}  // namespace platform
