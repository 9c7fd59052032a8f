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

bool FileExists(const std::string& path) {
  // A link counts as a file, so a stale one at a name about to be reused is cleared too.
  const std::optional<FileStatus> status = StatusAt(path);
  return status && (status->kind == FileKind::kRegular || status->kind == FileKind::kLink);
}

}  // namespace tessaly
