// Renders each window, filled as a user sees it, to a PNG: oravend_render_windows OUTPUT_DIR.
#include <QApplication>
#include <QDir>
#include <QPainter>

#include "bankname/frmOravend.hpp"
#include "platform/QtUi.hpp"
#include "progress/frmProgressBar.hpp"
#include "sqlserver/frmSqlConnect.hpp"
#include "support/TestSupport.hpp"

namespace {

/// The window's client area under a plain title bar that carries its caption.
void Save(QWidget& window, const QString& file) {
  window.show();
  QCoreApplication::processEvents();
  const QPixmap client = window.grab();
  const int bar = 26;
  QImage image(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  image.fill(QColor(90, 110, 140));
  QPainter painter(&image);
  painter.setPen(Qt::white);
  painter.setFont(platform::DesignFont(platform::kMeiryo, 9));
  painter.drawText(QRect(8, 0, image.width() - 16, bar), Qt::AlignVCenter, window.windowTitle());
  painter.drawPixmap(1, bar, client);
  painter.end();
  image.save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QDir output(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  support::RecordingUi ui;
  support::TempDir dir;
  // 0005,みらい銀行,ﾐﾗｲｷﾞﾝｺｳ,0005,新みらい銀行,ｼﾝﾐﾗｲｷﾞﾝｺｳ in code page 932
  support::WriteFile(
      dir.Path() / "ORV_BankName",
      "0005,\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3,"
      "0005,\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73,"
      "\xBC\xDD\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3\r\n");
  basCommon::Shared shared;
  shared.ProgramFolder = dir.Path();
  shared.gSQLServer = std::make_unique<SQLServer>();
  shared.ProductLabel =
      "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)\r\nNotara7(ノタラ7A)\r\n"
      "Notara4(ノタラ4A,ノタラ4B)\r\nトリベル\r\n";

  frmSqlConnect dialog(shared, ui);
  Save(dialog, output.filePath(QStringLiteral("frmSqlConnect.png")));
  dialog.optLoginSecure[1]->click();
  dialog.txtUserID->setText(QStringLiteral("sa"));
  dialog.txtPasswd->setText(QStringLiteral("secret"));
  Save(dialog, output.filePath(QStringLiteral("frmSqlConnect-sql-login.png")));

  frmOravend main(shared, ui);
  if (!main.Load()) return 1;
  Save(main, output.filePath(QStringLiteral("frmOravend.png")));

  frmProgressBar progress;
  progress.ProgressBarProperty(0, 8, 0);
  for (int i = 0; i < 3; ++i) progress.ProgressBarIncrease();
  Save(progress, output.filePath(QStringLiteral("frmProgressBar.png")));
  return 0;
}
