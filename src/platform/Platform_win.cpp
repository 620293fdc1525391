// Windows side of the platform layer: the Windows API for text, files and the single-instance
// mutex, WMI for the process list.
#include <wbemidl.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/Ui.hpp"

namespace platform {
namespace {

constexpr UINT kCodePage932 = 932;

std::wstring Wide(std::string_view utf8) {
  const auto utf16 = ToUtf16(utf8);
  return {utf16.begin(), utf16.end()};
}

std::string Describe(const char* call, HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  return std::string("WMI: ") + call + " failed (" + code + ")";
}

void Check(HRESULT result, const char* call) {
  if (FAILED(result)) throw std::runtime_error(Describe(call, result));
}

struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, Releaser>;

struct BstrFree {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

Bstr MakeBstr(const std::wstring& text) { return Bstr(SysAllocString(text.c_str())); }

/// COM for this thread for the length of a call; a thread that already has COM keeps it.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {
    if (FAILED(result_) && result_ != RPC_E_CHANGED_MODE) Check(result_, "CoInitializeEx");
  }
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

/// Single bytes that Windows' table maps to U+0080 and to private-use characters although the
/// code page defines no character there; the Linux build refuses them, so this build does too.
bool IsUndefinedSingleByte(unsigned char byte) {
  return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

}  // namespace

std::string DecodeCp932(std::string_view bytes) {
  if (bytes.empty()) return {};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (IsUndefinedSingleByte(byte)) {
      throw DecodeError("invalid code page 932 byte sequence");
    }
    if (IsLeadByte(byte)) ++i;
  }
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) throw DecodeError("invalid code page 932 byte sequence");
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, bytes.data(), size,
                      reinterpret_cast<wchar_t*>(text.data()), length);
  return ToUtf8(text);
}

std::u16string ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length == 0) throw DecodeError("invalid UTF-8");
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size,
                      reinterpret_cast<wchar_t*>(text.data()), length);
  return text;
}

std::string ToUtf8(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(utf16.data());
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
  if (length == 0) throw DecodeError("invalid UTF-16");
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, size, text.data(), length, nullptr,
                      nullptr);
  return text;
}

bool IsAlphanumeric(char32_t character) {
  if (character > 0xFFFF) return false;
  const auto unit = static_cast<wchar_t>(character);
  WORD type = 0;
  return GetStringTypeW(CT_CTYPE1, &unit, 1, &type) && (type & (C1_ALPHA | C1_DIGIT)) != 0;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(Wide(utf8));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::filesystem::path ProgramFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
}

std::string AppComments() {
  std::wstring program(MAX_PATH, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> info(size);
  if (!GetFileVersionInfoW(program.c_str(), 0, size, info.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation)) {
    return {};
  }
  wchar_t key[64];
  std::swprintf(key, std::size(key), L"\\StringFileInfo\\%04x%04x\\Comments", translation->language,
                translation->codePage);
  wchar_t* comments = nullptr;
  if (!VerQueryValueW(info.data(), key, reinterpret_cast<void**>(&comments), &length) ||
      length == 0) {
    return {};
  }
  return ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(comments),
                                    std::char_traits<wchar_t>::length(comments)));
}

std::string Environment(std::string_view name) {
  const std::wstring key = Wide(name);
  const DWORD size = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::u16string value(size, u'\0');
  const DWORD length =
      GetEnvironmentVariableW(key.c_str(), reinterpret_cast<wchar_t*>(value.data()), size);
  value.resize(length);
  return ToUtf8(value);
}

struct InstanceLock::Handle {
  HANDLE mutex;
  ~Handle() { CloseHandle(mutex); }
};

InstanceLock::InstanceLock(std::string_view name) {
  const std::wstring mutexName = L"Local\\" + Wide(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
  if (mutex == nullptr) throw std::runtime_error("CreateMutexW failed: " + std::string(name));
  another_ = GetLastError() == ERROR_ALREADY_EXISTS;
  handle_ = std::make_unique<Handle>(mutex);
}

InstanceLock::~InstanceLock() = default;

std::vector<std::string> ProcessNames(const std::string& exeName) {
  const ComScope com;
  // Fails harmlessly when the process set its security already.
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                       RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  IWbemLocator* rawLocator = nullptr;
  Check(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                         reinterpret_cast<void**>(&rawLocator)),
        "CoCreateInstance(WbemLocator)");
  const ComPtr<IWbemLocator> locator(rawLocator);

  IWbemServices* rawServices = nullptr;
  const Bstr space = MakeBstr(L"ROOT\\CIMV2");
  Check(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                               &rawServices),
        "ConnectServer");
  const ComPtr<IWbemServices> services(rawServices);
  Check(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
        "CoSetProxyBlanket");

  // WQL compares case-insensitively; the caller makes the exact comparison.
  const Bstr language = MakeBstr(L"WQL");
  const Bstr query = MakeBstr(Wide("SELECT * FROM win32_process WHERE name='" + exeName + "'"));
  IEnumWbemClassObject* rawProcesses = nullptr;
  Check(services->ExecQuery(language.get(), query.get(),
                            WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                            &rawProcesses),
        "ExecQuery");
  const ComPtr<IEnumWbemClassObject> processes(rawProcesses);

  std::vector<std::string> names;
  for (;;) {
    IWbemClassObject* rawProcess = nullptr;
    ULONG returned = 0;
    Check(processes->Next(static_cast<long>(WBEM_INFINITE), 1, &rawProcess, &returned), "Next");
    if (returned == 0) break;
    const ComPtr<IWbemClassObject> process(rawProcess);
    VARIANT name;
    VariantInit(&name);
    Check(process->Get(L"Name", 0, &name, nullptr, nullptr), "Get(Name)");
    if (name.vt == VT_BSTR) {
      names.push_back(ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(name.bstrVal),
                                                 SysStringLen(name.bstrVal))));
    }
    VariantClear(&name);
  }
  return names;
}

}  // namespace platform
