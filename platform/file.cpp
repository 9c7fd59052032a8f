#include "platform/file.h"

#include <memory>

namespace tessaly {

int File::CopyThroughBuffer(File& source) {
  constexpr size_t kChunk = size_t{1} << 20;
  const std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kChunk);
  for (;;) {
    size_t got = 0;
    if (const int error = source.Read(buffer.get(), kChunk, got)) return error;
    if (got == 0) return 0;
    if (const int error = Write(buffer.get(), got)) return error;
  }
}

}  // namespace tessaly
