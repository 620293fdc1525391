// The main window, the progress window and the message boxes, driven as a user drives them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "bankname/ControlFiles.hpp"
#include "bankname/frmOravend.hpp"
#include "platform/QtUi.hpp"
#include "support/StandIn.hpp"

namespace {

using support::StandIn;

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    shared_.ProgramFolder = dir_.Path();
    support::WriteFile(dir_.Path() / "ORV_BankName", "0005,A,B,0005,C,D\r\n");
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly",
                       "TBank,BankCode,BankName,BankKana\r\n");
    support::WriteFile(dir_.Path() / "ORV_Vostrel_MasterOnly",
                       "M_BANK,BANK_CD,BANK_NM,BANK_KN\r\n");
  }
  std::unique_ptr<frmOravend> Open() {
    auto window = std::make_unique<frmOravend>(shared_, ui_);
    if (window->Load()) {
      window->ShowCentred();
      QApplication::setActiveWindow(window.get());
      EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    return window;
  }
  static QString Text(const frmOravend& window, int index) {
    return window.lblMsg[static_cast<std::size_t>(index)]->text();
  }
  /// A key as the user types it: to the control that has the focus.
  static void Type(frmOravend& window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused ? focused : &window, key, modifiers);
  }
  void ConnectTo(const StandIn& server) { shared_.gConnection = server.Connect(); }

  support::TempDir dir_;
  basCommon::Shared shared_;
  support::RecordingUi ui_;
};

TEST_F(MainWindowTest, ShowsTheBankRecordBeforeAndAfterAndTheProducts) {
  support::WriteFile(dir_.Path() / "ORV_BankName", "0005,A,B,0005,C,D,E\r\n");
  shared_.ProductLabel = "Notara7(ノタラ7A)\r\nトリベル\r\n";
  const auto window = Open();
  EXPECT_EQ(window->windowTitle(), "オラベンド");
  EXPECT_EQ((QStringList{Text(*window, 6), Text(*window, 7), Text(*window, 8)}),
            (QStringList{"0005", "A", "B"}));
  EXPECT_EQ((QStringList{Text(*window, 10), Text(*window, 11), Text(*window, 12)}),
            (QStringList{"0005", "C", "D"}));
  EXPECT_EQ(Text(*window, 13), "Notara7(ノタラ7A)\nトリベル\n");
  EXPECT_EQ(shared_.NotaraFile, "ORV_Notara_MasterOnly");
  EXPECT_EQ(shared_.VostrelFile, "ORV_Vostrel_MasterOnly");
  EXPECT_FALSE(window->Frame1->isVisible());
  EXPECT_TRUE(window->cmdCancel->hasFocus());
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(MainWindowTest, ARecordWithTooFewFieldsEndsTheProgramBeforeTheWindowShows) {
  support::WriteFile(dir_.Path() / "ORV_BankName", "0005,A,B,0005,C\r\n");
  const auto window = Open();
  EXPECT_FALSE(window->isVisible());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, basCommon::SubscriptOutOfRange);
  EXPECT_EQ(ui_.boxes[0].icon, platform::Icon::Critical);
  EXPECT_EQ(ui_.boxes[0].title, "オラベンド");
  EXPECT_EQ(ui_.ended, 1);
}

TEST_F(MainWindowTest, ShiftRRunsOnlyWithShiftAloneAndShiftXCloses) {
  StandIn server;
  ConnectTo(server);
  const auto window = Open();
  Type(*window, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  Type(*window, Qt::Key_R);
  EXPECT_TRUE(ui_.boxes.empty());
  Type(*window, Qt::Key_R, Qt::ShiftModifier);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "対象製品の会社データベースが見つかりません。");
  EXPECT_EQ(ui_.boxes[0].icon, platform::Icon::Exclamation);
  // No database: the window is usable again and the progress window is hidden.
  EXPECT_TRUE(window->cmdOK->isEnabled());
  EXPECT_FALSE(window->IsRunning);
  EXPECT_FALSE(window->progressBar->isVisible());
  EXPECT_EQ(ui_.ended, 0);

  Type(*window, Qt::Key_X, Qt::ShiftModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TheCloseBoxIsRefusedDuringARun) {
  const auto window = Open();
  window->SetButtonsEnabled(false);
  window->SetIsRunning(true);
  window->close();
  EXPECT_TRUE(window->isVisible());
  Type(*window, Qt::Key_X, Qt::ShiftModifier);
  EXPECT_TRUE(window->isVisible());
  window->SetIsRunning(false);
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(MainWindowTest, ARunShowsItsProgressAndEndsWithCompletion) {
  std::string seed;
  for (const char* db : {"qnt8dat01", "zarvekkdat01", "qnt8dat02", "zarvekkbank", "zarvekkdat02"}) {
    seed += std::string("CREATE DATABASE ") + db + "\nGO\n";
  }
  StandIn server({.seed = seed + "USE qnt8dat01\nCREATE TABLE TBank (BankCode char(4), BankName "
                                 "nvarchar(20))\nINSERT INTO TBank VALUES ('0005', N'A')\n"});
  ConnectTo(server);
  const auto window = Open();
  QTest::mouseClick(window->cmdOK, Qt::LeftButton);
  ASSERT_NE(window->progressBar, nullptr);
  EXPECT_EQ(window->progressBar->windowTitle(), "ソルテッカ");
  EXPECT_EQ(window->progressBar->lblProgress->text(), "100%");
  EXPECT_EQ(window->progressBar->ProgressBar1->maximum(), 5);
  EXPECT_EQ(window->progressBar->ProgressBar1->value(), 5);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "完了しました。");
  EXPECT_EQ(ui_.boxes[0].icon, platform::Icon::Information);
  EXPECT_EQ(ui_.boxes[0].title, "オラベンド");
  EXPECT_EQ(ui_.ended, 1);
  EXPECT_EQ(
      server.Connect("qnt8dat01")->Execute("SELECT BankName FROM TBank").at(0).rows.at(0).at(0),
      "C");
}

TEST(ProgressWindowTest, ShowsTheStepsAndCannotBeClosedByTheUser) {
  frmProgressBar window;
  EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinMaxButtonsHint);
  window.ProgressBarProperty(0, 8, 0);
  EXPECT_EQ(window.lblProgress->text(), "0%");
  window.ProgressBarIncrease();
  EXPECT_EQ(window.lblProgress->text(), "12%");
  EXPECT_EQ(window.ProgressBar1->value(), 1);
  window.ProgressBarProperty(0, 0, 0);
  window.ProgressBarIncrease();
  EXPECT_EQ(window.lblProgress->text(), "0%");
  EXPECT_EQ(window.ProgressBar1->value(), 0);
}

TEST(MessageBoxTest, OneOkButtonWithTheGivenIconAndTitle) {
  platform::QtUi ui;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title, text;
  QList<QAbstractButton*> buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    title = box->windowTitle();
    text = box->text();
    buttons = box->buttons();
    box->accept();
  });
  ui.MsgBox("a\r\nb", platform::Icon::Critical, "オラベンド");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(title, "オラベンド");
  EXPECT_EQ(text, "a\nb");
  EXPECT_EQ(buttons.size(), 1);
}

}  // namespace
