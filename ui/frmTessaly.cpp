#include "ui/frmTessaly.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
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
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "session/session.h"
#include "session/user_guide.h"
#include "ui/card_table_model.h"
#include "ui/file_dialogs.h"
#include "ui/frmAbt.h"
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
// The panels' keys, in the order of Panel.
const QString kPanelKeys[] = {QStringLiteral("CSVfile"), QStringLiteral("Progress"),
                              QStringLiteral("MDBfile")};

QString FromUtf16(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::string> LocalPath(const std::optional<QString>& path) {
  if (!path) return std::nullopt;
  return QFile::encodeName(*path).toStdString();
}

FileDialogOptions DialogOptions(const FileChoice& choice) {
  FileDialogOptions options{QString::fromStdString(choice.title), {}, choice.filterIndex,
                            QString::fromStdString(choice.fileName)};
  for (const std::string& filter : choice.filters) options.filters << QString::fromStdString(filter);
  return options;
}

}  // namespace

frmTessaly::frmTessaly(modCSV& csv, Reporter& reporter, FileDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), reporter_(reporter) {
  setObjectName(QStringLiteral("frmTessaly"));
  setWindowTitle(QStringLiteral("Dask Orvane Tessaly"));
  // No toolbar toggling: the toolbar is part of the window, as designed.
  setContextMenuPolicy(Qt::NoContextMenu);
  openDocument = OpenWithDesktopViewer;

  CreateMenus();
  CreateToolbar();
  CreateLists();
  CreateStatusBar();
  Form_Load();
  session_ = std::make_unique<Session>(csv, reporter, *this);
  model_ = new CardTableModel(session_->Records(), this);
  lvMDB->setModel(model_);
}

frmTessaly::~frmTessaly() {
  // The list reads the session's rows until the very end of the widgets, which
  // outlive the members: it lets go of them before the session goes.
  lvMDB->setModel(nullptr);
  delete model_;
  session_.reset();
}

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
      {kPanelKeys[0], 2000}, {kPanelKeys[1], 3200}, {kPanelKeys[2], 2000}};
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
  // During a conversion the window closes at its end.
  if (session_->Converting()) {
    session_->Close();
    event->ignore();
    return;
  }
  session_->Close();
  event->accept();
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

void frmTessaly::ShowFieldNames(const std::vector<std::u16string>& names) {
  FillCSVlv(names);
}

void frmTessaly::ShowRecords(const RecordList& /*records*/) {
  FillTableListView();
}

void frmTessaly::SetPanel(tessaly::Panel panel, const std::string& text,
                          const std::string& toolTip) {
  QLabel* label = panels_.at(static_cast<size_t>(panel));
  // A panel keeps its width: a long file name gives up its middle, the tip has it whole.
  const int room = label->contentsRect().width() - 2 * label->margin();
  label->setText(label->fontMetrics().elidedText(QString::fromStdString(text), Qt::ElideMiddle, room));
  label->setToolTip(QString::fromStdString(toolTip));
}

void frmTessaly::SetBusy(bool busy) {
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void frmTessaly::EnableCommands(const CommandState& state) {
  mnuFileOpen->setEnabled(state.open);
  mnuEditParse->setEnabled(state.parse);
  mnuFileSaveAs->setEnabled(state.saveAs);
  mnuExit->setEnabled(state.exit);
}

std::optional<std::string> frmTessaly::AskOpenPath(const FileChoice& choice) {
  return LocalPath(dialogs_.ShowOpen(DialogOptions(choice)));
}

std::optional<std::string> frmTessaly::AskSavePath(const FileChoice& choice) {
  return LocalPath(dialogs_.ShowSave(DialogOptions(choice)));
}

void frmTessaly::RunOnUiThread(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void frmTessaly::Quit() {
  hide();
  QCoreApplication::quit();
}

void frmTessaly::mnuFileOpen_Click() {
  session_->Open();
}

void frmTessaly::mnuEditParse_Click() {
  session_->Parse();
}

void frmTessaly::mnuFileSaveAs_Click() {
  session_->SaveAs();
}

void frmTessaly::mnuExit_Click() {
  session_->Close();
}

void frmTessaly::mnuHelpIndex_Click() {
  const QString problem = openDocument ? openDocument(ReadmePath()) : QString();
  if (!problem.isEmpty()) reporter_.Show(problem.toStdString(), Icon::None);
}

void frmTessaly::mnuHelpAbout_Click() {
  ShowAbout(about_, *this, reporter_);
}

void frmTessaly::mnuNotesToJournal_Click() {
  if (onNotesToJournal) onNotesToJournal();
}

void frmTessaly::FillCSVlv(const std::vector<std::u16string>& mRecFlds) {
  lvCSV->clear();
  Trap(reporter_, Icon::Exclamation, [&] {
    for (size_t position = 0; position < kCardColumns; ++position) {
      const QString name = FromUtf16(At(mRecFlds, position));
      (new QTreeWidgetItem(lvCSV))->setText(0, name);
    }
    return true;
  });
}

void frmTessaly::FillTableListView() {
  const bool firstFill = model_->columnCount() == 0;
  model_->Reset();
  if (firstFill) {
    const TwipsScale twips(*this);
    lvMDB->setColumnWidth(0, twips.X(kIndexColumnWidth));
    for (int column = 1; column < model_->columnCount(); ++column) {
      lvMDB->setColumnWidth(column, twips.X(kFieldColumnWidth));
    }
  }
  lvMDB->viewport()->update();
  // Input queued during the conversion is handled before Save as is offered.
  QCoreApplication::processEvents();
}

QString ReadmePath() {
  const std::string path = UserGuidePath(QDir::currentPath().toStdString(),
                                         QCoreApplication::applicationDirPath().toStdString());
  return QString::fromStdString(path);
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
