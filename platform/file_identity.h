#pragma once

// Which file a name or a handle stands for: its device and inode.

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Of what is at path (a link itself, not followed), or nothing when absent.
std::optional<FileIdentity> IdentityAt(const std::string& path);
std::optional<FileIdentity> IdentityOf(int fd);

}  // namespace tessaly
