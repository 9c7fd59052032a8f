#include "platform/file.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace tessaly {

namespace {
constexpr size_t kChunk = size_t{1} << 20;
}  // namespace

int File::CopyThroughBuffer(File& source) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    size_t got = 0;
    if (const int error = source.Read(buffer.get(), kChunk, got)) return error;
    if (got == 0) return 0;
    if (const int error = Write(buffer.get(), got)) return error;
  }
}

int File::CopyRangeThroughBuffer(File& source, uint64_t offset, uint64_t size) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  while (size > 0) {
    size_t got = 0;
    const auto want = static_cast<size_t>(std::min<uint64_t>(size, kChunk));
    if (const int error = source.ReadAt(offset, buffer.get(), want, got)) return error;
    if (got == 0) return EIO;
    if (const int error = WriteAt(offset, buffer.get(), got)) return error;
    offset += got;
    size -= got;
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of(kPathSeparators);
  return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

std::string NameOf(const std::string& path) {
  return path.substr(FolderOf(path).size());
}

bool FileExists(const std::string& path) {
  // A link counts as a file, so a stale one at a name about to be reused is cleared too.
  const std::optional<FileStatus> status = StatusAt(path);
  return status && (status->kind == FileKind::kRegular || status->kind == FileKind::kLink);
}

}  // namespace tessaly
