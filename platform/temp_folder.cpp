#include "platform/temp_folder.h"

#include <cerrno>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaly {

#ifdef _WIN32

std::string UserTempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) {
    throw Failure(err::kPathNotFound, "Path not found: the temporary folder");
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string folder(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), folder.data(), size, nullptr,
                      nullptr);
  return folder;
}

TempFileLock::TempFileLock(const std::string& path) : path_(path) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
  // No sharing: a second process cannot open the lock file while we hold it.
  handle_ = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    throw Failure(err::kPermissionDenied,
                  "The temporary database is in use by another Tessaly process: " + path);
  }
}

TempFileLock::~TempFileLock() {
  CloseHandle(handle_);
}

// Windows does not let a file opened without sharing be deleted or replaced.
bool TempFileLock::Holds() const {
  return true;
}

#else

std::string UserTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string base = (env != nullptr && env[0] != '\0') ? env : "/tmp";
  if (base.back() != '/') base += '/';
  const std::string folder = base + "tessaly-" + std::to_string(geteuid());

  if (const int fault = seam::Fault(seam::FileOp::kTempFolder)) {
    throw FileFailure(fault, folder, err::kPathNotFound);
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw FileFailure(errno, folder, err::kPathNotFound);
  }
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0) throw FileFailure(errno, folder, err::kPathNotFound);
  if (S_ISLNK(st.st_mode)) {
    throw Failure(err::kPathFileAccess,
                  "Temporary folder refused, it is a symbolic link: " + folder);
  }
  if (!S_ISDIR(st.st_mode)) {
    throw Failure(err::kPathFileAccess, "Temporary folder refused, it is not a folder: " + folder);
  }
  if (st.st_uid != geteuid()) {
    throw Failure(err::kPermissionDenied,
                  "Temporary folder refused, it belongs to another user: " + folder);
  }
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
    throw FileFailure(errno, folder, err::kPathNotFound);
  }
  return folder + '/';
}

TempFileLock::TempFileLock(const std::string& path) : path_(path) {
  if (const int fault = seam::Fault(seam::FileOp::kLockOpen)) {
    throw FileFailure(fault, path, err::kPathNotFound);
  }
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) throw FileFailure(errno, path, err::kPathNotFound);
  const std::optional<FileIdentity> identity = IdentityOf(fd_);
  if (!identity) {
    const int e = errno;
    close(fd_);
    throw FileFailure(e, path, err::kPathNotFound);
  }
  identity_ = *identity;
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(fd_);
    throw Failure(err::kPermissionDenied,
                  "The temporary database is in use by another Tessaly process: " + path);
  }
  // Any other error: the file system cannot lock, and the run goes on unguarded.
}

TempFileLock::~TempFileLock() {
  close(fd_);
}

bool TempFileLock::Holds() const {
  const std::optional<FileIdentity> now = IdentityAt(path_);
  return now && *now == identity_;
}

#endif

}  // namespace tessaly
