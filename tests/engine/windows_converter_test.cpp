// The Windows build of tessaly-convert, run under Wine, against this system's build
// on the same exports: the same outcome and messages, the same file apart from its
// creation date, and the same values as both independent readers read them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>
#include <ctime>

#include "engine_test_support.h"
#include "storage/jet_format.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

struct HeldExport {
  const char* name;
  std::string bytes;
};

std::vector<HeldExport> HeldExports() {
  std::string longNote;
  for (int i = 0; longNote.size() < 100'000; ++i)
    longNote += "Zeile " + std::to_string(i) + " \xe4\xf6\xfc ";
  std::string crOnly = HeaderLine() + "\r" + RecordLine({{3, "one"}}) + "\r" +
                       OpenRecordLine({{3, "Lovelace"}, {47, "a"}}) + "\rb\r\"\r" +
                       RecordLine({{3, "two"}}) + "\r";
  return {
      {"full.csv", Crlf({HeaderLine(), RecordLine(FullCard()),
                         OpenRecordLine({{3, "Lovelace"}, {47, "first \x80"}}), "second \xfc", "",
                         "  \"", RecordLine({{3, "Ctrl-Z \x1a"}})})},
      {"refused.csv",
       Crlf({HeaderLine(), RecordLine({{3, "kept"}}), RecordLine({{5, std::string(79, 'C')}}),
             RecordLine({{35, "31/31/1999"}}), RecordLine({{2, "Anna"}, {3, "Wei\xdf"}})})},
      {"cr-only.csv", crOnly},
      {"long-note.csv", Crlf({HeaderLine(), OpenRecordLine({{3, "Lovelace"}, {47, longNote}}), "\"",
                              RecordLine({{3, "x"}})})},
      {"stops.csv",
       Crlf({HeaderLine(), RecordLine({{3, "one"}}), "\"a\",\"b\"", RecordLine({{3, "never"}})})},
      {"Jos\xc3\xa9 \xd0\x96.csv", Crlf({HeaderLine(), RecordLine({{3, "Jos\xe9"}})})},
  };
}

// A Jet date (days since 1899-12-30) within a day of now, read at `at`.
bool IsNow(const std::string& file, size_t at) {
  if (at + 8 > file.size()) return false;
  double days = 0;
  std::memcpy(&days, file.data() + at, 8);
  const double now = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
  return days > now - 1 && days < now + 1;
}

// Bytes that differ, leaving out the dates of creation the two runs wrote: the
// header's (masked alike in both files) and the catalog's.
size_t DifferencesBeyondTimestamps(const std::string& a, const std::string& b) {
  size_t count = 0;
  for (size_t at = 0; at < a.size(); ++at) {
    if (a[at] == b[at]) continue;
    if (at >= jet::header::kCreationDateOffset && at < jet::header::kCreationDateOffset + 8) {
      continue;
    }
    size_t start = at - std::min<size_t>(at, 7);
    while (start <= at && !(IsNow(a, start) && IsNow(b, start))) ++start;
    if (start <= at) {
      at = start + 7;
    } else {
      ++count;
    }
  }
  return count;
}

class WindowsConverter : public ScratchFolderTest {
 protected:
  // Runs command in folder with the export and output named relative to it.
  Outcome RunIn(const std::string& folder, const std::string& program, const std::string& in,
                const std::string& out) {
    const std::string command = "cd '" + folder + "' && " + program + " '" + in + "' '" + out +
                                "' >stdout 2>stderr </dev/null";
    const int status = std::system(command.c_str());
    auto text = [&](const char* name) {
      return ConsoleLines(ReadFile(std::filesystem::path(folder) / name));
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text("stdout"), text("stderr")};
  }
};

TEST_F(WindowsConverter, WritesWhatTheLinuxBuildWrites) {
  ASSERT_TRUE(MdbToolsAvailable() && MdbReaderAvailable());
  std::filesystem::create_directories(dir_ / "linux");
  std::filesystem::create_directories(dir_ / "windows");
  for (const HeldExport& held : HeldExports()) {
    SCOPED_TRACE(held.name);
    const std::string out = std::filesystem::path(held.name).stem().string() + ".mdb";
    for (const char* side : {"linux", "windows"}) {
      WriteFile(dir_ / side / std::filesystem::u8path(held.name), held.bytes);
    }
    const Outcome linux = RunIn(Path("linux"), TESSALY_CONVERT_PATH, held.name, out);
    const Outcome windows = RunIn(
        Path("windows"), std::string("wine '") + TESSALY_WINDOWS_CONVERTER + "'", held.name, out);
    EXPECT_EQ(windows.status, linux.status) << windows.err;
    EXPECT_EQ(windows.err, linux.err);
    // Where a failed run keeps its cards differs; the rest of the outcome does not.
    auto keptAside = [](std::string text) {
      return text.substr(0, text.find(" The cards written"));
    };
    EXPECT_EQ(keptAside(windows.out), keptAside(linux.out));
    if (linux.status != 0) continue;

    const std::string linuxFile = Path("linux/" + out), windowsFile = Path("windows/" + out);
    std::string a = ReadFile(linuxFile), b = ReadFile(windowsFile);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GE(a.size(), size_t{jet::kPageSize});
    EXPECT_EQ(DifferencesBeyondTimestamps(a, b), 0u) << "the files differ beyond their dates";

    for (const Reader reader : kReaders) {
      SCOPED_TRACE(NameOf(reader));
      const ReaderTable fromLinux = Read(reader, linuxFile, "tblCardData");
      const ReaderTable fromWindows = Read(reader, windowsFile, "tblCardData");
      EXPECT_EQ(fromWindows.columns, fromLinux.columns);
      EXPECT_EQ(fromWindows.rows, fromLinux.rows);
      EXPECT_FALSE(fromLinux.rows.empty());
    }
    // The strict checker and ODBC read the .exe's file as the others do.
    ExpectOdbcAgrees(windowsFile);
  }
}

}  // namespace
}  // namespace tessaly::test
