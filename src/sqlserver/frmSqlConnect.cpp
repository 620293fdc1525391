// The connection dialog.
#include "sqlserver/frmSqlConnect.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include "platform/Platform.hpp"
#include "platform/QtUi.hpp"
#include "sqlserver/ConnectDialog.hpp"

using platform::DesignFont;
using platform::kMsGothic;
using platform::TwipsRect;

namespace {

const std::string kCaption = "サーバー接続設定";
const QColor kFocused(255, 255, 0);
const QColor kUnfocused(255, 255, 255);

/// The dialog's own icon: a database drum.
QIcon DialogIcon() {
  QPixmap image(128, 128);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(20, 60, 120), 4));
  painter.setBrush(QColor(70, 130, 200));
  painter.drawRect(20, 30, 88, 70);
  painter.drawEllipse(20, 86, 88, 28);
  painter.setPen(Qt::NoPen);
  painter.drawRect(22, 30, 84, 70);
  painter.setPen(QPen(QColor(20, 60, 120), 4));
  painter.setBrush(QColor(140, 190, 240));
  painter.drawEllipse(20, 16, 88, 28);
  return QIcon(image);
}

void SetBackground(QLineEdit* box, const QColor& color) {
  QPalette colours = box->palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Base, color);
  }
  box->setPalette(colours);
}

std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

}  // namespace

frmSqlConnect::frmSqlConnect(basCommon::Shared& shared, platform::Ui& ui)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      txtDataSource(new QLineEdit(this)),
      picLoginSecure(new QFrame(this)),
      txtUserID(new QLineEdit(this)),
      txtPasswd(new QLineEdit(this)),
      txtConnectionTimeout(new QLineEdit(QStringLiteral("15"), this)),
      cmdConn(new QPushButton(QStringLiteral("&OK"), this)),
      cmdCancel(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this)),
      shared_(shared),
      ui_(ui) {
  setObjectName(QStringLiteral("frmSqlConnect"));
  setWindowTitle(QString::fromStdString(kCaption));
  setWindowIcon(DialogIcon());
  setFont(DesignFont(kMsGothic, 10.5));
  setFixedSize(TwipsRect(0, 0, 5745, 2775).size());

  const std::pair<const char*, QRect> labels[] = {{"サーバー名", TwipsRect(150, 180, 1200, 300)},
                                                  {"認証方式", TwipsRect(150, 600, 1200, 300)},
                                                  {"ユーザー名", TwipsRect(360, 975, 1200, 300)},
                                                  {"パスワード", TwipsRect(360, 1335, 1200, 300)},
                                                  {"タイムアウト", TwipsRect(135, 1770, 1410, 300)},
                                                  {"秒", TwipsRect(2160, 1770, 465, 300)}};
  for (std::size_t i = 0; i < std::size(labels); ++i) {
    Label[i] = new QLabel(QString::fromUtf8(labels[i].first), this);
    Label[i]->setObjectName(QStringLiteral("Label_%1").arg(i));
    Label[i]->setGeometry(labels[i].second);
    Label[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }

  const struct {
    QLineEdit* box;
    const char* name;
    QRect place;
    int maxLength;
  } boxes[] = {{txtDataSource, "txtDataSource", TwipsRect(1560, 150, 4000, 300), 128},
               {txtUserID, "txtUserID", TwipsRect(1560, 930, 3705, 300), 64},
               {txtPasswd, "txtPasswd", TwipsRect(1560, 1290, 3705, 300), 64},
               {txtConnectionTimeout, "txtConnectionTimeout", TwipsRect(1560, 1740, 504, 300), 2}};
  for (const auto& design : boxes) {
    design.box->setObjectName(QString::fromUtf8(design.name));
    design.box->setGeometry(design.place);
    design.box->setMaxLength(design.maxLength);
    design.box->setAttribute(Qt::WA_InputMethodEnabled, false);
    design.box->installEventFilter(this);
  }
  txtPasswd->setEchoMode(QLineEdit::Password);
  txtPasswd->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  txtConnectionTimeout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  picLoginSecure->setObjectName(QStringLiteral("picLoginSecure"));
  picLoginSecure->setGeometry(TwipsRect(1560, 570, 4000, 300));
  picLoginSecure->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  optLoginSecure[2] = new QRadioButton(QStringLiteral("Windows認証"), picLoginSecure);
  optLoginSecure[2]->setGeometry(TwipsRect(144, -12, 1600, 300));
  optLoginSecure[1] = new QRadioButton(QStringLiteral("SQL Server 認証"), picLoginSecure);
  optLoginSecure[1]->setGeometry(TwipsRect(1860, -12, 2000, 300));
  for (int index : {1, 2}) {
    auto* option = optLoginSecure[static_cast<std::size_t>(index)];
    option->setObjectName(QStringLiteral("optLoginSecure_%1").arg(index));
    option->installEventFilter(this);
    connect(option, &QRadioButton::clicked, this, [this, index] { switchAuthentication(index); });
  }
  optLoginSecure[2]->setChecked(true);

  for (auto* button : {cmdConn, cmdCancel}) {
    button->setFont(DesignFont(kMsGothic, 9));
    // Neither button is the default: Enter and Esc press neither.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(this);
  }
  cmdConn->setObjectName(QStringLiteral("cmdConn"));
  cmdConn->setGeometry(TwipsRect(2295, 2205, 1200, 360));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(TwipsRect(4320, 2205, 1200, 360));
  connect(cmdConn, &QPushButton::clicked, this, &frmSqlConnect::connectToServer);
  connect(cmdCancel, &QPushButton::clicked, this, &frmSqlConnect::cancel);

  QWidget* order[] = {txtDataSource, optLoginSecure[2],    optLoginSecure[1], txtUserID,
                      txtPasswd,     txtConnectionTimeout, cmdConn,           cmdCancel};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  const SQLServer& settings = *shared_.gSQLServer;
  if (!basSQLServer::Trim(settings.DataSource()).empty()) {
    txtDataSource->setText(QString::fromStdString(settings.DataSource()));
    const int index = settings.LoginSecure() ? 2 : 1;
    optLoginSecure[static_cast<std::size_t>(index)]->setChecked(true);
    switchAuthentication(index);
    txtConnectionTimeout->setText(QString::number(settings.ConnectionTimeout()));
  } else {
    txtDataSource->setText(
        QString::fromStdString(platform::Environment("COMPUTERNAME") + "\\VORNAINSTANCE2"));
    switchAuthentication(2);
    txtConnectionTimeout->setText(QStringLiteral("15"));
  }
  txtDataSource->setFocus();
}

void frmSqlConnect::switchAuthentication(int index) {
  if (index != 1 && index != 2) return;
  const bool sqlLogin = index == 1;
  const QColor background =
      QApplication::palette().color(sqlLogin ? QPalette::Base : QPalette::Button);
  txtUserID->setText(sqlLogin ? QString()
                              : QString::fromStdString(platform::Environment("USERDOMAIN") + "\\" +
                                                       platform::Environment("USERNAME")));
  txtUserID->setEnabled(sqlLogin);
  SetBackground(txtUserID, background);
  txtPasswd->clear();
  txtPasswd->setEnabled(sqlLogin);
  SetBackground(txtPasswd, background);
}

void frmSqlConnect::connectToServer() {
  if (basSQLServer::Trim(Text(txtDataSource)).empty()) {
    warn("サーバー名を指定してください。");
    return;
  }
  if (basSQLServer::Trim(Text(txtUserID)).empty()) {
    warn("ユーザー名を指定してください。");
    return;
  }
  const bool windowsLogin = optLoginSecure[2]->isChecked();
  if (!windowsLogin && basSQLServer::Trim(Text(txtPasswd)).empty()) {
    warn("パスワードを指定してください。");
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QCoreApplication::processEvents();
  SQLServer& settings = *shared_.gSQLServer;
  settings.DataSource(basSQLServer::Trim(Text(txtDataSource)));
  settings.InitialCatalog("master");
  settings.LoginSecure(windowsLogin);
  settings.UserID(basSQLServer::Trim(Text(txtUserID)));
  settings.Password(basSQLServer::Trim(Text(txtPasswd)));
  settings.ConnectionTimeout(basSQLServer::TimeoutSeconds(Text(txtConnectionTimeout)));
  shared_.gConnection = settings.GetConnection();
  QApplication::restoreOverrideCursor();
  if (settings.ConnectingResult()) {
    unloadedByCode_ = true;
    accept();
  } else {
    warn(basSQLServer::ConnectFailureMessage(settings.ConnectingError()));
  }
}

void frmSqlConnect::cancel() {
  unloadedByCode_ = true;
  reject();
  ui_.EndProgram();
}

bool frmSqlConnect::timeoutMayLeave() {
  if (basSQLServer::NumericValue(Text(txtConnectionTimeout)) != 0) return true;
  warn("タイムアウトまでの時間(秒)を設定してください。");
  return false;
}

void frmSqlConnect::gotFocus(QLineEdit* box) {
  SetBackground(box, kFocused);
  box->setSelection(0, box->maxLength());
}

void frmSqlConnect::lostFocus(QLineEdit* box) {
  SetBackground(box, kUnfocused);
  if (box != txtConnectionTimeout) return;
  const double value = basSQLServer::NumericValue(Text(box));
  if (value < 0) box->setText(QString::fromStdString(basSQLServer::NumberText(-value)));
}

void frmSqlConnect::warn(const std::string& text) {
  ui_.MsgBox(text, platform::Icon::Exclamation, kCaption);
}

bool frmSqlConnect::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      // A message box or another window taking the focus is no move within the dialog.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (box == nullptr || reason == Qt::ActiveWindowFocusReason ||
          reason == Qt::PopupFocusReason) {
        break;
      }
      if (event->type() == QEvent::FocusIn) {
        gotFocus(box);
        break;
      }
      // Qt moves the focus before it delivers the click that moved it: the focus is taken back
      // and the click swallowed when it reaches the control.
      if (box == txtConnectionTimeout && reason == Qt::MouseFocusReason && !timeoutMayLeave()) {
        swallowClick_ = true;
        txtConnectionTimeout->setFocus(Qt::OtherFocusReason);
        return true;
      }
      lostFocus(box);
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (swallowClick_) {
        swallowClick_ = false;
        return true;
      }
      break;
    case QEvent::Shortcut:
      // An access key that would take the focus out of the time-out box.
      if (watched != txtConnectionTimeout && txtConnectionTimeout->hasFocus() &&
          !timeoutMayLeave()) {
        return true;
      }
      break;
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (watched == txtConnectionTimeout && (key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
          !timeoutMayLeave()) {
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void frmSqlConnect::keyPressEvent(QKeyEvent* event) {
  // Esc would reject the dialog: it presses no button here.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

void frmSqlConnect::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (!unloadedByCode_) ui_.EndProgram();
}
