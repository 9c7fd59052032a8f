#pragma once

// The converter: the export file, the line parser, the card database and its
// lifecycle, as one object holding the module-wide state.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reporter.h"
#include "storage/dao.h"

namespace tessaly {

namespace outlook {
class Application;
class NameSpace;
}  // namespace outlook

class CardFileReader;
class TempFileLock;

// The card being parsed: 47 columns (column n at index n - 1) and whether it is
// held, not yet written.
struct CardRecord {
  std::vector<std::u16string> Flds;
  bool Pending = false;
};

class modCSV {
 public:
  explicit modCSV(Reporter& reporter);
  ~modCSV();
  modCSV(const modCSV&) = delete;
  modCSV& operator=(const modCSV&) = delete;

  // Whole-file conversion into a fresh temporary database.
  bool ConvertCardFile();

  // One line of the export (decoded, without its terminator).
  bool ParseCardLine(std::u16string_view line);
  // Overlapping matches, capped at 15.
  int32_t CountOccurrences(std::u16string_view text, std::u16string_view find);

  // Opens the export as "file number 1" and splits its header into `names`.
  bool OpenCardFile(const std::string& path, std::vector<std::u16string>& names);
  // The same for an export held in memory, shown under `name`.
  bool OpenCardData(const std::string& name, std::string contents,
                    std::vector<std::u16string>& names);
  // Closes file number 1 if it is open; mCardFileOpen is left as it is (the Open
  // command closes the previous export this way before opening the next).
  void CloseCardFile();

  bool CreateCardDatabase(const std::string& path);
  static bool FileExists(const std::string& path);
  void CloseCardDatabase();
  bool SaveCardDatabase(const std::string& path);
  bool CreateCardTable();
  bool WriteCardRecord(const std::vector<std::u16string>& flds);

  Reporter& reporter() { return reporter_; }

  // Called now and then during a conversion with the bytes read so far and the
  // export's size; may be empty.
  std::function<void(uint64_t done, uint64_t total)> mProgress;

  // Module-wide state.
  std::string mTempDbPath;
  bool mCardFileOpen = false;
  std::unique_ptr<CardFileReader> mCardFile;  // file number 1
  CardRecord mCardRec;
  std::shared_ptr<dao::DBEngine> mEngine;
  std::shared_ptr<dao::Workspace> mWs;
  std::shared_ptr<dao::Database> mDb;
  std::shared_ptr<dao::Recordset> mRst;
  bool mDbOpen = false;
  // A write, flush or close of the temporary database failed: it is incomplete, and
  // saving it is refused until a conversion succeeds.
  bool mDbDamaged = false;
  std::shared_ptr<outlook::Application> mOlApp;
  std::shared_ptr<outlook::NameSpace> mOlNs;

  // Counts of the last conversion run, for summaries.
  int64_t mCardsWritten = 0;
  int64_t mCardsFailed = 0;

 private:
  bool OpenCardReader(const std::function<std::unique_ptr<CardFileReader>()>& open,
                      std::vector<std::u16string>& names);
  // Closes mDb; a failure marks it damaged.
  void CloseDatabase();
  // True once the database has lost a write; the failure has been reported.
  bool DatabaseDamaged();
  // Throws unless the lock and the temporary database are still this process's.
  void CheckTempDatabaseIsOurs();

  Reporter& reporter_;
  // Held from the first conversion on, so no other process shares mTempDbPath.
  std::unique_ptr<TempFileLock> tempLock_;
  std::string tempLockPath_;
  // A telephone number joined to its extension, reused from card to card.
  std::u16string joined_;
};

}  // namespace tessaly
