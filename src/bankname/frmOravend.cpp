// The main window.
#include "bankname/frmOravend.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "bankname/ControlFiles.hpp"
#include "platform/QtUi.hpp"

using platform::DesignFont;
using platform::kMeiryo;
using platform::kMsGothic;
using platform::TwipsRect;

namespace {

enum class Parent { Window, Panel, ProductBox };

struct LabelDesign {
  int index;
  Parent parent;
  const char* caption;
  int left, top, width, height;
  double points;  // 0: the window's font
  bool bold;
};

// The design of every label, in twips: index, container, caption, position, font.
constexpr LabelDesign kLabels[] = {
    {0, Parent::Window, "オラベンド", 240, 150, 6045, 270, 12, true},
    {1, Parent::Window, "本ツールは銀行名を一括で変更します。", 330, 585, 4695, 270, 0, false},
    {14, Parent::Window, "※完了まで数十秒程度かかる場合があります。", 345, 885, 5985, 270, 9,
     false},
    {2, Parent::Panel, "名称・カナは下記のように変更されます。(コードは変更されません。)", 165, 75,
     7560, 270, 9, false},
    {3, Parent::Panel, "コード", 270, 375, 600, 225, 0, false},
    {18, Parent::Panel, ":", 945, 375, 195, 225, 0, false},
    {6, Parent::Panel, "0005", 1140, 375, 750, 285, 0, false},
    {4, Parent::Panel, "名称", 270, 660, 600, 225, 0, false},
    {19, Parent::Panel, ":", 945, 660, 195, 225, 0, false},
    {7, Parent::Panel, "Label7", 1140, 660, 3195, 270, 0, false},
    {5, Parent::Panel, "カナ", 255, 945, 585, 225, 0, false},
    {20, Parent::Panel, ":", 945, 945, 195, 225, 0, false},
    {8, Parent::Panel, "Label8", 1140, 945, 3345, 270, 9, false},
    {9, Parent::Panel, "↓", 2385, 1230, 240, 225, 9.75, true},
    {17, Parent::Panel, "コード", 270, 1515, 585, 225, 0, false},
    {21, Parent::Panel, ":", 945, 1500, 195, 225, 0, false},
    {10, Parent::Panel, "0005", 1140, 1500, 750, 255, 0, false},
    {16, Parent::Panel, "名称", 270, 1800, 540, 225, 0, false},
    {22, Parent::Panel, ":", 945, 1800, 195, 225, 0, false},
    {11, Parent::Panel, "Label11", 1140, 1800, 3375, 270, 9, false},
    {15, Parent::Panel, "カナ", 270, 2085, 540, 225, 0, false},
    {23, Parent::Panel, ":", 945, 2085, 195, 225, 0, false},
    {12, Parent::Panel, "Label12", 1140, 2085, 3390, 270, 9, false},
    {13, Parent::ProductBox, "Label13", 195, 360, 5310, 1095, 9, false},
};

/// The bank record's fields as the value labels show them, in this order.
constexpr int kValueLabels[] = {6, 7, 8, 10, 11, 12};

}  // namespace

frmOravend::frmOravend(basCommon::Shared& shared, platform::Ui& ui)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      panel(new QFrame(this)),
      fmTargetFolder(new QGroupBox(QStringLiteral("行名変更の対象となる製品"), panel)),
      Frame1(new QGroupBox(QStringLiteral("更新対象"), panel)),
      cmdOK(new QPushButton(QStringLiteral("実行(&R)"), this)),
      cmdCancel(new QPushButton(QStringLiteral("閉じる(&X)"), this)),
      shared_(shared),
      ui_(ui) {
  setObjectName(QStringLiteral("frmOravend"));
  setWindowTitle(QString::fromStdString(basCommon::MainWindowCaption));
  setFont(DesignFont(kMeiryo, 9.75));
  setFixedSize(TwipsRect(0, 0, 8385, 6135).size());

  panel->setObjectName(QStringLiteral("frmOravend"));
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  panel->setGeometry(TwipsRect(150, 1215, 8070, 4290));
  panel->setFocusPolicy(Qt::StrongFocus);
  fmTargetFolder->setObjectName(QStringLiteral("fmTargetFolder"));
  fmTargetFolder->setGeometry(TwipsRect(270, 2430, 5670, 1620));
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(TwipsRect(6060, 2430, 1860, 1125));

  for (const auto& design : kLabels) {
    QWidget* parent = design.parent == Parent::Window  ? static_cast<QWidget*>(this)
                      : design.parent == Parent::Panel ? static_cast<QWidget*>(panel)
                                                       : fmTargetFolder;
    auto* label = new QLabel(QString::fromUtf8(design.caption), parent);
    label->setObjectName(QStringLiteral("lblMsg_%1").arg(design.index));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(TwipsRect(design.left, design.top, design.width, design.height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (design.points > 0) label->setFont(DesignFont(kMeiryo, design.points, design.bold));
    lblMsg[static_cast<std::size_t>(design.index)] = label;
  }

  // The scope choice is laid out but never shown: every run uses the master-only lists.
  const std::pair<const char*, QRect> options[] = {
      {"全て", TwipsRect(195, 345, 780, 315)}, {"マスターのみ", TwipsRect(195, 675, 1500, 315)}};
  for (std::size_t i = 0; i < 2; ++i) {
    optTargetTable[i] = new QRadioButton(QString::fromUtf8(options[i].first), Frame1);
    optTargetTable[i]->setObjectName(QStringLiteral("optTargetTable_%1").arg(i));
    optTargetTable[i]->setGeometry(options[i].second);
    connect(optTargetTable[i], &QRadioButton::clicked, this, &frmOravend::chooseScope);
  }
  optTargetTable[1]->setChecked(true);
  Frame1->setVisible(false);

  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(TwipsRect(3540, 5640, 1335, 375));
  cmdOK->setFont(DesignFont(kMeiryo, 9));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(TwipsRect(6345, 5640, 1335, 375));
  cmdCancel->setFont(DesignFont(kMsGothic, 9));
  connect(cmdOK, &QPushButton::clicked, this, &frmOravend::runUpdate);
  connect(cmdCancel, &QPushButton::clicked, this, &frmOravend::closeWindow);
  setTabOrder(cmdCancel, cmdOK);
  setTabOrder(cmdOK, panel);

  // Key preview: the window sees every key press before the control that has the focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

frmOravend::~frmOravend() = default;

bool frmOravend::Load() {
  try {
    chooseScope();
    const auto fields = basCommon::ReadBankName(shared_.ProgramFolder, ui_);
    lblMsg[13]->setText(platform::DisplayText(shared_.ProductLabel));
    for (std::size_t i = 0; i < std::size(kValueLabels); ++i) {
      if (i >= fields.size()) throw std::out_of_range(basCommon::SubscriptOutOfRange);
      lblMsg[static_cast<std::size_t>(kValueLabels[i])]->setText(QString::fromStdString(fields[i]));
    }
    return true;
  } catch (const std::exception& e) {
    ui_.MsgBox(e.what(), platform::Icon::Critical, basCommon::MainWindowCaption);
    ui_.EndProgram();
    return false;
  }
}

void frmOravend::ShowCentred() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  move(screen.center() - rect().center());
  show();
  cmdCancel->setFocus();
}

void frmOravend::chooseScope() {
  // Only the state of the first option counts, whichever option was clicked.
  if (optTargetTable[0]->isChecked()) {
    shared_.NotaraFile = basCommon::NotaraAllFile;
    shared_.VostrelFile = basCommon::VostrelAllFile;
  } else {
    shared_.NotaraFile = basCommon::NotaraMasterOnlyFile;
    shared_.VostrelFile = basCommon::VostrelMasterOnlyFile;
  }
}

void frmOravend::runUpdate() {
  basCommon::UpdateRun(*shared_.gConnection, shared_.ProgramFolder, shared_.NotaraFile,
                       shared_.VostrelFile, *this);
}

void frmOravend::closeWindow() {
  closingByProgram_ = true;
  close();
  closingByProgram_ = false;
}

void frmOravend::keyDown(int keyCode, int shift) {
  if (shift != 1) return;
  // click() does nothing while the button is disabled, as during a run.
  if (keyCode == Qt::Key_R) cmdOK->click();
  if (keyCode == Qt::Key_X) cmdCancel->click();
}

bool frmOravend::eventFilter(QObject* watched, QEvent* event) {
  // A key the focused control leaves unused goes on to its parents: it is seen once, where it
  // arrives first.
  QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
  if (event->type() == QEvent::KeyPress && watched == first) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    const int shift = (modifiers & Qt::ShiftModifier ? 1 : 0) |
                      (modifiers & Qt::ControlModifier ? 2 : 0) |
                      (modifiers & Qt::AltModifier ? 4 : 0);
    keyDown(key->key(), shift);
  }
  return QWidget::eventFilter(watched, event);
}

void frmOravend::closeEvent(QCloseEvent* event) {
  // The close box is refused while a run is in progress; the program's own close never is.
  if (!closingByProgram_ && IsRunning) {
    event->ignore();
    return;
  }
  event->accept();
}

void frmOravend::MsgBox(const std::string& text, platform::Icon icon, const std::string& title) {
  ui_.MsgBox(text, icon, title);
}

void frmOravend::EndProgram() { ui_.EndProgram(); }

void frmOravend::SetHourglass(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void frmOravend::SetButtonsEnabled(bool enabled) {
  cmdOK->setEnabled(enabled);
  cmdCancel->setEnabled(enabled);
}

void frmOravend::SetIsRunning(bool running) { IsRunning = running; }

void frmOravend::ShowProgress() {
  if (!progressBar) progressBar = std::make_unique<frmProgressBar>();
  progressBar->ShowCentred();
}

void frmOravend::HideProgress() { progressBar->hide(); }

void frmOravend::ProgressBarProperty(int minimum, int maximum, int value) {
  progressBar->ProgressBarProperty(minimum, maximum, value);
}

void frmOravend::ProgressBarIncrease() { progressBar->ProgressBarIncrease(); }

void frmOravend::DoEvents() { QCoreApplication::processEvents(); }
