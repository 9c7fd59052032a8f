#pragma once

// Test helpers: the 41-field card table defined through the API, temporary
// folders, and the comparison of what the independent readers return with the
// rows a test wrote.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/dao.h"
#include "tests/support/mdb_readers.h"

namespace tessaly::test {

struct CardField {
  const char* name;
  int16_t type;
  int16_t size;
};
extern const std::array<CardField, 41> kCardFields;
inline constexpr int16_t kAnniversary = 31;
inline constexpr int16_t kBirthday = 33;
inline constexpr int16_t kNotes = 36;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct CardDatabase {
  std::shared_ptr<dao::Database> db;
  std::shared_ptr<dao::Recordset> rs;
};

// A new database holding tblCardData, with a recordset open on it.
CardDatabase CreateCardDatabase(const std::string& path);

// A row as written: per field the text set, or nothing for a field left Null.
using CardRow = std::vector<std::optional<std::u16string>>;
CardRow EmptyCardRow();
void AddCardRow(dao::Recordset& rs, const CardRow& row);

// What a reader should show for a row: text as UTF-8, dates as expected by the
// caller ("YYYY-MM-DD HH:MM:SS", keyed by field position), Null as nullopt.
ReaderRow ExpectedReaderRow(const CardRow& row, const std::vector<std::string>& dates);

// Both readers list exactly tblCardData, its 41 columns, and these rows in order.
void ExpectReadersShow(const std::string& path, const std::vector<ReaderRow>& rows);
// Compares one reader's row with the expected one, allowing for its limits.
void ExpectReaderRow(const ReaderTable& table, size_t rowIndex, const ReaderRow& actual,
                     const ReaderRow& expected);

std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

}  // namespace tessaly::test
