// The program's entry: the Win32 application around the start-up sequence.
#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "bankname/frmOravend.hpp"
#include "platform/Platform.hpp"
#include "platform/Win32Form.hpp"
#include "platform/Win32Loop.hpp"
#include "platform/Win32Ui.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "startup/Main.hpp"

namespace {

class Win32StartupHost : public basCommon::StartupHost {
 public:
  Win32StartupHost(platform::Ui& ui, const platform::InstanceLock& lock) : ui_(ui), lock_(lock) {}

  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    ui_.MsgBox(text, icon, title);
  }
  void EndProgram() override { ui_.EndProgram(); }
  bool PrevInstance() override { return lock_.AnotherInstance(); }
  void ShowConnectDialog(basCommon::Shared& shared) override {
    frmSqlConnect(*shared.gSQLServer, shared.gConnection, ui_).ShowModal();
  }
  void ShowMainWindow(basCommon::Shared& shared) override {
    mainWindow = std::make_unique<frmOravend>(shared, ui_);
    if (mainWindow->Load()) mainWindow->Show();
  }

  std::unique_ptr<frmOravend> mainWindow;

 private:
  platform::Ui& ui_;
  const platform::InstanceLock& lock_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // Held until the process ends: a later start sees this instance.
  const platform::InstanceLock lock(platform::AppTitle);
  win32::Ui ui;
  Win32StartupHost host(ui, lock);
  basCommon::Shared shared;
  shared.ProgramFolder = platform::ProgramFolder();
  basCommon::Main(shared, host);
  // The program goes on as long as the main window is open.
  const auto* window = host.mainWindow.get();
  win32::RunMessageLoop([window] { return window == nullptr || !window->IsLoaded(); });
  return 0;
}
