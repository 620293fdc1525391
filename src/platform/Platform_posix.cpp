// Linux side of the platform layer: iconv for text, /proc for the program and the process list,
// flock() for the single-instance lock.
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fstream>

#include "platform/Platform.hpp"
#include "platform/Ui.hpp"

namespace platform {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("No converter from ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  /// Converts all of `in`; any invalid or incomplete sequence raises DecodeError.
  std::string Convert(std::string_view in) {
    // A fresh start after a call that failed.
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, sizeof buffer - dstLeft);
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
        throw DecodeError("invalid byte sequence");
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string LoginName() {
  if (const passwd* pw = getpwuid(geteuid())) return pw->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

std::string BaseName(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

/// Every request and every value of a run passes through these: the converters are opened once
/// a thread, and ASCII, most of SQL text and of the catalog's answers, is copied as it is.
std::string DecodeCp932(std::string_view bytes) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(bytes);
}

std::u16string ToUtf16(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
    return std::u16string(utf8.begin(), utf8.end());
  }
  thread_local Converter converter(kUtf16, "UTF-8");
  const std::string bytes = converter.Convert(utf8);
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string ToUtf8(std::u16string_view utf16) {
  if (std::all_of(utf16.begin(), utf16.end(), [](char16_t c) { return c < 0x80; })) {
    return std::string(utf16.begin(), utf16.end());
  }
  thread_local Converter converter("UTF-8", kUtf16);
  return converter.Convert(
      std::string_view(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2));
}

bool IsAlphanumeric(char32_t character) {
  // The C.UTF-8 tables, whatever locale the process runs in.
  static const locale_t tables = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (tables == static_cast<locale_t>(0)) throw std::runtime_error("No C.UTF-8 locale");
  return character <= 0xFFFF && iswalnum_l(static_cast<wint_t>(character), tables) != 0;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

std::string AppComments() { return {}; }

std::filesystem::path ProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

std::string Environment(std::string_view name) {
  if (const char* value = std::getenv(std::string(name).c_str())) return value;
  if (name == "COMPUTERNAME" || name == "USERDOMAIN") return HostName();
  if (name == "USERNAME") return LoginName();
  return {};
}

struct InstanceLock::Handle {
  int fd;
  ~Handle() { close(fd); }
};

InstanceLock::InstanceLock(std::string_view name) {
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  const std::string path = std::string(runtimeDir && *runtimeDir ? runtimeDir : "/tmp") + "/" +
                           std::string(name) + "-" + std::to_string(geteuid()) + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
  handle_ = std::make_unique<Handle>(fd);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) throw std::runtime_error(path + ": " + std::strerror(errno));
    another_ = true;
  }
}

InstanceLock::~InstanceLock() = default;

std::vector<std::string> ProcessNames(const std::string&) {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc", error);
  if (error) throw std::runtime_error("/proc: " + error.message());
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // Processes come and go while the list is read, and other users' executables are not
    // readable: whatever cannot be read is skipped.
    const auto exe = std::filesystem::read_symlink(entry.path() / "exe", error);
    if (!error) names.push_back(exe.filename().string());
    std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
    std::string argv0;
    if (std::getline(cmdline, argv0, '\0') && !argv0.empty()) names.push_back(BaseName(argv0));
  }
  return names;
}

}  // namespace platform
