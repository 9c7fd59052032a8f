#include "engine/modCSV.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "engine/card_file_reader.h"
#include "engine/engine_failure.h"
#include "engine/file_copy.h"
#include "platform/file_failure.h"
#include "platform/temp_folder.h"

namespace tessaly {

modCSV::modCSV(Reporter& reporter) : reporter_(reporter) {}

modCSV::~modCSV() = default;

bool modCSV::CreateCardDatabase(const std::string& path) {
  bool result = false;
  try {
    if (mDbOpen) {
      mDb->Close();
      mDbOpen = false;
    }
    if (FileExists(path) && std::remove(path.c_str()) != 0) throw FileFailure(errno, path);
    if (!mEngine) mEngine = std::make_shared<dao::DBEngine>();
    mWs = mEngine->CreateWorkspace("", "admin", "", dao::dbUseJet);
    mDb = mWs->CreateDatabase(path, dao::dbLangGeneral);
    mDbOpen = true;
    if (!CreateCardTable()) return false;
    mRst = mDb->OpenRecordset("tblCardData");
    result = true;
  } catch (...) {
    ReportCaught(reporter_, Icon::Critical);
  }
  return result;
}

bool modCSV::FileExists(const std::string& path) {
  // A link counts as a file, so a stale one at the temporary name is cleared too.
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

void modCSV::CloseCardDatabase() {
  try {
    if (mDbOpen) {
      mDb->Close();
      mDbOpen = false;
    }
    if (mCardFileOpen) {
      mCardFile.reset();
      mCardFileOpen = false;
    }
  } catch (...) {
    ReportCaught(reporter_, Icon::Critical);
  }
}

bool modCSV::SaveCardDatabase(const std::string& path) {
  bool result = false;
  try {
    CloseCardDatabase();
    // A database that failed to close may be incomplete; its failure is reported.
    if (mDbOpen) return false;
    ReplaceFileWithCopy(mTempDbPath, path);
    result = true;
  } catch (...) {
    ReportCaught(reporter_, Icon::Critical);
  }
  return result;
}

}  // namespace tessaly
