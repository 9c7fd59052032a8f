#include "ui/frmAbt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/failure.h"
#include "session/about_box.h"
#include "ui/twips_geometry.h"

namespace tessaly {

namespace {

// The room a label's text takes with the label's own font, margins included.
QSize TextRoom(const QLabel& label) {
  const QFontMetrics metrics(label.font());
  QSize text = metrics.boundingRect(QRect(), int(label.alignment()), label.text()).size();
  // Advances and the laid-out width may round apart; the wider one is drawn.
  for (const QString& line : label.text().split('\n')) {
    text.setWidth(std::max(text.width(), metrics.horizontalAdvance(line)));
  }
  const QSize margins =
      label.size() - label.contentsRect().size() + QSize(2 * label.margin(), 2 * label.margin());
  return label.sizeHint().expandedTo(text + margins);
}

// The same for a button; its design size stays while the style's contents
// rectangle holds the text, as the style's preferred size may be wider than needed.
QSize TextRoom(const QPushButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  if (button.autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
  if (button.isDefault()) option.features |= QStyleOptionButton::DefaultButton;
  if (button.isFlat()) option.features |= QStyleOptionButton::Flat;
  const QSize contents =
      button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button).size();
  const QSize text = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, button.text());
  if (text.width() <= contents.width() && text.height() <= contents.height()) return button.size();
  return button.sizeHint().expandedTo(text + button.size() - contents);
}

}  // namespace

void StartCommandLine(const std::string& commandLine) {
  QString program = QString::fromStdString(commandLine);
  QProcess process;
#ifdef Q_OS_WIN
  // Only a quoted program ends before the text does: no blank of an unquoted path
  // may end it early (C:\Program.exe for C:\Program Files\...).
  const qsizetype close = program.startsWith('"') ? program.indexOf('"', 1) : -1;
  if (close > 0) {
    process.setNativeArguments(program.mid(close + 1));
    program = program.mid(1, close - 1);
  }
#else
  // Looked up here, where an empty PATH entry never stands for the current folder.
  if (!program.contains('/')) {
    const char* searchPath = std::getenv("PATH");
    program = QString::fromStdString(FindProgramInPath(commandLine, searchPath ? searchPath : ""));
  }
#endif
  process.setProgram(program);
  if (program.isEmpty() || !process.startDetached()) {
    throw Failure(err::kPathFileAccess,
                  "Cannot start \"" + commandLine + "\": " + process.errorString().toStdString());
  }
}

QPoint CentredTopLeft(const QRect& main, const QSize& box) {
  const about::Point at = about::CentredTopLeft(main.left(), main.top(), main.width(),
                                                main.height(), box.width(), box.height());
  return {at.x, at.y};
}

frmAbt::frmAbt(const QWidget& mainWindow, Reporter& reporter, AboutServices services)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      reporter_(reporter),
      services_(std::move(services)) {
  setObjectName("frmAbt");
  setAttribute(Qt::WA_DeleteOnClose);
  const TwipsScale twips(*this);
  setFixedSize(twips.Size(5460, 3555));

  // Created in tab order.
  cmdOK = new QPushButton("&OK", this);
  twips.Place(cmdOK, "cmdOK", 4020, 2625, 1185, 360);
  cmdSysInfo = new QPushButton("&System Info...", this);
  twips.Place(cmdSysInfo, "cmdSysInfo", 4020, 3075, 1185, 345);
  lblDisclaimer = new QLabel(this);
  twips.Place(lblDisclaimer, "lblDisclaimer", 255, 2625, 3630, 825);
  lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblTitle = new QLabel(this);
  twips.Place(lblTitle, "lblTitle", 900, 120, 3285, 240);
  lblVersion = new QLabel(this);
  twips.Place(lblVersion, "lblVersion", 900, 360, 2625, 225);
  lblWinVer = new QLabel(this);
  twips.Place(lblWinVer, "lblWinVer", 4380, 120, 1035, 195);
  lblBuild = new QLabel(this);
  twips.Place(lblBuild, "lblBuild", 4020, 360, 1395, 195);
  for (QLabel* label : {lblDisclaimer, lblTitle, lblVersion, lblWinVer, lblBuild}) {
    label->setTextFormat(Qt::PlainText);
  }
  setTabOrder(cmdOK, cmdSysInfo);
  cmdOK->setDefault(true);
  cmdOK->setFocus();
  connect(cmdOK, &QPushButton::clicked, this, &frmAbt::cmdOK_Click);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbt::cmdSysInfo_Click);

  Form_Load(mainWindow);
}

void frmAbt::Form_Load(const QWidget& mainWindow) {
  const QString title = QGuiApplication::applicationDisplayName();
  setWindowTitle(QString::fromStdString(about::Caption(title.toStdString())));
  lblVersion->setText(QString::fromStdString(about::VersionText()));
  lblTitle->setText(title);
  // The box's frame is not known before it is shown; the main window's is the
  // best guess for it.
  const QRect mainFrame = mainWindow.frameGeometry();
  const QSize decoration = mainFrame.size() - mainWindow.geometry().size();
  lblDisclaimer->setText(QString::fromStdString(about::MakerLines()));
  GetWinVersion();
  lblWinVer->setText(WinVer);
  lblBuild->setText(QString::fromStdString(about::BuildText(mOsVer.BuildNumber)));
  FitToTexts();
  move(CentredTopLeft(mainFrame, size() + decoration));
}

// The design sizes suit a narrower font than many systems have. A control too small
// for its text grows to the right and down, and the box grows to hold it.
void frmAbt::FitToTexts() {
  struct Control {
    QWidget* widget;
    bool label;
    QRect design;
    QRect now;
  };
  std::vector<Control> controls;
  const auto add = [&](QWidget* widget, bool label, QSize room) {
    const QRect design = widget->geometry();
    controls.push_back(
        {widget, label, design, QRect(design.topLeft(), room.expandedTo(design.size()))});
  };
  add(cmdOK, false, TextRoom(*cmdOK));
  add(cmdSysInfo, false, TextRoom(*cmdSysInfo));
  for (QLabel* label : {lblDisclaimer, lblTitle, lblVersion, lblWinVer, lblBuild}) {
    add(label, true, TextRoom(*label));
  }
  // The buttons, added first, stand one above the other and stay as wide as each other.
  const int buttonWidth = std::max(controls[0].now.width(), controls[1].now.width());
  controls[0].now.setWidth(buttonWidth);
  controls[1].now.setWidth(buttonWidth);

  // What a grown control would come too near moves right or down: it keeps its
  // design distance up to 135 twips across and 90 down, while lines of labels may
  // stack as lines of text do. Who lies beside or below whom is the design's, so
  // every move goes right or down and the moving ends.
  const TwipsScale twips(*this);
  const auto end = [](const QRect& r) { return QPoint(r.x() + r.width(), r.y() + r.height()); };
  for (bool moved = true; moved;) {
    moved = false;
    for (const Control& from : controls) {
      for (Control& to : controls) {
        const QPoint fromEnd = end(from.design);
        const QPoint toEnd = end(to.design);
        const bool rowsMeet = from.design.y() < toEnd.y() && to.design.y() < fromEnd.y();
        const bool columnsMeet = from.design.x() < toEnd.x() && to.design.x() < fromEnd.x();
        QPoint least = to.now.topLeft();
        if (rowsMeet && to.design.x() >= fromEnd.x()) {
          const int gap = std::min(to.design.x() - fromEnd.x(), twips.X(135));
          least.setX(std::max(least.x(), end(from.now).x() + gap));
        } else if (columnsMeet && to.design.y() >= fromEnd.y()) {
          const int gap =
              from.label && to.label ? 0 : std::min(to.design.y() - fromEnd.y(), twips.Y(90));
          least.setY(std::max(least.y(), end(from.now).y() + gap));
        }
        if (least != to.now.topLeft()) {
          to.now.moveTopLeft(least);
          moved = true;
        }
      }
    }
  }

  // Each control keeps its design margin to the box's right and bottom edges, up to
  // the 255 twips the buttons have.
  QSize box = size();
  for (const Control& control : controls) {
    control.widget->setGeometry(control.now);
    const QPoint margin = QPoint(width(), height()) - end(control.design);
    box = box.expandedTo(QSize(end(control.now).x() + std::min(margin.x(), twips.X(255)),
                               end(control.now).y() + std::min(margin.y(), twips.Y(255))));
  }
  setFixedSize(box);
}

void frmAbt::GetWinVersion() {
  try {
    mOsVer = services_.queryOsVersion();
    if (!mOsVer.PlatformName.empty()) WinVer = QString::fromStdString(mOsVer.PlatformName);
  } catch (const Failure& failure) {
    ReportFailure(reporter_, failure, Icon::Exclamation);
  }
}

void frmAbt::StartSysInfo() {
  if (!services_.registry) services_.registry = CreateSystemRegistry();
  tessaly::StartSysInfo(*services_.registry, services_.start, reporter_);
}

void frmAbt::cmdOK_Click() {
  close();
}

void frmAbt::cmdSysInfo_Click() {
  StartSysInfo();
}

void frmAbt::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  // The etched rule above the maker's lines.
  const TwipsScale twips(*this);
  QPainter painter(this);
  painter.setPen(QPen(QColor(128, 128, 128), 1));
  // It spans a box grown for its texts too.
  const int grown = width() - twips.X(5460);
  painter.drawLine(twips.Point(90, 2445), twips.Point(5340, 2445) + QPoint(grown, 0));
  // A white line two pixels wide, drawn as two rows so that it lies just below the
  // gray one instead of straddling it.
  painter.setPen(QPen(Qt::white, 1));
  const QPoint from = twips.Point(105, 2460);
  const QPoint to = twips.Point(5340, 2460) + QPoint(grown, 0);
  painter.drawLine(from, to);
  painter.drawLine(from + QPoint(0, 1), to + QPoint(0, 1));
}

void ShowAbout(QPointer<frmAbt>& box, const QWidget& mainWindow, Reporter& reporter,
               AboutServices services) {
  if (!box) box = new frmAbt(mainWindow, reporter, std::move(services));
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace tessaly
