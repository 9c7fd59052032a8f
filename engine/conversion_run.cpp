#include <functional>
#include <string_view>
#include <system_error>
#include <thread>

#include "engine/card_batch_queue.h"
#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/card_queue_sink.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "platform/temp_folder.h"

namespace tessaly {

namespace {
constexpr uint64_t kProgressStep = uint64_t{1} << 18;
// A very long line's memory is let go once it is parsed.
constexpr size_t kKeptLineCapacity = size_t{1} << 20;
// Enough batches for both threads to work while a third waits; a batch is handed
// over at this many cards or this many bytes of the export, whichever comes first.
constexpr size_t kBatches = 4;
constexpr size_t kCardsPerBatch = 256;
// A batch that held a very long note lets its text go once written.
constexpr size_t kKeptBatchCapacity = size_t{1} << 20;

// Reports progress once `done` has come a step past the last report.
void StepProgress(const std::function<void(uint64_t, uint64_t)>& progress, uint64_t done,
                  uint64_t total, uint64_t& next) {
  if (!progress || done < next) return;
  progress(done, total);
  next = done + kProgressStep;
}

// Stops and joins the reading thread however the writer's loop ends.
class ReaderThread {
 public:
  ReaderThread(CardBatchQueue& queue, std::thread thread)
      : queue_(queue), thread_(std::move(thread)) {}
  ~ReaderThread() {
    queue_.Stop();
    thread_.join();
  }
  ReaderThread(const ReaderThread&) = delete;
  ReaderThread& operator=(const ReaderThread&) = delete;

 private:
  CardBatchQueue& queue_;
  std::thread thread_;
};

}  // namespace

bool modCSV::ConvertCardFile(const RunOptions& options) {
  // Nothing of an earlier, failed run may reach this one.
  cardRec_ = CardRecord();
  summary_ = RunSummary();
  cardsSeen_ = 0;
  cardMessagesOff_ = false;
  DropCopyAhead();
  progress_ = options.progress;
  reporter_ = options.reporter != nullptr ? options.reporter : ownReporter_;
  const bool converted = Trap(
      [&] {
        const std::string folder = UserTempFolder();
        const std::string lockPath = folder + "~trns.lock";
        // A lock file removed since the last run guards nothing: take a new one.
        if (!tempLock_ || tempLockPath_ != lockPath || !tempLock_->Holds()) {
          tempLock_.reset();
          tempLock_ = std::make_unique<TempFileLock>(lockPath);
          tempLockPath_ = lockPath;
        }
        tempDbPath_ = folder + "~trns.tmp";
        if (!CreateCardDatabase(tempDbPath_)) return false;
        if (!cardFile_) throw Failure(err::kBadFileNameOrNumber, "Bad file name or number");
        StartCopyAhead(options.saveTarget);
        if (!(options.oneThread ? ConvertLines() : ConvertLinesInTwoThreads())) return false;
        if (!RowsReachedFile()) return false;
        if (progress_) progress_(cardFile_->BytesRead(), cardFile_->Size());
        return true;
      },
      [&](const Failure& failure) { ReportFailure(*reporter_, failure, Icon::Critical); });
  if (!converted) DropCopyAhead();
  summary_.damaged = DatabaseDamaged();
  progress_ = nullptr;
  reporter_ = ownReporter_;
  return converted;
}

bool modCSV::RowsReachedFile() {
  return Trap(*reporter_, Icon::Critical, [&] {
    db_->WaitForWrites();
    return true;
  });
}

bool modCSV::ConvertLines() {
  CardFileReader& file = *cardFile_;
  // However the loop ends, the line it ended on.
  struct LastLine {
    int64_t& last;
    CardFileReader& file;
    ~LastLine() { last = file.LineNumber(); }
  } lastLine{summary_.lastLine, file};
  uint64_t nextProgress = kProgressStep;
  std::u16string line;
  while (!file.AtEnd()) {
    file.ReadLine(line);
    const bool parsed = ParseCardLine(line, file.LineNumber());
    // A lost write ends the run at once; its failure has been reported.
    if (DatabaseDamaged()) return false;
    if (!parsed) {
      ReportAtLine(Failure(kProblemParsingLine, "Problem parsing line!"), file.LineNumber());
      return false;
    }
    if (line.capacity() > kKeptLineCapacity) std::u16string().swap(line);
    StepProgress(progress_, file.BytesRead(), file.Size(), nextProgress);
  }
  if (cardRec_.Pending) {
    WriteCard(cardRec_.Flds, cardRec_.Origin);
    cardRec_.Pending = false;
    if (DatabaseDamaged()) return false;
  }
  return true;
}

void modCSV::ReadCards(CardBatchQueue& queue) {
  CardFileReader& file = *cardFile_;
  QueueSink sink(queue, file);
  try {
    try {
      for (;;) {
        sink.BeginLine();
        if (file.AtEnd()) break;
        const std::string_view line = file.ReadLineBytes();
        try {
          TakeCardLine(line, file.LineNumber(), sink);
        } catch (const ReaderStopped&) {
          throw;
        } catch (...) {
          sink.Fail(CaughtFailure(), true);
          return;
        }
        sink.EndLine();
      }
      if (sink.Pending()) {
        sink.Take();
        sink.Release();
      }
      sink.End();
    } catch (const ReaderStopped&) {
      throw;
    } catch (...) {
      sink.Fail(CaughtFailure(), false);
    }
  } catch (const ReaderStopped&) {
    // The writer ended the run; it waits for nothing more.
  }
}

bool modCSV::ConvertLinesInTwoThreads() {
  CardBatchQueue queue(kBatches, kCardsPerBatch);
  std::thread thread;
  try {
    thread = std::thread([this, &queue] { ReadCards(queue); });
  } catch (const std::system_error&) {
    // No second thread to be had: the same run on this one.
    return ConvertLines();
  }
  const ReaderThread reader(queue, std::move(thread));
  uint64_t nextProgress = kProgressStep;
  for (;;) {
    CardBatch* batch = queue.TakeFull();
    for (size_t i = 0; i < batch->used; ++i) {
      CardItem& item = batch->items[i];
      summary_.lastLine = item.line;
      if (item.hasCard) {
        WriteCard(CardColumns(batch->columns.data() + item.firstColumn, item.columns), item.origin);
      }
      // Reported as on one thread: the parser's failure at its line, then, once no
      // write was lost, the run's own.
      if (item.failure && item.parseFailure) ReportAtLine(*item.failure, item.line);
      if (DatabaseDamaged()) return false;
      if (item.failure) {
        if (item.parseFailure) {
          ReportAtLine(Failure(kProblemParsingLine, "Problem parsing line!"), item.line);
        } else {
          ReportFailure(*reporter_, *item.failure, Icon::Critical);
        }
        return false;
      }
      if (item.end) return true;
    }
    if (batch->text.capacity() > kKeptBatchCapacity) batch->text.Release();
    StepProgress(progress_, batch->bytesRead, cardFile_->Size(), nextProgress);
    queue.PutEmpty(batch);
  }
}

}  // namespace tessaly
