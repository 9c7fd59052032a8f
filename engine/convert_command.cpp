#include "engine/convert_command.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "engine/card_file_reader.h"
#include "engine/card_table.h"
#include "engine/modCSV.h"

namespace tessaly {

namespace {

constexpr uint64_t kProgressFrom = uint64_t{4} << 20;

// " (Company 812, BusinessPhone 640)": most refusals first, then by name; "" for none.
std::string RefusalsByField(const std::array<int64_t, kRowRefusal + 1>& counts) {
  std::vector<std::pair<int64_t, std::string>> fields;
  for (size_t p = 0; p < counts.size(); ++p) {
    if (counts[p] > 0)
      fields.emplace_back(counts[p], p < kRowRefusal ? kCardFields[p].name : "row");
  }
  if (fields.empty()) return {};
  std::sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::string text = " (";
  for (const auto& [count, name] : fields) {
    if (text.size() > 2) text += ", ";
    text += name + " " + std::to_string(count);
  }
  return text + ")";
}

}  // namespace

int RunConvertCommand(const std::string& exportPath, const std::string& outputPath,
                      const ConvertCommandIo& io) {
  modCSV converter(io.reporter);
  std::vector<std::u16string> names;
  if (!converter.OpenCardFile(exportPath, names)) return kExitFailed;

  if (io.progress && converter.mCardFile->Size() > kProgressFrom) {
    converter.mProgress = io.progress;
  }
  converter.mSaveTarget = outputPath;
  const bool converted = converter.ConvertCardFile();
  const int64_t stoppedAt = converter.mLastLine;

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
                        ", cards failed: " + std::to_string(converter.mCardsFailed) +
                        RefusalsByField(converter.mFieldFailures) + ".";
  if (!converted && stoppedAt > 1) summary += " Stopped at line " + std::to_string(stoppedAt) + ".";
  // An incomplete file is no place to look for them.
  if (!converted && converter.mCardsWritten > 0 && !converter.mDbDamaged) {
    summary += " The cards written are kept in " + converter.mTempDbPath + ".";
  }
  io.say(summary);
  return converted && saved ? kExitConverted : kExitFailed;
}

}  // namespace tessaly
