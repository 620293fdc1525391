// The program's entry: the Qt application around the start-up sequence.
#include <QApplication>

#include <memory>

#include "bankname/frmOravend.hpp"
#include "platform/Platform.hpp"
#include "platform/QtUi.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "startup/Main.hpp"

namespace {

class QtStartupHost : public basCommon::StartupHost {
 public:
  QtStartupHost(platform::QtUi& ui, const platform::InstanceLock& lock) : ui_(ui), lock_(lock) {}

  void MsgBox(const std::string& text, platform::Icon icon, const std::string& title) override {
    ui_.MsgBox(text, icon, title);
  }
  void EndProgram() override { ui_.EndProgram(); }
  bool PrevInstance() override { return lock_.AnotherInstance(); }
  void ShowConnectDialog(basCommon::Shared& shared) override {
    frmSqlConnect dialog(shared, ui_);
    dialog.exec();
  }
  void ShowMainWindow(basCommon::Shared& shared) override {
    mainWindow = std::make_unique<frmOravend>(shared, ui_);
    if (mainWindow->Load()) mainWindow->ShowCentred();
  }

  std::unique_ptr<frmOravend> mainWindow;

 private:
  platform::QtUi& ui_;
  const platform::InstanceLock& lock_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(platform::AppTitle));
  // Held until the process ends: a later start sees this instance.
  const platform::InstanceLock lock(platform::AppTitle);
  platform::QtUi ui;
  QtStartupHost host(ui, lock);
  basCommon::Shared shared;
  shared.ProgramFolder = platform::ProgramFolder();
  basCommon::Main(shared, host);
  if (ui.Ended() || !host.mainWindow || !host.mainWindow->isVisible()) return 0;
  return QApplication::exec();
}
