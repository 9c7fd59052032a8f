#include "engine/convert_command.h"

#include <vector>

#include "engine/card_file_reader.h"
#include "engine/modCSV.h"

namespace tessaly {

namespace {
constexpr uint64_t kProgressFrom = uint64_t{4} << 20;
}

int RunConvertCommand(const std::string& exportPath, const std::string& outputPath,
                      const ConvertCommandIo& io) {
  modCSV converter(io.reporter);
  std::vector<std::u16string> names;
  if (!converter.OpenCardFile(exportPath, names)) return kExitFailed;

  if (io.progress && converter.mCardFile->Size() > kProgressFrom) {
    converter.mProgress = io.progress;
  }
  const bool converted = converter.ConvertCardFile();
  const int64_t stoppedAt = converter.mCardFile ? converter.mCardFile->LineNumber() : 0;

  bool saved = false;
  if (converted) {
    io.say("Translation complete.");
    saved = converter.SaveCardDatabase(outputPath);
    if (saved) io.say("MDB file saved.");
  } else {
    io.say("Translation incomplete.");
    converter.CloseCardDatabase();
  }
  std::string summary = "Cards written: " + std::to_string(converter.mCardsWritten) +
                        ", cards failed: " + std::to_string(converter.mCardsFailed) + ".";
  if (!converted && stoppedAt > 1) summary += " Stopped at line " + std::to_string(stoppedAt) + ".";
  // An incomplete file is no place to look for them.
  if (!converted && converter.mCardsWritten > 0 && !converter.mDbDamaged) {
    summary += " The cards written are kept in " + converter.mTempDbPath + ".";
  }
  io.say(summary);
  return converted && saved ? kExitConverted : kExitFailed;
}

}  // namespace tessaly
