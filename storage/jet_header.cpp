#include "storage/jet_header.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <utility>

namespace tessaly::jet {

namespace {

using namespace header;

// The header block is masked with RC4 under a fixed key.
void ApplyHeaderMask(uint8_t* data, size_t size) {
  const uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + s[i] + key[i % 4]);
    std::swap(s[i], s[j]);
  }
  uint8_t x = 0;
  uint8_t y = 0;
  for (size_t n = 0; n < size; ++n) {
    x = static_cast<uint8_t>(x + 1);
    y = static_cast<uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    data[n] ^= s[static_cast<uint8_t>(s[x] + s[y])];
  }
}

}  // namespace

Page BuildHeaderPage(double creationDate) {
  Page page{};
  page[0] = page_type::kDatabase;
  page[1] = 0x01;
  std::memcpy(page.data() + kMagicOffset, "Standard Jet DB", 16);
  page[kVersionOffset] = kVersionJet4;
  Put32(page.data() + kEngineBytesOffset, 0x0100);
  for (uint32_t i = 1; i <= 5; ++i) {
    Put32(page.data() + kEngineBytesOffset + 4 * i, i == 1 ? 0x0101 : i);
  }

  Put16(page.data() + kCodePageOffset, kCodePage1252);
  Put32(page.data() + kDatabaseKeyOffset, 0);  // zero: pages are not encrypted
  // An empty password is stored as the mask derived from the creation date.
  const auto dateMask = static_cast<uint32_t>(static_cast<int32_t>(std::floor(creationDate)));
  for (uint32_t i = 0; i < kPasswordSize; ++i) {
    page[kPasswordOffset + i] = static_cast<uint8_t>(dateMask >> (8 * (i % 4)));
  }
  Put32(page.data() + kEngineStampOffset, kEngineStamp);
  Put16(page.data() + kSortOrderOffset, kSortGeneral);
  PutDouble(page.data() + kCreationDateOffset, creationDate);
  Put32(page.data() + kEngineVersionOffset, kEngineVersionTag);
  std::memcpy(page.data() + kEngineVersionOffset + 4, kEngineVersion, sizeof kEngineVersion);
  Put16(page.data() + kTrailerOffset, kTrailerFirst);
  for (uint32_t at = kTrailerOffset + 2; at < kPageSize; at += 2)
    Put16(page.data() + at, kTrailerRest);

  ApplyHeaderMask(page.data() + kMaskedOffset, kMaskedSize);
  return page;
}

Page UnmaskHeaderPage(const Page& stored) {
  Page page = stored;
  ApplyHeaderMask(page.data() + kMaskedOffset, kMaskedSize);
  return page;
}

namespace {
// NaN: the clock's.
std::atomic<double> gFixedDate{std::numeric_limits<double>::quiet_NaN()};
}  // namespace

ScopedJetDate::ScopedJetDate(double date) {
  gFixedDate.store(date);
}

ScopedJetDate::~ScopedJetDate() {
  gFixedDate.store(std::numeric_limits<double>::quiet_NaN());
}

double JetDateNow() {
  if (const double fixed = gFixedDate.load(); !std::isnan(fixed)) return fixed;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  // The local time of day as seconds since 1970, as if it were UTC.
#ifdef _WIN32
  localtime_s(&local, &now);
  const double seconds = static_cast<double>(_mkgmtime(&local));
#else
  localtime_r(&now, &local);
  const double seconds = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
#endif
  // 25569 days from 1899-12-30 to 1970-01-01.
  return seconds / 86400.0 + 25569.0;
}

}  // namespace tessaly::jet
