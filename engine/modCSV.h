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

class modCSV {
 public:
  explicit modCSV(Reporter& reporter);
  ~modCSV();
  modCSV(const modCSV&) = delete;
  modCSV& operator=(const modCSV&) = delete;

  // Whole-file conversion into a fresh temporary database.
  bool ConvertCardFile();

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
  // Closes file number 1 if it is open; mCardFileOpen is left as it is (the Open
  // command closes the previous export this way before opening the next).
  void CloseCardFile();

  bool CreateCardDatabase(const std::string& path);
  static bool FileExists(const std::string& path);
  void CloseCardDatabase();
  bool SaveCardDatabase(const std::string& path);
  bool CreateCardTable();
  bool WriteCardRecord(const std::vector<std::u16string>& flds);
  // The same for a card read from the export, whose refusal names it.
  bool WriteCard(const std::vector<std::u16string>& flds, const CardOrigin& origin);
  bool WriteCard(CardColumns flds, const CardOrigin& origin);

  Reporter& reporter() { return *reporter_; }
  // Where later reports go (the window relays a conversion's reports to its thread).
  void SetReporter(Reporter& reporter) { reporter_ = &reporter; }

  // Called now and then during a conversion with the bytes read so far and the
  // export's size; may be empty.
  std::function<void(uint64_t done, uint64_t total)> mProgress;

  // Where the caller saves the database right after the next conversion. When that
  // file system has room to spare, the database is copied there while it is written,
  // so the save that follows has little left to do; any other save copies it whole.
  std::string mSaveTarget;

  // Runs the whole conversion on the calling thread instead of reading the export on
  // a second one; the output is the same.
  bool mOneThread = false;

  // Module-wide state.
  std::string mTempDbPath;
  bool mCardFileOpen = false;
  std::unique_ptr<CardFileReader> mCardFile;  // file number 1
  alignas(kCacheLine) CardRecord mCardRec;
  alignas(kCacheLine) std::shared_ptr<dao::DBEngine> mEngine;
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
  // Refused cards by the table field (position) that refused them; see kRowRefusal.
  std::array<int64_t, kRowRefusal + 1> mFieldFailures{};
  // The line of the export the last run ended on (its last line read when it
  // converted the whole export).
  int64_t mLastLine = 0;

 private:
  // Classifies one line into `sink`, the held card and complete ones. Throws what
  // the parser refuses.
  template <typename Char>
  void TakeCardLine(std::basic_string_view<Char> line, int64_t lineNumber,
                    BasicCardSink<Char>& sink);
  // The conversion's loop over the export's lines, on one thread or with a reading
  // thread. False once a write was lost (reported); throws on a failed line.
  bool ConvertLines();
  bool ConvertLinesInTwoThreads();
  // False, reported, when a row written by the run did not reach the file.
  bool RowsReachedFile();
  // The reading thread: lines to cards, into the queue, until the end, a failure or
  // the queue's stop.
  void ReadCards(CardBatchQueue& queue);
  // A card's write failed: reported as a refusal, or as the run's end when the file
  // lost a write.
  void WriteFailed(const Failure& failure, size_t refusedBy, CardColumns flds,
                   const CardOrigin& origin);
  // Closes mDb; a failure marks it damaged.
  void CloseDatabase();
  // True once the database has lost a write; the failure has been reported.
  bool DatabaseDamaged();
  // Throws unless the lock and the temporary database are still this process's.
  void CheckTempDatabaseIsOurs();
  // Clears the way for a new temporary database at path.
  void RemoveTempDatabase(const std::string& path);
  // Starts copying the new temporary database to mSaveTarget, when there is one and
  // room for it; a copy that cannot start is no failure.
  void StartCopyAhead();
  void DropCopyAhead();

  Reporter* reporter_;
  // Held from the first conversion on, so no other process shares mTempDbPath.
  std::unique_ptr<TempFileLock> tempLock_;
  std::string tempLockPath_;
  // A telephone number joined to its extension, reused from card to card.
  std::u16string joined_;
  // Deletes the last run's temporary database.
  std::thread oldTempRemoval_;
  // The database on its way to mSaveTarget, written ranges reported to it.
  std::shared_ptr<CopyAhead> copyAhead_;
  // The user asked to see no more card messages in this run.
  bool cardMessagesOff_ = false;
  // Record lines seen in this run.
  alignas(kCacheLine) int64_t cardsSeen_ = 0;
};

}  // namespace tessaly
