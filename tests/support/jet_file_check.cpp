#include "tests/support/jet_file_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

namespace tessaly::test {
namespace {

constexpr uint32_t kPageSize = 4096;
constexpr uint32_t kMapRowSize = 69;
constexpr uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;
constexpr uint32_t kGlobalMapWindow = 512;
constexpr uint32_t kLeafMaskStart = 27;
constexpr uint32_t kLeafEntriesStart = 0x1E0;
constexpr uint32_t kRowTableStart = 14;
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowOverflow = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1fff;
constexpr uint32_t kLongValueHeader = 12;
constexpr uint32_t kCatalogPage = 2;

namespace type {
constexpr uint8_t kBoolean = 1, kByte = 2, kInt = 3, kLong = 4, kMoney = 5, kFloat = 6, kDouble = 7,
                  kDate = 8, kText = 10, kOle = 11, kMemo = 12;
}

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le24(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
}
uint32_t Le32(const uint8_t* p) {
  return Le24(p) | (uint32_t{p[3]} << 24);
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}
std::string SpacedHex(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (uint8_t b : bytes) out += (out.empty() ? "" : " ") + Hex(&b, 1);
  return out;
}
std::string Hex8(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%02x", v);
  return buffer;
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf16LeName(const uint8_t* p, size_t bytes) {
  std::u16string name;
  for (size_t i = 0; i + 1 < bytes; i += 2) name += static_cast<char16_t>(Le16(p + i));
  return Utf8(name);
}

bool IsLongValue(uint8_t columnType) {
  return columnType == type::kOle || columnType == type::kMemo;
}

struct Column {
  uint8_t type = 0;
  uint16_t number = 0;
  uint16_t varIndex = 0;
  uint8_t flags = 0;
  uint16_t fixedOffset = 0;
  uint16_t length = 0;
  std::string name;
  bool Fixed() const { return (flags & 0x01) != 0; }
};

struct RealIndex {
  std::vector<std::pair<uint16_t, uint8_t>> columns;  // number, order
  uint32_t map = 0;
  uint32_t root = 0;
  uint8_t flags = 0;
  uint32_t uniqueKeys = 0;
  std::string name;
};

struct ColumnMaps {
  uint16_t column = 0;
  uint32_t owned = 0;
  uint32_t free = 0;
};

struct Definition {
  uint32_t rows = 0;
  uint32_t owned = 0;
  uint32_t free = 0;
  bool hasVariable = false;
  std::vector<Column> columns;  // as stored
  std::vector<RealIndex> indexes;
  std::vector<ColumnMaps> columnMaps;
  uint16_t maxNumber = 0;
};

struct Field {
  bool present = false;
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  bool boolean = false;
};

// A row in storage order: where the page's row table says it is.
struct RowPlace {
  uint32_t page = 0;
  uint32_t row = 0;
  bool overflow = false;
  uint32_t dataPage = 0;  // where the bytes are: another page for an overflow row
  uint32_t start = 0;
  uint32_t end = 0;
  std::string Where() const {
    return "page " + std::to_string(page) + " row " + std::to_string(row);
  }
};

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    out += i == 0 ? "" : i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  return out;
}

class Checker {
 public:
  Checker(const std::vector<uint8_t>& file, const JetCheckOptions& options)
      : file_(file), options_(options) {}

  JetFileFacts Run() {
    if (file_.size() % kPageSize != 0 || file_.size() < 3 * kPageSize) {
      Problem("file size " + std::to_string(file_.size()) +
              " is not a whole number of 4096-byte pages (at least 3)");
      return std::move(facts_);
    }
    pages_ = static_cast<uint32_t>(file_.size() / kPageSize);
    facts_.pageCount = pages_;
    claims_.assign(pages_, {});
    CheckHeader();
    CheckGlobalMap();
    CheckRowTables();

    JetTableFacts catalog = CheckTable("MSysObjects", kCatalogPage, true);
    std::vector<std::pair<uint32_t, std::string>> tables;
    bool catalogListed = false;
    const auto ids = catalog.Column("Id"), kinds = catalog.Column("Type"),
               names = catalog.Column("Name");
    for (size_t r = 0; r < ids.size() && r < kinds.size() && r < names.size(); ++r) {
      if (!ids[r] || !kinds[r] || *kinds[r] != "1") continue;
      const long long id = std::stoll(*ids[r]);
      const std::string name = names[r].value_or("(no name)");
      if (id == kCatalogPage) {
        catalogListed = name == "MSysObjects";
      } else if (id <= 2 || id >= pages_) {
        Problem("catalog row of table " + name + " gives definition page " + std::to_string(id) +
                ", outside the file");
      } else {
        tables.emplace_back(static_cast<uint32_t>(id), name);
      }
    }
    if (!catalogListed) Problem("MSysObjects has no catalog row (Id 2, Type 1) of its own");
    if (!options_.keepRows) catalog.rows.clear();
    facts_.tables.push_back(std::move(catalog));
    for (const auto& [page, name] : tables) facts_.tables.push_back(CheckTable(name, page, false));

    for (const auto& [page, first] : holders_) Claim(page, "usage-map rows (" + first + ")");
    ReportClaims();
    return std::move(facts_);
  }

 private:
  const uint8_t* Page(uint32_t n) const { return file_.data() + size_t{n} * kPageSize; }
  void Problem(std::string text) { facts_.problems.push_back(std::move(text)); }
  void Claim(uint32_t page, const std::string& what) { claims_[page].push_back(what); }
  // Faults in rows, at most 10 a table: one fault tends to repeat in every row.
  void RowProblem(std::string text) {
    if (++rowProblems_ <= 10) Problem(std::move(text));
  }

  void CheckHeader() {
    Claim(0, "the header");
    const uint8_t* p = Page(0);
    if (p[0] != 0 || std::memcmp(p + 4, "Standard Jet DB", 15) != 0 || p[0x14] != 1) {
      Problem("page 0 is not a Jet 4 header");
    }
  }

  // Bounds of row `row` on a page with a row table; false when it has none.
  static bool RowBounds(const uint8_t* p, uint32_t row, uint32_t* start, uint32_t* end,
                        uint16_t* flags) {
    const uint32_t count = Le16(p + 12);
    if (row >= count || kRowTableStart + 2 * count > kPageSize) return false;
    const uint16_t raw = Le16(p + kRowTableStart + 2 * row);
    *flags = static_cast<uint16_t>(raw & (kRowDeleted | kRowOverflow));
    *start = raw & kRowOffsetMask;
    *end = row == 0 ? kPageSize : Le16(p + kRowTableStart + 2 * (row - 1)) & kRowOffsetMask;
    return *start >= kRowTableStart + 2 * count && *start <= *end && *end <= kPageSize;
  }

  // Every data page (type 1), whoever owns it: a sound row table and free space.
  void CheckRowTables() {
    for (uint32_t n = 1; n < pages_; ++n) {
      const uint8_t* p = Page(n);
      if (p[0] != 0x01) continue;
      const uint32_t count = Le16(p + 12);
      uint32_t lowest = kPageSize, start = 0, end = 0;
      uint16_t flags = 0;
      bool sound = kRowTableStart + 2 * count <= kPageSize;
      for (uint32_t r = 0; sound && r < count; ++r) {
        sound = RowBounds(p, r, &start, &end, &flags);
        lowest = std::min(lowest, start);
      }
      if (!sound) {
        Problem("page " + std::to_string(n) + ": its row table (" + std::to_string(count) +
                " rows) points outside the page or rows overlap");
        continue;
      }
      const uint32_t free = lowest - (kRowTableStart + 2 * count);
      if (Le16(p + 2) != free) {
        Problem("page " + std::to_string(n) + ": free space field is " +
                std::to_string(Le16(p + 2)) + ", the page has " + std::to_string(free));
      }
    }
  }

  void CheckGlobalMap() {
    Claim(1, "the global usage map");
    const uint8_t* p = Page(1);
    uint32_t start = 0, end = 0;
    uint16_t flags = 0;
    if (p[0] != 0x01 || Le16(p + 12) != 2) {
      Problem("page 1 (global usage map) has type " + Hex8(p[0]) + " and " +
              std::to_string(Le16(p + 12)) + " rows; expected a data page with 2 rows");
    }
    if (!RowBounds(p, 0, &start, &end, &flags) || end - start != kMapRowSize || p[start] != 0) {
      Problem("page 1 row 0 (global usage map) is not a 69-byte inline map");
      return;
    }
    const uint32_t windowStart = pages_ / kGlobalMapWindow * kGlobalMapWindow;
    if (Le32(p + start + 1) != windowStart) {
      Problem("global usage map starts at page " + std::to_string(Le32(p + start + 1)) +
              ", expected " + std::to_string(windowStart) + " for a file of " +
              std::to_string(pages_) + " pages");
    }
    std::vector<std::string> wrong;
    size_t wrongCount = 0;
    for (uint32_t i = 0; i < kGlobalMapWindow; ++i) {
      const uint32_t page = windowStart + i;
      const bool free = (p[start + 5 + i / 8] >> (i % 8)) & 1;
      if (free != (page >= pages_)) {
        if (++wrongCount <= 5) wrong.push_back(std::to_string(page) + (free ? " free" : " used"));
      }
    }
    if (wrongCount > 0) {
      Problem("global usage map marks " + std::to_string(wrongCount) +
              " pages wrongly (set = free, expected exactly the pages from " +
              std::to_string(pages_) + " on): " + Joined(wrong) + (wrongCount > 5 ? ", ..." : ""));
    }
    if (!RowBounds(p, 1, &start, &end, &flags) || end - start != kMapRowSize ||
        std::any_of(p + start, p + end, [](uint8_t b) { return b != 0; })) {
      Problem("page 1 row 1 is not 69 zero bytes");
    }
  }

  // The pages a usage map names; claims its map row's page and its bitmap pages.
  std::vector<uint32_t> ReadMap(uint32_t reference, const std::string& what) {
    const uint32_t holder = reference >> 8, row = reference & 0xff;
    const std::string where = "page " + std::to_string(holder) + " row " + std::to_string(row);
    if (holder == 0 || holder >= pages_) {
      Problem(what + " is at " + where + ", outside the file");
      return {};
    }
    if (holder == 1) {
      Problem(what + " is at " + where + ": page 1 holds the global usage map only");
    } else {
      holders_.emplace(holder, what);
    }
    if (const auto [at, fresh] = mapRows_.emplace(reference, what); !fresh) {
      Problem(what + " and " + at->second + " share the map row at " + where);
    }
    const uint8_t* p = Page(holder);
    uint32_t start = 0, end = 0;
    uint16_t flags = 0;
    if (p[0] != 0x01 || !RowBounds(p, row, &start, &end, &flags) || flags != 0) {
      Problem(what + " is at " + where + ", which is no row of a data page");
      return {};
    }
    if (end - start != kMapRowSize) {
      Problem(what + " at " + where + " is " + std::to_string(end - start) + " bytes, not 69");
    }
    std::vector<uint32_t> listed;
    const uint8_t* m = p + start;
    const uint32_t size = end - start;
    if (size >= 5 && m[0] == 0) {
      const uint32_t first = Le32(m + 1);
      for (uint32_t bit = 0; bit < (size - 5) * 8; ++bit) {
        if ((m[5 + bit / 8] >> (bit % 8)) & 1) listed.push_back(first + bit);
      }
    } else if (size >= 1 && m[0] == 1) {
      for (uint32_t slot = 0; 1 + 4 * slot + 4 <= size; ++slot) {
        const uint32_t bitmap = Le32(m + 1 + 4 * slot);
        if (bitmap == 0) continue;
        if (bitmap >= pages_) {
          Problem(what + " names bitmap page " + std::to_string(bitmap) + ", outside the file");
          continue;
        }
        Claim(bitmap, "usage bitmap of " + what);
        const uint8_t* b = Page(bitmap);
        if (b[0] != 0x05) {
          Problem("bitmap page " + std::to_string(bitmap) + " of " + what + " has type " +
                  Hex8(b[0]) + ", not 0x05");
          continue;
        }
        for (uint32_t bit = 0; bit < kPagesPerBitmapPage; ++bit) {
          if ((b[4 + bit / 8] >> (bit % 8)) & 1) listed.push_back(slot * kPagesPerBitmapPage + bit);
        }
      }
    } else {
      Problem(what + " at " + where + " has map type " + Hex8(size ? m[0] : 0));
    }
    std::vector<uint32_t> pages;
    for (uint32_t page : listed) {
      if (page < pages_) {
        pages.push_back(page);
      } else {
        Problem(what + " names page " + std::to_string(page) + ", past the end of the file (" +
                std::to_string(pages_) + " pages)");
      }
    }
    return pages;
  }

  // The definition bytes, chained over its pages (continuations after their 8-byte
  // header), parsed; nullopt when they cannot be.
  std::optional<Definition> ReadDefinition(const std::string& table, uint32_t first) {
    std::vector<uint8_t> b;
    std::set<uint32_t> seen;
    for (uint32_t page = first; page != 0; page = Le32(Page(page) + 4)) {
      if (page >= pages_ || !seen.insert(page).second) {
        Problem("definition of " + table + " chains to page " + std::to_string(page) +
                (page >= pages_ ? ", outside the file" : " a second time"));
        return std::nullopt;
      }
      const uint8_t* p = Page(page);
      if (p[0] != 0x02) {
        Problem("page " + std::to_string(page) + " in the definition of " + table + " has type " +
                Hex8(p[0]) + ", not 0x02");
        return std::nullopt;
      }
      Claim(page, "definition of " + table);
      b.insert(b.end(), p + (b.empty() ? 0 : 8), p + kPageSize);
    }
    Definition d;
    size_t at = 63;
    auto fail = [&](const std::string& why) {
      Problem("definition of " + table + ": " + why);
      return std::nullopt;
    };
    auto need = [&](size_t bytes) { return at + bytes <= b.size(); };
    d.rows = Le32(&b[16]);
    d.owned = Le32(&b[55]);
    d.free = Le32(&b[59]);
    const uint16_t columnCount = Le16(&b[45]);
    const uint32_t logicalCount = Le32(&b[47]), realCount = Le32(&b[51]);
    if (logicalCount > 64 || realCount > 64 || realCount > logicalCount) {
      return fail(std::to_string(logicalCount) + " logical and " + std::to_string(realCount) +
                  " real indexes");
    }
    if (!need(12 * realCount + 25 * size_t{columnCount})) return fail("too short for its columns");
    d.indexes.resize(realCount);
    for (uint32_t i = 0; i < realCount; ++i, at += 12) {
      if (Le32(&b[at]) != 0 || Le32(&b[at + 8]) != 0) {
        Problem("definition of " + table + ": unique-key slot " + std::to_string(i) +
                " has bytes other than 0 around its count");
      }
      d.indexes[i].uniqueKeys = Le32(&b[at + 4]);
    }
    for (uint16_t i = 0; i < columnCount; ++i, at += 25) {
      Column c;
      c.type = b[at];
      c.number = Le16(&b[at + 5]);
      c.varIndex = Le16(&b[at + 7]);
      c.flags = b[at + 15];
      c.fixedOffset = Le16(&b[at + 21]);
      c.length = Le16(&b[at + 23]);
      d.hasVariable = d.hasVariable || (!c.Fixed() && c.type != type::kBoolean);
      d.maxNumber = std::max(d.maxNumber, c.number);
      d.columns.push_back(c);
    }
    auto name = [&](std::string* out) {
      if (!need(2) || !need(2 + size_t{Le16(&b[at])})) return false;
      *out = Utf16LeName(&b[at + 2], Le16(&b[at]));
      at += 2 + size_t{Le16(&b[at])};
      return true;
    };
    for (Column& c : d.columns) {
      if (!name(&c.name)) return fail("column names run past its end");
    }
    if (!need(52 * size_t{realCount} + 28 * size_t{logicalCount})) {
      return fail("index blocks run past its end");
    }
    for (RealIndex& index : d.indexes) {
      for (uint32_t slot = 0; slot < 10; ++slot) {
        const uint16_t column = Le16(&b[at + 4 + 3 * slot]);
        if (column != 0xFFFF) index.columns.emplace_back(column, b[at + 6 + 3 * slot]);
      }
      index.map = Le32(&b[at + 34]);
      index.root = Le32(&b[at + 38]);
      index.flags = b[at + 46];
      at += 52;
    }
    std::vector<uint32_t> logicalToReal;
    for (uint32_t i = 0; i < logicalCount; ++i, at += 28) logicalToReal.push_back(Le32(&b[at + 8]));
    for (uint32_t i = 0; i < logicalCount; ++i) {
      std::string indexName;
      if (!name(&indexName)) return fail("index names run past its end");
      if (logicalToReal[i] >= realCount) {
        Problem("definition of " + table + ": index " + indexName + " uses data block " +
                std::to_string(logicalToReal[i]) + " of " + std::to_string(realCount));
        continue;
      }
      std::string& joined = d.indexes[logicalToReal[i]].name;
      joined += (joined.empty() ? "" : "+") + indexName;
    }
    for (;;) {
      if (!need(2)) return fail("long-value column maps do not end with ff ff");
      const uint16_t column = Le16(&b[at]);
      at += 2;
      if (column == 0xFFFF) break;
      if (!need(8)) return fail("long-value column maps run past its end");
      d.columnMaps.push_back({column, Le32(&b[at]), Le32(&b[at + 4])});
      at += 8;
    }
    const uint32_t length = Le32(&b[8]);
    if (seen.size() == 1 && at != length) {
      Problem("definition of " + table + " ends at byte " + std::to_string(at) +
              ", its length field says " + std::to_string(length));
    }
    return d;
  }

  // Splits a row into its fields by column number; the reason when it cannot.
  static std::string SplitRow(const Definition& d, const uint8_t* row, uint32_t size,
                              std::vector<Field>& out) {
    out.assign(size_t{d.maxNumber} + 1, Field{});
    if (size < 2) return "shorter than its column count";
    const uint32_t columns = Le16(row);
    const uint32_t maskSize = (columns + 7) / 8;
    if (size < 2 + maskSize) return "shorter than its null mask";
    const uint8_t* mask = row + size - maskSize;
    uint32_t varCount = 0, varEnd = size - maskSize;
    if (d.hasVariable) {
      if (size < 2 + maskSize + 2) return "has no variable-column count";
      varCount = Le16(mask - 2);
      if (size < 2 + maskSize + 4 + 2 * varCount) return "variable-column offsets run off it";
      varEnd = size - maskSize - 4 - 2 * varCount;
    }
    auto offset = [&](uint32_t i) { return uint32_t{Le16(mask - 4 - 2 * i)}; };
    for (uint32_t i = 0; i < varCount; ++i) {
      if (offset(i) > offset(i + 1) || offset(i + 1) > varEnd) {
        return "variable-column offsets out of order or past the data";
      }
    }
    for (const Column& c : d.columns) {
      if (c.number >= columns) continue;
      Field& f = out[c.number];
      const bool bit = (mask[c.number / 8] >> (c.number % 8)) & 1;
      if (c.type == type::kBoolean) {
        f.present = true;
        f.boolean = bit;
        continue;
      }
      if (!bit) continue;
      if (c.Fixed()) {
        if (2u + c.fixedOffset + c.length > varEnd)
          return "fixed column " + c.name + " runs off it";
        f = {true, row + 2 + c.fixedOffset, c.length, false};
      } else {
        if (c.varIndex >= varCount) return "column " + c.name + " is set but has no offset";
        f = {true, row + offset(c.varIndex), offset(c.varIndex + 1) - offset(c.varIndex), false};
      }
    }
    return {};
  }

  // The bytes of a long value; checks that its rows lie on pages of the column's map.
  std::optional<std::vector<uint8_t>> LongValue(const Field& f, const std::set<uint32_t>& pages,
                                                const std::string& where) {
    if (f.size < kLongValueHeader) {
      RowProblem(where + ": long-value field of " + std::to_string(f.size) + " bytes");
      return std::nullopt;
    }
    const uint32_t length = Le24(f.data);
    const uint8_t kind = f.data[3];
    if (kind == 0x80) {
      if (f.size - kLongValueHeader != length) {
        RowProblem(where + ": inline long value says " + std::to_string(length) + " bytes, holds " +
                   std::to_string(f.size - kLongValueHeader));
        return std::nullopt;
      }
      return std::vector<uint8_t>(f.data + kLongValueHeader, f.data + f.size);
    }
    if (kind != 0x40 && kind != 0x00) {
      RowProblem(where + ": long-value flag " + Hex8(kind));
      return std::nullopt;
    }
    std::vector<uint8_t> out;
    uint32_t pointer = Le32(f.data + 4);
    for (uint32_t hops = 0; hops <= pages_; ++hops) {
      const uint32_t page = pointer >> 8, row = pointer & 0xff;
      const std::string at = "page " + std::to_string(page) + " row " + std::to_string(row);
      if (page == 0 || page >= pages_) {
        RowProblem(where + ": long value points to " + at + ", outside the file");
        return std::nullopt;
      }
      const uint8_t* p = Page(page);
      uint32_t start = 0, end = 0;
      uint16_t flags = 0;
      if (p[0] != 0x01 || std::memcmp(p + 4, "LVAL", 4) != 0 ||
          !RowBounds(p, row, &start, &end, &flags) || flags != 0) {
        RowProblem(where + ": long value points to " + at +
                   ", which is no row of a long-value page");
        return std::nullopt;
      }
      if (!pages.count(page)) {
        RowProblem(where + ": long value on page " + std::to_string(page) +
                   ", which is not in the column's owned map");
      }
      if (kind == 0x40) {
        if (end - start < length) {
          RowProblem(where + ": long value of " + std::to_string(length) + " bytes in a row of " +
                     std::to_string(end - start));
          return std::nullopt;
        }
        return std::vector<uint8_t>(p + start, p + start + length);
      }
      if (end - start < 4) {
        RowProblem(where + ": long-value chain row " + at + " has no next pointer");
        return std::nullopt;
      }
      out.insert(out.end(), p + start + 4, p + end);
      pointer = Le32(p + start);
      if (pointer == 0) {
        if (out.size() != length) {
          RowProblem(where + ": long-value chain holds " + std::to_string(out.size()) +
                     " bytes, its header says " + std::to_string(length));
          return std::nullopt;
        }
        return out;
      }
    }
    RowProblem(where + ": long-value chain loops");
    return std::nullopt;
  }

  JetValue Show(const Column& c, const Field& f, const std::set<uint32_t>* lvPages,
                const std::string& where) {
    if (!f.present) return std::nullopt;
    char buffer[40];
    double real = 0;
    switch (c.type) {
      case type::kBoolean:
        return f.boolean ? "true" : "false";
      case type::kByte:
        return std::to_string(f.data[0]);
      case type::kInt:
        return std::to_string(static_cast<int16_t>(Le16(f.data)));
      case type::kLong:
        return std::to_string(static_cast<int32_t>(Le32(f.data)));
      case type::kFloat: {
        float single = 0;
        std::memcpy(&single, f.data, sizeof single);
        real = single;
        break;
      }
      case type::kDouble:
      case type::kDate:
        std::memcpy(&real, f.data, sizeof real);
        break;
      case type::kText:
      case type::kMemo:
      case type::kOle: {
        std::vector<uint8_t> bytes(f.data, f.data + f.size);
        if (c.type != type::kText) {
          static const std::set<uint32_t> none;
          auto value = LongValue(f, lvPages ? *lvPages : none, where + " " + c.name);
          if (!value) return std::nullopt;
          bytes = std::move(*value);
        }
        if (c.type == type::kOle) return Hex(bytes.data(), bytes.size());
        const auto text = DecodeJetText(bytes.data(), bytes.size());
        if (!text) {
          RowProblem(where + " " + c.name + ": text " +
                     Hex(bytes.data(), std::min<size_t>(bytes.size(), 64)) +
                     " does not decode the strict way");
          return std::nullopt;
        }
        return Utf8(*text);
      }
      default:
        return Hex(f.data, f.size);
    }
    std::snprintf(buffer, sizeof buffer, "%.17g", real);
    return std::string(buffer);
  }

  // Key bytes of a row for an index; nullopt (reported once) when unknown here.
  std::optional<std::vector<uint8_t>> Key(const Definition& d, const RealIndex& index,
                                          const std::vector<Field>& fields,
                                          const std::string& label) {
    std::vector<uint8_t> key;
    for (const auto& [number, order] : index.columns) {
      const auto c = std::find_if(d.columns.begin(), d.columns.end(),
                                  [&](const Column& col) { return col.number == number; });
      std::string why;
      if (c == d.columns.end() || number >= fields.size()) {
        why = "its column " + std::to_string(number) + " does not exist";
      } else if (order != 0x01) {
        why = "column " + c->name + " is not in ascending order";
      } else if (!fields[number].present) {
        key.push_back(0x00);
        continue;
      } else if (c->type == type::kLong) {
        const auto k = JetLongKey(static_cast<int32_t>(Le32(fields[number].data)));
        key.insert(key.end(), k.begin(), k.end());
        continue;
      } else if (c->type == type::kInt) {
        const uint16_t v = Le16(fields[number].data) ^ 0x8000;
        key.insert(key.end(), {0x7F, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
        continue;
      } else if (c->type == type::kText) {
        const auto text = DecodeJetText(fields[number].data, fields[number].size);
        const auto k = text ? JetGeneralTextKey(*text) : std::nullopt;
        if (k) {
          key.insert(key.end(), k->begin(), k->end());
          continue;
        }
        why = "a value of " + c->name + " has characters this checker has no key code for";
      } else {
        why = "column " + c->name + " has type " + std::to_string(c->type) +
              ", which this checker cannot key";
      }
      if (unkeyable_.insert(label).second) Problem(label + ": entries not checked: " + why);
      return std::nullopt;
    }
    return key;
  }

  // The root leaf: one entry per row, sorted, with the right keys.
  void CheckLeaf(const RealIndex& index, const std::string& label, uint32_t tdef,
                 const std::map<uint32_t, std::vector<uint8_t>>& expected, bool keyed,
                 JetIndexFacts& facts) {
    const uint8_t* p = Page(index.root);
    const std::string root = "root page " + std::to_string(index.root) + " of " + label;
    if (p[0] != 0x04 || p[1] != 0x01) {
      Problem(root + " has type " + Hex8(p[0]) + " " + Hex8(p[1]) + ", not a leaf (04 01)");
      return;
    }
    if (Le32(p + 4) != tdef) {
      Problem(root + " names table definition " + std::to_string(Le32(p + 4)) + ", not " +
              std::to_string(tdef));
    }
    if (Le32(p + 12) != 0 || Le32(p + 16) != 0 || Le32(p + 20) != 0) {
      Problem(root + " has a previous, next or tail page: the only leaf has none");
    }
    const uint32_t prefix = Le16(p + 24);
    std::vector<std::vector<uint8_t>> entries;
    uint32_t previous = 0;
    for (uint32_t n = 1; n <= kPageSize - kLeafEntriesStart; ++n) {
      if (!((p[kLeafMaskStart + n / 8] >> (n % 8)) & 1)) continue;
      std::vector<uint8_t> entry;
      if (!entries.empty()) entry.assign(entries[0].begin(), entries[0].begin() + prefix);
      entry.insert(entry.end(), p + kLeafEntriesStart + previous, p + kLeafEntriesStart + n);
      if (entries.empty() && entry.size() < prefix) {
        Problem(root + ": first entry is shorter than the shared prefix");
        return;
      }
      entries.push_back(std::move(entry));
      previous = n;
    }
    if (Le16(p + 2) != kPageSize - kLeafEntriesStart - previous) {
      Problem(root + ": free space field is " + std::to_string(Le16(p + 2)) +
              ", the entries leave " + std::to_string(kPageSize - kLeafEntriesStart - previous));
    }
    facts.entries = entries.size();
    if (entries.size() != expected.size()) {
      Problem(label + " has " + std::to_string(entries.size()) + " entries for " +
              std::to_string(expected.size()) + " rows");
    }
    std::set<std::vector<uint8_t>> keys;
    std::set<uint32_t> found;
    size_t reported = 0;
    auto report = [&](const std::string& text) {
      if (++reported <= 10) Problem(text);
    };
    for (size_t i = 0; i < entries.size(); ++i) {
      const std::vector<uint8_t>& e = entries[i];
      const std::string which = label + " entry " + std::to_string(i);
      if (e.size() < 5) {
        report(which + " is " + std::to_string(e.size()) + " bytes, too short for a key and a row");
        continue;
      }
      if (i > 0 && !(entries[i - 1] < e)) report(which + " is not above the one before it");
      const std::vector<uint8_t> key(e.begin(), e.end() - 4);
      keys.insert(key);
      const uint32_t pointer = (uint32_t{e[e.size() - 4]} << 24 | uint32_t{e[e.size() - 3]} << 16 |
                                uint32_t{e[e.size() - 2]} << 8) |
                               e[e.size() - 1];
      const std::string at =
          "page " + std::to_string(pointer >> 8) + " row " + std::to_string(pointer & 0xff);
      const auto row = expected.find(pointer);
      if (row == expected.end()) {
        report(which + " points to " + at + ", which is no row of the table");
      } else if (!found.insert(pointer).second) {
        report(which + " points to " + at + " a second time");
      } else if (keyed && row->second != key) {
        report(which + " (" + at + ") has key " + SpacedHex(key) + ", the row's key is " +
               SpacedHex(row->second));
      }
    }
    for (const auto& [pointer, key] : expected) {
      if (!found.count(pointer)) {
        report(label + " has no entry for page " + std::to_string(pointer >> 8) + " row " +
               std::to_string(pointer & 0xff));
      }
    }
    if (reported > 10) Problem(label + ": " + std::to_string(reported - 10) + " more entry faults");
    if (index.uniqueKeys != keys.size()) {
      Problem(label + ": the definition counts " + std::to_string(index.uniqueKeys) +
              " unique keys, the leaf holds " + std::to_string(keys.size()));
    }
  }

  void SubsetOf(const std::vector<uint32_t>& free, const std::vector<uint32_t>& owned,
                const std::string& what) {
    const std::set<uint32_t> ownedSet(owned.begin(), owned.end());
    for (uint32_t page : free) {
      if (!ownedSet.count(page)) {
        Problem("free map of " + what + " lists page " + std::to_string(page) +
                ", which its owned map does not");
        return;
      }
    }
  }

  JetTableFacts CheckTable(const std::string& name, uint32_t tdef, bool catalog) {
    JetTableFacts facts;
    facts.name = name;
    facts.definitionPage = tdef;
    const std::optional<Definition> read = ReadDefinition(name, tdef);
    if (!read) return facts;
    const Definition& d = *read;
    facts.rowCount = d.rows;
    facts.columnNames.resize(size_t{d.maxNumber} + 1);
    for (const Column& c : d.columns) facts.columnNames[c.number] = c.name;

    facts.dataPages = ReadMap(d.owned, "owned map of " + name);
    SubsetOf(ReadMap(d.free, "free map of " + name), facts.dataPages, name);
    for (uint32_t page : facts.dataPages) {
      Claim(page, "data of " + name);
      const uint8_t* p = Page(page);
      if (p[0] != 0x01 || Le32(p + 4) != tdef) {
        Problem("page " + std::to_string(page) + " in the owned map of " + name + " has type " +
                Hex8(p[0]) + " and owner " + Hex(p + 4, 4) + ", not a data page of page " +
                std::to_string(tdef));
      }
    }

    // Long-value pages by column number.
    std::map<uint16_t, std::set<uint32_t>> lvPages;
    for (const ColumnMaps& maps : d.columnMaps) {
      const auto c = std::find_if(d.columns.begin(), d.columns.end(),
                                  [&](const Column& col) { return col.number == maps.column; });
      const std::string what = name + "." + (c == d.columns.end() ? "?" : c->name);
      if (c == d.columns.end() || !IsLongValue(c->type) || lvPages.count(maps.column)) {
        Problem("definition of " + name + " lists long-value maps for column " +
                std::to_string(maps.column) + ", which is no memo/OLE column or listed twice");
        continue;
      }
      const auto owned = ReadMap(maps.owned, "owned map of long values " + what);
      SubsetOf(ReadMap(maps.free, "free map of long values " + what), owned, "long values " + what);
      for (uint32_t page : owned) {
        Claim(page, "long values of " + what);
        facts.longValuePages.push_back(page);
        if (Page(page)[0] != 0x01 || std::memcmp(Page(page) + 4, "LVAL", 4) != 0) {
          Problem("page " + std::to_string(page) + " in the owned map of long values " + what +
                  " is not a long-value page");
        }
      }
      lvPages[maps.column].insert(owned.begin(), owned.end());
    }
    for (const Column& c : d.columns) {
      if (IsLongValue(c.type) && !lvPages.count(c.number)) {
        Problem("definition of " + name + " has no long-value maps for column " + c.name);
        lvPages[c.number];
      }
    }

    std::vector<std::string> labels;
    for (size_t i = 0; i < d.indexes.size(); ++i) {
      const RealIndex& index = d.indexes[i];
      labels.push_back("index " + (index.name.empty() ? std::to_string(i) : index.name) + " of " +
                       name);
      const auto pages = ReadMap(index.map, "map of " + labels.back());
      for (uint32_t page : pages) {
        Claim(page, labels.back());
        if (Page(page)[0] != 0x03 && Page(page)[0] != 0x04) {
          Problem("page " + std::to_string(page) + " in the map of " + labels.back() +
                  " has type " + Hex8(Page(page)[0]) + ", not an index page (0x03, 0x04)");
        }
      }
      if (std::find(pages.begin(), pages.end(), index.root) == pages.end()) {
        Problem(labels.back() + ": root page " + std::to_string(index.root) + " is not in its map");
      }
    }

    // The rows: overflow entries stand for the rows they point to.
    std::vector<RowPlace> rows;
    std::set<uint32_t> overflowTargets;
    for (uint32_t page : facts.dataPages) {
      const uint8_t* p = Page(page);
      if (p[0] != 0x01) continue;
      for (uint32_t r = 0, count = Le16(p + 12); r < count; ++r) {
        RowPlace place{page, r, false, page, 0, 0};
        uint16_t flags = 0;
        if (!RowBounds(p, r, &place.start, &place.end, &flags) || (flags & kRowDeleted)) continue;
        if (flags & kRowOverflow) {
          const uint32_t target = place.end - place.start >= 4 ? Le32(p + place.start) : 0;
          place.overflow = true;
          place.dataPage = target >> 8;
          uint16_t targetFlags = 0;
          if (place.dataPage == 0 || place.dataPage >= pages_ ||
              !RowBounds(Page(place.dataPage), target & 0xff, &place.start, &place.end,
                         &targetFlags)) {
            Problem(name + ": overflow " + place.Where() + " points nowhere");
            continue;
          }
          overflowTargets.insert(target);
        }
        rows.push_back(place);
      }
    }
    std::erase_if(rows, [&](const RowPlace& r) {
      return !r.overflow && overflowTargets.count((r.page << 8) | r.row);
    });
    if (rows.size() != d.rows) {
      Problem(name + ": the definition counts " + std::to_string(d.rows) +
              " rows, its data pages hold " + std::to_string(rows.size()));
    }

    std::vector<std::map<uint32_t, std::vector<uint8_t>>> expected(d.indexes.size());
    std::vector<bool> keyed(d.indexes.size(), true);
    std::vector<Field> fields;
    rowProblems_ = 0;
    const bool keep = options_.keepRows || catalog;
    for (const RowPlace& place : rows) {
      const std::string where = name + " " + place.Where();
      const std::string why =
          SplitRow(d, Page(place.dataPage) + place.start, place.end - place.start, fields);
      if (!why.empty()) {
        RowProblem(where + ": row " + why);
        continue;
      }
      const uint32_t pointer = (place.page << 8) | place.row;
      for (size_t i = 0; i < d.indexes.size(); ++i) {
        std::optional<std::vector<uint8_t>> key;
        if (keyed[i]) key = Key(d, d.indexes[i], fields, labels[i]);
        keyed[i] = keyed[i] && key.has_value();
        expected[i][pointer] = key.value_or(std::vector<uint8_t>{});
      }
      std::vector<JetValue> values(fields.size());
      for (const Column& c : d.columns) {
        // Texts always: each must decode the strict way; long values: their pages.
        if (!keep && !IsLongValue(c.type) && c.type != type::kText) continue;
        const auto lv = lvPages.find(c.number);
        values[c.number] =
            Show(c, fields[c.number], lv == lvPages.end() ? nullptr : &lv->second, where);
      }
      if (keep) facts.rows.push_back(std::move(values));
    }
    if (rowProblems_ > 10) {
      Problem(name + ": " + std::to_string(rowProblems_ - 10) + " more faults in rows");
    }

    for (size_t i = 0; i < d.indexes.size(); ++i) {
      const RealIndex& index = d.indexes[i];
      JetIndexFacts indexFacts;
      indexFacts.name = index.name;
      indexFacts.rootPage = index.root;
      indexFacts.flags = index.flags;
      indexFacts.uniqueKeys = index.uniqueKeys;
      for (const auto& column : index.columns) indexFacts.columns.push_back(column.first);
      if (index.root == 0 || index.root >= pages_) {
        Problem(labels[i] + ": root page " + std::to_string(index.root) + " is outside the file");
      } else {
        CheckLeaf(index, labels[i], tdef, expected[i], keyed[i], indexFacts);
      }
      facts.indexes.push_back(std::move(indexFacts));
    }
    return facts;
  }

  void ReportClaims() {
    size_t multiple = 0;
    for (uint32_t page = 0; page < pages_; ++page) {
      if (claims_[page].size() > 1 && ++multiple <= 20) {
        const size_t n = claims_[page].size();
        Problem("page " + std::to_string(page) + " claimed " +
                (n == 2 ? std::string("twice") : std::to_string(n) + " times") + ": " +
                Joined(claims_[page]));
      }
    }
    if (multiple > 20) {
      Problem(std::to_string(multiple - 20) + " more pages claimed more than once");
    }
    size_t runs = 0, orphans = 0;
    for (uint32_t page = 0; page < pages_;) {
      if (!claims_[page].empty()) {
        ++page;
        continue;
      }
      uint32_t last = page;
      while (last + 1 < pages_ && claims_[last + 1].empty()) ++last;
      orphans += last - page + 1;
      if (++runs <= 20) {
        const uint8_t* p = Page(page);
        std::string kind = "type " + Hex8(p[0]);
        if (p[0] == 0x01) {
          kind += std::memcmp(p + 4, "LVAL", 4) == 0 ? ", long values"
                                                     : ", owner " + std::to_string(Le32(p + 4));
        }
        Problem((page == last ? "page " + std::to_string(page)
                              : "pages " + std::to_string(page) + "-" + std::to_string(last)) +
                " claimed by nothing (the first has " + kind + ")");
      }
      page = last + 1;
    }
    if (runs > 20) {
      Problem(std::to_string(orphans) + " pages in all claimed by nothing, in " +
              std::to_string(runs) + " runs");
    }
  }

  const std::vector<uint8_t>& file_;
  JetCheckOptions options_;
  JetFileFacts facts_;
  uint32_t pages_ = 0;
  std::vector<std::vector<std::string>> claims_;
  std::map<uint32_t, std::string> holders_;  // map-row page -> the first map on it
  std::map<uint32_t, std::string> mapRows_;  // page << 8 | row -> the map there
  std::set<std::string> unkeyable_;
  size_t rowProblems_ = 0;
};

}  // namespace

std::vector<JetValue> JetTableFacts::Column(std::string_view column) const {
  std::vector<JetValue> out;
  const auto at = std::find(columnNames.begin(), columnNames.end(), column);
  if (at == columnNames.end()) return out;
  const auto number = static_cast<size_t>(at - columnNames.begin());
  for (const auto& row : rows) out.push_back(number < row.size() ? row[number] : std::nullopt);
  return out;
}

const JetTableFacts* JetFileFacts::Table(std::string_view name) const {
  for (const auto& table : tables) {
    if (table.name == name) return &table;
  }
  return nullptr;
}

JetFileFacts CheckJetBytes(const std::vector<uint8_t>& file, const JetCheckOptions& options) {
  return Checker(file, options).Run();
}

JetFileFacts CheckJetFile(const std::string& path, const JetCheckOptions& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  return CheckJetBytes(file, options);
}

std::vector<uint8_t> JetLongKey(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value) ^ 0x80000000u;
  return {0x7F, static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

std::optional<std::vector<uint8_t>> JetGeneralTextKey(std::u16string_view text) {
  static constexpr uint8_t kLetters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                           0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                           0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
  std::vector<uint8_t> key{0x7F};
  for (char16_t c : text) {
    if (c >= u'a' && c <= u'z') {
      key.push_back(kLetters[c - u'a']);
    } else if (c >= u'A' && c <= u'Z') {
      key.push_back(kLetters[c - u'A']);
    } else if (c >= u'0' && c <= u'9') {
      key.push_back(static_cast<uint8_t>(0x36 + 2 * (c - u'0')));
    } else if (c == u' ') {
      key.push_back(0x07);
    } else {
      return std::nullopt;
    }
  }
  key.insert(key.end(), {0x01, 0x00});
  return key;
}

std::optional<std::u16string> DecodeJetText(const uint8_t* data, size_t size) {
  std::u16string out;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    bool oneByte = true;
    for (size_t i = 2; i < size;) {
      if (data[i] == 0) {
        oneByte = !oneByte;
        ++i;
      } else if (oneByte) {
        out += static_cast<char16_t>(data[i++]);
      } else if (i + 1 < size && data[i + 1] != 0) {
        out += static_cast<char16_t>(Le16(data + i));
        i += 2;
      } else {
        return std::nullopt;  // a two-byte run of odd length
      }
    }
    return out;
  }
  if (size % 2 != 0) return std::nullopt;
  for (size_t i = 0; i < size; i += 2) out += static_cast<char16_t>(Le16(data + i));
  return out;
}

}  // namespace tessaly::test
