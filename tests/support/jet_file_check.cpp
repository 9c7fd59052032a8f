#include "tests/support/jet_file_check.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

#include "storage/utf8.h"

namespace tessaly::test {
namespace {

constexpr uint32_t kPageSize = 4096;
constexpr uint32_t kMapRowSize = 69;
constexpr uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;
constexpr uint32_t kGlobalMapWindow = 512;
constexpr uint32_t kLeafMaskStart = 27;
constexpr uint32_t kLeafEntriesStart = 0x1E0;
constexpr uint32_t kRowTableStart = 14;
constexpr uint16_t kRowFlags = 0xC000;  // deleted, overflow: the writer makes neither
constexpr uint16_t kRowOffsetMask = 0x1FFF;
constexpr uint32_t kLongValueHeader = 12;
constexpr uint32_t kLongValueOwner = 0x4c41564c;  // "LVAL"
constexpr uint32_t kGlobalMapOwner = 1;
constexpr uint32_t kTdefHeader = 8;
constexpr uint32_t kCatalogPage = 2;
constexpr size_t kMaxProblems = 40;  // one fault tends to repeat on every page or row

constexpr uint8_t kBoolean = 1, kByte = 2, kInt = 3, kLong = 4, kText = 10, kOle = 11, kMemo = 12;

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
  for (size_t i = 0; i < n; ++i) (out += digits[p[i] >> 4]) += digits[p[i] & 15];
  return out;
}

std::vector<uint8_t> Unhex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string Utf16Text(const uint8_t* p, size_t bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes; i += 2) text += static_cast<char16_t>(Le16(p + i));
  return jet::Utf16ToUtf8(text);
}

std::string At(uint32_t pointer) {
  return "page " + std::to_string(pointer >> 8) + " row " + std::to_string(pointer & 0xff);
}

bool IsLongValue(uint8_t type) {
  return type == kOle || type == kMemo;
}

struct Column {
  uint8_t type = 0;
  uint16_t number = 0, varIndex = 0, fixedOffset = 0, length = 0;
  bool fixed = false;
  std::string name;
};

struct Index {
  std::vector<uint16_t> columns;
  uint32_t map = 0, root = 0, uniqueKeys = 0;
  std::string name;  // the logical names using it, joined by '+'
};

struct Definition {
  uint32_t rows = 0, owned = 0, free = 0;
  std::vector<Column> columns;  // by column number
  std::vector<Index> indexes;
  std::vector<std::array<uint32_t, 3>> columnMaps;  // column, owned map, free map
};

struct Field {
  bool present = false;
  const uint8_t* data = nullptr;
  uint32_t size = 0;
};

class Checker {
 public:
  Checker(const std::vector<uint8_t>& file, const JetCheckOptions& options)
      : file_(file), options_(options) {}

  JetFileFacts Run() {
    if (file_.size() % kPageSize != 0 || file_.size() < 3 * kPageSize) {
      Problem("the file is not a whole number of pages (at least 3)");
      return std::move(facts_);
    }
    pages_ = static_cast<uint32_t>(file_.size() / kPageSize);
    facts_.pageCount = pages_;
    claims_.assign(pages_, {});
    Claim(0, "the header");
    if (std::string_view(reinterpret_cast<const char*>(Page(0) + 4), 15) != "Standard Jet DB" ||
        Page(0)[0x14] != 1) {
      Problem("page 0 is not a Jet 4 header");
    }
    CheckGlobalMap();

    JetTableFacts catalog = CheckTable("MSysObjects", kCatalogPage, true);
    const auto ids = catalog.Column("Id"), types = catalog.Column("Type"),
               names = catalog.Column("Name"), lvProps = catalog.Column("LvProp");
    struct Listed {
      uint32_t page;
      std::string name;
      JetProperties properties;
    };
    std::vector<Listed> tables;
    for (size_t r = 0; r < ids.size(); ++r) {
      const std::string name = names[r].value_or("?");
      JetProperties properties;
      if (r < lvProps.size() && lvProps[r]) {
        std::string problem;
        const auto decoded = DecodeJetProperties(Unhex(*lvProps[r]), &problem);
        if (!decoded) Problem("properties of " + name + ": " + problem);
        properties = decoded.value_or(JetProperties{});
      }
      if (types[r] == "2" && name == "MSysDb") facts_.databaseProperties = properties;
      if (types[r] != "1" || !ids[r] || *ids[r] == std::to_string(kCatalogPage)) continue;
      const uint32_t id = static_cast<uint32_t>(std::stoul(*ids[r]));
      if (id >= pages_) {
        Problem("table " + name + " has its definition outside the file");
      } else {
        tables.push_back({id, name, std::move(properties)});
      }
    }
    CheckDatabaseProperties();
    if (!options_.keepRows) catalog.rows.clear();
    facts_.tables.push_back(std::move(catalog));
    for (Listed& t : tables) {
      facts_.tables.push_back(CheckTable(t.name, t.page, false));
      CheckColumnProperties(facts_.tables.back(), std::move(t.properties));
    }
    for (uint32_t page : holders_) {
      Claim(page, "usage-map rows");
      CheckRowPage(page, 0, "usage-map rows");
    }
    ReportClaims();
    return std::move(facts_);
  }

 private:
  const uint8_t* Page(uint32_t n) const { return file_.data() + size_t{n} * kPageSize; }
  void Problem(std::string text) {
    if (facts_.problems.size() < kMaxProblems) facts_.problems.push_back(std::move(text));
  }
  void Claim(uint32_t page, const std::string& what) { claims_[page].push_back(what); }

  // The header of a page with a row table: its owner, a row table that fits below
  // rows that do not overlap, and a free-space field equal to the gap between them,
  // which a program adding rows to the file trusts.
  void CheckRowPage(uint32_t page, uint32_t owner, const std::string& what) {
    const uint8_t* p = Page(page);
    const std::string label = "page " + std::to_string(page) + " (" + what + ")";
    if (p[0] != 0x01 || p[1] != 0x01) {
      Problem(label + " is no data page");
      return;
    }
    if (Le32(p + 4) != owner) {
      Problem(label + " names owner " + std::to_string(Le32(p + 4)) + ", expected " +
              std::to_string(owner));
    }
    const uint32_t rows = Le16(p + 12), tableEnd = kRowTableStart + 2 * rows;
    if (tableEnd > kPageSize) {
      Problem(label + " counts " + std::to_string(rows) + " rows, more than its row table holds");
      return;
    }
    uint32_t lowest = kPageSize;
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t start = Le16(p + kRowTableStart + 2 * r) & kRowOffsetMask;
      if (start >= lowest || start < tableEnd) {
        Problem(label + ": row " + std::to_string(r) + " starts at " + std::to_string(start) +
                ", overlapping the row table or the row before it");
        return;
      }
      lowest = start;
    }
    if (Le16(p + 2) != lowest - tableEnd) {
      Problem(label + ": the free-space field says " + std::to_string(Le16(p + 2)) +
              ", its rows leave " + std::to_string(lowest - tableEnd));
    }
  }

  void CheckDatabaseProperties() {
    const auto& own = facts_.databaseProperties;
    const auto map = own.find("");
    auto value = [&](const std::string& name) -> std::optional<std::string> {
      if (map == own.end() || !map->second.count(name)) return std::nullopt;
      return map->second.at(name);
    };
    if (value("AccessVersion") != "08.50") {
      Problem("MSysDb has AccessVersion " + value("AccessVersion").value_or("(none)") +
              ", expected 08.50");
    }
    const auto build = value("Build");
    if (!build || build->empty() || build->find_first_not_of("0123456789") != std::string::npos) {
      Problem("MSysDb has no Build number");
    }
  }

  // Column maps name columns of the table; AllowZeroLength only on texts and memos.
  void CheckColumnProperties(JetTableFacts& table, JetProperties properties) {
    for (const auto& [map, values] : properties) {
      if (map.empty()) continue;
      const auto at = std::find(table.columnNames.begin(), table.columnNames.end(), map);
      if (at == table.columnNames.end()) {
        Problem("properties of " + table.name + " name no column " + map);
        continue;
      }
      const uint8_t type = columnTypes_[table.name][static_cast<size_t>(at - table.columnNames.begin())];
      if (values.count("AllowZeroLength") && type != kText && type != kMemo) {
        Problem("properties of " + table.name + " set AllowZeroLength on " + map +
                ", which is no text or memo column");
      }
    }
    table.properties = std::move(properties);
  }

  // Bounds of a row on a page with a row table; false when it has no such row.
  static bool RowBounds(const uint8_t* p, uint32_t row, uint32_t* start, uint32_t* end) {
    const uint32_t count = Le16(p + 12);
    if (row >= count || kRowTableStart + 2 * count > kPageSize) return false;
    const uint16_t raw = Le16(p + kRowTableStart + 2 * row);
    *start = raw & kRowOffsetMask;
    *end = row == 0 ? kPageSize : Le16(p + kRowTableStart + 2 * (row - 1)) & kRowOffsetMask;
    return (raw & kRowFlags) == 0 && *start >= kRowTableStart + 2 * count && *start <= *end;
  }

  // Row 0 marks free exactly the pages past the end, in its 512-page window.
  void CheckGlobalMap() {
    Claim(1, "the global usage map");
    const uint8_t* p = Page(1);
    uint32_t start = 0, end = 0;
    if (p[0] != 0x01 || Le16(p + 12) != 2 || !RowBounds(p, 0, &start, &end) ||
        end - start != kMapRowSize || p[start] != 0) {
      Problem("page 1 is not a data page whose row 0 is a 69-byte inline map");
      return;
    }
    CheckRowPage(1, kGlobalMapOwner, "the global usage map");
    const uint32_t window = pages_ / kGlobalMapWindow * kGlobalMapWindow;
    if (Le32(p + start + 1) != window) {
      Problem("global usage map starts at page " + std::to_string(Le32(p + start + 1)) +
              ", expected " + std::to_string(window));
    }
    for (uint32_t i = 0; i < kGlobalMapWindow; ++i) {
      const bool free = (p[start + 5 + i / 8] >> (i % 8)) & 1;
      if (free != (window + i >= pages_)) {
        Problem("global usage map marks page " + std::to_string(window + i) +
                (free ? " free" : " in use") + " in a file of " + std::to_string(pages_));
      }
    }
    if (!RowBounds(p, 1, &start, &end) || end - start != kMapRowSize ||
        std::any_of(p + start, p + end, [](uint8_t b) { return b != 0; })) {
      Problem("page 1 row 1 is not 69 zero bytes");
    }
  }

  // The pages a usage map names; claims its bitmap pages.
  std::vector<uint32_t> ReadMap(uint32_t reference, const std::string& what) {
    const uint32_t holder = reference >> 8;
    uint32_t start = 0, end = 0;
    if (holder <= 1 || holder >= pages_ || Page(holder)[0] != 0x01 ||
        !RowBounds(Page(holder), reference & 0xff, &start, &end) || end - start != kMapRowSize) {
      Problem(what + " at " + At(reference) + " is no 69-byte row of a map page");
      return {};
    }
    holders_.insert(holder);
    if (!mapRows_.insert(reference).second) Problem(what + " shares its map row");
    const uint8_t* m = Page(holder) + start;
    std::vector<uint32_t> pages;
    auto add = [&](uint32_t page) {
      if (page < pages_) {
        pages.push_back(page);
      } else {
        Problem(what + " names page " + std::to_string(page) + ", past the end of the file");
      }
    };
    if (m[0] == 0) {
      for (uint32_t bit = 0; bit < (kMapRowSize - 5) * 8; ++bit) {
        if ((m[5 + bit / 8] >> (bit % 8)) & 1) add(Le32(m + 1) + bit);
      }
    } else if (m[0] == 1) {
      for (uint32_t slot = 0; 1 + 4 * slot + 4 <= kMapRowSize; ++slot) {
        const uint32_t bitmap = Le32(m + 1 + 4 * slot);
        if (bitmap == 0) continue;
        if (bitmap >= pages_ || Page(bitmap)[0] != 0x05) {
          Problem(what + " names bitmap page " + std::to_string(bitmap) + ", not one");
          continue;
        }
        Claim(bitmap, "usage bitmap of " + what);
        for (uint32_t bit = 0; bit < kPagesPerBitmapPage; ++bit) {
          if ((Page(bitmap)[4 + bit / 8] >> (bit % 8)) & 1) add(slot * kPagesPerBitmapPage + bit);
        }
      }
    } else {
      Problem(what + " has map type " + std::to_string(m[0]));
    }
    return pages;
  }

  // The definition, chained over its pages (continuations after an 8-byte header).
  std::optional<Definition> ReadDefinition(const std::string& table, uint32_t first) {
    std::vector<uint8_t> b;
    std::set<uint32_t> seen;
    for (uint32_t page = first; page != 0; page = Le32(Page(page) + 4)) {
      if (page >= pages_ || !seen.insert(page).second || Page(page)[0] != 0x02) {
        Problem("definition of " + table + " runs to page " + std::to_string(page) +
                ", which is no definition page of its own");
        return std::nullopt;
      }
      Claim(page, "definition of " + table);
      b.insert(b.end(), Page(page) + (b.empty() ? 0 : kTdefHeader), Page(page) + kPageSize);
    }
    // Each page's free-space field: what the definition leaves of it, less 8.
    const uint32_t length = Le32(&b[8]);
    uint32_t left = length;  // the first page's header counts in the length, the others' not
    for (uint32_t page = first; page != 0; page = Le32(Page(page) + 4)) {
      const uint32_t header = page == first ? 0 : kTdefHeader;
      const uint32_t take = std::min(left, kPageSize - header);
      left -= take;
      const uint32_t held = header + take;
      const uint32_t free = kPageSize - held >= 8 ? kPageSize - held - 8 : 0;
      if (Le16(Page(page) + 2) != free) {
        Problem("definition of " + table + ": page " + std::to_string(page) +
                " has free-space field " + std::to_string(Le16(Page(page) + 2)) + ", expected " +
                std::to_string(free));
      }
    }
    Definition d;
    d.rows = Le32(&b[16]);
    d.owned = Le32(&b[55]);
    d.free = Le32(&b[59]);
    const uint16_t columnCount = Le16(&b[45]);
    const uint32_t logicalCount = Le32(&b[47]), realCount = Le32(&b[51]);
    size_t at = 63;
    auto fits = [&](size_t bytes) {
      if (at + bytes <= b.size()) return true;
      Problem("definition of " + table + " runs past its pages");
      return false;
    };
    if (logicalCount > 64 || realCount > logicalCount ||
        !fits(12 * realCount + 25 * size_t{columnCount})) {
      return std::nullopt;
    }
    d.indexes.resize(realCount);
    for (Index& index : d.indexes) {
      index.uniqueKeys = Le32(&b[at + 4]);
      at += 12;
    }
    for (uint16_t i = 0; i < columnCount; ++i, at += 25) {
      Column c{b[at],
               Le16(&b[at + 5]),
               Le16(&b[at + 7]),
               Le16(&b[at + 21]),
               Le16(&b[at + 23]),
               (b[at + 15] & 0x01) != 0,
               {}};
      if (c.number >= columnCount) {
        Problem("definition of " + table + " has column number " + std::to_string(c.number));
        return std::nullopt;
      }
      d.columns.push_back(c);
    }
    auto name = [&](std::string* out) {
      if (!fits(2) || !fits(2 + size_t{Le16(&b[at])})) return false;
      if (Le16(&b[at]) % 2 != 0) {
        Problem("definition of " + table + " has a name of odd length at byte " +
                std::to_string(at));
        return false;
      }
      std::u16string text;
      for (size_t i = 0; i < Le16(&b[at]); i += 2)
        text += static_cast<char16_t>(Le16(&b[at + 2 + i]));
      *out = jet::Utf16ToUtf8(text);
      at += 2 + size_t{Le16(&b[at])};
      return true;
    };
    for (Column& c : d.columns) {
      if (!name(&c.name)) return std::nullopt;
    }
    if (!fits(52 * size_t{realCount} + 28 * size_t{logicalCount})) return std::nullopt;
    for (Index& index : d.indexes) {
      for (uint32_t slot = 0; slot < 10; ++slot) {
        if (Le16(&b[at + 4 + 3 * slot]) != 0xFFFF)
          index.columns.push_back(Le16(&b[at + 4 + 3 * slot]));
      }
      index.map = Le32(&b[at + 34]);
      index.root = Le32(&b[at + 38]);
      at += 52;
    }
    std::vector<uint32_t> dataBlocks;
    for (uint32_t i = 0; i < logicalCount; ++i, at += 28) dataBlocks.push_back(Le32(&b[at + 8]));
    for (uint32_t block : dataBlocks) {
      std::string indexName;
      if (!name(&indexName) || block >= realCount) return std::nullopt;
      std::string& joined = d.indexes[block].name;
      joined += (joined.empty() ? "" : "+") + indexName;
    }
    for (;;) {
      if (!fits(2)) return std::nullopt;
      const uint16_t column = Le16(&b[at]);
      at += 2;
      if (column == 0xFFFF) break;
      if (!fits(8)) return std::nullopt;
      d.columnMaps.push_back({column, Le32(&b[at]), Le32(&b[at + 4])});
      at += 8;
    }
    std::sort(d.columns.begin(), d.columns.end(),
              [](const Column& x, const Column& y) { return x.number < y.number; });
    if (at != length) {
      Problem("definition of " + table + " ends at byte " + std::to_string(at) +
              ", its length field says " + std::to_string(length));
    }
    return d;
  }

  // The fields of a row by column number; empty when the row is malformed.
  static std::vector<Field> SplitRow(const Definition& d, const uint8_t* row, uint32_t size) {
    const uint32_t maskSize = (uint32_t{Le16(row)} + 7) / 8;
    const bool variable =
        std::any_of(d.columns.begin(), d.columns.end(), [](const Column& c) { return !c.fixed; });
    if (size < 2 + maskSize + (variable ? 4 : 0) || Le16(row) != d.columns.size()) return {};
    const uint8_t* mask = row + size - maskSize;
    const uint32_t varCount = variable ? Le16(mask - 2) : 0;
    if (size < 2 + maskSize + 4 + 2 * varCount) return {};
    auto offset = [&](uint32_t i) { return uint32_t{Le16(mask - 4 - 2 * i)}; };
    // The variable data ends where the offset table begins.
    if (variable && offset(varCount) != size - maskSize - 4 - 2 * varCount) return {};
    for (uint32_t i = 0; i < varCount; ++i) {
      if (offset(i) > offset(i + 1)) return {};
    }
    std::vector<Field> fields(d.columns.size());
    for (const Column& c : d.columns) {
      const bool bit = (mask[c.number / 8] >> (c.number % 8)) & 1;
      if (c.type == kBoolean) {
        fields[c.number] = {true, bit ? row : nullptr, 0};
      } else if (bit && c.fixed) {
        fields[c.number] = {true, row + 2 + c.fixedOffset, c.length};
      } else if (bit) {
        if (c.varIndex >= varCount) return {};
        fields[c.number] = {true, row + offset(c.varIndex),
                            offset(c.varIndex + 1) - offset(c.varIndex)};
      }
    }
    return fields;
  }

  // The bytes of a long value, whose rows must lie on pages of its column's map.
  std::optional<std::vector<uint8_t>> LongValue(const Field& f, const std::set<uint32_t>& pages) {
    if (f.size < kLongValueHeader) return std::nullopt;
    const uint32_t length = Le24(f.data);
    if (f.data[3] == 0x80) {
      if (f.size - kLongValueHeader != length) return std::nullopt;
      return std::vector<uint8_t>(f.data + kLongValueHeader, f.data + f.size);
    }
    const bool chained = f.data[3] == 0x00;
    if (!chained && f.data[3] != 0x40) return std::nullopt;
    std::vector<uint8_t> out;
    std::set<uint32_t> visited;
    for (uint32_t pointer = Le32(f.data + 4); out.size() < length;) {
      uint32_t start = 0, end = 0;
      if (!pages.count(pointer >> 8) || !visited.insert(pointer).second ||
          !RowBounds(Page(pointer >> 8), pointer & 0xff, &start, &end)) {
        Problem("a long value runs to " + At(pointer) + ", outside its column's pages");
        return std::nullopt;
      }
      const uint8_t* p = Page(pointer >> 8);
      const uint32_t skip = chained ? 4 : 0;
      // A piece holds exactly what is left of the value or less; the last one ends
      // the chain.
      if (end - start < skip || end - start - skip > length - out.size()) return std::nullopt;
      out.insert(out.end(), p + start + skip, p + end);
      if (!chained) break;
      pointer = Le32(p + start);
      if (pointer == 0 || out.size() == length) {
        if ((pointer == 0) != (out.size() == length)) return std::nullopt;
        break;
      }
    }
    if (out.size() != length) return std::nullopt;
    return out;
  }

  // A value as text; texts must decode the strict way.
  JetValue Show(const Column& c, const Field& f, const std::set<uint32_t>* lvPages,
                const std::string& where) {
    if (!f.present) return std::nullopt;
    if (c.type == kBoolean) return f.data ? "true" : "false";
    std::optional<std::vector<uint8_t>> bytes(std::in_place, f.data, f.data + f.size);
    if (IsLongValue(c.type)) bytes = LongValue(f, lvPages ? *lvPages : std::set<uint32_t>{});
    if (!bytes) {
      Problem(where + ": the long value of " + c.name + " cannot be read");
      return std::nullopt;
    }
    if (c.type == kText || c.type == kMemo) {
      const auto text = DecodeJetText(bytes->data(), bytes->size());
      if (!text) Problem(where + ": " + c.name + " does not decode the strict way");
      return text ? std::optional(jet::Utf16ToUtf8(*text)) : std::nullopt;
    }
    if (c.type == kByte) return std::to_string((*bytes)[0]);
    if (c.type == kInt) return std::to_string(static_cast<int16_t>(Le16(bytes->data())));
    if (c.type == kLong) return std::to_string(static_cast<int32_t>(Le32(bytes->data())));
    return Hex(bytes->data(), bytes->size());
  }

  // Key bytes of a row, computed here; nullopt for a column kind not known here.
  static std::optional<std::vector<uint8_t>> Key(const Definition& d, const Index& index,
                                                 const std::vector<Field>& fields) {
    std::vector<uint8_t> key;
    for (uint16_t number : index.columns) {
      const Column& c = d.columns[number];
      const Field& f = fields[number];
      if (!f.present) return std::nullopt;
      std::optional<std::vector<uint8_t>> part;
      if (c.type == kLong) part = JetLongKey(static_cast<int32_t>(Le32(f.data)));
      if (c.type == kText) {
        const auto text = DecodeJetText(f.data, f.size);
        if (text) part = JetGeneralTextKey(*text);
      }
      if (!part) return std::nullopt;
      key.insert(key.end(), part->begin(), part->end());
    }
    return key;
  }

  // The root leaf: one entry per row, ascending, with the row's key.
  void CheckLeaf(const Index& index, const std::string& label, uint32_t tdef,
                 const std::map<uint32_t, std::optional<std::vector<uint8_t>>>& expected,
                 JetIndexFacts& facts) {
    const uint8_t* p = Page(index.root);
    if (p[0] != 0x04 || Le32(p + 4) != tdef || Le32(p + 12) || Le32(p + 16) || Le32(p + 20) ||
        Le16(p + 24)) {
      Problem(label + ": root page " + std::to_string(index.root) +
              " is no lone leaf of its table");
      return;
    }
    std::vector<std::vector<uint8_t>> entries;
    uint32_t previous = 0;
    for (uint32_t bit = 1; bit < (kLeafEntriesStart - kLeafMaskStart) * 8; ++bit) {
      if (!((p[kLeafMaskStart + bit / 8] >> (bit % 8)) & 1)) continue;
      if (kLeafEntriesStart + bit > kPageSize) {
        Problem(label + ": an entry ends past the page");
        break;
      }
      entries.emplace_back(p + kLeafEntriesStart + previous, p + kLeafEntriesStart + bit);
      previous = bit;
    }
    if (Le16(p + 2) != kPageSize - kLeafEntriesStart - previous) {
      Problem(label + ": free space field disagrees with its entries");
    }
    facts.entries = entries.size();
    if (entries.size() != expected.size()) {
      Problem(label + " has " + std::to_string(entries.size()) + " entries for " +
              std::to_string(expected.size()) + " rows");
    }
    std::set<std::vector<uint8_t>> keys;
    std::set<uint32_t> found;
    for (size_t i = 0; i < entries.size(); ++i) {
      const std::vector<uint8_t>& e = entries[i];
      if (e.size() < 5 || (i > 0 && !(entries[i - 1] < e))) {
        Problem(label + " entry " + std::to_string(i) + " is too short or out of order");
        continue;
      }
      const std::vector<uint8_t> key(e.begin(), e.end() - 4);
      keys.insert(key);
      const uint8_t* r = &e[e.size() - 4];  // big-endian page, then the row
      const uint32_t pageRow =
          (uint32_t{r[0]} << 24) | (uint32_t{r[1]} << 16) | (uint32_t{r[2]} << 8) | r[3];
      const auto want = expected.find(pageRow);
      if (want == expected.end() || !found.insert(pageRow).second) {
        Problem(label + " entry " + std::to_string(i) + " points to " + At(pageRow) +
                ", no row of the table or one already indexed");
      } else if (want->second && *want->second != key) {
        Problem(label + " entry " + std::to_string(i) + " has key " + Hex(key.data(), key.size()) +
                ", the row's key is " + Hex(want->second->data(), want->second->size()));
      }
    }
    if (index.uniqueKeys != keys.size()) {
      Problem(label + ": the definition counts " + std::to_string(index.uniqueKeys) +
              " unique keys, the leaf holds " + std::to_string(keys.size()));
    }
  }

  void FreeWithinOwned(uint32_t freeMap, const std::vector<uint32_t>& owned,
                       const std::string& what) {
    for (uint32_t page : ReadMap(freeMap, "free map of " + what)) {
      if (std::find(owned.begin(), owned.end(), page) == owned.end()) {
        Problem("free map of " + what + " lists page " + std::to_string(page) + ", not owned");
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
    for (const Column& c : d.columns) {
      facts.columnNames.push_back(c.name);
      columnTypes_[name].push_back(c.type);
    }

    facts.dataPages = ReadMap(d.owned, "owned map of " + name);
    FreeWithinOwned(d.free, facts.dataPages, name);
    for (uint32_t page : facts.dataPages) {
      Claim(page, "data of " + name);
      CheckRowPage(page, tdef, "data of " + name);
    }
    std::map<uint16_t, std::set<uint32_t>> lvPages;
    for (const auto& [column, owned, free] : d.columnMaps) {
      if (column >= d.columns.size() || !IsLongValue(d.columns[column].type)) {
        Problem(name + " has long-value maps for column " + std::to_string(column));
        continue;
      }
      const std::string what = name + "." + d.columns[column].name;
      const auto pages = ReadMap(owned, "owned map of long values " + what);
      FreeWithinOwned(free, pages, "long values " + what);
      for (uint32_t page : pages) {
        Claim(page, "long values of " + what);
        facts.longValuePages.push_back(page);
        CheckRowPage(page, kLongValueOwner, "long values of " + what);
      }
      lvPages[static_cast<uint16_t>(column)].insert(pages.begin(), pages.end());
    }
    for (const Column& c : d.columns) {
      if (IsLongValue(c.type) && !lvPages.count(c.number)) {
        Problem(name + " has no long-value maps for column " + c.name);
      }
    }
    std::vector<std::string> labels;
    for (const Index& index : d.indexes) {
      labels.push_back("index " + index.name + " of " + name);
      const auto pages = ReadMap(index.map, "map of " + labels.back());
      for (uint32_t page : pages) Claim(page, labels.back());
      if (pages != std::vector<uint32_t>{index.root}) {
        Problem(labels.back() + ": its map does not hold exactly its root page");
      }
    }

    std::vector<std::map<uint32_t, std::optional<std::vector<uint8_t>>>> expected(d.indexes.size());
    uint32_t rows = 0;
    for (uint32_t page : facts.dataPages) {
      const uint8_t* p = Page(page);
      for (uint32_t r = 0; p[0] == 0x01 && r < Le16(p + 12); ++r) {
        uint32_t start = 0, end = 0;
        const uint32_t pointer = (page << 8) | r;
        const auto fields = RowBounds(p, r, &start, &end) ? SplitRow(d, p + start, end - start)
                                                          : std::vector<Field>{};
        ++rows;
        if (fields.empty()) {
          Problem(name + " " + At(pointer) + " is malformed");
          continue;
        }
        for (size_t i = 0; i < d.indexes.size(); ++i) {
          expected[i][pointer] = Key(d, d.indexes[i], fields);
        }
        std::vector<JetValue> values(fields.size());
        for (const Column& c : d.columns) {
          // Texts always: each must decode the strict way; long values: their pages.
          if (!options_.keepRows && !catalog && !IsLongValue(c.type) && c.type != kText) continue;
          const auto lv = lvPages.find(c.number);
          values[c.number] = Show(c, fields[c.number], lv == lvPages.end() ? nullptr : &lv->second,
                                  name + " " + At(pointer));
        }
        if (options_.keepRows || catalog) facts.rows.push_back(std::move(values));
      }
    }
    if (rows != d.rows) {
      Problem(name + ": the definition counts " + std::to_string(d.rows) +
              " rows, its data pages hold " + std::to_string(rows));
    }
    for (size_t i = 0; i < d.indexes.size(); ++i) {
      JetIndexFacts index{d.indexes[i].name, d.indexes[i].root, d.indexes[i].columns, 0};
      if (d.indexes[i].root < pages_) CheckLeaf(d.indexes[i], labels[i], tdef, expected[i], index);
      facts.indexes.push_back(std::move(index));
    }
    return facts;
  }

  void ReportClaims() {
    for (uint32_t page = 0; page < pages_; ++page) {
      const auto& claims = claims_[page];
      if (claims.empty()) Problem("page " + std::to_string(page) + " claimed by nothing");
      if (claims.size() > 1) {
        Problem("page " + std::to_string(page) + " claimed twice: " + claims[0] + " and " +
                claims[1]);
      }
    }
  }

  const std::vector<uint8_t>& file_;
  JetCheckOptions options_;
  JetFileFacts facts_;
  uint32_t pages_ = 0;
  std::vector<std::vector<std::string>> claims_;
  std::set<uint32_t> holders_;
  std::set<uint32_t> mapRows_;
  std::map<std::string, std::vector<uint8_t>> columnTypes_;  // per table, by column number
};

// The text of a property value of a given data type.
std::optional<std::string> PropertyText(uint8_t type, const uint8_t* data, size_t size) {
  if (type == kBoolean) {
    if (size != 1) return std::nullopt;
    return data[0] ? "true" : "false";
  }
  if (type == kLong) {
    if (size != 4) return std::nullopt;
    return std::to_string(static_cast<int32_t>(Le32(data)));
  }
  if (type == kText || type == kMemo) {
    if (size % 2 != 0) return std::nullopt;
    return Utf16Text(data, size);
  }
  return Hex(data, size);
}

}  // namespace

std::vector<JetValue> JetTableFacts::Column(std::string_view column) const {
  std::vector<JetValue> out;
  const auto at = std::find(columnNames.begin(), columnNames.end(), column);
  for (const auto& row : rows)
    out.push_back(at == columnNames.end() ? std::nullopt
                                          : row[static_cast<size_t>(at - columnNames.begin())]);
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
  return CheckJetBytes({std::istreambuf_iterator<char>(in), {}}, options);
}

std::optional<JetProperties> DecodeJetProperties(const std::vector<uint8_t>& b,
                                                 std::string* problem) {
  constexpr uint16_t kNamesChunk = 0x80, kObjectChunk = 0x00, kColumnChunk = 0x01;
  constexpr uint32_t kChunkHeader = 6, kValueHeader = 8;
  auto fail = [&](const std::string& text, size_t at) {
    *problem = text + " (at byte " + std::to_string(at) + ")";
    return std::nullopt;
  };
  if (b.size() < 4 || std::string_view(reinterpret_cast<const char*>(b.data()), 4) !=
                          std::string_view("MR2\0", 4)) {
    return fail("the block does not start with MR2", 0);
  }
  std::vector<std::string> names;
  bool named = false;
  JetProperties out;
  for (size_t at = 4; at < b.size();) {
    if (b.size() - at < kChunkHeader) return fail("a chunk header runs past the block", at);
    const uint32_t length = Le32(&b[at]);
    const uint16_t type = Le16(&b[at + 4]);
    if (length < kChunkHeader || length > b.size() - at) {
      return fail("a chunk's length " + std::to_string(length) + " disagrees with the " +
                      std::to_string(b.size() - at) + " bytes left",
                  at);
    }
    const size_t end = at + length;
    size_t p = at + kChunkHeader;
    if (type == kNamesChunk) {
      if (named) return fail("a second chunk of names", at);
      named = true;
      while (p < end) {
        if (end - p < 2 || Le16(&b[p]) % 2 != 0 || Le16(&b[p]) > end - p - 2) {
          return fail("a property name runs past its chunk", p);
        }
        names.push_back(Utf16Text(&b[p + 2], Le16(&b[p])));
        p += 2 + size_t{Le16(&b[p])};
      }
    } else if (type == kObjectChunk || type == kColumnChunk) {
      if (!named) return fail("values before the names", at);
      if (end - p < 6) return fail("a map name runs past its chunk", p);
      const uint32_t nameLength = Le32(&b[p]);
      const uint16_t nameBytes = Le16(&b[p + 4]);
      if (nameBytes % 2 != 0 || nameBytes > end - p - 6) {
        return fail("a map name runs past its chunk", p);
      }
      if (nameLength != 6u + nameBytes) {
        return fail("the map-name length says " + std::to_string(nameLength) + ", its name takes " +
                        std::to_string(6u + nameBytes),
                    p);
      }
      const std::string map = Utf16Text(&b[p + 6], nameBytes);
      if ((type == kObjectChunk) != map.empty()) {
        return fail("a map of chunk type " + std::to_string(type) + " named '" + map + "'", p);
      }
      if (out.count(map)) return fail("the map '" + map + "' given twice", at);
      auto& values = out[map];
      for (p += nameLength; p < end;) {
        if (end - p < kValueHeader) return fail("a value's header runs past its chunk", p);
        const uint16_t valueLength = Le16(&b[p]), index = Le16(&b[p + 4]), size = Le16(&b[p + 6]);
        if (valueLength != kValueHeader + size || valueLength > end - p) {
          return fail("a value's length " + std::to_string(valueLength) + " disagrees with its " +
                          std::to_string(size) + " data bytes or its chunk",
                      p);
        }
        if (b[p + 2] > 1) return fail("a value's DDL flag is " + std::to_string(b[p + 2]), p);
        if (index >= names.size()) return fail("a value names property " + std::to_string(index), p);
        const auto text = PropertyText(b[p + 3], &b[p + kValueHeader], size);
        if (!text) return fail("the value of " + names[index] + " has a wrong size", p);
        if (!values.emplace(names[index], *text).second) {
          return fail(names[index] + " given twice in map '" + map + "'", p);
        }
        p += valueLength;
      }
    } else {
      return fail("a chunk of unknown type " + std::to_string(type), at);
    }
    at = end;
  }
  if (!named) return fail("no chunk of names", b.size());
  return out;
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
