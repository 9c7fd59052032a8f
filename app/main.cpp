// The desktop program: the main window over the converter.

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "engine/modCSV.h"
#include "platform/console.h"
#include "session/session.h"
#include "session/window_arguments.h"
#include "tessaly/version.h"
#include "ui/file_dialogs.h"
#include "ui/frmTessaly.h"
#include "ui/message_box_reporter.h"
#include "ui/notes_to_journal.h"

namespace {

// The icon the packages install, built into the program so that a build tree and a
// moved install show it too.
QIcon ApplicationIcon() {
  QIcon icon;
  for (const QString& size : QDir(QStringLiteral(":/icons")).entryList()) {
    icon.addFile(QStringLiteral(":/icons/%1/tessaly.png").arg(size));
  }
  return icon;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Answered before Qt starts, so that --help and a refusal need no display.
  const tessaly::WindowArguments arguments =
      tessaly::ParseWindowArguments(tessaly::ProgramArguments(argc, argv));
  switch (arguments.action) {
    case tessaly::WindowArguments::Action::kHelp:
      std::fputs(tessaly::WindowHelp().c_str(), stdout);
      return 0;
    case tessaly::WindowArguments::Action::kVersion:
      std::fputs(tessaly::WindowVersion().c_str(), stdout);
      return 0;
    case tessaly::WindowArguments::Action::kRefuse:
      std::fputs(tessaly::WindowRefusal(arguments).c_str(), stderr);
      return tessaly::kWindowExitUsage;
    case tessaly::WindowArguments::Action::kRun:
      break;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tessaly"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(tessaly::kApplicationTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(tessaly::kVersion));
  QApplication::setWindowIcon(ApplicationIcon());

  tessaly::MessageBoxReporter reporter;
  tessaly::modCSV csv(reporter);
  tessaly::QtFileDialogs dialogs;
  tessaly::frmTessaly window(csv, reporter, dialogs);
  reporter.SetParent(&window);
  tessaly::ConnectNotesToJournal(window, csv, reporter);
  dialogs.SetParent(&window);
  window.show();

  if (arguments.exportPath) {
    QTimer::singleShot(0, &window, [&] {
      window.session().Open(*arguments.exportPath);
      if (arguments.parse) window.mnuEditParse->trigger();  // ends on its own
    });
  }
  if (arguments.screenshot) {
    // Late enough for the window system to have drawn the window.
    QTimer::singleShot(1500, &window, [&] {
      const QString file = QString::fromStdString(*arguments.screenshot);
      if (!window.grab().save(file, "PNG")) {
        std::fprintf(stderr, "tessaly: cannot write %s\n", qPrintable(file));
        QCoreApplication::exit(1);
        return;
      }
      window.mnuExit->trigger();
    });
  }
  return QApplication::exec();
}
