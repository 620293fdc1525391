// The thin per-OS layer: text conversion, the program's folder, files, environment variables,
// the single-instance lock and the process list. One implementation per OS, chosen at build time.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Raised when bytes are not valid code page 932.
class DecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Decodes code page 932 (Shift_JIS with the Windows extensions) to UTF-8; strict: any byte
/// sequence the code page does not define raises DecodeError.
std::string DecodeCp932(std::string_view bytes);

/// UTF-8 <-> UTF-16 for the wide-character APIs (ODBC, Windows).
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

/// `utf8` with its control characters (C0, DEL, C1, the line and paragraph separators) written
/// as escapes ("\\r", "\\n", "\\t", "\\x1B", "\\u2028"), so that a name always stays one line.
std::string VisibleControls(std::string_view utf8);

/// Equal texts when ASCII letters are compared without regard to case.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

/// Whether the platform's character tables call a character of the Basic Multilingual Plane a
/// letter or a digit, in any script. Characters beyond that plane are neither.
bool IsAlphanumeric(char32_t character);

/// A path from UTF-8 text, and back; Windows paths are UTF-16 underneath.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

/// The folder that holds the running program file.
std::filesystem::path ProgramFolder();

/// True when a file (not a folder) exists at the full path.
bool FileExists(const std::filesystem::path& path);

/// The value of an environment variable, or empty text when it is not set. Where the system does
/// not set COMPUTERNAME, USERDOMAIN or USERNAME (Linux), they read as the host name, the host name
/// and the login name.
std::string Environment(std::string_view name);

/// Held for the life of the process: the first holder of a name is the only instance. Creation
/// is atomic, so of two processes started at the same moment exactly one is first.
class InstanceLock {
 public:
  explicit InstanceLock(std::string_view name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  /// True when another process already held the name.
  bool AnotherInstance() const { return another_; }

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  bool another_ = false;
};

/// Executable file names of running processes that may be called `exeName`. On Windows they come
/// from WMI's answer to the query "SELECT * FROM win32_process WHERE name='<exeName>'", whose
/// comparison ignores case; on Linux every process is listed by the file name of its executable
/// and of its first command-line argument (split at '/' and '\', so that Windows programs run
/// through a compatibility layer are seen). The caller makes the exact comparison. Raises
/// std::runtime_error with a description when the process list cannot be read.
std::vector<std::string> ProcessNames(const std::string& exeName);

}  // namespace platform
