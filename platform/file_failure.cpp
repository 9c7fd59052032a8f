#include "platform/file_failure.h"

#include <cerrno>
#include <system_error>

namespace tessaly {

Failure FileFailure(int errnum, const std::string& path, int32_t notFound) {
  int32_t number = err::kPathFileAccess;
  std::string text;
  switch (errnum) {
    case ENOENT:
      number = notFound;
      text = notFound == err::kFileNotFound ? "File not found" : "Path not found";
      break;
    case ENOTDIR:
      number = err::kPathNotFound;
      text = "Path not found";
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = err::kPermissionDenied;
      text = "Permission denied";
      break;
    case EBUSY:
      number = err::kPermissionDenied;
      text = "Permission denied (in use by another program)";
      break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      number = err::kDiskFull;
      text = "Disk full";
      break;
    case EIO:
      number = err::kDeviceIo;
      text = "Device I/O error";
      break;
    case EISDIR:
      text = "Path/File access error (is a folder)";
      break;
    default:
      text = "Path/File access error (" + SystemErrorText(errnum) + ")";
      break;
  }
  return Failure(number, text + ": " + path);
}

std::string FileKindText(FileKind kind) {
  switch (kind) {
    case FileKind::kFolder:
      return "a folder";
    case FileKind::kDevice:
      return "a device";
    case FileKind::kFifo:
#ifdef _WIN32
      return "a pipe";
#else
      return "a FIFO";
#endif
    case FileKind::kSocket:
      return "a socket";
    case FileKind::kSystemFile:
      return "a system file of /proc or /sys";
    default:
      return "";
  }
}

Failure NotRegularFileFailure(FileKind kind, const std::string& path) {
  const std::string what = FileKindText(kind);
  return Failure(err::kPathFileAccess, "Path/File access error (not a regular file" +
                                           (what.empty() ? "" : ": " + what) + "): " + path);
}

std::string SystemErrorText(int errnum) {
  return std::generic_category().message(errnum);
}

}  // namespace tessaly
