#include "engine/modCSV.h"

#include <system_error>
#include <utility>

#include "engine/card_file_reader.h"
#include "engine/engine_failure.h"
#include "platform/copy_ahead.h"
#include "platform/file.h"
#include "platform/file_failure.h"
#include "platform/file_replace.h"
#include "platform/file_seam.h"
#include "platform/temp_folder.h"

namespace tessaly {

modCSV::modCSV(Reporter& reporter) : reporter_(&reporter) {}

modCSV::~modCSV() {
  DropCopyAhead();
  if (oldTempRemoval_.joinable()) oldTempRemoval_.join();
}

void modCSV::RemoveTempDatabase(const std::string& path) {
  if (oldTempRemoval_.joinable()) oldTempRemoval_.join();
  // The system takes a while to delete a large file: it goes under another name at
  // once and is deleted while the conversion runs.
  const std::string old = path + ".old";
  if (const int error =
          seam::Attempt(seam::FileOp::kTempRemove, [&] { return RenameOver(path, old); })) {
    throw FileFailure(error, path);
  }
  try {
    oldTempRemoval_ = std::thread([old] { RemoveFile(old); });
  } catch (const std::system_error&) {
    RemoveFile(old);
  }
}

void modCSV::StartCopyAhead() {
  if (mSaveTarget.empty() || !mDb || !mCardFile) return;
  // The copy would take the room the temporary database needs on a shared disk,
  // and a full disk would fail the conversion rather than just the save.
  constexpr uint64_t kSpareBytes = uint64_t{64} << 20;
  if (FreeBytes(FolderOf(mSaveTarget)) / 4 < mCardFile->Size() + kSpareBytes) return;
  try {
    copyAhead_ = std::make_shared<CopyAhead>(mTempDbPath, mDb->Identity(), mSaveTarget);
  } catch (const Failure&) {
    return;  // the save copies the whole file, and reports what fails then
  }
  mDb->WatchWrites([ahead = std::weak_ptr<CopyAhead>(copyAhead_)](uint64_t offset, uint64_t size) {
    if (const std::shared_ptr<CopyAhead> copy = ahead.lock()) copy->Written(offset, size);
  });
}

void modCSV::DropCopyAhead() {
  if (mDb) mDb->WatchWrites({});
  copyAhead_.reset();
}

void modCSV::CloseDatabase() {
  if (mDbDamaged) {
    // Reported when it happened: the file is given up, not closed.
    try {
      mDb->Close();
    } catch (const Failure&) {
    }
    return;
  }
  try {
    mDb->Close();
  } catch (...) {
    mDbDamaged = true;
    throw;
  }
}

bool modCSV::DatabaseDamaged() {
  if (mDb && mDb->IsDamaged()) mDbDamaged = true;
  return mDb && mDb->IsDamaged();
}

bool modCSV::CreateCardDatabase(const std::string& path) {
  bool result = false;
  bool replaced = false;
  try {
    if (mDbOpen) {
      CloseDatabase();
      mDbOpen = false;
    }
    // From here the temporary database no longer holds the last conversion.
    replaced = true;
    if (FileExists(path)) RemoveTempDatabase(path);
    if (!mEngine) mEngine = std::make_shared<dao::DBEngine>();
    mWs = mEngine->CreateWorkspace("", "admin", "", dao::dbUseJet);
    mDb = mWs->CreateDatabase(path, dao::dbLangGeneral);
    mDbOpen = true;
    if (!CreateCardTable()) {
      mDbDamaged = true;
      return false;
    }
    mRst = mDb->OpenRecordset("tblCardData");
    result = true;
  } catch (...) {
    if (replaced) mDbDamaged = true;
    ReportCaught(*reporter_, Icon::Critical);
  }
  return result;
}

bool modCSV::FileExists(const std::string& path) {
  return tessaly::FileExists(path);
}

void modCSV::CloseCardDatabase() {
  try {
    if (mDbOpen) {
      CloseDatabase();
      mDbOpen = false;
    }
    if (mCardFileOpen) {
      mCardFile.reset();
      mCardFileOpen = false;
    }
  } catch (...) {
    ReportCaught(*reporter_, Icon::Critical);
  }
}

void modCSV::CheckTempDatabaseIsOurs() {
  if (tempLock_ && !tempLock_->Holds()) {
    throw Failure(err::kPathFileAccess,
                  "The lock file " + tempLockPath_ +
                      " was removed or replaced during the conversion, so another program may "
                      "have changed the temporary database; nothing was saved. Convert the "
                      "export again.");
  }
}

bool modCSV::SaveCardDatabase(const std::string& path) {
  bool result = false;
  try {
    const bool damagedBefore = mDbDamaged;
    CloseCardDatabase();
    if (mDbDamaged) {
      // A close that failed just now has been reported; earlier damage is told here.
      if (!damagedBefore) return false;
      throw Failure(dao::err::kDiskIo,
                    "The temporary database is incomplete (creating, writing or closing it "
                    "failed), so it cannot be saved. Convert the export again.");
    }
    // A database that failed to close may be incomplete; its failure is reported.
    if (mDbOpen) return false;
    CheckTempDatabaseIsOurs();
    const std::shared_ptr<CopyAhead> ahead = std::exchange(copyAhead_, nullptr);
    if (!ahead || ahead->Destination() != path || !ahead->Commit()) {
      std::optional<FileIdentity> written;
      if (mDb) written = mDb->Identity();
      ReplaceFileWithCopy(mTempDbPath, path, written);
    }
    result = true;
  } catch (...) {
    ReportCaught(*reporter_, Icon::Critical);
  }
  return result;
}

}  // namespace tessaly
