// The desktop program: the main window over the converter.

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "engine/modCSV.h"
#include "session/session.h"
#include "tessaly/version.h"
#include "ui/file_dialogs.h"
#include "ui/frmTessaly.h"
#include "ui/message_box_reporter.h"
#include "ui/notes_to_journal.h"

namespace {

// Answers the first Open with a file named on the command line, then asks the user
// as usual. Lets scripts drive the window without a dialog.
class PresetOpenDialogs : public tessaly::FileDialogs {
 public:
  PresetOpenDialogs(tessaly::FileDialogs& user, QString path)
      : user_(user), path_(std::move(path)) {}

  std::optional<QString> ShowOpen(const tessaly::FileDialogOptions& options) override {
    if (!path_.isEmpty()) return std::exchange(path_, QString());
    return user_.ShowOpen(options);
  }
  std::optional<QString> ShowSave(const tessaly::FileDialogOptions& options) override {
    return user_.ShowSave(options);
  }

 private:
  tessaly::FileDialogs& user_;
  QString path_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tessaly"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(tessaly::kApplicationTitle));
  QApplication::setApplicationVersion(QString::fromUtf8(tessaly::kVersion));

  // Options for scripts only (the screenshot of the documentation).
  QCommandLineParser parser;
  const QCommandLineOption openOption(QStringLiteral("open"), QString(), QStringLiteral("file"));
  const QCommandLineOption parseOption(QStringLiteral("parse"));
  const QCommandLineOption grabOption(QStringLiteral("screenshot"), QString(),
                                      QStringLiteral("png"));
  for (const QCommandLineOption& option : {openOption, parseOption, grabOption}) {
    QCommandLineOption hidden = option;
    hidden.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(hidden);
  }
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(app);

  tessaly::MessageBoxReporter reporter;
  tessaly::modCSV csv(reporter);
  tessaly::QtFileDialogs userDialogs;
  PresetOpenDialogs dialogs(userDialogs, parser.value(openOption));
  tessaly::frmTessaly window(csv, reporter, dialogs);
  reporter.SetParent(&window);
  tessaly::ConnectNotesToJournal(window, csv, reporter);
  userDialogs.SetParent(&window);
  window.show();

  if (parser.isSet(openOption)) {
    QTimer::singleShot(0, &window, [&] {
      window.mnuFileOpen->trigger();
      if (parser.isSet(parseOption)) window.mnuEditParse->trigger();  // ends on its own
    });
  }
  if (parser.isSet(grabOption)) {
    // Late enough for the window system to have drawn the window.
    QTimer::singleShot(1500, &window, [&] {
      const QString file = parser.value(grabOption);
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
