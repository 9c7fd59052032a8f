// A whole conversion of an export held in memory: every card either becomes a row
// that reads back or is refused with a message; nothing is lost to the file. The
// run on two threads says and counts exactly what the run on one does.

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
    texts.push_back(text);
  }
  int count = 0;
  std::vector<std::string> texts;
};

std::string Header() {
  std::string line = "\"";
  for (int n = 1; n <= 47; ++n) line += (n > 1 ? "\",\"Field" : "Field") + std::to_string(n);
  return line + "\"\r\n";
}

// The export as a reader of its own, named as a file would be.
std::function<std::unique_ptr<tessaly::CardFileReader>()> InMemory(const std::string& contents) {
  return [&contents] { return std::make_unique<tessaly::CardFileReader>("fuzz.csv", contents); };
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
  const std::string contents = Header() + std::string(data, data + size);
  std::vector<std::u16string> names;
  // On one thread first; the converter lets go of the temporary folder's lock at its end.
  CountingReporter oneThread;
  bool convertedAlone = false;
  int64_t writtenAlone = 0;
  int64_t lastLineAlone = 0;
  {
    modCSV single(oneThread);
    // The header is given: the line parser's own target covers it.
    if (!single.OpenCardReader(InMemory(contents), names)) std::abort();
    RunOptions options;
    options.oneThread = true;
    convertedAlone = single.ConvertCardFile(options);
    writtenAlone = single.LastRun().cardsWritten;
    lastLineAlone = single.LastRun().lastLine;
  }

  CountingReporter reporter;
  modCSV csv(reporter);
  if (!csv.OpenCardReader(InMemory(contents), names)) std::abort();
  const bool converted = csv.ConvertCardFile();
  FUZZ_CHECK(converted == convertedAlone && reporter.texts == oneThread.texts);
  FUZZ_CHECK(csv.LastRun().cardsWritten == writtenAlone && csv.LastRun().lastLine == lastLineAlone);
  FUZZ_CHECK(converted || reporter.count > 0);
  FUZZ_CHECK(!csv.DatabaseDamaged());
  FUZZ_CHECK(csv.LastRun().cardsFailed <= reporter.count);
  dao::Recordset& rows = *csv.mRst();
  FUZZ_CHECK(rows.RecordCount() == csv.LastRun().cardsWritten);
  if (csv.LastRun().cardsWritten > 0) {
    const int16_t fields = rows.FieldCount();
    for (rows.MoveFirst(); !rows.IsEOF(); rows.MoveNext()) {
      for (int16_t p = 0; p < fields; ++p) rows.GetValue(p);
    }
  }
  const int reported = reporter.count;
  csv.CloseCardDatabase();
  FUZZ_CHECK(reporter.count == reported && !csv.DatabaseDamaged());
  return 0;
}
