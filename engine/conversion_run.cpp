#include "engine/card_file_reader.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "platform/temp_folder.h"

namespace tessaly {

namespace {
constexpr uint64_t kProgressStep = uint64_t{1} << 22;
constexpr size_t kKeptLineCapacity = size_t{1} << 20;
}  // namespace

bool modCSV::ConvertCardFile() {
  bool result = false;
  // Nothing of an earlier, failed run may reach this one.
  mCardRec = CardRecord();
  mCardsWritten = 0;
  mCardsFailed = 0;
  try {
    const std::string folder = UserTempFolder();
    const std::string lockPath = folder + "~trns.lock";
    // A lock file removed since the last run guards nothing: take a new one.
    if (!tempLock_ || tempLockPath_ != lockPath || !tempLock_->Holds()) {
      tempLock_.reset();
      tempLock_ = std::make_unique<TempFileLock>(lockPath);
      tempLockPath_ = lockPath;
    }
    mTempDbPath = folder + "~trns.tmp";
    if (!CreateCardDatabase(mTempDbPath)) return false;

    if (!mCardFile) throw Failure(err::kBadFileNameOrNumber, "Bad file name or number");
    CardFileReader& file = *mCardFile;
    const uint64_t total = file.Size();
    uint64_t nextProgress = kProgressStep;
    std::u16string line;
    while (!file.AtEnd()) {
      file.ReadLine(line);
      const bool parsed = ParseCardLine(line);
      // A lost write ends the run at once; its failure has been reported.
      if (DatabaseDamaged()) return false;
      if (!parsed) throw Failure(kProblemParsingLine, "Problem parsing line!");
      if (line.capacity() > kKeptLineCapacity) std::u16string().swap(line);
      if (mProgress && file.BytesRead() >= nextProgress) {
        mProgress(file.BytesRead(), total);
        nextProgress = file.BytesRead() + kProgressStep;
      }
    }
    if (mCardRec.Pending) {
      WriteCardRecord(mCardRec.Flds);
      mCardRec.Pending = false;
      if (DatabaseDamaged()) return false;
    }
    if (mProgress) mProgress(file.BytesRead(), total);
    mDbDamaged = false;
    result = true;
  } catch (...) {
    ReportCaught(reporter_, Icon::Critical);
  }
  return result;
}

}  // namespace tessaly
