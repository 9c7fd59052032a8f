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
#include <span>
#include <utility>

#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "session/main_window_design.h"
#include "session/session.h"
#include "session/user_guide.h"
#include "ui/card_table_model.h"
#include "ui/file_dialogs.h"
#include "ui/frmAbt.h"
#include "ui/twips_geometry.h"

namespace tessaly {

namespace {

using namespace design;

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
  setWindowTitle(QString::fromLatin1(kMainCaption));
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
  for (const Menu& menuDesign : kMenus) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(menuDesign.caption));
    menu->setObjectName(QString::fromLatin1(menuDesign.name));
    for (const MenuItem& item : std::span(menuDesign.items, menuDesign.count)) {
      QAction* action = IsSeparator(item) ? menu->addSeparator()
                                          : menu->addAction(QString::fromLatin1(item.caption));
      action->setObjectName(QString::fromLatin1(item.name));
      if (IsSeparator(item)) continue;
      if (item.ctrlKey) action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(item.ctrlKey)));
      action->setEnabled(item.enabledAtStart);
      connect(action, &QAction::triggered, this,
              [this, command = item.command] { RunCommand(*this, command); });
    }
  }
  mnuFile = findChild<QMenu*>(QStringLiteral("mnuFile"));
  mnuFileOpen = findChild<QAction*>(QStringLiteral("mnuFileOpen"));
  mnuFileSaveAs = findChild<QAction*>(QStringLiteral("mnuFileSaveAs"));
  mnuBar1 = findChild<QAction*>(QStringLiteral("mnuBar1"));
  mnuExit = findChild<QAction*>(QStringLiteral("mnuExit"));
  mnuEdit = findChild<QMenu*>(QStringLiteral("mnuEdit"));
  mnuEditParse = findChild<QAction*>(QStringLiteral("mnuEditParse"));
  mnuNotesToJournal = findChild<QAction*>(QStringLiteral("mnuNotesToJournal"));
  mnuHelp = findChild<QMenu*>(QStringLiteral("mnuHelp"));
  mnuHelpIndex = findChild<QAction*>(QStringLiteral("mnuHelpIndex"));
  mnuHelpAbout = findChild<QAction*>(QStringLiteral("mnuHelpAbout"));
}

void frmTessaly::CreateToolbar() {
  Toolbar1 = new QToolBar(QStringLiteral("Toolbar"), this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setMovable(false);
  Toolbar1->setFloatable(false);
  addToolBar(Qt::TopToolBarArea, Toolbar1);

  // The toolkit's pictures, in the order of the buttons.
  const std::pair<const char*, QStyle::StandardPixmap> pictures[] = {
      {"document-open", QStyle::SP_DialogOpenButton},
      {"system-run", QStyle::SP_MediaPlay},
      {"document-save", QStyle::SP_DialogSaveButton},
  };
  for (size_t i = 0; i < kToolbarButtons.size(); ++i) {
    const ToolbarButton& button = kToolbarButtons[i];
    // One action per command: menu item and button can never disagree.
    QAction* action = button.command == Command::kOpen    ? mnuFileOpen
                      : button.command == Command::kParse ? mnuEditParse
                                                          : mnuFileSaveAs;
    action->setIcon(QIcon::fromTheme(QString::fromLatin1(pictures[i].first),
                                     style()->standardIcon(pictures[i].second)));
    action->setIconVisibleInMenu(false);
    action->setData(QString::fromLatin1(button.key));
    action->setToolTip(QString::fromLatin1(button.toolTip));
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
  lvCSV->setHeaderLabels({QString::fromLatin1(kCsvColumnHeader)});
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
  for (const auto& [key, width] : kStatusPanels) {
    auto* panel = new QLabel(statusBar());
    panel->setObjectName(QString::fromLatin1(key));
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
