// Takes a picture of each window as the screen shows it, caption and border included, into a PNG
// file, for the README's pictures and for a look at the layout. It needs a display (Wine's X11
// driver under Xvfb, say):
//   oravend_render_windows.exe FOLDER
// At a scaling other than 100 % the files' names end in it: frmOravend-150.png.
#include <windows.h>

#include <commctrl.h>
#include <wincodec.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "bankname/frmOravend.hpp"
#include "platform/Platform.hpp"
#include "progress/frmProgressBar.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestSupport.hpp"

namespace {

struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, Releaser>;

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) throw std::runtime_error(std::string(what) + " failed");
}

/// The screen's pixels where the window is, once it has drawn itself, into FOLDER/NAME.png.
void SavePicture(HWND window, const std::filesystem::path& folder, const std::wstring& name) {
  const UINT percent = GetDpiForWindow(window) * 100 / 96;
  const std::filesystem::path file =
      folder / (name + (percent == 100 ? L"" : L"-" + std::to_wstring(percent)) + L".png");
  SetForegroundWindow(window);
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  win32::DoEvents();
  GdiFlush();
  RECT outer{};
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  const HDC dc = CreateCompatibleDC(nullptr);
  const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  const HDC screen = GetDC(nullptr);
  BitBlt(dc, 0, 0, width, height, screen, outer.left, outer.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  auto* pixels = static_cast<BYTE*>(bits);
  for (int i = 0; i < width * height; ++i) pixels[i * 4 + 3] = 255;  // GDI leaves alpha at 0

  IWICImagingFactory* rawFactory = nullptr;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IWICImagingFactory, reinterpret_cast<void**>(&rawFactory)),
        "CoCreateInstance(WICImagingFactory)");
  const ComPtr<IWICImagingFactory> factory(rawFactory);
  IWICStream* rawStream = nullptr;
  Check(factory->CreateStream(&rawStream), "CreateStream");
  const ComPtr<IWICStream> stream(rawStream);
  Check(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE), "InitializeFromFilename");
  IWICBitmapEncoder* rawEncoder = nullptr;
  Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &rawEncoder), "CreateEncoder");
  const ComPtr<IWICBitmapEncoder> encoder(rawEncoder);
  Check(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), "Initialize");
  IWICBitmapFrameEncode* rawFrame = nullptr;
  Check(encoder->CreateNewFrame(&rawFrame, nullptr), "CreateNewFrame");
  const ComPtr<IWICBitmapFrameEncode> frame(rawFrame);
  Check(frame->Initialize(nullptr), "Frame Initialize");
  Check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), "SetSize");
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  Check(frame->SetPixelFormat(&format), "SetPixelFormat");
  Check(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                           static_cast<UINT>(width * height * 4), pixels),
        "WritePixels");
  Check(frame->Commit(), "Frame Commit");
  Check(encoder->Commit(), "Commit");
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  std::printf("%s\n", platform::PathToUtf8(file).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: oravend_render_windows.exe FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  SetEnvironmentVariableW(L"COMPUTERNAME", L"PC01");
  SetEnvironmentVariableW(L"USERDOMAIN", L"CORP");
  SetEnvironmentVariableW(L"USERNAME", L"user01");
  support::RecordingUi ui;

  SQLServer settings;
  std::unique_ptr<odbc::Connection> connection;
  {
    frmSqlConnect dialog(settings, connection, ui);
    dialog.Show();
    SavePicture(dialog.Handle(), folder, L"frmSqlConnect");
  }
  {
    frmSqlConnect dialog(settings, connection, ui);
    dialog.Show();
    SendMessageW(dialog.Item(frmSqlConnect::optLoginSecure0 + 1), BM_CLICK, 0, 0);
    dialog.SetText(frmSqlConnect::txtUserID, L"sa");
    dialog.SetText(frmSqlConnect::txtPasswd, L"password");
    SetFocus(dialog.Item(frmSqlConnect::txtPasswd));
    SavePicture(dialog.Handle(), folder, L"frmSqlConnect-sql-login");
  }
  {
    const support::TempDir files;
    // 0005,みらい銀行,ﾐﾗｲｷﾞﾝｺｳ,0005,新みらい銀行,ｼﾝﾐﾗｲｷﾞﾝｺｳ in code page 932.
    support::WriteFile(files.Path() / "ORV_BankName",
                       "0005,\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xD0\xD7\xB2\xB7\xDE\xDD\xBA"
                       "\xB3,0005,\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xBC\xDD\xD0\xD7"
                       "\xB2\xB7\xDE\xDD\xBA\xB3\r\n");
    basCommon::Shared shared;
    shared.ProgramFolder = files.Path();
    shared.ProductLabel = "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nトリベル\r\n";
    frmOravend window(shared, ui);
    if (!window.Load()) return 1;
    window.Show();
    SavePicture(window.Handle(), folder, L"frmOravend");
  }
  {
    frmProgressBar progress;
    progress.ShowCentred();
    progress.ProgressBarProperty(0, 8, 0);
    for (int i = 0; i < 3; ++i) progress.ProgressBarIncrease();
    SavePicture(progress.Handle(), folder, L"frmProgressBar");
  }
  return 0;
}
