#include "platform/temp_folder.h"

#include <cerrno>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
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
  const std::string folder = win32::Utf8(std::wstring(buffer, n));
  if (const int fault = seam::Fault(seam::FileOp::kTempFolder)) {
    throw FileFailure(fault, folder, err::kPathNotFound);
  }
  // The system names the folder whether or not it exists.
  int error = 0;
  const std::optional<FileStatus> status = StatusAt(folder, true, &error);
  if (!status) throw FileFailure(error, folder, err::kPathNotFound);
  if (status->kind != FileKind::kFolder) {
    throw Failure(err::kPathFileAccess, "Temporary folder refused, it is not a folder: " + folder);
  }
  return folder;
}

#else

std::string UserTempFolder() {
  const std::optional<std::string> env = EnvironmentVariable("TMPDIR");
  std::string base = env && !env->empty() ? *env : "/tmp";
  if (base.back() != '/') base += '/';
  const std::string folder = base + "tessaly-" + std::to_string(geteuid());

  if (const int fault = seam::Fault(seam::FileOp::kTempFolder)) {
    throw FileFailure(fault, folder, err::kPathNotFound);
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw FileFailure(errno, folder, err::kPathNotFound);
  }
  int error = 0;
  const std::optional<FileStatus> status = StatusAt(folder, false, &error);
  if (!status) throw FileFailure(error, folder, err::kPathNotFound);
  if (status->kind == FileKind::kLink) {
    throw Failure(err::kPathFileAccess,
                  "Temporary folder refused, it is a symbolic link: " + folder);
  }
  if (status->kind != FileKind::kFolder) {
    throw Failure(err::kPathFileAccess, "Temporary folder refused, it is not a folder: " + folder);
  }
  if (!status->ownedByUser) {
    throw Failure(err::kPermissionDenied,
                  "Temporary folder refused, it belongs to another user: " + folder);
  }
  if ((status->permissions & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
    throw FileFailure(errno, folder, err::kPathNotFound);
  }
  return folder + '/';
}

#endif

TempFileLock::TempFileLock(const std::string& path) : path_(path) {
  const int error =
      seam::Attempt(seam::FileOp::kLockOpen, [&] { return file_.OpenExclusive(path); });
  // Only a lock held elsewhere means another Tessaly; a missing or unwritable folder
  // is told as what it is.
  if (error == EBUSY) {
    throw Failure(err::kPermissionDenied,
                  "The temporary database is in use by another Tessaly process: " + path);
  }
  if (error != 0) throw FileFailure(error, path, err::kPathNotFound);
  const std::optional<FileStatus> status = file_.Status();
  if (!status) throw FileFailure(errno, path, err::kPathNotFound);
  identity_ = status->identity;
}

bool TempFileLock::Holds() const {
  const std::optional<FileStatus> now = StatusAt(path_);
  return now && now->identity == identity_;
}

}  // namespace tessaly
