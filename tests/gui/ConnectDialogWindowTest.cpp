// The connection dialog, driven as a user drives it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "sqlserver/frmSqlConnect.hpp"
#include "support/StandIn.hpp"

namespace {

using support::StandIn;

class ConnectDialogWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    qputenv("COMPUTERNAME", "PC01");
    qputenv("USERDOMAIN", "CORP");
    qputenv("USERNAME", "user01");
    shared_.gSQLServer = std::make_unique<SQLServer>();
  }
  /// The dialog shown and active, as start-up shows it.
  std::unique_ptr<frmSqlConnect> Open() {
    auto dialog = std::make_unique<frmSqlConnect>(shared_, ui_);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    return dialog;
  }
  static QColor Background(const QLineEdit* box) { return box->palette().color(QPalette::Base); }
  void Focus(QWidget* widget) {
    widget->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> texts;
    for (const auto& box : ui_.boxes) {
      EXPECT_EQ(box.icon, platform::Icon::Exclamation);
      EXPECT_EQ(box.title, "サーバー接続設定");
      texts.push_back(box.text);
    }
    return texts;
  }
  void SqlLogin(frmSqlConnect& dialog, const StandIn& server, const QString& password) {
    dialog.txtDataSource->setText(QString::fromStdString(server.DataSource()));
    QTest::mouseClick(dialog.optLoginSecure[1], Qt::LeftButton);
    dialog.txtUserID->setText(QString::fromUtf8(StandIn::kLogin));
    dialog.txtPasswd->setText(password);
  }

  basCommon::Shared shared_;
  support::RecordingUi ui_;
};

TEST_F(ConnectDialogWindowTest, OpensWithTheDefaultsOfTheEnvironment) {
  const auto dialog = Open();
  EXPECT_EQ(dialog->windowTitle(), "サーバー接続設定");
  EXPECT_EQ(dialog->txtDataSource->text(), "PC01\\VORNAINSTANCE2");
  EXPECT_TRUE(dialog->optLoginSecure[2]->isChecked());
  EXPECT_EQ(dialog->txtUserID->text(), "CORP\\user01");
  EXPECT_FALSE(dialog->txtUserID->isEnabled());
  EXPECT_EQ(Background(dialog->txtUserID), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(dialog->txtPasswd->text(), "");
  EXPECT_FALSE(dialog->txtPasswd->isEnabled());
  EXPECT_EQ(dialog->txtConnectionTimeout->text(), "15");
  EXPECT_TRUE(dialog->txtDataSource->hasFocus());
  EXPECT_EQ(Background(dialog->txtDataSource), QColor(255, 255, 0));
  EXPECT_EQ(dialog->txtDataSource->selectedText(), dialog->txtDataSource->text());
  EXPECT_FALSE(dialog->cmdConn->isDefault() || dialog->cmdConn->autoDefault());
}

TEST_F(ConnectDialogWindowTest, TheAuthenticationSwitchSetsTextsStatesAndColours) {
  const auto dialog = Open();
  QTest::mouseClick(dialog->optLoginSecure[1], Qt::LeftButton);
  EXPECT_EQ(dialog->txtUserID->text(), "");
  EXPECT_TRUE(dialog->txtUserID->isEnabled());
  EXPECT_TRUE(dialog->txtPasswd->isEnabled());
  EXPECT_EQ(Background(dialog->txtPasswd), QApplication::palette().color(QPalette::Base));
  dialog->txtPasswd->setText(QStringLiteral("x"));
  QTest::mouseClick(dialog->optLoginSecure[2], Qt::LeftButton);
  EXPECT_EQ(dialog->txtUserID->text(), "CORP\\user01");
  EXPECT_EQ(dialog->txtPasswd->text(), "");
  EXPECT_FALSE(dialog->txtPasswd->isEnabled());
}

TEST_F(ConnectDialogWindowTest, BlankEntriesAreRefusedInOrderWithoutAnAttempt) {
  const auto dialog = Open();
  dialog->txtDataSource->setText(QStringLiteral("   "));
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  dialog->txtDataSource->setText(QStringLiteral("S"));
  QTest::mouseClick(dialog->optLoginSecure[1], Qt::LeftButton);
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  dialog->txtUserID->setText(QStringLiteral("sa"));
  dialog->txtPasswd->setText(QStringLiteral("  "));
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  EXPECT_EQ(Warnings(), (std::vector<std::string>{"サーバー名を指定してください。",
                                                  "ユーザー名を指定してください。",
                                                  "パスワードを指定してください。"}));
  EXPECT_EQ(shared_.gConnection, nullptr);
  EXPECT_EQ(shared_.gSQLServer->DataSource(), "");
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConnectDialogWindowTest, AZeroTimeOutKeepsTheFocusAndSwallowsTheClick) {
  const auto dialog = Open();
  Focus(dialog->txtConnectionTimeout);
  dialog->txtConnectionTimeout->clear();
  for (QWidget* target :
       std::initializer_list<QWidget*>{dialog->cmdConn, dialog->cmdCancel, dialog->txtDataSource}) {
    QTest::mouseClick(target, Qt::LeftButton);
  }
  QTest::keyClick(dialog->txtConnectionTimeout, Qt::Key_Tab);
  EXPECT_EQ(Warnings(),
            std::vector<std::string>(4, "タイムアウトまでの時間(秒)を設定してください。"));
  EXPECT_TRUE(dialog->txtConnectionTimeout->hasFocus());
  EXPECT_EQ(Background(dialog->txtConnectionTimeout), QColor(255, 255, 0));
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_EQ(shared_.gConnection, nullptr);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConnectDialogWindowTest, ANegativeTimeOutTurnsPositiveAndHalvesRoundToEven) {
  StandIn server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, QStringLiteral(" ") + StandIn::kPassword + QStringLiteral(" "));
  Focus(dialog->txtConnectionTimeout);
  dialog->txtConnectionTimeout->setText(QStringLiteral("-5"));
  Focus(dialog->txtUserID);
  EXPECT_EQ(dialog->txtConnectionTimeout->text(), "5");
  EXPECT_EQ(Background(dialog->txtConnectionTimeout), QColor(255, 255, 255));
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  EXPECT_EQ(shared_.gSQLServer->ConnectionTimeout(), 5);
  EXPECT_EQ(shared_.gSQLServer->Password(), StandIn::kPassword);

  const auto again = Open();
  EXPECT_EQ(again->txtConnectionTimeout->text(), "5");
  again->txtConnectionTimeout->setText(QStringLiteral(".5"));
  again->txtUserID->setText(QString::fromUtf8(StandIn::kLogin));
  again->txtPasswd->setText(QString::fromUtf8(StandIn::kPassword));
  QTest::mouseClick(again->cmdConn, Qt::LeftButton);
  EXPECT_EQ(shared_.gSQLServer->ConnectionTimeout(), 0);
}

TEST_F(ConnectDialogWindowTest, AFailedAttemptExplainsInSevenLinesAndStaysOpen) {
  StandIn server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, QStringLiteral("wrong"));
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  const std::string message =
      "サーバーに接続できません。\r\n[FreeTDS][SQL Server]Login failed for user 'sa'.\r\n\r\n"
      "サーバーに接続できないのは以下の原因が考えられます。\r\n"
      "・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名、パスワードに誤りがある。\r\n"
      "・サーバー側のファイアーウォールの設定が不十分である。";
  EXPECT_EQ(Warnings(), std::vector<std::string>(2, message));
  int logins = 0;
  for (const auto& entry : server.WireLog()) logins += entry.value("kind", "") == "login";
  EXPECT_EQ(logins, 2);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(shared_.gSQLServer->ConnectingResult());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ConnectDialogWindowTest, ASuccessfulAttemptClosesTheDialogWithTheConnectionOpen) {
  StandIn server;
  const auto dialog = Open();
  SqlLogin(*dialog, server, QString::fromUtf8(StandIn::kPassword));
  QTest::mouseClick(dialog->cmdConn, Qt::LeftButton);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(shared_.gSQLServer->ConnectingResult());
  ASSERT_NE(shared_.gConnection, nullptr);
  EXPECT_TRUE(shared_.gConnection->IsOpen());
  EXPECT_EQ(shared_.gSQLServer->InitialCatalog(), "master");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(ui_.ended, 0);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ConnectDialogWindowTest, CancelAndTheCloseBoxEndTheProgram) {
  const auto dialog = Open();
  QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
  EXPECT_EQ(ui_.ended, 1);
  const auto other = Open();
  other->close();
  EXPECT_EQ(ui_.ended, 2);
  EXPECT_EQ(shared_.gConnection, nullptr);
}

TEST_F(ConnectDialogWindowTest, EarlierSettingsAreTakenOver) {
  shared_.gSQLServer->DataSource("SRV\\INST");
  shared_.gSQLServer->LoginSecure(false);
  shared_.gSQLServer->ConnectionTimeout(30);
  const auto dialog = Open();
  EXPECT_EQ(dialog->txtDataSource->text(), "SRV\\INST");
  EXPECT_TRUE(dialog->optLoginSecure[1]->isChecked());
  EXPECT_EQ(dialog->txtUserID->text(), "");
  EXPECT_TRUE(dialog->txtUserID->isEnabled());
  EXPECT_TRUE(dialog->txtPasswd->isEnabled());
  EXPECT_EQ(dialog->txtConnectionTimeout->text(), "30");
}

}  // namespace
