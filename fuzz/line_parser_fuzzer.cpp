// The line parser against plain searches: separators found, counted and cut.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/card_line.h"
#include "engine/modCSV.h"
#include "fuzz/fuzz_check.h"
#include "platform/cp1252.h"

namespace {

class NoReports : public tessaly::Reporter {
 public:
  void Show(const std::string&, tessaly::Icon) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaly;
  static NoReports reporter;
  static modCSV csv(reporter);
  std::u16string line;
  AppendCp1252(line, reinterpret_cast<const char*>(data), size);

  SeparatorScan scan;
  ScanSeparators(line, scan);
  FUZZ_CHECK(scan.occurrences == csv.CountOccurrences(line, kSeparator));
  std::vector<size_t> cuts;
  for (size_t at = line.find(kSeparator); at != std::u16string::npos && cuts.size() < 46;
       at = line.find(kSeparator, at + kSeparator.size())) {
    cuts.push_back(at);
  }
  FUZZ_CHECK(std::vector<size_t>(scan.cuts, scan.cuts + scan.cutCount) == cuts);

  std::vector<std::u16string> pieces;
  SplitCardLine(line, pieces);
  FUZZ_CHECK(pieces.size() == (line.empty() ? 0 : cuts.size() + 1));
  std::u16string joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += kSeparator;
    joined += pieces[i];
  }
  FUZZ_CHECK(joined == line);

  const size_t first = line.find_first_not_of(u' ');
  const size_t last = line.find_last_not_of(u' ');
  FUZZ_CHECK(IsClosingQuoteLine(line) ==
             (first != std::u16string::npos && first == last && line[first] == u'"'));

  const size_t count = pieces.size();
  try {
    TrimColumnQuotes(pieces);
    FUZZ_CHECK(count >= kCardColumns);
  } catch (const Failure& failure) {
    FUZZ_CHECK(count < kCardColumns && failure.Number() == err::kSubscriptOutOfRange);
  }
  return 0;
}
