#include "storage/text_compression.h"

namespace tessaly::jet {

namespace {

bool IsNarrow(char16_t c) {
  return c < 0x100;
}

// A character whose low byte is zero would read as a mode switch.
bool CanCompress(std::u16string_view text) {
  for (char16_t c : text) {
    if ((c & 0xff) == 0) return false;
  }
  return true;
}

void AppendPlain(std::u16string_view text, uint8_t* out) {
  for (char16_t c : text) {
    *out++ = static_cast<uint8_t>(c);
    *out++ = static_cast<uint8_t>(c >> 8);
  }
}

// Leaving two-byte mode pays off for a run of three narrow characters, or two
// that end the text.
bool WorthNarrowing(std::u16string_view text, size_t i) {
  size_t run = 0;
  while (i + run < text.size() && run < 3 && IsNarrow(text[i + run])) ++run;
  return run >= 3 || (run == 2 && i + run == text.size());
}

}  // namespace

size_t EncodeStoredText(std::u16string_view text, bool compress, uint8_t* out) {
  const size_t plainSize = text.size() * 2;
  if (compress && text.size() > 1) {
    uint8_t* p = out;
    *p++ = 0xff;
    *p++ = 0xfe;
    // Most texts are narrow throughout: one pass, one byte per character.
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned>(text[i]) - 1u < 0xffu) {
      *p++ = static_cast<uint8_t>(text[i++]);
    }
    if (i == text.size() && text.size() > 2) return text.size() + 2;
    if (!CanCompress(text.substr(i))) {
      AppendPlain(text, out);
      return plainSize;
    }
    bool narrow = true;
    for (; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (IsNarrow(c)) {
        if (!narrow && WorthNarrowing(text, i)) {
          *p++ = 0;
          narrow = true;
        }
        if (narrow) {
          *p++ = static_cast<uint8_t>(c);
          continue;
        }
      } else if (narrow) {
        *p++ = 0;
        narrow = false;
      }
      *p++ = static_cast<uint8_t>(c);
      *p++ = static_cast<uint8_t>(c >> 8);
    }
    const auto size = static_cast<size_t>(p - out);
    if (size < plainSize) return size;
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
    text.reserve(size);
    bool narrow = true;
    size_t i = 2;
    while (i < size) {
      if (data[i] == 0) {
        narrow = !narrow;
        ++i;
      } else if (narrow) {
        text.push_back(static_cast<char16_t>(data[i++]));
      } else if (i + 1 < size) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
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
