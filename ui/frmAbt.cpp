#include "ui/frmAbt.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <cmath>
#include <cstdlib>

#include "platform/failure.h"
#include "ui/twips_geometry.h"

namespace tessaly {

namespace {

constexpr const char* kCopyright = "Copyright (c) 2026 The Tessaly developers";
constexpr const char* kWebAddress = "https://tessaly.example.org";
constexpr const char* kSupportAddress = "support@tessaly.example.org";

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
  const double top = main.top() + (main.height() - box.height()) / 2.0;
  const double left = main.left() + (main.width() - box.width()) / 2.0;
  // Halves round the same way on either side of the screen's origin.
  return QPoint(static_cast<int>(std::floor(left + 0.5)), static_cast<int>(std::floor(top + 0.5)));
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
  setWindowTitle("About " + title);
  lblVersion->setText(QString("Version %1.%2.%3")
                          .arg(TESSALY_VERSION_MAJOR)
                          .arg(TESSALY_VERSION_MINOR)
                          .arg(TESSALY_VERSION_PATCH));
  lblTitle->setText(title);
  // The box's frame is not known before it is shown; the main window's is the
  // best guess for it.
  const QRect mainFrame = mainWindow.frameGeometry();
  const QSize decoration = mainFrame.size() - mainWindow.geometry().size();
  move(CentredTopLeft(mainFrame, size() + decoration));
  lblDisclaimer->setText(QString(kCopyright) + "\n" + kWebAddress + "\nMail to " + kSupportAddress);
  GetWinVersion();
  lblWinVer->setText(WinVer);
  lblBuild->setText("Build " + QString::number(mOsVer.BuildNumber));
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
  painter.drawLine(twips.Point(90, 2445), twips.Point(5340, 2445));
  // A white line two pixels wide, drawn as two rows so that it lies just below the
  // gray one instead of straddling it.
  painter.setPen(QPen(Qt::white, 1));
  const QPoint from = twips.Point(105, 2460);
  const QPoint to = twips.Point(5340, 2460);
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
