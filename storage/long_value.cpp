#include "storage/long_value.h"

#include <algorithm>
#include <cstring>

namespace tessaly::jet {

namespace {

using long_value::kChained;
using long_value::kInline;
using long_value::kSingle;

void WriteHeader(uint32_t size, uint8_t kind, uint32_t pageRow, uint8_t* header) {
  std::memset(header, 0, kLongValueHeaderSize);
  Put24(header, size);
  header[long_value::kKindOffset] = kind;
  Put32(header + long_value::kPointerOffset, pageRow);
}

}  // namespace

void WriteInlineLongValueHeader(uint32_t size, uint8_t* header) {
  WriteHeader(size, kInline, 0, header);
}

uint32_t LongValueWriter::PagesNeeded(uint32_t size) const {
  if (size <= kMaxSingleLongValue) return open_ && page_.Fits(size) ? 0 : 1;
  return (size + kChainChunk - 1) / kChainChunk;
}

uint32_t LongValueWriter::NewPages(uint32_t count) {
  const uint32_t first = file_.Allocate(count);
  for (uint32_t i = 0; i < count; ++i) pages_.Add(file_, first + i);
  return first;
}

std::vector<uint8_t> LongValueWriter::BuildFreePagesMap() const {
  if (!open_) return BuildInlineMap({});
  return BuildInlineMap({pageNumber_});
}

void LongValueWriter::Store(const uint8_t* data, uint32_t size, uint8_t* header) {
  if (size <= kMaxSingleLongValue) {
    if (!open_ || !page_.Fits(size)) {
      const uint32_t page = NewPages(1);
      WriteOpenPage();
      pageNumber_ = page;
      page_.Start(kLongValueOwner);
      open_ = true;
    }
    uint32_t row = 0;
    std::memcpy(page_.AddRow(size, &row), data, size);
    WriteHeader(size, kSingle, PageRow(pageNumber_, row), header);
    return;
  }
  const uint32_t count = (size + kChainChunk - 1) / kChainChunk;
  const uint32_t first = NewPages(count);
  DataPageBuilder chunkPage;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t offset = i * kChainChunk;
    const uint32_t chunk = std::min(kChainChunk, size - offset);
    chunkPage.Start(kLongValueOwner);
    uint32_t row = 0;
    uint8_t* out = chunkPage.AddRow(4 + chunk, &row);
    Put32(out, i + 1 < count ? PageRow(first + i + 1, 0) : 0);
    std::memcpy(out + 4, data + offset, chunk);
    file_.Write(first + i, chunkPage.Image().data());
  }
  WriteHeader(size, kChained, PageRow(first, 0), header);
}

void LongValueWriter::WriteOpenPage() {
  if (open_) file_.Write(pageNumber_, page_.Image().data());
}

bool ReadLongValue(PageFile& file, const uint8_t* field, uint32_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size < kLongValueHeaderSize) return size == 0;
  const uint32_t length = Get24(field);
  const uint8_t kind = field[long_value::kKindOffset];
  if (kind == kInline) {
    if (size - kLongValueHeaderSize < length) return false;
    out.assign(field + kLongValueHeaderSize, field + kLongValueHeaderSize + length);
    return true;
  }
  if (kind != kSingle && kind != kChained) return false;
  uint32_t pageRow = Get32(field + long_value::kPointerOffset);
  Page page;
  out.reserve(length);
  while (out.size() < length) {
    const uint32_t pageNumber = pageRow >> 8;
    if (pageNumber == 0 || pageNumber >= file.PageCount()) return false;
    file.Read(pageNumber, page.data());
    uint32_t start = 0;
    uint32_t rowSize = 0;
    if (!FindRow(page, pageRow & 0xff, &start, &rowSize)) return false;
    if (kind == kSingle) {
      if (rowSize < length) return false;
      out.assign(page.data() + start, page.data() + start + length);
      return true;
    }
    if (rowSize < 4) return false;
    const uint32_t take = std::min(rowSize - 4, length - static_cast<uint32_t>(out.size()));
    out.insert(out.end(), page.data() + start + 4, page.data() + start + 4 + take);
    pageRow = Get32(page.data() + start);
    if (pageRow == 0) break;
  }
  return out.size() == length;
}

}  // namespace tessaly::jet
