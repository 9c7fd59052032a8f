// tessaly-convert EXPORT OUTPUT.mdb: File > Open, Edit > Parse records and
// File > Save as, without a window.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/reporter.h"
#include "session/convert_command.h"
#include "tessaly/version.h"

namespace {

constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: tessaly-convert EXPORT OUTPUT.mdb\n"
    "Converts an Orvane card export (comma-separated, Windows-1252, CR LF line\n"
    "ends) into a Jet 4 database with the table tblCardData, and saves it as\n"
    "OUTPUT.mdb, replacing a file of that name. An EXPORT of - is read from the\n"
    "standard input (a file named - is ./-).\n"
    "\n"
    "OUTPUT.mdb is checked before the export is read: its folder must exist and\n"
    "take new files from you, and it must not be a folder, a device, a FIFO, a\n"
    "socket or the export itself (a link to a file is followed).\n"
    "\n"
    "Messages go to stderr, one per line: about a line of the export as\n"
    "\"EXPORT:LINE: Err <number> <description>\" (the standard input is <stdin>;\n"
    "a card the database refuses ends in \"(card N: Name)\"), any other as\n"
    "\"tessaly-convert: Err <number> <description>\" or \"tessaly-convert: warning:\n"
    "...\". The outcome and the counts of cards written and failed go to stdout.\n"
    "Nothing is written to OUTPUT.mdb unless the whole export was converted.\n"
    "\n"
    "Exit status: 0 converted and saved; 1 not converted or not saved; 2 bad usage.\n"
    "A card the database refuses (a value too long, a date it cannot read) is\n"
    "reported and counted as failed; the other cards are still saved. A failed\n"
    "write of the database file (a full disk) ends the conversion.\n"
    "\n"
    "Options:\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

constexpr const char* kProgram = "tessaly-convert: ";

// Messages of the window, one line each on stderr; a progress line, when shown,
// is cleared first.
class StderrReporter : public tessaly::Reporter {
 public:
  // Warnings ("warning: ...") too.
  void Show(const std::string& text, tessaly::Icon /*icon*/) override { Write(kProgram + text); }

  // As compilers write it, so an editor can jump to the card:
  // "EXPORT.csv:120: Err ... (card 57: Ada Lovelace)".
  bool ShowCard(const std::string& text, tessaly::Icon /*icon*/,
                const tessaly::CardRef& card) override {
    std::string line = At(card.file, card.line) + text + " (card " + std::to_string(card.ordinal);
    if (!card.name.empty()) line += ": " + card.name;
    Write(line + ")");
    return true;
  }

  void ShowAt(const std::string& text, tessaly::Icon /*icon*/,
              const tessaly::LineRef& where) override {
    Write(At(where.file, where.line) + text);
  }

  void Progress(uint64_t done, uint64_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    std::fprintf(stderr, "\rConverting... %3d%%", percent > 100 ? 100 : percent);
    std::fflush(stderr);
  }

  void Write(const std::string& text) {
    ClearProgress();
    std::string line = text;
    for (char& c : line) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);
  }

  static std::string At(const std::string& file, int64_t line) {
    return file + ":" + std::to_string(line) + ": ";
  }

  void ClearProgress() {
    if (shownPercent_ < 0) return;
#ifdef _WIN32
    // Not every Windows console reads escape sequences.
    std::fputs("\r                  \r", stderr);
#else
    std::fputs("\r\033[K", stderr);
#endif
    shownPercent_ = -1;
  }

 private:
  int shownPercent_ = -1;
};

int UsageError(const char* message) {
  std::fprintf(stderr, "tessaly-convert: %s\nTry 'tessaly-convert --help'.\n", message);
  return kExitUsage;
}

// Of the export: the standard input's file when it is "-".
std::optional<tessaly::FileStatus> ExportStatus(const std::string& exportPath) {
  if (exportPath != tessaly::kStandardInputName) return tessaly::StatusAt(exportPath, true);
  tessaly::File in;
  if (in.OpenStandardInput() != 0) return std::nullopt;
  std::optional<tessaly::FileStatus> status = in.Status();
  // A pipe's or a console's identity names no file.
  if (status && status->kind != tessaly::FileKind::kRegular) status.reset();
  return status;
}

bool SameFile(const std::string& exportPath, const std::string& outputPath) {
  const std::optional<tessaly::FileStatus> first = ExportStatus(exportPath);
  const std::optional<tessaly::FileStatus> second = tessaly::StatusAt(outputPath, true);
  return first && second && first->identity == second->identity;
}

}  // namespace

int main(int argc, char** argv) {
  tessaly::UseUtf8Console();
  std::vector<std::string> paths;
  bool optionsDone = false;
  for (const std::string& argument : tessaly::ProgramArguments(argc, argv)) {
    const std::string_view arg = argument;
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!optionsDone && arg == "--version") {
      std::printf("tessaly-convert %s\n", tessaly::kVersion);
      return 0;
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return UsageError(("unknown option " + std::string(arg)).c_str());
    } else {
      paths.emplace_back(arg);
    }
  }
  if (paths.size() != 2) return UsageError("expected EXPORT and OUTPUT.mdb");
  const std::string& exportPath = paths[0];
  const std::string& outputPath = paths[1];
  // Saving over the export would destroy the only copy of the cards.
  if (SameFile(exportPath, outputPath)) {
    return UsageError("OUTPUT.mdb names the export file itself");
  }

  StderrReporter reporter;
  // A destination the save would refuse is refused before the export is read, not
  // after a long conversion; the save checks again.
  try {
    (void)tessaly::CheckReplaceable(outputPath);
  } catch (const tessaly::Failure& failure) {
    tessaly::ReportFailure(reporter, failure, tessaly::Icon::Critical);
    return tessaly::kExitFailed;
  }

  // Messages for a file or a pipe go in blocks, not a system call each; every line
  // on stdout flushes them first, so the two streams keep their order.
  static char messageBuffer[size_t{1} << 16];
  if (!tessaly::IsTerminal(stderr)) {
    std::setvbuf(stderr, messageBuffer, _IOFBF, sizeof messageBuffer);
  }
  tessaly::ConvertCommandIo io{reporter,
                               [&reporter](const std::string& line) {
                                 reporter.ClearProgress();
                                 std::fflush(stderr);
                                 std::puts(line.c_str());
                                 std::fflush(stdout);
                               },
                               {}};
  if (tessaly::IsTerminal(stderr)) {
    io.progress = [&reporter](uint64_t done, uint64_t total) { reporter.Progress(done, total); };
  }
  return tessaly::RunConvertCommand(exportPath, outputPath, io);
}
