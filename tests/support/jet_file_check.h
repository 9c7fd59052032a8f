#pragma once

// An independent walker of a written Jet 4 (.mdb) file: it reads the raw pages with
// its own offsets and reports every fault it finds as a readable sentence, so a
// test can compare the file with what the Jet engine itself writes:
//   - every page is claimed exactly once (header, global map, table definitions,
//     usage-map rows, index pages, data, long values, usage bitmaps);
//   - page 1 is the global free-page map and no table uses it for its own maps;
//   - each table's free map lies within its owned map, its row count is right and
//     every long value its rows point to sits on pages of that column's map;
//   - each index leaf holds one entry per row, sorted, with the key bytes computed
//     here from the row's values, and the table definition counts its unique keys;
//   - every length field is honoured and must agree with what it measures: page
//     free space, row tables, variable columns, long values, definitions, property
//     blocks (whose values are decoded and checked: the database's AccessVersion,
//     AllowZeroLength only on text and memo columns).
// It shares no code with the writer.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::test {

struct JetIndexFacts {
  std::string name;  // the logical index names using it, joined by '+'
  uint32_t rootPage = 0;
  std::vector<uint16_t> columns;  // column numbers
  size_t entries = 0;
};

// A column value as text: texts and memos as UTF-8, whole numbers in decimal,
// Booleans as "true"/"false", anything else as lowercase hex.
using JetValue = std::optional<std::string>;

// Property maps of one object: map name ("" for the object itself, a column's name
// for a column's) to property name to value as text (texts in UTF-8, whole numbers
// in decimal, Booleans "true"/"false", anything else as lowercase hex).
using JetProperties = std::map<std::string, std::map<std::string, std::string>>;

struct JetTableFacts {
  std::string name;
  uint32_t definitionPage = 0;
  uint32_t rowCount = 0;                 // as the table definition stores it
  std::vector<std::string> columnNames;  // by column number
  std::vector<uint32_t> dataPages;
  std::vector<uint32_t> longValuePages;
  std::vector<JetIndexFacts> indexes;
  JetProperties properties;
  // Only with JetCheckOptions::keepRows: per row in storage order, by column number.
  std::vector<std::vector<JetValue>> rows;

  // The value of `column` in every kept row.
  std::vector<JetValue> Column(std::string_view column) const;
};

struct JetFileFacts {
  uint32_t pageCount = 0;
  std::vector<JetTableFacts> tables;  // MSysObjects first, then in catalog order
  JetProperties databaseProperties;   // MSysDb's
  std::vector<std::string> problems;  // empty: the file is sound

  const JetTableFacts* Table(std::string_view name) const;
};

struct JetCheckOptions {
  bool keepRows = false;
};

JetFileFacts CheckJetFile(const std::string& path, const JetCheckOptions& options = {});
JetFileFacts CheckJetBytes(const std::vector<uint8_t>& file, const JetCheckOptions& options = {});

// A property block (an LvProp value) decoded the strict way: every length field must
// agree with what it measures. nullopt, with *problem set, when one does not.
std::optional<JetProperties> DecodeJetProperties(const std::vector<uint8_t>& block,
                                                 std::string* problem);

// Index key bytes of one ascending column value, as Jet writes them.
std::vector<uint8_t> JetLongKey(int32_t value);
// The General (legacy) sort order; nullopt for a character outside A-Z, a-z, 0-9
// and space, whose code this checker does not know.
std::optional<std::vector<uint8_t>> JetGeneralTextKey(std::u16string_view text);

// Text as stored in a row: UCS-2, or after FF FE the compressed form, decoded the
// strict way (every 0x00 byte switches between one-byte and two-byte runs).
// nullopt when the bytes cannot be decoded that way.
std::optional<std::u16string> DecodeJetText(const uint8_t* data, size_t size);

}  // namespace tessaly::test
