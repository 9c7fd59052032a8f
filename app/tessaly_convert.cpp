// tessaly-convert EXPORT OUTPUT.mdb: File > Open, Edit > Parse records and
// File > Save as, without a window.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/convert_command.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/reporter.h"

#ifndef TESSALY_VERSION
#define TESSALY_VERSION "1.2.0"
#endif

namespace {

constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: tessaly-convert EXPORT OUTPUT.mdb\n"
    "Converts an Orvane card export (comma-separated, Windows-1252) into a Jet 4\n"
    "database with the table tblCardData, and saves it as OUTPUT.mdb, replacing a\n"
    "file of that name.\n"
    "\n"
    "Messages go to stderr as \"Err <number> <description>\", one per line; the\n"
    "outcome and the counts of cards written and failed go to stdout. Nothing is\n"
    "written to OUTPUT.mdb unless the whole export was converted.\n"
    "\n"
    "Exit status: 0 converted and saved; 1 not converted or not saved; 2 bad usage.\n"
    "A card the database refuses (a value too long, a date it cannot read) is\n"
    "reported and counted as failed; the other cards are still saved. A failed\n"
    "write of the database file (a full disk) ends the conversion.\n"
    "\n"
    "Options:\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// Messages of the window, one line each on stderr; a progress line, when shown,
// is cleared first.
class StderrReporter : public tessaly::Reporter {
 public:
  void Show(const std::string& text, tessaly::Icon /*icon*/) override { Write(text); }

  // As compilers write it, so an editor can jump to the card:
  // "EXPORT.csv:120: Err ... (card 57: Ada Lovelace)".
  bool ShowCard(const std::string& text, tessaly::Icon /*icon*/,
                const tessaly::CardRef& card) override {
    std::string line = card.file + ":" + std::to_string(card.line) + ": " + text + " (card " +
                       std::to_string(card.ordinal);
    if (!card.name.empty()) line += ": " + card.name;
    Write(line + ")");
    return true;
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

bool SameFile(const std::string& a, const std::string& b) {
  const std::optional<tessaly::FileStatus> first = tessaly::StatusAt(a, true);
  const std::optional<tessaly::FileStatus> second = tessaly::StatusAt(b, true);
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
      std::puts("tessaly-convert " TESSALY_VERSION);
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

  // Messages for a file or a pipe go in blocks, not a system call each; every line
  // on stdout flushes them first, so the two streams keep their order.
  static char messageBuffer[size_t{1} << 16];
  if (!tessaly::IsTerminal(stderr)) {
    std::setvbuf(stderr, messageBuffer, _IOFBF, sizeof messageBuffer);
  }
  StderrReporter reporter;
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
