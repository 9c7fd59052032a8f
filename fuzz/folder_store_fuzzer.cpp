// The folder store file: anything not a well-formed store is refused with its place,
// never a crash or another kind of failure.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "outlook/folder_store.h"
#include "platform/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  try {
    tessaly::json::Parse(document);
  } catch (const tessaly::json::ParseError&) {
  }
  try {
    tessaly::outlook::ParseFolderStore(document);
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
