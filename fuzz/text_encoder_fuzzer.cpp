// Stored text round trips, also through a reader that switches between one-byte and
// two-byte characters at every zero byte, as some readers of the format do.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "storage/text_compression.h"

namespace {

// Nothing when the bytes cannot be read this way.
std::optional<std::u16string> DecodeScanningBytes(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  if (bytes.size() < 2 || bytes[0] != 0xff || bytes[1] != 0xfe) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    for (size_t i = 0; i < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
  }
  bool narrow = true;
  std::optional<uint8_t> low;  // first byte of a two-byte character
  for (size_t i = 2; i < bytes.size(); ++i) {
    const uint8_t b = bytes[i];
    if (b == 0) {
      if (low) return std::nullopt;  // a character cut by a mode switch
      narrow = !narrow;
    } else if (narrow) {
      text.push_back(b);
    } else if (low) {
      text.push_back(static_cast<char16_t>(*low | (b << 8)));
      low.reset();
    } else {
      low = b;
    }
  }
  if (low) return std::nullopt;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaly::jet;
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  for (const bool compress : {true, false}) {
    std::vector<uint8_t> stored;
    const size_t written = AppendStoredText(text, compress, stored);
    FUZZ_CHECK(written == stored.size() && written <= MaxStoredTextSize(text.size()));
    // Plain, a text starting with U+FEFF would read as compressed: it is compressed
    // even when longer, and refused by the engine when it cannot be.
    const bool startsWithMark = !text.empty() && text[0] == u'\ufeff';
    FUZZ_CHECK(written <= 2 * text.size() || startsWithMark);
    if (StoredTextIsAmbiguous(text)) continue;
    FUZZ_CHECK(DecodeStoredText(stored.data(), stored.size()) == text);
    FUZZ_CHECK(DecodeScanningBytes(stored) == text);
  }
  return 0;
}
