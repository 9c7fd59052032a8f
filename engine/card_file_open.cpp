#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"

namespace tessaly {

bool modCSV::OpenCardFile(const std::string& path, std::vector<std::u16string>& names,
                          CardInput input) {
  return OpenCardReader([&] { return std::make_unique<CardFileReader>(path, input); }, names);
}

bool modCSV::OpenCardReader(const std::function<std::unique_ptr<CardFileReader>()>& open,
                            std::vector<std::u16string>& names) {
  bool result = false;
  try {
    mCardFile = open();
    mCardFileOpen = true;
    std::u16string header;
    mCardFile->ReadLine(header);
    SplitCardLine(header, names);
    TrimColumnQuotes(names);
    result = true;
  } catch (...) {
    ReportCaught(*reporter_, Icon::Critical);
  }
  return result;
}

void modCSV::CloseCardFile() {
  mCardFile.reset();
}

}  // namespace tessaly
