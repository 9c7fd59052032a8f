// A whole conversion of an export held in memory: every card either becomes a row
// that reads back or is refused with a message; nothing is lost to the file.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/modCSV.h"
#include "fuzz/fuzz_check.h"
#include "storage/dao.h"

namespace {

class CountingReporter : public tessaly::Reporter {
 public:
  void Show(const std::string& text, tessaly::Icon) override {
    if (text.rfind("Err ", 0) != 0) std::abort();
    ++count;
  }
  int count = 0;
};

std::string Header() {
  std::string line = "\"";
  for (int n = 1; n <= 47; ++n) line += (n > 1 ? "\",\"Field" : "Field") + std::to_string(n);
  return line + "\"\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A temporary folder of this process's own.
  std::string folder = (std::filesystem::temp_directory_path() / "tessaly-fuzz-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) std::abort();
  ::setenv("TMPDIR", folder.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaly;
  CountingReporter reporter;
  modCSV csv(reporter);
  std::vector<std::u16string> names;
  // The header is given: the line parser's own target covers it.
  if (!csv.OpenCardData("fuzz.csv", Header() + std::string(data, data + size), names)) {
    std::abort();
  }
  const bool converted = csv.ConvertCardFile();
  FUZZ_CHECK(converted || reporter.count > 0);
  FUZZ_CHECK(!csv.mDbDamaged);
  FUZZ_CHECK(csv.mCardsFailed <= reporter.count);
  dao::Recordset& rows = *csv.mRst;
  FUZZ_CHECK(rows.RecordCount() == csv.mCardsWritten);
  if (csv.mCardsWritten > 0) {
    const int16_t fields = rows.FieldCount();
    for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
      for (int16_t p = 0; p < fields; ++p) rows.GetValue(p);
    }
  }
  const int reported = reporter.count;
  csv.CloseCardDatabase();
  FUZZ_CHECK(reporter.count == reported && !csv.mDbDamaged);
  return 0;
}
