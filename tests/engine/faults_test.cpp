// File operations that fail, once or for good, at every place the converter touches
// a file; a lock or a database replaced behind the converter's back; a save killed
// half-way. Nothing may be lost or wrongly reported.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>

#include "session/convert_command.h"
#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "platform/file_seam.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

using namespace ::testing;
using seam::FileOp;

constexpr int kCards = 1500;

class FaultTest : public ScratchFolderTest {
 protected:
  struct Outcome {
    int status = -1;
    std::vector<std::string> said;
    std::vector<std::string> reports;
  };

  void SetUp() override {
    ScratchFolderTest::SetUp();
    std::vector<std::string> lines{HeaderLine()};
    for (int i = 0; i < kCards; ++i) {
      lines.push_back(RecordLine({{2, "Card " + std::to_string(i)},
                                  {3, i % 3 == 0 ? "Wei\xdf" : "Smith"},
                                  {18, "Company " + std::string(40, 'c')},
                                  {47, std::string(static_cast<size_t>(i % 400), 'n')}}));
    }
    WriteFile(Path("in.csv"), Crlf(lines));
    std::filesystem::create_directory(Path("dest"));
  }

  Outcome Convert(const std::string& out) {
    RecordingReporter reporter;
    Outcome outcome;
    outcome.status = RunConvertCommand(
        Path("in.csv"), out,
        {reporter, [&](const std::string& line) { outcome.said.push_back(line); }, {}});
    outcome.reports = reporter.Texts();
    return outcome;
  }
  // The destination as the test left it, and nothing beside it.
  void ExpectDestinationUntouched() {
    const std::string now = ReadFile(Path("dest/out.mdb"));
    EXPECT_TRUE(now == "old contents") << "the destination now holds " << now.size() << " bytes";
    EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));
  }
};

// A single failure and a lasting one at every call of every file operation: the
// run either fails, saying so once, with the destination untouched and no copy
// left beside it, or succeeds with a file the independent readers accept holding
// every card it reports written.
TEST_F(FaultTest, EveryFileOperationFailingOnceOrForGood) {
  const std::string out = Path("dest/out.mdb");
  ASSERT_EQ(Convert(out).status, kExitConverted);  // leaves a temporary database to replace
  seam::ResetCalls();
  const Outcome clean = Convert(out);
  ASSERT_EQ(clean.status, kExitConverted) << PrintToString(clean.reports);
  std::vector<int> calls;
  for (int op = 0; op < static_cast<int>(FileOp::kCount); ++op) {
    calls.push_back(seam::Calls(static_cast<FileOp>(op)));
  }
  EXPECT_GT(seam::Calls(FileOp::kPageWrite), 4);
  // The copy had no name until complete, where the system has such files.
  EXPECT_EQ(seam::Calls(FileOp::kCopyLink), kWindows ? 0 : 1);

  int failedRuns = 0;
  for (size_t index = 0; index < calls.size(); ++index) {
    const auto op = static_cast<FileOp>(index);
    for (int call = 0; call < calls[index]; ++call) {
      for (const bool persistent : {false, true}) {
        SCOPED_TRACE("operation " + std::to_string(index) + ", call " + std::to_string(call) +
                     (persistent ? ", for good" : ", once"));
        WriteFile(out, "old contents");
        Outcome outcome;
        {
          seam::ScopedFault fault(op, persistent ? ENOSPC : EIO, call, persistent);
          outcome = Convert(out);
        }
        ASSERT_FALSE(outcome.said.empty() && outcome.status == kExitConverted);
        if (outcome.status != kExitConverted) {
          ++failedRuns;
          EXPECT_EQ(outcome.status, kExitFailed);
          EXPECT_EQ(outcome.reports.size(), 1u) << PrintToString(outcome.reports);
          ExpectDestinationUntouched();
          EXPECT_THAT(outcome.said, Not(Contains("MDB file saved.")));
          if (op == FileOp::kPageWrite) {
            EXPECT_THAT(outcome.said, Each(Not(HasSubstr("kept"))));
          }
          continue;
        }
        EXPECT_THAT(outcome.said, Contains("MDB file saved."));
        const size_t rows = CardRowCount(out);
        EXPECT_EQ(outcome.said.back(),
                  "Cards written: " + std::to_string(rows) + ", cards failed: 0.");
        if (kReadersRunHere) {
          EXPECT_EQ(Read(Reader::kMdbReader, out, "tblCardData").rows.size(), rows);
        }
      }
    }
  }
  EXPECT_GT(failedRuns, 20);
}

// Lost writes end the run within a few pages, whether the pages of the rows after
// them are still being built or already written: the conversion fails, never the
// save after it. They are not refused cards.
TEST_F(FaultTest, ALostWriteEndsTheRunAndBlocksEverySave) {
  RecordingReporter reporter;
  modCSV probe(reporter);
  seam::ResetCalls();
  ASSERT_TRUE(probe.CreateCardDatabase(Path("probe.mdb")));
  const int creationWrites = seam::Calls(FileOp::kPageWrite);
  // Several MB of rows: many times what goes to the file in one write.
  constexpr int kMany = 12000;
  std::vector<std::string> lines{HeaderLine()};
  for (int i = 0; i < kMany; ++i) {
    lines.push_back(RecordLine({{2, "Card " + std::to_string(i)}, {47, std::string(300, 'n')}}));
  }
  WriteFile(Path("many.csv"), Crlf(lines));
  modCSV m(reporter);
  std::vector<std::u16string> names;
  for (const bool last : {false, true}) {
    SCOPED_TRACE(last ? "the last write" : "the first write amid the cards");
    const std::string in = Path(last ? "in.csv" : "many.csv");
    int skip = creationWrites;
    if (last) {
      // Counted on the second of two clean runs: each closes the one before it.
      for (int run = 0; run < 2; ++run) {
        seam::ResetCalls();
        ASSERT_TRUE(m.OpenCardFile(in, names));
        ASSERT_TRUE(m.ConvertCardFile());
      }
      skip = seam::Calls(FileOp::kPageWrite) - 1;
    }
    reporter.reports.clear();
    ASSERT_TRUE(m.OpenCardFile(in, names));
    {
      seam::ScopedFault fault(FileOp::kPageWrite, EIO, skip);
      EXPECT_FALSE(m.ConvertCardFile());
    }
    EXPECT_THAT(reporter.Texts(), ElementsAre(StartsWith("Err 3043 Writing database")));
    EXPECT_EQ(m.LastRun().cardsFailed, 0);
    EXPECT_GT(m.LastRun().cardsWritten, 0);
    if (!last) {
      EXPECT_LT(m.LastRun().cardsWritten, kMany);
    }
  }
  reporter.reports.clear();
  EXPECT_TRUE(m.DatabaseDamaged());
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(m.SaveCardDatabase(Path("dest/out.mdb")));
    EXPECT_THAT(reporter.Texts().back(), HasSubstr("incomplete"));
  }
  EXPECT_EQ(reporter.reports.size(), 2u);
  EXPECT_THAT(FolderEntries(Path("dest")), IsEmpty());

  // A new conversion, not a mere new database, lifts the ban.
  ASSERT_TRUE(m.OpenCardFile(Path("in.csv"), names));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_FALSE(m.DatabaseDamaged());
  EXPECT_TRUE(m.SaveCardDatabase(Path("dest/out.mdb")));
  EXPECT_EQ(CardRowCount(Path("dest/out.mdb")), size_t{kCards});
}

#ifndef _WIN32
// What a child process said and how it ended, run with the system refusing to let
// any file grow past `limit` bytes (SIGXFSZ ignored, so writes fail with EFBIG): the
// system call's own error, not one injected above it.
struct Limited {
  int status = -1;
  std::string said;
};
template <typename Work>
Limited UnderFileSizeLimit(rlim_t limit, const std::string& log, Work work) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(99);
    std::string said;
    const int status = work(said);
    WriteFile(log, said.substr(0, 4096));
    ::_exit(status);
  }
  Limited out;
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return out;
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.said = ReadFile(log);
  return out;
}

TEST_F(FaultTest, WritesTheSystemRefusesFailTheRunOrTheSave) {
  constexpr rlim_t kLimit = 256 * 1024;  // the converted database is several times this
  const std::string out = Path("dest/out.mdb");
  WriteFile(out, "old contents");
  {
    // The copy made when saving a database converted without the limit. Forked
    // first, while no thread of the converter's is left to be joined.
    RecordingReporter reporter;
    modCSV m(reporter);
    std::vector<std::u16string> names;
    ASSERT_TRUE(m.OpenCardFile(Path("in.csv"), names));
    ASSERT_TRUE(m.ConvertCardFile());
    m.CloseCardDatabase();  // its pages are on disk before the child copies them
    ASSERT_GT(std::filesystem::file_size(m.mTempDbPath()), 2 * kLimit);
    const Limited save = UnderFileSizeLimit(kLimit, Path("save.log"), [&](std::string& said) {
      const bool saved = m.SaveCardDatabase(out);
      for (const auto& text : reporter.Texts()) said += "report: " + text + "\n";
      return saved ? 0 : 1;
    });
    EXPECT_EQ(save.status, 1) << save.said;
    EXPECT_EQ(std::count(save.said.begin(), save.said.end(), '\n'), 1) << save.said;
    EXPECT_THAT(save.said, StartsWith("report: Err "));
    EXPECT_THAT(save.said, HasSubstr("too large"));
    ExpectDestinationUntouched();
  }
  // The pages of the database, written on their own thread.
  const Limited run = UnderFileSizeLimit(kLimit, Path("run.log"), [&](std::string& said) {
    const Outcome outcome = Convert(out);
    for (const auto& text : outcome.reports) said += "report: " + text + "\n";
    for (const auto& line : outcome.said) said += line + "\n";
    return outcome.status;
  });
  EXPECT_EQ(run.status, kExitFailed) << run.said;
  EXPECT_THAT(run.said, HasSubstr("report: Err 3043 Writing database '"));
  EXPECT_THAT(run.said, HasSubstr("' failed: File too large."));
  EXPECT_THAT(run.said, Not(HasSubstr("Translation complete.")));
  EXPECT_THAT(run.said, HasSubstr("Translation incomplete."));
  ExpectDestinationUntouched();
}
#endif

// The lock guards the database, not a name: a second process that could take the
// database because a cleaner removed the lock file must not have its cards saved
// under the first one's name.
TEST_F(FaultTest, LockOrDatabaseReplacedDuringARun) {
  WriteFile(Path("other.csv"), Crlf({HeaderLine(), RecordLine({{3, "other"}})}));
  std::vector<std::u16string> names;
  for (const bool removeLock : {true, false}) {
    SCOPED_TRACE(removeLock ? "lock removed" : "database replaced");
    RecordingReporter reporter, otherReporter;
    modCSV first(reporter), second(otherReporter);
    ASSERT_TRUE(first.OpenCardFile(Path("in.csv"), names));
    ASSERT_TRUE(first.ConvertCardFile());
    if (kWindows) {
      // Windows lets nobody remove or replace either file while it is held open.
      std::error_code denied;
      std::filesystem::remove(removeLock ? TempFolder() + "\\~trns.lock" : first.mTempDbPath(),
                              denied);
      EXPECT_TRUE(denied);
      continue;
    }
    if (removeLock) {
      std::filesystem::remove(TempFolder() + "/~trns.lock");
      ASSERT_TRUE(second.OpenCardFile(Path("other.csv"), names));
      ASSERT_TRUE(second.ConvertCardFile()) << PrintToString(otherReporter.Texts());
    } else {
      std::filesystem::remove(first.mTempDbPath());
      WriteFile(first.mTempDbPath(), "another database");
    }
    WriteFile(Path("dest/out.mdb"), "old contents");
    EXPECT_FALSE(first.SaveCardDatabase(Path("dest/out.mdb")));
    EXPECT_THAT(reporter.Texts(), ElementsAre(HasSubstr("nothing was saved")));
    ExpectDestinationUntouched();
  }
}

// Killed while saving, a process leaves nothing beside the destination; a copy left
// with a name (killed after naming it) goes with the next save.
TEST_F(FaultTest, KilledSaveLeavesNoCopy) {
  const std::string out = Path("dest/out.mdb");
#ifdef _WIN32
  // No fork here, and no unnamed files: a killed save leaves its named copy, which
  // the next save removes once its process is gone.
  WriteFile(out, "old contents");
  WriteFile(Path("dest/.out.mdb.tessaly-2147483644-1.part"), "left by a killed save");
#else
  for (const FileOp killAt : {FileOp::kCopyData, FileOp::kCopyFlush, FileOp::kCopyClose}) {
    WriteFile(out, "old contents");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      seam::ScopedFault kill(killAt, [] { ::raise(SIGKILL); });
      Convert(out);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(ReadFile(out), "old contents");
    if (killAt != FileOp::kCopyClose) {
      EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));
    }
  }
#endif
  // Killed after naming its copy; a copy of a running process stays.
  const std::string running =
      Path("dest/.out.mdb.tessaly-" + std::to_string(ProcessId()) + "-999.part");
  WriteFile(running, "in progress");
  EXPECT_EQ(FolderEntries(Path("dest")).size(), 3u);
  ASSERT_EQ(Convert(out).status, kExitConverted);
  EXPECT_THAT(FolderEntries(Path("dest")),
              UnorderedElementsAre("out.mdb", std::filesystem::path(running).filename()));
}

}  // namespace
}  // namespace tessaly::test
