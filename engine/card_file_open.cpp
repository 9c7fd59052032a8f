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
  return Trap(*reporter_, Icon::Critical, [&] {
    cardFile_ = open();
    std::u16string header;
    cardFile_->ReadLine(header);
    SplitCardLine(header, names);
    TrimColumnQuotes(names);
    return true;
  });
}

void modCSV::CloseCardFile() {
  cardFile_.reset();
}

}  // namespace tessaly
