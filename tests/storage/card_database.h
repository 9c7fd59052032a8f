#pragma once

// Test helpers: a temporary folder with the card table created through the API
// from the engine's schema, and the comparison of what the independent readers
// return with the rows a test wrote.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/card_table.h"
#include "storage/dao.h"
#include "storage/utf8.h"
#include "tests/support/mdb_readers.h"

namespace tessaly::test {

inline constexpr int16_t kAnniversary = 31;
inline constexpr int16_t kBirthday = 33;
inline constexpr int16_t kNotes = 36;
inline constexpr int16_t kFieldCount = 41;

// A row as written: per field the text set, or nothing for a field left Null.
using CardRow = std::vector<std::optional<std::u16string>>;
inline CardRow EmptyRow() {
  return CardRow(kFieldCount);
}

inline std::u16string U16(const std::string& utf8) {
  return jet::Utf8ToUtf16(utf8);
}
inline std::string U8(const std::u16string& utf16) {
  return jet::Utf16ToUtf8(utf16);
}

// The failure's number (its description must not be empty), 0 when none.
int32_t FailureNumber(const std::function<void()>& action);

class CardDb : public ::testing::Test {
 protected:
  CardDb();
  ~CardDb() override;
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  // A new database at File(name) holding tblCardData, with rs_ open on it.
  void Create(const std::string& name = "cards.mdb");
  void Add(const CardRow& row);

  std::filesystem::path dir_;
  std::string path_;
  std::shared_ptr<dao::Database> db_;
  std::shared_ptr<dao::Recordset> rs_;
};

// What a reader should show: texts as UTF-8, Null as nullopt; dates are left for
// the caller to fill in.
ReaderRow Shown(const CardRow& row);
// One reader's row against the expected one, allowing for the reader's limits.
void ExpectReaderRow(const ReaderTable& table, size_t index, const ReaderRow& actual,
                     const ReaderRow& expected);
// Both readers list exactly tblCardData as user table.
void ExpectOnlyCardTable(const std::string& path);
// Both readers list exactly tblCardData, its 41 columns, and these rows in order.
void ExpectReadersShow(const std::string& path, const std::vector<ReaderRow>& rows);

}  // namespace tessaly::test
