// The command-line converter copies the database to its destination while writing
// it. The saved file must be the one a whole-file copy gives, whatever fails on the
// way, and a run that does not end in a save must leave nothing at the destination.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "platform/file_seam.h"
#include "storage/jet_header.h"

namespace tessaly::test {
namespace {

using namespace ::testing;
using seam::FileOp;

class SaveAheadTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    std::filesystem::create_directory(Path("dest"));
    // Several MB of notes: copying starts long before the run ends.
    export_ = In(Joined(ManyCards(3000), "\r\n"));
  }

  struct Outcome {
    bool converted = false;
    bool saved = false;
    std::vector<std::string> saveReports;  // the save's, after the conversion's
  };
  // Converts the export with `target` as the planned destination, then saves to `to`.
  Outcome ConvertAndSave(const std::string& target, const std::string& to) {
    RecordingReporter reporter;
    modCSV m(reporter);
    std::vector<std::u16string> names;
    Outcome o;
    RunOptions options;
    options.saveTarget = target;
    if (m.OpenCardFile(export_, names)) o.converted = m.ConvertCardFile(options);
    const size_t before = reporter.reports.size();
    if (o.converted) o.saved = m.SaveCardDatabase(to);
    const std::vector<std::string> texts = reporter.Texts();
    o.saveReports.assign(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end());
    return o;
  }
  std::string WholeCopy() {
    const Outcome o = ConvertAndSave("", Path("whole.mdb"));
    EXPECT_TRUE(o.saved);
    return ReadFile(Path("whole.mdb"));
  }

  const jet::ScopedJetDate date_{45000.5};
  std::string export_;
};

TEST_F(SaveAheadTest, SavesTheFileAWholeCopySaves) {
  const std::string whole = WholeCopy();
  ASSERT_GT(whole.size(), size_t{5} << 20);
  const std::string out = Path("dest/out.mdb");
  WriteFile(out, "old contents");
  ASSERT_TRUE(ConvertAndSave(out, out).saved);
  EXPECT_TRUE(ReadFile(out) == whole);
  EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));

  // Saved elsewhere after all: the copy made for the planned place is dropped.
  ASSERT_TRUE(ConvertAndSave(out, Path("dest/other.mdb")).saved);
  EXPECT_TRUE(ReadFile(Path("dest/other.mdb")) == whole);
  EXPECT_THAT(FolderEntries(Path("dest")), UnorderedElementsAre("out.mdb", "other.mdb"));
}

// A copy that fails on the way is no failure of the save: the whole file is copied
// instead. Only a failure of that copy too is reported, the destination untouched.
TEST_F(SaveAheadTest, ACopyFailingOnTheWayGivesWayToAWholeCopy) {
  const std::string whole = WholeCopy();
  const std::string out = Path("dest/out.mdb");
  seam::ResetCalls();
  ASSERT_TRUE(ConvertAndSave(out, out).saved);
  const int copies = seam::Calls(FileOp::kCopyData);
  ASSERT_GT(copies, 2);
  for (const int call : {0, 1, copies - 1}) {
    SCOPED_TRACE("copy " + std::to_string(call));
    WriteFile(out, "old contents");
    {
      seam::ScopedFault fault(FileOp::kCopyData, EIO, call);
      const Outcome o = ConvertAndSave(out, out);
      EXPECT_TRUE(o.saved);
      EXPECT_THAT(o.saveReports, IsEmpty());
    }
    EXPECT_TRUE(ReadFile(out) == whole);
    EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));
  }
  WriteFile(out, "old contents");
  {
    seam::ScopedFault full(FileOp::kCopyData, ENOSPC, 0, true);
    const Outcome o = ConvertAndSave(out, out);
    EXPECT_FALSE(o.saved);
    EXPECT_THAT(o.saveReports, ElementsAre(HasSubstr("out.mdb")));
  }
  EXPECT_TRUE(ReadFile(out) == "old contents");
  EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));
}

// A run that fails, or a planned destination that is no file, leaves the
// destination as it was; the second is reported by the save as before.
TEST_F(SaveAheadTest, NothingReachesTheDestinationWithoutASave) {
  const std::string out = Path("dest/out.mdb");
  WriteFile(out, "old contents");
  // A record line of 12 columns: the run stops there.
  export_ = In(Joined(ManyCards(3000), "\r\n") +
               "a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l\r\n");
  const Outcome failed = ConvertAndSave(out, out);
  EXPECT_FALSE(failed.converted);
  EXPECT_TRUE(ReadFile(out) == "old contents");
  EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));

  export_ = In(Joined(ManyCards(100), "\r\n"));
  const Outcome folder = ConvertAndSave(Path("dest"), Path("dest"));
  EXPECT_TRUE(folder.converted);
  EXPECT_FALSE(folder.saved);
  EXPECT_THAT(folder.saveReports, ElementsAre(HasSubstr("dest")));
  EXPECT_THAT(FolderEntries(Path("dest")), ElementsAre("out.mdb"));
}

}  // namespace
}  // namespace tessaly::test
