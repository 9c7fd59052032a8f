#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#ifdef __linux__
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#endif

#include "platform/file.h"

namespace tessaly {

namespace {

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  if (S_ISFIFO(mode)) return FileKind::kFifo;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  return FileKind::kOther;
}

FileStatus FromStat(const struct stat& st) {
  FileStatus status;
  status.kind = KindOf(st.st_mode);
  status.size = static_cast<uint64_t>(st.st_size);
  status.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  status.permissions = static_cast<uint32_t>(st.st_mode & 07777);
  status.ownedByUser = st.st_uid == ::geteuid();
  status.writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  return status;
}

int ErrorOr(bool ok) {
  return ok ? 0 : errno;
}

#ifdef __linux__
// File systems whose files the kernel makes up as they are read: their sizes say
// nothing, and some change or never end while read.
bool OnSystemFileSystem(int fd) {
  constexpr unsigned long kConfigFsMagic = 0x62656570;  // not in <linux/magic.h>
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
    case PSTOREFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case NSFS_MAGIC:
    case BINFMTFS_MAGIC:
    case kConfigFsMagic:
      return true;
    default:
      return false;
  }
}
#else
bool OnSystemFileSystem(int /*fd*/) {
  return false;
}
#endif

// EINVAL with the kind for anything a regular-file-only open refuses; a folder is
// EISDIR, as for any open.
int Refuse(FileKind kind, FileKind* refused) {
  if (kind == FileKind::kFolder) return EISDIR;
  if (refused != nullptr) *refused = kind;
  return EINVAL;
}

// A folder opens for reading on POSIX but cannot be read: EISDIR, and fd closed.
int RefuseFolder(int& fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
  ::close(std::exchange(fd, -1));
  return EISDIR;
}

// At offset when given, else where the file stands; a signal does not end either.
int ReadOnce(int fd, void* data, size_t size, std::optional<uint64_t> offset, size_t& got) {
  got = 0;
  for (;;) {
    const ssize_t n =
        offset ? ::pread(fd, data, size, static_cast<off_t>(*offset)) : ::read(fd, data, size);
    if (n >= 0) {
      got = static_cast<size_t>(n);
      return 0;
    }
    if (errno == EINTR) continue;
    // A standard input another program made non-blocking (the flag belongs to the
    // pipe, shared with it): waited on here instead.
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd ready{fd, POLLIN, 0};
      if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return errno;
  }
}

int WriteAll(int fd, const void* data, size_t size, std::optional<uint64_t> offset) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n =
        offset ? ::pwrite(fd, bytes, size, static_cast<off_t>(*offset)) : ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
    if (offset) *offset += static_cast<uint64_t>(n);
  }
  return 0;
}

}  // namespace

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool File::IsOpen() const {
  return fd_ >= 0;
}

int File::OpenForReading(const std::string& path, ReadFrom from, FileKind* refused) {
  if (from == ReadFrom::kAnything) {
    // A terminal read from must not become the controlling one.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return fd_ >= 0 ? RefuseFolder(fd_) : errno;
  }
  // Told by its name where it can be: opening a device may act (a tape rewinds).
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    return Refuse(KindOf(st.st_mode), refused);
  }
  // Non-blocking, so that a FIFO put there meanwhile is not waited on either.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return errno == EWOULDBLOCK ? EBUSY : errno;  // a lease another program holds
  int error = 0;
  if (::fstat(fd_, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = Refuse(KindOf(st.st_mode), refused);
  } else if (OnSystemFileSystem(fd_)) {
    error = Refuse(FileKind::kSystemFile, refused);
  } else {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error != 0) ::close(std::exchange(fd_, -1));
  return error;
}

int File::OpenStandardInput() {
  fd_ = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  return fd_ >= 0 ? RefuseFolder(fd_) : errno;
}

int File::CreateNew(const std::string& path, uint32_t permissions) {
  // O_EXCL with O_CREAT refuses any existing name, a dangling symbolic link too.
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               static_cast<mode_t>(permissions));
  return fd_ >= 0 ? 0 : errno == ELOOP ? EEXIST : errno;
}

int File::OpenExclusive(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return errno;
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(std::exchange(fd_, -1));
    return EBUSY;
  }
  return 0;
}

int File::CreateUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
  // Naming it later goes through /proc.
  if (::access("/proc/self/fd", X_OK) != 0) return ENOTSUP;
  fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  return fd_ >= 0 ? 0 : ENOTSUP;
#else
  (void)folder;
  return ENOTSUP;
#endif
}

int File::GiveName(const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return ErrorOr(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0);
}

int File::Read(void* data, size_t size, size_t& got) {
  return ReadOnce(fd_, data, size, std::nullopt, got);
}

int File::ReadAt(uint64_t offset, void* data, size_t size, size_t& got) {
  return ReadOnce(fd_, data, size, offset, got);
}

int File::Write(const void* data, size_t size) {
  return WriteAll(fd_, data, size, std::nullopt);
}

int File::WriteAt(uint64_t offset, const void* data, size_t size) {
  return WriteAll(fd_, data, size, offset);
}

int File::WriteAt(uint64_t offset, const Piece* pieces, size_t count) {
  constexpr size_t kMaxPieces = 64;  // well under any system's IOV_MAX
  size_t done = 0;                   // of pieces[0], once cut short
  while (count > 0) {
    iovec vectors[kMaxPieces];
    const size_t n = std::min(count, kMaxPieces);
    for (size_t i = 0; i < n; ++i) {
      const size_t skip = i == 0 ? done : 0;
      vectors[i] = {const_cast<char*>(static_cast<const char*>(pieces[i].data)) + skip,
                    pieces[i].size - skip};
    }
    ssize_t written = ::pwritev(fd_, vectors, static_cast<int>(n), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    offset += static_cast<uint64_t>(written);
    while (written > 0) {
      const size_t left = pieces->size - done;
      if (static_cast<size_t>(written) < left) {
        done += static_cast<size_t>(written);
        break;
      }
      written -= static_cast<ssize_t>(left);
      done = 0;
      ++pieces;
      --count;
    }
  }
  return 0;
}

#ifdef __linux__
// The kernel copy is not to be had between these files: copy through a buffer.
bool KernelCopyUnavailable(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}
#endif

int File::CopyFrom(File& source) {
#ifdef __linux__
  // A clone shares the blocks (btrfs, XFS); the kernel copy avoids a round trip
  // through this process. Each falls back when the file system cannot.
  if (::ioctl(fd_, FICLONE, source.fd_) == 0) return 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, size_t{1} << 30, 0);
    if (n > 0) continue;
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if (!KernelCopyUnavailable(errno)) return errno;
    break;  // through a buffer, from where it stands
  }
#endif
  return CopyThroughBuffer(source);
}

int File::CopyRangeFrom(File& source, uint64_t offset, uint64_t size) {
#ifdef __linux__
  auto from = static_cast<off_t>(offset);
  auto to = static_cast<off_t>(offset);
  while (size > 0) {
    const ssize_t n = ::copy_file_range(source.fd_, &from, fd_, &to,
                                        static_cast<size_t>(std::min<uint64_t>(size, 1u << 30)), 0);
    if (n > 0) {
      size -= static_cast<uint64_t>(n);
      continue;
    }
    if (n == 0) return EIO;
    if (errno == EINTR) continue;
    if (!KernelCopyUnavailable(errno)) return errno;
    return CopyRangeThroughBuffer(source, static_cast<uint64_t>(from), size);
  }
  return 0;
#else
  return CopyRangeThroughBuffer(source, offset, size);
#endif
}

int File::SetSize(uint64_t size) {
  for (;;) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

int File::SetPermissions(uint32_t permissions) {
  return ErrorOr(::fchmod(fd_, static_cast<mode_t>(permissions)) == 0);
}

int File::Sync() {
  return ErrorOr(::fsync(fd_) == 0);
}

int File::Close() {
  if (fd_ < 0) return 0;
  // The descriptor is gone whatever close says; retrying could close another one.
  return ErrorOr(::close(std::exchange(fd_, -1)) == 0);
}

std::optional<FileStatus> File::Status() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return FromStat(st);
}

std::optional<FileStatus> StatusAt(const std::string& path, bool followLinks, int* error) {
  struct stat st {};
  const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (rc != 0) {
    if (error != nullptr) *error = errno;
    return std::nullopt;
  }
  FileStatus status = FromStat(st);
  // Root may write anything; what counts is whether a plain write would go through.
  status.writable = status.writable && ::access(path.c_str(), W_OK) == 0;
  return status;
}

int CheckFolderTakesFiles(const std::string& folder) {
  const char* at = folder.empty() ? "." : folder.c_str();
  struct stat st {};
  if (::stat(at, &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  // As creating a file there would meet it: the effective user's rights, a
  // read-only mount (EROFS).
  return ErrorOr(::faccessat(AT_FDCWD, at, W_OK | X_OK, AT_EACCESS) == 0);
}

std::string ResolvedPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
  return resolved ? resolved.get() : "";
}

int RemoveFile(const std::string& path) {
  return ErrorOr(::unlink(path.c_str()) == 0);
}

int RenameOver(const std::string& from, const std::string& to) {
  return ErrorOr(::rename(from.c_str(), to.c_str()) == 0);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

uint64_t FreeBytes(const std::string& folder) {
  struct statvfs fs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return 0;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

int CurrentProcessId() {
  return static_cast<int>(::getpid());
}

bool ProcessMayRun(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace tessaly
