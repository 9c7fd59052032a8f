#include "storage/properties.h"

#include <string>

namespace tessaly::jet {

namespace {

constexpr uint16_t kNamesChunk = 0x80;
constexpr uint16_t kObjectChunk = 0x00;
constexpr uint16_t kColumnChunk = 0x01;
constexpr uint8_t kBooleanType = 0x01;
constexpr uint8_t kLongType = 0x04;
constexpr uint8_t kTextType = 0x0a;
// What Access 2000 records, which tells readers the file is an Access 2000
// database rather than some other program's Jet 4 file.
constexpr std::u16string_view kAccessVersion = u"08.50";
constexpr uint32_t kAccessBuild = 6620;

// A chunk: its length (header included), its type, its body.
void AppendChunk(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& body) {
  Append32(out, static_cast<uint32_t>(body.size() + 6));
  Append16(out, type);
  out.insert(out.end(), body.begin(), body.end());
}

// One value: length, DDL flag, type, name index, value size, value.
void AppendValue(std::vector<uint8_t>& out, uint8_t type, uint16_t nameIndex,
                 const std::vector<uint8_t>& value) {
  Append16(out, static_cast<uint16_t>(8 + value.size()));
  out.push_back(0);
  out.push_back(type);
  Append16(out, nameIndex);
  Append16(out, static_cast<uint16_t>(value.size()));
  out.insert(out.end(), value.begin(), value.end());
}

// A block of values: its length, the name of what it describes, the values.
std::vector<uint8_t> Block(std::u16string_view name, const std::vector<uint8_t>& values) {
  std::vector<uint8_t> body;
  Append32(body, 0);
  AppendName(body, name);
  body.insert(body.end(), values.begin(), values.end());
  Put32(body.data(), static_cast<uint32_t>(body.size()));
  return body;
}

}  // namespace

std::vector<uint8_t> BuildDatabaseProperties() {
  std::vector<uint8_t> out = {'M', 'R', '2', 0};
  std::vector<uint8_t> names;
  AppendName(names, u"AccessVersion");
  AppendName(names, u"Build");
  AppendChunk(out, kNamesChunk, names);
  std::vector<uint8_t> version;
  for (char16_t c : kAccessVersion) Append16(version, c);
  std::vector<uint8_t> build;
  Append32(build, kAccessBuild);
  std::vector<uint8_t> values;
  AppendValue(values, kTextType, 0, version);
  AppendValue(values, kLongType, 1, build);
  AppendChunk(out, kObjectChunk, Block(u"", values));
  return out;
}

std::vector<uint8_t> BuildTableProperties(const TableLayout& layout) {
  const std::u16string_view kAllowZeroLength = u"AllowZeroLength";
  std::vector<uint8_t> out;
  bool any = false;
  for (const ColumnSpec& c : layout.columns) any = any || c.allowZeroLength;
  if (!any) return out;

  out = {'M', 'R', '2', 0};
  std::vector<uint8_t> names;
  AppendName(names, kAllowZeroLength);
  AppendChunk(out, kNamesChunk, names);
  for (const ColumnSpec& c : layout.columns) {
    if (!c.allowZeroLength) continue;
    std::vector<uint8_t> values;
    AppendValue(values, kBooleanType, 0, {1});
    AppendChunk(out, kColumnChunk, Block(c.name, values));
  }
  return out;
}

}  // namespace tessaly::jet
