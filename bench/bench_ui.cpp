// Times Edit > Parse records in the real window (offscreen) on a generated export:
// the conversion plus the listing in lvMDB, the first paint of the list and a
// jump to its last row, with the process's resident memory.
//
//   bench_ui [CARDS]        (default 100000)

#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/window_bench.h"
#include "engine/modCSV.h"
#include "session/session.h"
#include "session/status_texts.h"
#include "tessaly/version.h"
#include "ui/file_dialogs.h"
#include "ui/frmTessaly.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident memory in MB, from the kernel's account.
double ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    double kb = 0;
    if (key == "VmRSS:" && status >> kb) return kb / 1024;
  }
  return 0;
}

class PresetDialogs : public tessaly::FileDialogs {
 public:
  PresetDialogs(QString open, QString save) : open_(std::move(open)), save_(std::move(save)) {}
  std::optional<QString> ShowOpen(const tessaly::FileDialogOptions&) override { return open_; }
  std::optional<QString> ShowSave(const tessaly::FileDialogOptions&) override { return save_; }

 private:
  QString open_;
  QString save_;
};

// A conversion ends on the window's thread, as the user would wait for it.
void WaitForConversion(tessaly::frmTessaly& window) {
  while (window.session().Converting()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int cards = argc > 1 ? std::atoi(argv[1]) : 100000;
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QString exportPath = dir.filePath("bench.csv");
  tessaly::bench::WriteTypicalExport(exportPath.toStdString(), cards);

  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(tessaly::kApplicationTitle));
  tessaly::bench::CountingReporter reporter;
  tessaly::modCSV csv(reporter);
  PresetDialogs dialogs(exportPath, dir.filePath("bench.mdb"));
  tessaly::frmTessaly window(csv, reporter, dialogs);
  window.show();
  QCoreApplication::processEvents();

  window.mnuFileOpen->trigger();
  const double rssBefore = ResidentMb();

  auto start = Clock::now();
  window.mnuEditParse->trigger();
  WaitForConversion(window);
  const double parseMs = MsSince(start);
  const double rssParsed = ResidentMb();

  start = Clock::now();
  window.lvMDB->viewport()->repaint();
  const double paintMs = MsSince(start);

  start = Clock::now();
  window.lvMDB->scrollToBottom();
  window.lvMDB->viewport()->repaint();
  const double lastRowsMs = MsSince(start);
  const double rssShown = ResidentMb();

  // Again while the first listing is shown: it is moved to the spool first.
  window.mnuFileOpen->trigger();
  start = Clock::now();
  window.mnuEditParse->trigger();
  WaitForConversion(window);
  const double parseAgainMs = MsSince(start);
  const bool converted = window.Panel("Progress")->text() == tessaly::status::kTranslationComplete;

  // The listing alone, to tell it from the conversion.
  start = Clock::now();
  window.FillTableListView();
  const double listMs = MsSince(start);

  start = Clock::now();
  window.mnuFileSaveAs->trigger();
  const double saveMs = MsSince(start);
  window.lvMDB->scrollToTop();
  window.lvMDB->viewport()->repaint();
  const double rssSaved = ResidentMb();

  const int rows = window.lvMDB->model()->rowCount();
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("cards                      %d (listed rows %d)\n", cards, rows);
  std::printf("export size                %.1f MB\n",
              static_cast<double>(QFile(exportPath).size()) / (1024.0 * 1024.0));
  std::printf("Edit > Parse records       %.1f ms (listing alone %.1f ms)\n", parseMs, listMs);
  std::printf("Parse again over a listing   %.1f ms (the listing spooled first)\n", parseAgainMs);
  std::printf("Save as                    %.1f ms (listing spooled, file copied)\n", saveMs);
  std::printf("first paint of the list    %.1f ms\n", paintMs);
  std::printf("jump to the last rows      %.1f ms\n", lastRowsMs);
  std::printf("RSS before / after Parse   %.1f / %.1f MB (after paint %.1f, after save %.1f MB)\n",
              rssBefore, rssParsed, rssShown, rssSaved);
  std::printf("peak RSS                   %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  std::printf("reports                    %d\n", reporter.count);
  return converted && rows == cards && reporter.count == 0 ? 0 : 1;
}
