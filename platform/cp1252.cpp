#include "platform/cp1252.h"

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tessaly {

namespace {

constexpr char16_t kHigh[32] = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr std::array<char16_t, 256> MakeTable() {
  std::array<char16_t, 256> units{};
  for (int b = 0; b < 256; ++b) {
    units[b] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : static_cast<char16_t>(b);
  }
  return units;
}

}  // namespace

const std::array<char16_t, 256> kCp1252ToUtf16 = MakeTable();

void AppendCp1252(std::u16string& out, const char* bytes, size_t count) {
  const size_t start = out.size();
  out.resize(start + count);
  DecodeCp1252(bytes, count, out.data() + start);
}

void DecodeCp1252(const char* bytes, size_t count, char16_t* dst) {
  const auto* src = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
#ifdef __SSE2__
  // Sixteen bytes at a time: all but 0x80..0x9F are their own code points, so only
  // those few are looked up afterwards.
  const __m128i zero = _mm_setzero_si128();
  const __m128i topBits = _mm_set1_epi8(static_cast<char>(0xe0));
  const __m128i c1 = _mm_set1_epi8(static_cast<char>(0x80));
  for (; i + 16 <= count; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(chunk, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(chunk, zero));
    auto mapped =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(chunk, topBits), c1)));
    while (mapped != 0) {
      const size_t at = i + static_cast<size_t>(std::countr_zero(mapped));
      dst[at] = kCp1252ToUtf16[src[at]];
      mapped &= mapped - 1;
    }
  }
#endif
  for (; i < count; ++i) dst[i] = kCp1252ToUtf16[src[i]];
}

std::u16string DecodeCp1252(std::string_view bytes) {
  std::u16string out;
  AppendCp1252(out, bytes.data(), bytes.size());
  return out;
}

}  // namespace tessaly
