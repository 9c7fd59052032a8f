#include "session/convert_command.h"

#include <algorithm>
#include <vector>

#include "engine/card_file_reader.h"
#include "engine/modCSV.h"
#include "session/status_texts.h"

namespace tessaly {

namespace {

constexpr uint64_t kProgressFrom = uint64_t{4} << 20;

// An export read as one line holds its line feeds in its header: Orvane ends lines
// with CR LF, a file passed through a tool that keeps LF alone has no line ends here.
bool HeaderHoldsLineFeeds(const std::vector<std::u16string>& names) {
  return std::any_of(names.begin(), names.end(), [](const std::u16string& name) {
    return name.find(u'\n') != std::u16string::npos;
  });
}

}  // namespace

int RunConvertCommand(const std::string& exportPath, const std::string& outputPath,
                      const ConvertCommandIo& io) {
  modCSV converter(io.reporter);
  std::vector<std::u16string> names;
  const CardInput input = exportPath == kStandardInputName ? CardInput::kStandardInput
                                                           : CardInput::kAnyFile;
  if (!converter.OpenCardFile(exportPath, names, input)) return kExitFailed;

  RunOptions options;
  if (io.progress && converter.mCardFile()->Size() > kProgressFrom) options.progress = io.progress;
  options.saveTarget = outputPath;
  const bool converted = converter.ConvertCardFile(options);
  const RunSummary& run = converter.LastRun();

  bool saved = false;
  if (converted) {
    io.say(status::kTranslationComplete);
    saved = converter.SaveCardDatabase(outputPath);
    if (saved) io.say(status::kMdbFileSaved);
  } else {
    io.say(status::kTranslationIncomplete);
    converter.CloseCardDatabase();
  }
  std::string summary = status::RunCounts(run);
  if (!converted && run.lastLine > 1) summary += " Stopped at line " + std::to_string(run.lastLine) + ".";
  // An incomplete file is no place to look for them.
  if (!converted && run.cardsWritten > 0 && !run.damaged) {
    summary += " The cards written are kept in " + converter.mTempDbPath() + ".";
  }
  io.say(summary);
  if (converted && run.cardsWritten + run.cardsFailed == 0 && HeaderHoldsLineFeeds(names)) {
    io.reporter.Show(
        "warning: the export holds no card; its lines end in LF alone, where Orvane writes CR LF.",
        Icon::Exclamation);
  }
  return converted && saved ? kExitConverted : kExitFailed;
}

}  // namespace tessaly
