#include "storage/properties.h"

#include <string>

namespace tessaly::jet {

namespace {

// What Access 2000 records, which tells readers the file is an Access 2000
// database rather than some other program's Jet 4 file.
constexpr std::u16string_view kAccessVersion = u"08.50";
constexpr uint32_t kAccessBuild = 6620;

void AppendChunk(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& body) {
  Append32(out, static_cast<uint32_t>(property::kChunkHeaderSize + body.size()));
  Append16(out, type);
  out.insert(out.end(), body.begin(), body.end());
}

void AppendValue(std::vector<uint8_t>& out, uint8_t type, uint16_t nameIndex,
                 const std::vector<uint8_t>& value) {
  Append16(out, static_cast<uint16_t>(property::kValueHeaderSize + value.size()));
  out.push_back(0);  // not a DDL property
  out.push_back(type);
  Append16(out, nameIndex);
  Append16(out, static_cast<uint16_t>(value.size()));
  out.insert(out.end(), value.begin(), value.end());
}

// The body of a values chunk. Its first field measures the map's name only: readers
// skip that many bytes to reach the values.
std::vector<uint8_t> ValuesBody(std::u16string_view mapName, const std::vector<uint8_t>& values) {
  std::vector<uint8_t> body;
  Append32(body, 0);
  AppendName(body, mapName);
  Put32(body.data(), static_cast<uint32_t>(body.size()));
  body.insert(body.end(), values.begin(), values.end());
  return body;
}

std::vector<uint8_t> Start() {
  return {std::begin(property::kMagic), std::end(property::kMagic)};
}

}  // namespace

std::vector<uint8_t> BuildDatabaseProperties() {
  std::vector<uint8_t> out = Start();
  std::vector<uint8_t> names;
  AppendName(names, u"AccessVersion");
  AppendName(names, u"Build");
  AppendChunk(out, property::kNamesChunk, names);
  std::vector<uint8_t> version;
  for (char16_t c : kAccessVersion) Append16(version, c);
  std::vector<uint8_t> build;
  Append32(build, kAccessBuild);
  std::vector<uint8_t> values;
  AppendValue(values, property::kTypeText, 0, version);
  AppendValue(values, property::kTypeLong, 1, build);
  AppendChunk(out, property::kObjectValuesChunk, ValuesBody(u"", values));
  return out;
}

std::vector<uint8_t> BuildTableProperties(const TableLayout& layout) {
  std::vector<uint8_t> out;
  bool any = false;
  for (const ColumnSpec& c : layout.columns) any = any || c.allowZeroLength;
  if (!any) return out;

  out = Start();
  std::vector<uint8_t> names;
  AppendName(names, u"AllowZeroLength");
  AppendChunk(out, property::kNamesChunk, names);
  for (const ColumnSpec& c : layout.columns) {
    if (!c.allowZeroLength) continue;
    std::vector<uint8_t> values;
    AppendValue(values, property::kTypeBoolean, 0, {1});
    AppendChunk(out, property::kColumnValuesChunk, ValuesBody(c.name, values));
  }
  return out;
}

}  // namespace tessaly::jet
