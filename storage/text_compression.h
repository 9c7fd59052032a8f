#pragma once

// Jet 4 text: UCS-2, optionally in the "unicode compression" form, which starts
// with FF FE and drops the zero high byte of characters below U+0100; a zero byte
// switches between one-byte and two-byte characters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::jet {

// The room EncodeStoredText may use for a text of this many characters.
inline size_t MaxStoredTextSize(size_t length) {
  return 2 + 3 * length;
}

// Writes the stored form of text to out: compressed when that is shorter and
// every character can be written in it, else plain UCS-2. Returns the byte count.
// A text starting with U+FEFF is compressed whenever it can be: plain, it would
// start with the compressed form's mark.
size_t EncodeStoredText(std::u16string_view text, bool compress, uint8_t* out);
size_t AppendStoredText(std::u16string_view text, bool compress, std::vector<uint8_t>& out);

// No character of text stops the compressed form: no U+0000, and no wide character
// with a zero low byte.
bool CanStoreCompressed(std::u16string_view text);

// A text that starts with U+FEFF and cannot be compressed: no stored form of it
// reads back as it is.
inline bool StoredTextIsAmbiguous(std::u16string_view text) {
  return !text.empty() && text.front() == 0xfeff && !CanStoreCompressed(text);
}

// Reads either stored form back.
std::u16string DecodeStoredText(const uint8_t* data, size_t size);

}  // namespace tessaly::jet
