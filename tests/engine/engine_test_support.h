#pragma once

// Helpers for the converter's tests: a reporter that records, a recordset that
// keeps rows in memory, export lines and files, a private temporary folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/reporter.h"
#include "storage/dao.h"
#include "storage/utf8.h"

namespace tessaly::test {

class RecorderReporter : public Reporter {
 public:
  struct Message {
    std::string text;
    Icon icon;
  };
  void Show(const std::string& text, Icon icon) override { messages.push_back({text, icon}); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
  }
  std::vector<Message> messages;
};

// Rows as set through the recordset: Null is nullopt.
using Row = std::vector<std::optional<std::u16string>>;

class MemoryRecordset : public dao::Recordset {
 public:
  void AddNew() override { pending_ = Row(41); }
  void SetValue(int16_t position, std::u16string_view text) override {
    pending_.at(static_cast<size_t>(position)) = std::u16string(text);
  }
  void Update(int) override { rows.push_back(std::move(pending_)); }
  int16_t FieldCount() const override { return 41; }
  std::string FieldName(int16_t) const override { return {}; }
  void MoveFirst() override {}
  bool IsEOF() const override { return true; }
  void MoveNext() override {}
  std::string Index() const override { return {}; }
  dao::Value GetValue(int16_t) const override { return {}; }
  int64_t RecordCount() const override { return static_cast<int64_t>(rows.size()); }
  void SetAbsolutePosition(int64_t) override {}

  std::vector<Row> rows;

 private:
  Row pending_;
};

// A record line of 47 columns: column n holds cols[n] or is empty.
inline std::string RecordLine(const std::map<int, std::string>& cols) {
  std::string line = "\"";
  for (int n = 1; n <= 47; ++n) {
    if (n > 1) line += "\",\"";
    if (auto it = cols.find(n); it != cols.end()) line += it->second;
  }
  return line + "\"";
}

inline std::string HeaderLine() {
  std::map<int, std::string> names;
  for (int n = 1; n <= 47; ++n) names[n] = "Field" + std::to_string(n);
  return RecordLine(names);
}

inline std::u16string U16(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

inline std::string Utf8(std::u16string_view text) {
  return jet::Utf16ToUtf8(text);
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A fresh folder per test, also used as $TMPDIR so the temporary database is
// private to the test.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tessaly-engine-test-" + std::to_string(::getpid()) + "-" + info->test_suite_name() +
            "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "tmp");
    const char* old = std::getenv("TMPDIR");
    oldTmpdir_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (oldTmpdir_) {
      ::setenv("TMPDIR", oldTmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  std::filesystem::path dir_;
  std::optional<std::string> oldTmpdir_;
};

}  // namespace tessaly::test
