// Message boxes with Qt, and the design conversions of the windows.
#include "platform/QtUi.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>
#include <QWidget>

#include <cmath>

namespace platform {

void QtUi::MsgBox(const std::string& text, Icon icon, const std::string& title) {
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Warning,
                                                 QMessageBox::Information, QMessageBox::Critical};
  QMessageBox box(kIcons[static_cast<int>(icon)], QString::fromStdString(title), DisplayText(text),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  // A message box shows the arrow even while the application shows the hourglass.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
}

void QtUi::EndProgram() {
  ended_ = true;
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  QCoreApplication::exit(0);
}

int Twips(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QRect TwipsRect(int left, int top, int width, int height) {
  return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

QFont DesignFont(const QString& family, double points, bool bold) {
  // The design's fonts come with Japanese Windows; elsewhere Noto's CJK fonts take their place,
  // the monospaced one for the monospaced MS Gothic.
  QString chosen = family;
  if (!QFontDatabase::hasFamily(family)) {
    const bool gothic = family == kMsGothic;
    const QString english = gothic ? QStringLiteral("MS Gothic") : QStringLiteral("Meiryo");
    chosen = QFontDatabase::hasFamily(english) ? english
             : gothic                          ? QStringLiteral("Noto Sans Mono CJK JP")
                                               : QStringLiteral("Noto Sans CJK JP");
  }
  QFont font(chosen);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QString DisplayText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace platform
