// The folder store file: anything not a well-formed store is refused with its place,
// in valid UTF-8, never a crash or another kind of failure.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "outlook/folder_store.h"
#include "storage/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  try {
    tessaly::outlook::ParseFolderStore(document);
  } catch (const std::invalid_argument& e) {
    const std::string what = e.what();
    FUZZ_CHECK(tessaly::jet::Utf16ToUtf8(tessaly::jet::Utf8ToUtf16(what)) == what);
  }
  return 0;
}
