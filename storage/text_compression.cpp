#include "storage/text_compression.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tessaly::jet {

namespace {

bool IsNarrow(char16_t c) {
  return c < 0x100;
}

}  // namespace

// Strict readers switch mode at every zero byte, wherever it falls, so the
// compressed form may hold no zero byte but the switches: no U+0000, and no wide
// character with a zero low byte (U+0100, U+2000, U+4E00...).
bool CanStoreCompressed(std::u16string_view text) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i lowBytes = _mm_set1_epi16(0xff);
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i zeroLow = _mm_cmpeq_epi16(_mm_and_si128(chars, lowBytes), _mm_setzero_si128());
    if (_mm_movemask_epi8(zeroLow) != 0) return false;
  }
#endif
  for (; i < text.size(); ++i) {
    if ((text[i] & 0xff) == 0) return false;
  }
  return true;
}

namespace {

// Writes the leading characters of text that are narrow and not zero, one byte
// each, and returns how many there were.
size_t PackNarrowRun(std::u16string_view text, uint8_t* out) {
  const size_t n = text.size();
  size_t i = 0;
#ifdef __SSE2__
  if (n >= 8) {
    const auto load = [&](size_t at) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    };
    const __m128i one = _mm_set1_epi16(1);
    const __m128i top = _mm_set1_epi16(0xfe);
    const __m128i zero = _mm_setzero_si128();
    // Zero where a character is 1..255: c - 1 wraps U+0000 round to 0xFFFF.
    const auto outside = [&](__m128i c) { return _mm_subs_epu16(_mm_sub_epi16(c, one), top); };
    const auto fits = [&](__m128i outsideBits) {
      return _mm_movemask_epi8(_mm_cmpeq_epi16(outsideBits, zero)) == 0xffff;
    };
    for (; i + 16 <= n; i += 16) {
      const __m128i a = load(i);
      const __m128i b = load(i + 8);
      if (!fits(_mm_or_si128(outside(a), outside(b)))) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
    }
    for (bool whole = true; whole && i < n;) {
      // The last eight may overlap those done: they are written the same.
      const size_t at = std::min(i, n - 8);
      const __m128i a = load(at);
      whole = fits(outside(a));
      if (whole) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + at), _mm_packus_epi16(a, a));
        i = at + 8;
      }
    }
  }
#endif
  for (; i < n && static_cast<unsigned>(text[i]) - 1u < 0xffu; ++i) {
    out[i] = static_cast<uint8_t>(text[i]);
  }
  return i;
}

void AppendPlain(std::u16string_view text, uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, text.data(), text.size() * 2);
    return;
  }
  for (char16_t c : text) {
    *out++ = static_cast<uint8_t>(c);
    *out++ = static_cast<uint8_t>(c >> 8);
  }
}

// The compressed form starts with FF FE, which is U+FEFF written plain.
constexpr char16_t kCompressedMark = 0xfeff;

bool StartsLikeCompressed(std::u16string_view text) {
  return !text.empty() && text.front() == kCompressedMark;
}

}  // namespace

size_t EncodeStoredText(std::u16string_view text, bool compress, uint8_t* out) {
  const size_t plainSize = text.size() * 2;
  // Plain, such a text would start with the compressed form's mark.
  const bool mustCompress = StartsLikeCompressed(text) && CanStoreCompressed(text);
  if ((compress && text.size() > 1) || mustCompress) {
    uint8_t* p = out;
    *p++ = 0xff;
    *p++ = 0xfe;
    // Most texts are narrow throughout: one pass, one byte per character.
    size_t i = PackNarrowRun(text, p);
    p += i;
    if (i == text.size() && (text.size() > 2 || mustCompress)) return text.size() + 2;
    if (!CanStoreCompressed(text.substr(i))) {
      AppendPlain(text, out);
      return plainSize;
    }
    // Runs of each width, a zero byte between them; no character here is zero.
    while (i < text.size()) {
      *p++ = 0;
      for (; i < text.size() && !IsNarrow(text[i]); ++i) {
        *p++ = static_cast<uint8_t>(text[i]);
        *p++ = static_cast<uint8_t>(text[i] >> 8);
      }
      if (i == text.size()) break;
      *p++ = 0;
      const size_t run = PackNarrowRun(text.substr(i), p);
      p += run;
      i += run;
    }
    const auto size = static_cast<size_t>(p - out);
    if (size < plainSize || mustCompress) return size;
  }
  AppendPlain(text, out);
  return plainSize;
}

size_t AppendStoredText(std::u16string_view text, bool compress, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + MaxStoredTextSize(text.size()));
  const size_t size = EncodeStoredText(text, compress, out.data() + start);
  out.resize(start + size);
  return size;
}

std::u16string DecodeStoredText(const uint8_t* data, size_t size) {
  std::u16string text;
  if (size >= 2 && data[0] == 0xff && data[1] == 0xfe) {
    // As the strictest readers do: every zero byte ends a run, wherever it falls,
    // so a text that only lenient readers decode right fails our round trips.
    text.reserve(size);
    bool narrow = true;
    size_t start = 2;
    for (size_t i = 2; i <= size; ++i) {
      if (i < size && data[i] != 0) continue;
      if (narrow) {
        for (size_t k = start; k < i; ++k) text.push_back(static_cast<char16_t>(data[k]));
      } else {
        for (size_t k = start; k + 1 < i; k += 2) {
          text.push_back(static_cast<char16_t>(data[k] | (data[k + 1] << 8)));
        }
      }
      narrow = !narrow;
      start = i + 1;
    }
    return text;
  }
  text.resize(size / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return text;
}

}  // namespace tessaly::jet
