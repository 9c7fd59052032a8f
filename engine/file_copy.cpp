#include "engine/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/failure.h"
#include "platform/file_failure.h"

namespace tessaly {

namespace {

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

// The new file until it has been renamed into place.
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

void WriteAll(int fd, const char* data, size_t size, const std::string& shownPath) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
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
    const ssize_t n = ::copy_file_range(source, nullptr, out, nullptr, size_t{1} << 30, 0);
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

}  // namespace

void ReplaceFileWithCopy(const std::string& from, const std::string& to) {
  Fd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.get() < 0) throw FileFailure(errno, from);

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
  // A file a plain copy could not write is not replaced either (the mode bits
  // count too, since root may write anything).
  if (exists && ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                 ::access(target.c_str(), W_OK) != 0)) {
    throw FileFailure(EACCES, to);
  }

  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  static std::atomic<unsigned> counter{0};
  PartFile part;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    part.Set((slash == std::string::npos ? "" : folder) + "." + base + ".tessaly-" +
             std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part");
    fd = ::open(part.path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int e = errno;
      part.Keep();  // not ours
      if (e != EEXIST || attempt > 100) throw FileFailure(e, to, err::kPathNotFound);
    }
  }
  Fd out(fd);
  // Keep the access rights of the file being replaced.
  if (exists) (void)::fchmod(out.get(), existing.st_mode & 07777);

  CopyContents(source.get(), out.get(), from, to);
  if (::fsync(out.get()) != 0) throw FileFailure(errno, to);
  if (::close(out.Release()) != 0) throw FileFailure(errno, to);
  if (::rename(part.path().c_str(), target.c_str()) != 0) throw FileFailure(errno, to);
  part.Keep();

  // Make the rename itself durable; a failure here no longer endangers any file.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) (void)::fsync(dir.get());
}

}  // namespace tessaly
