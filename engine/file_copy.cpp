#include "engine/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/failure.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

namespace tessaly {

namespace {

using seam::FileOp;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// The new file while it has a name and is not yet in place.
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

class PartFile {
 public:
  ~PartFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  void Set(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

constexpr const char* kPartMark = ".tessaly-";
constexpr const char* kPartEnd = ".part";

// True, with errno set, when a test planned a failure of this operation.
bool Faulted(FileOp op) {
  const int fault = seam::Fault(op);
  if (fault != 0) errno = fault;
  return fault != 0;
}

void WriteAll(int fd, const char* data, size_t size, const std::string& shownPath) {
  while (size > 0) {
    const ssize_t n = Faulted(FileOp::kCopyData) ? -1 : ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileFailure(errno, shownPath);
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void CopyContents(int source, int out, const std::string& from, const std::string& to) {
#ifdef __linux__
  // The kernel copies without a round trip through this process.
  for (;;) {
    const ssize_t n = Faulted(FileOp::kCopyData)
                          ? -1
                          : ::copy_file_range(source, nullptr, out, nullptr, size_t{1} << 30, 0);
    if (n > 0) continue;
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      throw FileFailure(errno, to);
    }
    break;  // not supported here: copy through a buffer, from where it stands
  }
#endif
  constexpr size_t kChunk = size_t{1} << 20;
  std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kChunk);
  for (;;) {
    const ssize_t n = ::read(source, buffer.get(), kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileFailure(errno, from);
    }
    if (n == 0) return;
    WriteAll(out, buffer.get(), static_cast<size_t>(n), to);
  }
}

const char* KindOf(mode_t mode) {
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Copies named "." + base + ".tessaly-<pid>-<n>.part" that a killed process left
// behind; those of running processes are theirs to finish.
void RemoveLeftovers(const std::string& folder, const std::string& base) {
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return;
  const std::string prefix = "." + base + kPartMark;
  const std::string suffix = kPartEnd;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
      continue;
    }
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos ||
        middle.find_first_not_of("0123456789-") != std::string::npos) {
      continue;
    }
    const long pid = std::strtol(middle.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid > INT_MAX || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
      continue;
    }
    const std::string path = folder + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
      ::unlink(path.c_str());
    }
  }
}

// Gives the unnamed file at fd the name `path`.
bool LinkUnnamed(int fd, const std::string& path) {
  if (Faulted(FileOp::kCopyLink)) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

void ReplaceFileWithCopy(const std::string& from, const std::string& to,
                         std::optional<FileIdentity> source) {
  Fd in(Faulted(FileOp::kCopyOpen) ? -1 : ::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw FileFailure(errno, from);
  if (source && IdentityOf(in.get()) != source) {
    throw Failure(err::kPathFileAccess,
                  "The temporary database " + from +
                      " was replaced by another program after this conversion wrote it; "
                      "nothing was saved. Convert the export again.");
  }

  // A link at the destination is followed, so the file it names is the one replaced.
  std::string target = to;
  struct stat existing {};
  bool exists = ::lstat(to.c_str(), &existing) == 0;
  if (exists && S_ISLNK(existing.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(to.c_str(), nullptr),
                                                         &std::free);
    if (resolved) {
      target = resolved.get();
      exists = ::stat(target.c_str(), &existing) == 0;
    } else {
      exists = false;
    }
  }
  if (exists && S_ISDIR(existing.st_mode)) throw FileFailure(EISDIR, to);
  // Renaming over a device node or a FIFO would delete it, not write to it.
  if (exists && !S_ISREG(existing.st_mode)) {
    throw Failure(err::kPathFileAccess, std::string("Path/File access error (") +
                                            KindOf(existing.st_mode) +
                                            ", only a file is replaced): " + to);
  }
  // A file a plain copy could not write is not replaced either (the mode bits
  // count too, since root may write anything).
  if (exists && ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                 ::access(target.c_str(), W_OK) != 0)) {
    throw FileFailure(EACCES, to);
  }

  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveLeftovers(folder.empty() ? "./" : folder, base);
  static std::atomic<unsigned> counter{0};
  auto partName = [&] {
    return folder + "." + base + kPartMark + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + kPartEnd;
  };

  PartFile part;
  // Unnamed until complete, so a kill leaves nothing behind. Naming it later goes
  // through /proc; without it the copy is named from the start.
  const bool canName = ::access("/proc/self/fd", X_OK) == 0;
  int fd = Faulted(FileOp::kCopyOpen) || !canName ? -1
                                                  : ::open(folder.empty() ? "." : folder.c_str(),
                                                           O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  const bool unnamed = fd >= 0;
  for (int attempt = 0; fd < 0; ++attempt) {
    part.Set(partName());
    fd = Faulted(FileOp::kCopyOpen)
             ? -1
             : ::open(part.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int e = errno;
      part.Keep();  // not ours
      if (e != EEXIST || attempt > 100) throw FileFailure(e, to, err::kPathNotFound);
    }
  }
  Fd out(fd);
  // Keep the access rights of the file being replaced.
  if (exists) (void)::fchmod(out.get(), existing.st_mode & 07777);

  CopyContents(in.get(), out.get(), from, to);
  if (Faulted(FileOp::kCopyFlush) || ::fsync(out.get()) != 0) throw FileFailure(errno, to);
  if (unnamed) {
    for (int attempt = 0;; ++attempt) {
      part.Set(partName());
      if (LinkUnnamed(out.get(), part.path())) break;
      const int e = errno;
      part.Keep();
      if (e != EEXIST || attempt > 100) throw FileFailure(e, to, err::kPathNotFound);
    }
  }
  if (Faulted(FileOp::kCopyClose)) {
    const int e = errno;
    ::close(out.Release());
    throw FileFailure(e, to);
  }
  if (::close(out.Release()) != 0) throw FileFailure(errno, to);
  if (Faulted(FileOp::kRename) || ::rename(part.path().c_str(), target.c_str()) != 0) {
    throw FileFailure(errno, to);
  }
  part.Keep();

  // Make the rename itself durable; a failure here no longer endangers any file.
  Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) (void)::fsync(dir.get());
}

}  // namespace tessaly
