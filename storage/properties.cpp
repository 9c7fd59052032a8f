#include "storage/properties.h"

#include <string>

namespace tessaly::jet {

namespace {

constexpr uint16_t kNamesChunk = 0x80;
constexpr uint16_t kColumnChunk = 0x01;
constexpr uint8_t kBooleanType = 0x01;

void Append16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t v) {
  Append16(out, static_cast<uint16_t>(v));
  Append16(out, static_cast<uint16_t>(v >> 16));
}

void AppendName(std::vector<uint8_t>& out, std::u16string_view name) {
  Append16(out, static_cast<uint16_t>(name.size() * 2));
  for (char16_t c : name) Append16(out, c);
}

// A chunk: its length (header included), its type, its body.
void AppendChunk(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& body) {
  Append32(out, static_cast<uint32_t>(body.size() + 6));
  Append16(out, type);
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

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
    std::vector<uint8_t> body;
    Append32(body, 0);  // the block's length, set below
    AppendName(body, c.name);
    // One value: length, DDL flag, type, name index, value size, value.
    Append16(body, 9);
    body.push_back(0);
    body.push_back(kBooleanType);
    Append16(body, 0);
    Append16(body, 1);
    body.push_back(1);
    const auto size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
      body[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    AppendChunk(out, kColumnChunk, body);
  }
  return out;
}

}  // namespace tessaly::jet
