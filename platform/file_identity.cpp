#include "platform/file_identity.h"

#include <sys/stat.h>

namespace tessaly {

namespace {
FileIdentity FromStat(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}
}  // namespace

std::optional<FileIdentity> IdentityAt(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return FromStat(st);
}

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return FromStat(st);
}

}  // namespace tessaly
