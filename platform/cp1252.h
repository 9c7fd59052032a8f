#pragma once

// Windows-1252, the ANSI code page of the card export, decoded to UTF-16.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

// The UTF-16 unit of every byte. The five bytes Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so every
// byte survives.
extern const std::array<char16_t, 256> kCp1252ToUtf16;

inline char16_t DecodeCp1252(unsigned char byte) {
  return kCp1252ToUtf16[byte];
}

// Decodes count bytes into out[0, count).
void DecodeCp1252(const char* bytes, size_t count, char16_t* out);

// Appends the decoded bytes to `out`.
void AppendCp1252(std::u16string& out, const char* bytes, size_t count);

// The same, as a new string.
std::u16string DecodeCp1252(std::string_view bytes);

}  // namespace tessaly
