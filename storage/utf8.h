#pragma once

// Names cross the API as UTF-8 and are stored as UTF-16.

#include <string>
#include <string_view>

namespace tessaly::jet {

// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tessaly::jet
