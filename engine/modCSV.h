#pragma once

// The converter: the export file, the line parser, the card database and its
// lifecycle, as one object holding the module-wide state.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/card_file_reader.h"
#include "engine/card_table.h"
#include "platform/reporter.h"
#include "storage/dao.h"

namespace tessaly {

namespace outlook {
class Application;
class NameSpace;
}  // namespace outlook

class CardBatchQueue;
template <typename Char>
class BasicCardSink;
class CopyAhead;
class TempFileLock;

// Where a card is in the export, for its messages: its ordinal in the run and the
// line its record line is on (0: not read from a file).
struct CardOrigin {
  int64_t ordinal = 0;
  int64_t line = 0;
};

// The card being parsed on one thread: 47 columns (column n at index n - 1) and
// whether it is held, not yet written. With a reading thread, the card is parsed
// straight into the batches handed to the writer.
struct CardRecord {
  std::vector<std::u16string> Flds;
  bool Pending = false;
  CardOrigin Origin;
};

// A card's columns as the writer reads them.
using CardColumns = std::span<const std::u16string_view>;

// The parser's state is the reading thread's during a conversion and the rest the
// writing thread's: apart on cache lines of their own, neither slows the other.
inline constexpr size_t kCacheLine = 64;

// Refused cards are counted per table field, and in this last slot when the row as
// a whole was refused.
inline constexpr size_t kRowRefusal = kCardFields.size();

// What the caller asks of one conversion run.
struct RunOptions {
  // Called now and then with the bytes read so far and the export's size.
  std::function<void(uint64_t done, uint64_t total)> progress;
  // Where the caller saves the database right after the run. When that file system
  // has room to spare, the database is copied there while it is written, so the save
  // that follows has little left to do; any other save copies it whole.
  std::string saveTarget;
  // The whole run on the calling thread instead of reading the export on a second
  // one; the output is the same.
  bool oneThread = false;
  // Where the run's reports go instead of the converter's reporter (a relay to a
  // window's thread); the converter's own when null.
  Reporter* reporter = nullptr;
};

// What a run did besides succeeding or failing.
struct RunSummary {
  int64_t cardsWritten = 0;
  int64_t cardsFailed = 0;
  // Refused cards by the table field (position) that refused them; see kRowRefusal.
  std::array<int64_t, kRowRefusal + 1> fieldFailures{};
  // The line of the export the run ended on (its last line when it converted all).
  int64_t lastLine = 0;
  // A write of the temporary database was lost: it is incomplete.
  bool damaged = false;
};

class modCSV {
 public:
  explicit modCSV(Reporter& reporter);
  ~modCSV();
  modCSV(const modCSV&) = delete;
  modCSV& operator=(const modCSV&) = delete;

  // Whole-file conversion into a fresh temporary database.
  bool ConvertCardFile() { return ConvertCardFile(RunOptions()); }
  bool ConvertCardFile(const RunOptions& options);
  // What the last run did.
  const RunSummary& LastRun() const { return summary_; }

  // One line of the export (decoded, without its terminator), line `lineNumber` of
  // the export (0: not read from a file).
  bool ParseCardLine(std::u16string_view line, int64_t lineNumber = 0);
  // Overlapping matches, capped at 15.
  int32_t CountOccurrences(std::u16string_view text, std::u16string_view find);

  // Opens the export as "file number 1" and splits its header into `names`.
  bool OpenCardFile(const std::string& path, std::vector<std::u16string>& names,
                    CardInput input = CardInput::kAnyFile);
  // The same for the export `open` makes (one held in memory).
  bool OpenCardReader(const std::function<std::unique_ptr<CardFileReader>()>& open,
                      std::vector<std::u16string>& names);
  // Closes file number 1 if it is open (the Open command closes the previous export
  // this way before opening the next).
  void CloseCardFile();

  bool CreateCardDatabase(const std::string& path);
  static bool FileExists(const std::string& path);
  void CloseCardDatabase();
  bool SaveCardDatabase(const std::string& path);
  bool CreateCardTable();
  bool WriteCardRecord(const std::vector<std::u16string>& flds);

  // Notes to Journal's Outlook objects; each replaces (and releases) the last.
  void SetOlApp(std::shared_ptr<outlook::Application> app) { olApp_ = std::move(app); }
  void SetOlNs(std::shared_ptr<outlook::NameSpace> ns) { olNs_ = std::move(ns); }

  // Module-wide state, read only.
  const std::string& mTempDbPath() const { return tempDbPath_; }
  bool mCardFileOpen() const { return cardFile_ != nullptr; }
  // File number 1; null when closed.
  const CardFileReader* mCardFile() const { return cardFile_.get(); }
  const CardRecord& mCardRec() const { return cardRec_; }
  const std::shared_ptr<dao::Workspace>& mWs() const { return ws_; }
  const std::shared_ptr<dao::Database>& mDb() const { return db_; }
  const std::shared_ptr<dao::Recordset>& mRst() const { return rst_; }
  bool mDbOpen() const { return db_ && db_->IsOpen(); }
  const std::shared_ptr<outlook::Application>& mOlApp() const { return olApp_; }
  const std::shared_ptr<outlook::NameSpace>& mOlNs() const { return olNs_; }
  // The temporary database is incomplete (its creation, a write, a flush or its close
  // failed): saving it is refused until a conversion succeeds.
  bool DatabaseDamaged() const { return incomplete_ || (db_ && db_->IsDamaged()); }

 private:
  class RecordSink;

  // A card read from the export, whose refusal names it.
  bool WriteCard(CardColumns flds, const CardOrigin& origin);
  bool WriteCard(const std::vector<std::u16string>& flds, const CardOrigin& origin);
  // Classifies one line into `sink`, the held card and complete ones. Throws what
  // the parser refuses.
  template <typename Char>
  void TakeCardLine(std::basic_string_view<Char> line, int64_t lineNumber,
                    BasicCardSink<Char>& sink);
  // The run between the temporary database's creation and its end.
  bool RunConversion();
  // The conversion's loop over the export's lines, on one thread or with a reading
  // thread. False once a write was lost or a line failed (reported).
  bool ConvertLines();
  bool ConvertLinesInTwoThreads();
  // False, reported, when a row written by the run did not reach the file.
  bool RowsReachedFile();
  // The reading thread: lines to cards, into the queue, until the end, a failure or
  // the queue's stop.
  void ReadCards(CardBatchQueue& queue);
  // A failure about line `line` of the export (0: not read from a file).
  void ReportAtLine(const Failure& failure, int64_t line);
  // A card's write failed: reported as a refusal, or as the run's end when the file
  // lost a write.
  void WriteFailed(const Failure& failure, size_t refusedBy, CardColumns flds,
                   const CardOrigin& origin);
  // Closes the database; a close that failed leaves it damaged.
  void CloseDatabase();
  // Throws unless the lock and the temporary database are still this process's.
  void CheckTempDatabaseIsOurs();
  // Clears the way for a new temporary database at path.
  void RemoveTempDatabase(const std::string& path);
  // Starts copying the new temporary database to the save target, when there is one
  // and room for it; a copy that cannot start is no failure.
  void StartCopyAhead(const std::string& saveTarget);
  void DropCopyAhead();

  Reporter* reporter_;
  Reporter* ownReporter_;

  std::string tempDbPath_;
  std::unique_ptr<CardFileReader> cardFile_;  // file number 1
  alignas(kCacheLine) CardRecord cardRec_;
  alignas(kCacheLine) std::shared_ptr<dao::DBEngine> engine_;
  std::shared_ptr<dao::Workspace> ws_;
  std::shared_ptr<dao::Database> db_;
  std::shared_ptr<dao::Recordset> rst_;
  // The temporary database was replaced by a creation that did not complete.
  bool incomplete_ = false;
  std::shared_ptr<outlook::Application> olApp_;
  std::shared_ptr<outlook::NameSpace> olNs_;

  RunSummary summary_;
  std::function<void(uint64_t done, uint64_t total)> progress_;
  // Held from the first conversion on, so no other process shares the temporary path.
  std::unique_ptr<TempFileLock> tempLock_;
  std::string tempLockPath_;
  // A telephone number joined to its extension, reused from card to card.
  std::u16string joined_;
  // Deletes the last run's temporary database.
  std::thread oldTempRemoval_;
  // The database on its way to the save target, written ranges reported to it.
  std::shared_ptr<CopyAhead> copyAhead_;
  // The user asked to see no more card messages in this run.
  bool cardMessagesOff_ = false;
  // Record lines seen in this run.
  alignas(kCacheLine) int64_t cardsSeen_ = 0;
};

}  // namespace tessaly
