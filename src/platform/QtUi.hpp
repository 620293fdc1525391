// The Qt side shared by the windows: message boxes and the end of the program for the core, and
// the conversion of the windows' design (twips, fonts) to Qt.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include "platform/Ui.hpp"

namespace platform {

class QtUi : public Ui {
 public:
  void MsgBox(const std::string& text, Icon icon, const std::string& title) override;
  /// Hides every window and leaves the event loops; main() then returns.
  void EndProgram() override;
  bool Ended() const { return ended_; }

 private:
  bool ended_ = false;
};

/// Twips (1/1440 inch) to pixels at 96 dpi: 15 twips a pixel. Qt scales for other densities.
int Twips(int twips);
QRect TwipsRect(int left, int top, int width, int height);

/// The design's font, or an installed Japanese font of the same kind where it is missing.
QFont DesignFont(const QString& family, double points, bool bold = false);
inline const QString kMeiryo = QStringLiteral("メイリオ");
inline const QString kMsGothic = QStringLiteral("ＭＳ ゴシック");

/// Text for display: the program's CR LF line breaks as Qt's LF.
QString DisplayText(const std::string& text);

}  // namespace platform
