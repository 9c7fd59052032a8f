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

modCSV::modCSV(Reporter& reporter) : reporter_(&reporter), ownReporter_(&reporter) {}

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

void modCSV::StartCopyAhead(const std::string& saveTarget) {
  if (saveTarget.empty() || !db_ || !cardFile_) return;
  // The copy would take the room the temporary database needs on a shared disk,
  // and a full disk would fail the conversion rather than just the save.
  constexpr uint64_t kSpareBytes = uint64_t{64} << 20;
  if (FreeBytes(FolderOf(saveTarget)) / 4 < cardFile_->Size() + kSpareBytes) return;
  try {
    copyAhead_ = std::make_shared<CopyAhead>(tempDbPath_, db_->Identity(), saveTarget);
  } catch (const Failure&) {
    return;  // the save copies the whole file, and reports what fails then
  }
  db_->WatchWrites([ahead = std::weak_ptr<CopyAhead>(copyAhead_)](uint64_t offset, uint64_t size) {
    if (const std::shared_ptr<CopyAhead> copy = ahead.lock()) copy->Written(offset, size);
  });
}

void modCSV::DropCopyAhead() {
  if (db_) db_->WatchWrites({});
  copyAhead_.reset();
}

void modCSV::CloseDatabase() {
  if (DatabaseDamaged()) {
    // Reported when it happened: the file is given up, not closed.
    try {
      db_->Close();
    } catch (const Failure&) {
    }
    return;
  }
  db_->Close();
}

bool modCSV::CreateCardDatabase(const std::string& path) {
  return Trap(*reporter_, Icon::Critical, [&] {
    if (mDbOpen()) CloseDatabase();
    // From here the temporary database no longer holds the last conversion.
    incomplete_ = true;
    if (FileExists(path)) RemoveTempDatabase(path);
    if (!engine_) engine_ = std::make_shared<dao::DBEngine>();
    ws_ = engine_->CreateWorkspace("", "admin", "", dao::dbUseJet);
    db_ = ws_->CreateDatabase(path, dao::dbLangGeneral);
    if (!CreateCardTable()) return false;
    rst_ = db_->OpenRecordset(kCardTableName);
    incomplete_ = false;
    return true;
  });
}

bool modCSV::FileExists(const std::string& path) {
  return tessaly::FileExists(path);
}

void modCSV::CloseCardDatabase() {
  Trap(*reporter_, Icon::Critical, [&] {
    if (mDbOpen()) CloseDatabase();
    cardFile_.reset();
    return true;
  });
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
  return Trap(*reporter_, Icon::Critical, [&] {
    const bool damagedBefore = DatabaseDamaged();
    CloseCardDatabase();
    if (DatabaseDamaged()) {
      // A close that failed just now has been reported; earlier damage is told here.
      if (!damagedBefore) return false;
      throw Failure(dao::err::kDiskIo,
                    "The temporary database is incomplete (creating, writing or closing it "
                    "failed), so it cannot be saved. Convert the export again.");
    }
    // A database that failed to close may be incomplete; its failure is reported.
    if (mDbOpen()) return false;
    CheckTempDatabaseIsOurs();
    const std::shared_ptr<CopyAhead> ahead = std::exchange(copyAhead_, nullptr);
    if (!ahead || ahead->Destination() != path || !ahead->Commit()) {
      std::optional<FileIdentity> written;
      if (db_) written = db_->Identity();
      ReplaceFileWithCopy(tempDbPath_, path, written);
    }
    return true;
  });
}

}  // namespace tessaly
