// The progress window: a fixed message, a bar and a percentage; nothing the user can operate.
#include "progress/frmProgressBar.hpp"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "platform/QtUi.hpp"

using platform::DesignFont;
using platform::kMeiryo;
using platform::TwipsRect;

frmProgressBar::frmProgressBar()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      lblMsg(new QLabel(QStringLiteral("完了までしばらくお待ちください..."), this)),
      lblProgress(new QLabel(QStringLiteral("100%"), this)),
      ProgressBar1(new QProgressBar(this)) {
  setObjectName(QStringLiteral("frmProgressBar"));
  setWindowTitle(QStringLiteral("ソルテッカ"));
  setFixedSize(TwipsRect(0, 0, 4830, 1245).size());
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  lblMsg->setObjectName(QStringLiteral("lblMsg"));
  lblMsg->setFont(DesignFont(kMeiryo, 8.25));
  lblMsg->setGeometry(TwipsRect(180, 90, 3090, 225));
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setFont(DesignFont(kMeiryo, 9.75));
  lblProgress->setGeometry(TwipsRect(2100, 390, 1215, 255));
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(TwipsRect(120, 780, 4605, 360));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
}

void frmProgressBar::ProgressBarProperty(int minimum, int maximum, int value) {
  model_.Set(minimum, maximum, value);
  ShowModel();
}

void frmProgressBar::ProgressBarIncrease() {
  if (model_.Increase()) ShowModel();
}

void frmProgressBar::ShowCentred() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  move(screen.center() - rect().center());
  show();
}

void frmProgressBar::ShowModel() {
  // An empty range would make Qt's bar run a busy animation; it shows as empty instead.
  const int minimum = static_cast<int>(model_.Minimum());
  const int maximum = std::max(static_cast<int>(model_.Maximum()), minimum + 1);
  ProgressBar1->setRange(minimum, maximum);
  ProgressBar1->setValue(static_cast<int>(model_.Value()));
  lblProgress->setText(QString::fromStdString(model_.Text()));
}
