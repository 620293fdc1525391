// The modal dialog in which the user says how to reach the SQL Server; it opens the shared
// connection through the settings object.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>

#include "platform/Ui.hpp"
#include "startup/Shared.hpp"

class frmSqlConnect : public QDialog {
  Q_OBJECT

 public:
  /// Takes the earlier settings of `shared.gSQLServer`, or the defaults from the environment.
  frmSqlConnect(basCommon::Shared& shared, platform::Ui& ui);

  std::array<QLabel*, 6> Label{};
  QLineEdit* txtDataSource;
  QFrame* picLoginSecure;
  /// Indexes 1 (SQL Server authentication) and 2 (Windows authentication); there is no 0.
  std::array<QRadioButton*, 3> optLoginSecure{};
  QLineEdit* txtUserID;
  QLineEdit* txtPasswd;
  QLineEdit* txtConnectionTimeout;
  QPushButton* cmdConn;
  QPushButton* cmdCancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void switchAuthentication(int index);
  void connectToServer();
  void cancel();
  /// The time-out box's check before the focus leaves it; false keeps the focus there.
  bool timeoutMayLeave();
  void gotFocus(QLineEdit* box);
  void lostFocus(QLineEdit* box);
  void warn(const std::string& text);

  basCommon::Shared& shared_;
  platform::Ui& ui_;
  bool unloadedByCode_ = false;
  bool swallowClick_ = false;
};
