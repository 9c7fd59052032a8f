#pragma once

// Shared by the converter's tests: export lines and files, and a private
// scratch folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/export_lines.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_platform.h"

namespace tessaly::test {

// A table row in UTF-8, Null = nullopt, from position -> text.
using Row = std::vector<std::optional<std::string>>;
inline Row RowOf(const std::map<int, std::string>& values) {
  Row row(41);
  for (const auto& [position, text] : values) row[static_cast<size_t>(position)] = text;
  return row;
}

// Every column set ("c<n>"), with Windows-1252 text and the two dates.
inline std::map<int, std::string> FullCard() {
  std::map<int, std::string> full;
  for (int n = 1; n <= 47; ++n) full[n] = "c" + std::to_string(n);
  full[2] = "Zo\xeb";
  full[18] = "Soci\xe9t\xe9 G\xe9n\xe9rale \x80";
  full[35] = "5/17/1980";
  full[36] = "Jun 3, 2001 2:30 PM";
  return full;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A Windows console's CR LF line ends as LF. Any other CR stays, so a doubled one
// shows.
inline std::string ConsoleLines(std::string text) {
  size_t kept = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
    text[kept++] = text[at];
  }
  text.resize(kept);
  return text;
}

inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Windows does not delete a read-only file: a test's read-only file would outlive it
// and fail the next run's clean start.
inline void RemoveAll(const std::filesystem::path& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
    std::filesystem::permissions(
        entry.path(), std::filesystem::perms::owner_write,
        std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ignored);
  }
  std::filesystem::remove_all(folder, ignored);
}

// A fresh folder per test whose "tmp" is the temporary folder ($TMPDIR, on Windows
// TMP), so the temporary database is the test's own.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static const auto base = std::filesystem::temp_directory_path();  // before $TMPDIR moves
    dir_ = base / ("tessaly-engine-test-" + std::to_string(ProcessId()) + "-" +
                   info->test_suite_name() + "-" + info->name());
    RemoveAll(dir_);
    std::filesystem::create_directories(dir_ / "tmp");
    SetEnv(kWindows ? "TMP" : "TMPDIR", (dir_ / "tmp").string());
  }
  void TearDown() override { RemoveAll(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string TempFolder() const {
#ifdef _WIN32
    return (dir_ / "tmp").string();
#else
    return (dir_ / "tmp" / ("tessaly-" + std::to_string(::geteuid()))).string();
#endif
  }
  // Writes body to name and returns its path.
  std::string In(const std::string& body, const std::string& name = "in.csv") const {
    WriteFile(Path(name), body);
    return Path(name);
  }

  std::filesystem::path dir_;
};

// Cards of ~300 bytes, every 7th refused in turn by a field's size or a date, every
// 3rd with notes over several lines, one with notes of several MB.
inline std::vector<std::string> ManyCards(int count) {
  std::vector<std::string> lines{HeaderLine()};
  for (int i = 1; i <= count; ++i) {
    std::map<int, std::string> card = {{2, "Ren\xe9 " + std::to_string(i)},
                                       {3, "M\xfcller"},
                                       {18, "Acme"},
                                       {22,
                                        "Hauptstra\xdf"
                                        "e " +
                                            std::to_string(i)},
                                       {28, "555-01" + std::to_string(i % 100)},
                                       {47, "note " + std::to_string(i)}};
    if (i % 7 == 0) card[i % 14 == 0 ? 18 : 35] = i % 14 == 0 ? std::string(60, 'c') : "13/45/99";
    if (i % 5 == 0) card.erase(2), card.erase(3);
    const bool more = i % 3 == 0;
    std::string line = RecordLine(card);
    if (more) line.pop_back();  // the closing quote comes on a line of its own
    lines.push_back(line);
    if (more) {
      lines.push_back(i == 600 ? std::string(3 << 20, 'n') : "second line, \"quoted\"");
      lines.push_back("");
      lines.push_back("  \"");
    }
  }
  return lines;
}

inline std::string Joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

}  // namespace tessaly::test
