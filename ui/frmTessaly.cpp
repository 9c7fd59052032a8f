#include "ui/frmTessaly.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "ui/card_table_model.h"
#include "ui/file_dialogs.h"
#include "ui/frmAbt.h"
#include "ui/gui_thread_reporter.h"
#include "ui/notes_to_journal.h"
#include "ui/twips_geometry.h"

namespace tessaly {

namespace {

// Design sizes in twips.
constexpr double kClientWidth = 7875;
constexpr double kToolbarHeight = 450;
constexpr double kListsTop = 480;
constexpr double kListsHeight = 3975;
constexpr double kStatusBarTop = 4485;
constexpr double kCsvWidth = 2055;
constexpr double kCsvColumnWidth = 1755;
constexpr double kMdbLeft = 2040;  // overlaps lvCSV by 15 twips
constexpr double kMdbWidth = 5835;
constexpr double kIndexColumnWidth = 600;
constexpr double kFieldColumnWidth = 1000;

const QString kOpenKey = QStringLiteral("Open");
const QString kParseKey = QStringLiteral("Parse");
const QString kSaveKey = QStringLiteral("Save");
const QString kProgressKey = QStringLiteral("Progress");

// A conversion shows its progress once it has run this long, at most this often.
constexpr qint64 kProgressAfterMs = 500;
constexpr int kProgressEveryMs = 100;

QString FromUtf16(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// The window's hourglass for the length of a scope, however the scope ends.
class WaitPointer {
 public:
  explicit WaitPointer(QWidget* window) : window_(window) { window_->setCursor(Qt::WaitCursor); }
  ~WaitPointer() { window_->unsetCursor(); }
  WaitPointer(const WaitPointer&) = delete;
  WaitPointer& operator=(const WaitPointer&) = delete;

 private:
  QWidget* window_;
};

}  // namespace

frmTessaly::frmTessaly(modCSV& csv, FileDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), csv_(csv), dialogs_(dialogs), reporter_(csv.reporter()) {
  setObjectName(QStringLiteral("frmTessaly"));
  setWindowTitle(QStringLiteral("Dask Orvane Tessaly"));
  setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  // No toolbar toggling: the toolbar is part of the window, as designed.
  setContextMenuPolicy(Qt::NoContextMenu);
  openDocument = OpenWithDesktopViewer;

  CreateMenus();
  CreateToolbar();
  CreateLists();
  CreateStatusBar();
  Form_Load();
  UpdateActions();
}

frmTessaly::~frmTessaly() = default;

void frmTessaly::CreateMenus() {
  auto addItem = [this](QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut, bool enabled, void (frmTessaly::*slot)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };

  mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  mnuFileOpen = addItem(mnuFile, "mnuFileOpen", QStringLiteral("&Open"),
                        QKeySequence(Qt::CTRL | Qt::Key_O), true, &frmTessaly::mnuFileOpen_Click);
  mnuFileSaveAs =
      addItem(mnuFile, "mnuFileSaveAs", QStringLiteral("&Save as..."),
              QKeySequence(Qt::CTRL | Qt::Key_S), false, &frmTessaly::mnuFileSaveAs_Click);
  mnuBar1 = mnuFile->addSeparator();
  mnuBar1->setObjectName(QStringLiteral("mnuBar1"));
  mnuExit = addItem(mnuFile, "mnuExit", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                    true, &frmTessaly::mnuExit_Click);

  mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
  mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
  mnuEditParse =
      addItem(mnuEdit, "mnuEditParse", QStringLiteral("&Parse records"),
              QKeySequence(Qt::CTRL | Qt::Key_P), false, &frmTessaly::mnuEditParse_Click);
  mnuNotesToJournal = addItem(mnuEdit, "mnuNotesToJournal", QStringLiteral("Notes to &Journal"),
                              QKeySequence(), true, &frmTessaly::mnuNotesToJournal_Click);

  mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  mnuHelpIndex = addItem(mnuHelp, "mnuHelpIndex", QStringLiteral("&Index..."), QKeySequence(), true,
                         &frmTessaly::mnuHelpIndex_Click);
  mnuHelpAbout = addItem(mnuHelp, "mnuHelpAbout", QStringLiteral("&About"),
                         QKeySequence(Qt::CTRL | Qt::Key_A), true, &frmTessaly::mnuHelpAbout_Click);
}

void frmTessaly::CreateToolbar() {
  Toolbar1 = new QToolBar(QStringLiteral("Toolbar"), this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setMovable(false);
  Toolbar1->setFloatable(false);
  addToolBar(Qt::TopToolBarArea, Toolbar1);

  struct ButtonDesign {
    const QString& key;
    const char* toolTip;
    const char* themeIcon;
    QStyle::StandardPixmap fallback;
  };
  const ButtonDesign buttons[] = {
      {kOpenKey, "Open Card export file", "document-open", QStyle::SP_DialogOpenButton},
      {kParseKey, "Parse CSV file into MDB file", "system-run", QStyle::SP_MediaPlay},
      {kSaveKey, "Save MDB file", "document-save", QStyle::SP_DialogSaveButton},
  };
  for (const ButtonDesign& design : buttons) {
    // One action per command: menu item and button can never disagree.
    QAction* action = design.key == kOpenKey    ? mnuFileOpen
                      : design.key == kParseKey ? mnuEditParse
                                                : mnuFileSaveAs;
    action->setIcon(QIcon::fromTheme(QString::fromLatin1(design.themeIcon),
                                     style()->standardIcon(design.fallback)));
    action->setIconVisibleInMenu(false);
    action->setData(design.key);
    action->setToolTip(QString::fromLatin1(design.toolTip));
    Toolbar1->addAction(action);
  }
}

void frmTessaly::CreateLists() {
  const TwipsScale twips(*this);
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  // The area between toolbar and status bar; the lists are placed in it as designed
  // and sized by the layout rule, not by a layout.
  client->setMinimumSize(twips.X(kClientWidth), twips.Y(kStatusBarTop - kToolbarHeight));
  setCentralWidget(client);
  const int top = twips.Y(kListsTop - kToolbarHeight);

  // Created in tab order; lvCSV, created last, lies over lvMDB where they overlap.
  lvMDB = new QTableView(client);
  lvMDB->setObjectName(QStringLiteral("lvMDB"));
  lvMDB->setGeometry(twips.X(kMdbLeft), top, twips.X(kMdbWidth), twips.Y(kListsHeight));
  model_ = new CardTableModel(this);
  lvMDB->setModel(model_);
  lvMDB->setShowGrid(false);
  lvMDB->setWordWrap(false);
  lvMDB->setCornerButtonEnabled(false);
  lvMDB->setTabKeyNavigation(false);
  lvMDB->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvMDB->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvMDB->setSelectionMode(QAbstractItemView::SingleSelection);
  lvMDB->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  lvMDB->verticalHeader()->hide();
  // Fixed row heights keep a long list as cheap as a short one.
  lvMDB->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lvMDB->verticalHeader()->setDefaultSectionSize(lvMDB->fontMetrics().height() + 4);
  lvMDB->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lvMDB->horizontalHeader()->setHighlightSections(false);
  lvMDB->horizontalHeader()->setStretchLastSection(false);
  connect(model_, &CardTableModel::readFailed, this, &frmTessaly::ReportListFailure,
          Qt::QueuedConnection);

  lvCSV = new QTreeWidget(client);
  lvCSV->setObjectName(QStringLiteral("lvCSV"));
  lvCSV->setGeometry(0, top, twips.X(kCsvWidth), twips.Y(kListsHeight));
  lvCSV->setColumnCount(1);
  lvCSV->setHeaderLabels({QStringLiteral("Orvane Fields")});
  lvCSV->setColumnWidth(0, twips.X(kCsvColumnWidth));
  lvCSV->header()->setStretchLastSection(false);
  lvCSV->setRootIsDecorated(false);
  lvCSV->setUniformRowHeights(true);
  lvCSV->setAllColumnsShowFocus(true);
  lvCSV->setEditTriggers(QAbstractItemView::NoEditTriggers);

  setTabOrder(lvMDB, lvCSV);
}

void frmTessaly::CreateStatusBar() {
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  const TwipsScale twips(*this);
  const std::pair<QString, double> design[] = {
      {QStringLiteral("CSVfile"), 2000}, {kProgressKey, 3200}, {QStringLiteral("MDBfile"), 2000}};
  for (const auto& [key, width] : design) {
    auto* panel = new QLabel(statusBar());
    panel->setObjectName(key);
    panel->setFixedWidth(twips.X(width));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panel);
    panels_.push_back(panel);
  }
}

void frmTessaly::Form_Load() {
  resize(sizeHint());
  layout()->activate();
  mMinWidth = width();
  mMinHeight = height();
  mCsvHeight = lvCSV->height();
  mMdbWidth = lvMDB->width();
  mMdbHeight = lvMDB->height();
  // The toolkit refuses sizes below this, so a drag past it snaps back.
  setMinimumSize(mMinWidth, mMinHeight);
}

void frmTessaly::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  Form_Resize();
}

void frmTessaly::Form_Resize() {
  if (mMinWidth == 0) return;  // not loaded yet
  // Extra size is measured from the load size, so back at that size the lists are
  // back at theirs (never left taller or wider than the window).
  const int extraHeight = std::max(0, height() - mMinHeight);
  lvCSV->resize(lvCSV->width(), mCsvHeight + extraHeight);
  lvMDB->resize(lvMDB->width(), mMdbHeight + extraHeight);
  const int extraWidth = std::max(0, width() - mMinWidth);
  lvMDB->resize(mMdbWidth + extraWidth, lvMDB->height());
}

void frmTessaly::closeEvent(QCloseEvent* event) {
  // The converter is the conversion's until it ends; the window closes then.
  if (converting_) {
    closeRequested_ = true;
    event->ignore();
    return;
  }
  csv_.CloseCardDatabase();
  event->accept();
  QCoreApplication::quit();
}

QLabel* frmTessaly::Panel(const QString& key) const {
  for (QLabel* panel : panels_) {
    if (panel->objectName() == key) return panel;
  }
  return nullptr;
}

QAction* frmTessaly::Button(const QString& key) const {
  for (QAction* button : Toolbar1->actions()) {
    if (button->data().toString() == key) return button;
  }
  return nullptr;
}

void frmTessaly::UpdateActions() {
  // During a conversion no command may touch the converter (nor is its state read).
  const bool idle = !converting_;
  mnuFileOpen->setEnabled(idle);
  mnuExit->setEnabled(idle);
  // Parse converts each opened export once: a second run would find it at its end
  // and replace the database with an empty one.
  mnuEditParse->setEnabled(idle && exportUnconverted_ && csv_.mCardFileOpen && csv_.mCardFile);
  // Save as copies the temporary database, so only while it holds what is listed
  // and is complete.
  mnuFileSaveAs->setEnabled(idle && listShowsDatabase_ && !csv_.mDbDamaged);
}

void frmTessaly::mnuFileOpen_Click() {
  const std::optional<QString> path =
      dialogs_.ShowOpen({QStringLiteral("Open Orvane Card export file..."),
                         {QStringLiteral("CSV (*.csv)"), QStringLiteral("All (*.*)")},
                         0,
                         {}});
  if (!path) return;
  exportUnconverted_ = false;
  try {
    if (csv_.mCardFileOpen) csv_.CloseCardFile();
    std::vector<std::u16string> mRecFlds;
    if (csv_.OpenCardFile(LocalPath(*path), mRecFlds)) {
      FillCSVlv(mRecFlds);
      exportUnconverted_ = true;
    } else {
      // The refused file is not kept open for a conversion.
      csv_.CloseCardFile();
      csv_.mCardFileOpen = false;
    }
  } catch (...) {
    ReportCaught(csv_.reporter(), Icon::Critical);
  }
  UpdateActions();
}

void frmTessaly::mnuEditParse_Click() {
  exportUnconverted_ = false;
  // The conversion closes the database lvMDB lists; a failed one leaves the list,
  // which then no longer shows what the database holds.
  model_->Detach();
  listShowsDatabase_ = false;
  if (ConvertAside()) {
    Panel(kProgressKey)->setText(QStringLiteral("Translation complete."));
    FillTableListView();
    listShowsDatabase_ = true;
  } else {
    Panel(kProgressKey)->setText(QStringLiteral("Translation incomplete."));
  }
  UpdateActions();
  if (closeRequested_) close();
}

// The conversion runs on a thread of its own while this one goes on handling the
// window's events. Pumping events from inside the run instead would let a close
// request or a command re-enter the converter halfway through a card, and would
// stall the window during any one long step (a huge note, a slow disk).
bool frmTessaly::ConvertAside() {
  converting_ = true;
  UpdateActions();
  GuiThreadReporter relay(csv_.reporter(), *this);
  csv_.SetReporter(relay);
  std::atomic<uint64_t> done{0};
  std::atomic<uint64_t> total{0};
  csv_.mProgress = [&](uint64_t bytes, uint64_t size) {
    total.store(size, std::memory_order_relaxed);
    done.store(bytes, std::memory_order_relaxed);
  };
  QEventLoop running;
  bool converted = false;
  QTimer ticker;
  QElapsedTimer clock;
  connect(&ticker, &QTimer::timeout, this, [&] {
    const uint64_t size = total.load(std::memory_order_relaxed);
    if (clock.elapsed() < kProgressAfterMs || size == 0) return;
    const uint64_t percent =
        std::min<uint64_t>(100, done.load(std::memory_order_relaxed) * 100 / size);
    Panel(kProgressKey)->setText(QStringLiteral("Converting\u2026 %1%").arg(percent));
  });
  try {
    std::thread worker([&] {
      converted = csv_.ConvertCardFile();
      QMetaObject::invokeMethod(&running, &QEventLoop::quit, Qt::QueuedConnection);
    });
    clock.start();
    ticker.start(kProgressEveryMs);
    running.exec();
    worker.join();
  } catch (const std::system_error&) {
    // No thread to be had: the conversion runs here, the window waiting for it.
    converted = csv_.ConvertCardFile();
  }
  csv_.mProgress = nullptr;
  csv_.SetReporter(relay.target());
  converting_ = false;
  return converted;
}

void frmTessaly::mnuFileSaveAs_Click() {
  Panel(kProgressKey)->setText(QString());
  const std::optional<QString> path =
      dialogs_.ShowSave({QStringLiteral("Save MDB Card data file..."),
                         {QStringLiteral("MDB (*.mdb)"), QStringLiteral("All (*.*)")},
                         0,
                         QStringLiteral("OrvaneCard.mdb")});
  if (!path) return;
  {
    WaitPointer wait(this);
    try {
      model_->Detach();  // saving closes the database lvMDB lists
      if (csv_.SaveCardDatabase(LocalPath(*path))) {
        Panel(kProgressKey)->setText(QStringLiteral("MDB file saved."));
      }
    } catch (...) {
      ReportCaught(csv_.reporter(), Icon::Critical);
    }
  }
  UpdateActions();
}

void frmTessaly::mnuExit_Click() {
  csv_.CloseCardDatabase();
  QCoreApplication::quit();
}

void frmTessaly::Toolbar1_ButtonClick(const QString& key) {
  if (key == kOpenKey) {
    mnuFileOpen_Click();
  } else if (key == kParseKey) {
    mnuEditParse_Click();
  } else if (key == kSaveKey) {
    mnuFileSaveAs_Click();
  }
}

void frmTessaly::mnuHelpIndex_Click() {
  const QString problem = openDocument ? openDocument(ReadmePath()) : QString();
  if (!problem.isEmpty()) csv_.reporter().Show(problem.toStdString(), Icon::None);
}

void frmTessaly::mnuHelpAbout_Click() {
  ShowAbout(about_, *this, reporter_);
}

void frmTessaly::mnuNotesToJournal_Click() {
  if (onNotesToJournal) onNotesToJournal();
}

void frmTessaly::FillCSVlv(const std::vector<std::u16string>& mRecFlds) {
  lvCSV->clear();
  try {
    for (size_t position = 0; position < kCardColumns; ++position) {
      const QString name = FromUtf16(At(mRecFlds, position));
      auto* item = new QTreeWidgetItem(lvCSV);
      item->setText(0, name);
    }
  } catch (...) {
    ReportCaught(csv_.reporter(), Icon::Exclamation);
  }
}

void frmTessaly::FillTableListView() {
  model_->Clear();
  try {
    const std::shared_ptr<dao::Recordset> rst = csv_.mRst;
    if (rst) {
      if (!model_->HasColumns()) {
        QStringList headers{QStringLiteral("Index")};
        const int16_t count = rst->FieldCount();
        for (int16_t position = 0; position < count; ++position) {
          headers.append(QString::fromStdString(rst->FieldName(position)));
        }
        model_->SetColumns(headers);
        const TwipsScale twips(*this);
        lvMDB->setColumnWidth(0, twips.X(kIndexColumnWidth));
        for (int column = 1; column < headers.size(); ++column) {
          lvMDB->setColumnWidth(column, twips.X(kFieldColumnWidth));
        }
      }
      model_->SetRecordset(rst);
    }
  } catch (...) {
    ReportCaught(csv_.reporter(), Icon::Exclamation);
  }
  lvMDB->viewport()->update();
  // Input queued during the conversion is handled before Save as is offered.
  QCoreApplication::processEvents();
}

bool frmTessaly::ListContactFolders() {
  return tessaly::ListContactFolders(csv_.mOlApp, lvCSV, csv_.reporter());
}

void frmTessaly::ReportListFailure(int number, const QString& description) {
  ReportFailure(csv_.reporter(), Failure(number, description.toStdString()), Icon::Exclamation);
  UpdateActions();  // reading may have found the database damaged
}

QString ReadmePath() {
  const QString name = QStringLiteral("Readme.txt");
  const QString here = QDir::current().absoluteFilePath(name);
  if (QFileInfo::exists(here)) return here;
  const QString beside = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
  if (QFileInfo::exists(beside)) return beside;
  return here;
}

QString OpenWithDesktopViewer(const QString& path) {
#ifdef Q_OS_WIN
  if (QProcess::startDetached(QStringLiteral("notepad.exe"), {path})) return {};
  return QStringLiteral("Notepad could not be started.");
#else
  // The desktop's opener fails silently on a missing file; say so here instead.
  if (!QFileInfo::exists(path)) {
    return QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path));
  }
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return {};
  return QStringLiteral("No viewer could be started for %1.").arg(QDir::toNativeSeparators(path));
#endif
}

}  // namespace tessaly
