// Takes a picture of each window as the screen shows it, caption and border included, into a PNG
// file, for the README's pictures and for a look at the layout. It needs a display (Wine's X11
// driver under Xvfb, say):
//   oravend_render_windows.exe FOLDER
// At a scaling other than 100 % the files' names end in it: frmOravend-150.png.
#include <windows.h>

#include <commctrl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "bankname/frmOravend.hpp"
#include "platform/Platform.hpp"
#include "platform/Win32Loop.hpp"
#include "progress/frmProgressBar.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestSupport.hpp"
#include "windows/WindowTestSupport.hpp"

namespace {

using Microsoft::WRL::ComPtr;

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

  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(&factory)),
        "CoCreateInstance(WICImagingFactory)");
  Check(factory->CreateStream(&stream), "CreateStream");
  Check(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE), "InitializeFromFilename");
  Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), "CreateEncoder");
  Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "Initialize");
  Check(encoder->CreateNewFrame(&frame, nullptr), "CreateNewFrame");
  Check(frame->Initialize(nullptr), "Frame Initialize");
  Check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), "SetSize");
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
  windowtest::UseAccount();
  support::RecordingUi ui;
  SQLServer settings;
  std::unique_ptr<odbc::Connection> connection;
  for (const bool sqlLogin : {false, true}) {
    frmSqlConnect dialog(settings, connection, ui);
    dialog.Show();
    if (sqlLogin) {
      SendMessageW(dialog.Item(frmSqlConnect::optLoginSecure0 + 1), BM_CLICK, 0, 0);
      dialog.SetText(frmSqlConnect::txtUserID, L"sa");
      dialog.SetText(frmSqlConnect::txtPasswd, L"password");
      SetFocus(dialog.Item(frmSqlConnect::txtPasswd));
    }
    SavePicture(dialog.Handle(), folder, sqlLogin ? L"frmSqlConnect-sql-login" : L"frmSqlConnect");
  }
  {
    const support::TempDir files;
    support::WriteFile(files.Path() / "ORV_BankName", windowtest::kBankRecord);
    basCommon::Shared shared;
    shared.ProgramFolder = files.Path();
    shared.ProductLabel = "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nトリベル\r\n";
    frmOravend window(shared, ui);
    if (!window.Load()) return 1;
    window.Show();
    SavePicture(window.Handle(), folder, L"frmOravend");
  }
  frmProgressBar progress;
  progress.ShowCentred();
  progress.ProgressBarProperty(0, 8, 0);
  for (int i = 0; i < 3; ++i) progress.ProgressBarIncrease();
  SavePicture(progress.Handle(), folder, L"frmProgressBar");
  return 0;
}
