#include "engine/card_line.h"

#include <algorithm>
#include <bit>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/engine_failure.h"

namespace tessaly {

namespace {

#ifdef __SSE2__
// Where a quote comes before, a comma at and a quote after each of the positions
// p, p + 1, ...: eight of them for UTF-16, sixteen for bytes; two mask bits each
// for UTF-16.
inline unsigned SeparatorMask(const char16_t* at) {
  const __m128i quotes = _mm_set1_epi16(static_cast<short>(u'"'));
  const __m128i commas = _mm_set1_epi16(static_cast<short>(u','));
  const auto load = [](const char16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
      _mm_cmpeq_epi16(load(at), commas), _mm_and_si128(_mm_cmpeq_epi16(load(at - 1), quotes),
                                                       _mm_cmpeq_epi16(load(at + 1), quotes)))));
}
inline unsigned SeparatorMask(const char* at) {
  const __m128i quotes = _mm_set1_epi8('"');
  const __m128i commas = _mm_set1_epi8(',');
  const auto load = [](const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
      _mm_cmpeq_epi8(load(at), commas),
      _mm_and_si128(_mm_cmpeq_epi8(load(at - 1), quotes), _mm_cmpeq_epi8(load(at + 1), quotes)))));
}
#endif

template <typename Char>
void ScanSeparatorsOf(std::basic_string_view<Char> line, SeparatorScan& scan) {
  scan.cutCount = 0;
  scan.occurrences = 0;
  const Char* const data = line.data();
  const size_t n = line.size();
  if (n < 3) return;
  // A separator either starts past the last cut's, and is the next cut, or overlaps
  // it and only counts. The count is capped at 15, far below the 46 cuts.
  size_t overlaps = 0;
  size_t nextCut = 0;
  auto separator = [&](size_t p) {  // its comma at p; true once every cut is found
    if (p - 1 < nextCut) {
      ++overlaps;
      return false;
    }
    scan.cuts[scan.cutCount++] = p - 1;
    nextCut = p + 2;
    return scan.cutCount == kCardColumns - 1;
  };
  auto finish = [&] {
    scan.occurrences = static_cast<int32_t>(std::min<size_t>(15, scan.cutCount + overlaps));
  };
  size_t p = 1;
  const size_t end = n - 1;
#ifdef __SSE2__
  constexpr size_t kLanes = 16 / sizeof(Char);
  for (; p + kLanes + 1 <= n; p += kLanes) {
    unsigned mask = SeparatorMask(data + p);
    while (mask != 0) {
      const int bit = std::countr_zero(mask);
      if (separator(p + static_cast<size_t>(bit) / sizeof(Char))) return finish();
      mask &= ~((sizeof(Char) == 2 ? 3u : 1u) << bit);
    }
  }
#endif
  for (; p < end; ++p) {
    if (data[p] == Char(',') && data[p - 1] == Char('"') && data[p + 1] == Char('"') &&
        separator(p)) {
      return finish();
    }
  }
  finish();
}

template <typename Char>
bool IsClosingQuoteLineOf(std::basic_string_view<Char> line) {
  const size_t first = line.find_first_not_of(Char(' '));
  if (first == std::basic_string_view<Char>::npos) return false;
  const size_t last = line.find_last_not_of(Char(' '));
  return first == last && line[first] == Char('"');
}

}  // namespace

void ScanSeparators(std::u16string_view line, SeparatorScan& scan) {
  ScanSeparatorsOf(line, scan);
}

void ScanSeparators(std::string_view line, SeparatorScan& scan) {
  ScanSeparatorsOf(line, scan);
}

bool IsClosingQuoteLine(std::u16string_view line) {
  return IsClosingQuoteLineOf(line);
}

bool IsClosingQuoteLine(std::string_view line) {
  return IsClosingQuoteLineOf(line);
}

void SplitCardLine(std::u16string_view line, std::vector<std::u16string>& pieces) {
  SeparatorScan scan;
  ScanSeparators(line, scan);
  SplitCardLine(line, scan, pieces);
}

void SplitCardLine(std::u16string_view line, const SeparatorScan& scan,
                   std::vector<std::u16string>& pieces) {
  if (line.empty()) {
    pieces.clear();
    return;
  }
  const size_t* const cuts = scan.cuts;
  const size_t count = scan.cutCount;
  pieces.resize(count + 1);
  size_t start = 0;
  for (size_t i = 0; i <= count; ++i) {
    const size_t end = i < count ? cuts[i] : line.size();
    std::u16string& piece = pieces[i];
    // Columns are reused card after card; only let go of a very large one.
    if (piece.capacity() > (size_t{1} << 20) && end - start < piece.capacity() / 4) {
      std::u16string().swap(piece);
    }
    piece.assign(line.data() + start, end - start);
    start = end + kSeparator.size();
  }
}

void ThrowTooFewColumns(size_t columns) {
  throw Failure(err::kSubscriptOutOfRange, "Subscript out of range (" + std::to_string(columns) +
                                               " columns where 47 are expected)");
}

void TrimColumnQuotes(std::vector<std::u16string>& columns) {
  if (!columns.empty() && !columns.front().empty() && columns.front().front() == u'"') {
    columns.front().erase(0, 1);
  }
  if (columns.size() < kCardColumns) ThrowTooFewColumns(columns.size());
  std::u16string& last = columns[kCardColumns - 1];
  if (!last.empty() && last.back() == u'"') last.pop_back();
}

}  // namespace tessaly
