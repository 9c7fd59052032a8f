#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "platform/file.h"
#include "platform/win32.h"

namespace tessaly {

namespace {

using win32::LastErrno;
using win32::Wide;

HANDLE AsHandle(void* handle) {
  return static_cast<HANDLE>(handle);
}

// ReadFile and WriteFile take 32-bit sizes.
constexpr size_t kMaxTransfer = size_t{1} << 30;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// At offset when given, else where the file stands. The end of a pipe, or a read
// at the end of the file, gives nothing.
int ReadOnce(HANDLE handle, void* data, size_t size, std::optional<uint64_t> offset, size_t& got) {
  got = 0;
  OVERLAPPED at = At(offset.value_or(0));
  DWORD n = 0;
  if (!ReadFile(handle, data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
                offset ? &at : nullptr)) {
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : LastErrno();
  }
  got = n;
  return 0;
}

int WriteAll(HANDLE handle, const void* data, size_t size, std::optional<uint64_t> offset) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    OVERLAPPED at = At(offset.value_or(0));
    DWORD n = 0;
    if (!WriteFile(handle, bytes, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
                   offset ? &at : nullptr)) {
      return LastErrno();
    }
    bytes += n;
    size -= n;
    if (offset) *offset += n;
  }
  return 0;
}

std::optional<FileStatus> StatusOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) {
    // Consoles and pipes have no file information.
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE) return std::nullopt;
    FileStatus status;
    status.kind = type == FILE_TYPE_CHAR ? FileKind::kDevice : FileKind::kFifo;
    status.ownedByUser = true;
    return status;
  }
  FileStatus status;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    status.kind = FileKind::kLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = FileKind::kFolder;
  } else {
    status.kind = GetFileType(handle) == FILE_TYPE_DISK ? FileKind::kRegular : FileKind::kDevice;
  }
  status.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status.identity = {info.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  status.writable = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
  status.ownedByUser = true;
  return status;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE OpenForStatus(const std::string& path, bool followLinks) {
  return CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

File::~File() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) CloseHandle(AsHandle(handle_));
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
  }
  return *this;
}

bool File::IsOpen() const {
  return AsHandle(handle_) != INVALID_HANDLE_VALUE;
}

int File::OpenForReading(const std::string& path, ReadFrom from, FileKind* refused) {
  // Whoever else has the export open may go on writing to it.
  handle_ = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (!IsOpen()) {
    const int error = LastErrno();
    return error == EACCES && IsFolder(path) ? EISDIR : error;
  }
  if (from == ReadFrom::kAnything) return 0;
  // A named pipe, a console or NUL is told apart without reading from it.
  const DWORD type = GetFileType(AsHandle(handle_));
  if (type == FILE_TYPE_DISK) return 0;
  CloseHandle(AsHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)));
  if (refused != nullptr) {
    *refused = type == FILE_TYPE_PIPE   ? FileKind::kFifo
               : type == FILE_TYPE_CHAR ? FileKind::kDevice
                                        : FileKind::kOther;
  }
  return EINVAL;
}

int File::OpenStandardInput() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return EBADF;
  HANDLE own = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), in, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return LastErrno();
  }
  handle_ = own;
  const std::optional<FileStatus> status = StatusOf(own);
  if (status && status->kind == FileKind::kFolder) {
    CloseHandle(AsHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)));
    return EISDIR;
  }
  return 0;
}

int File::CreateNew(const std::string& path, uint32_t /*permissions*/) {
  // Not shared for writing or deleting: nobody changes or removes it while open.
  handle_ = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen() ? 0 : LastErrno();
}

int File::OpenExclusive(const std::string& path) {
  // Shared with nobody: the next open fails with a sharing violation, and the file
  // cannot be deleted or replaced while held.
  handle_ = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen() ? 0 : LastErrno();
}

int File::CreateUnnamed(const std::string& /*folder*/) {
  return ENOTSUP;
}

int File::GiveName(const std::string& /*path*/) {
  return ENOTSUP;
}

int File::Read(void* data, size_t size, size_t& got) {
  return ReadOnce(AsHandle(handle_), data, size, std::nullopt, got);
}

int File::ReadAt(uint64_t offset, void* data, size_t size, size_t& got) {
  return ReadOnce(AsHandle(handle_), data, size, offset, got);
}

int File::Write(const void* data, size_t size) {
  return WriteAll(AsHandle(handle_), data, size, std::nullopt);
}

int File::WriteAt(uint64_t offset, const void* data, size_t size) {
  return WriteAll(AsHandle(handle_), data, size, offset);
}

int File::WriteAt(uint64_t offset, const Piece* pieces, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (const int error = WriteAll(AsHandle(handle_), pieces[i].data, pieces[i].size, offset)) {
      return error;
    }
    offset += pieces[i].size;
  }
  return 0;
}

int File::CopyFrom(File& source) {
  return CopyThroughBuffer(source);
}

int File::CopyRangeFrom(File& source, uint64_t offset, uint64_t size) {
  return CopyRangeThroughBuffer(source, offset, size);
}

int File::SetSize(uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &end, sizeof end)
             ? 0
             : LastErrno();
}

// The folder's rights decide on Windows; the new file inherits them.
int File::SetPermissions(uint32_t /*permissions*/) {
  return 0;
}

int File::Sync() {
  return FlushFileBuffers(AsHandle(handle_)) ? 0 : LastErrno();
}

int File::Close() {
  if (!IsOpen()) return 0;
  return CloseHandle(AsHandle(std::exchange(handle_, INVALID_HANDLE_VALUE))) ? 0 : LastErrno();
}

std::optional<FileStatus> File::Status() const {
  return StatusOf(AsHandle(handle_));
}

std::optional<FileStatus> StatusAt(const std::string& path, bool followLinks, int* error) {
  const Handle handle(OpenForStatus(path, followLinks));
  std::optional<FileStatus> status;
  if (handle.get() != INVALID_HANDLE_VALUE) status = StatusOf(handle.get());
  if (!status && error != nullptr) *error = LastErrno();
  return status;
}

int CheckFolderTakesFiles(const std::string& folder) {
  // Opened asking for the right to add a file, which creates nothing.
  const Handle handle(CreateFileW(Wide(folder.empty() ? "." : folder).c_str(), FILE_ADD_FILE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) return LastErrno();
  // The same right is a file's write access. A synced folder may also carry a
  // reparse point: only the folder attribute counts.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle.get(), &info)) return LastErrno();
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
}

std::string ResolvedPath(const std::string& path) {
  const Handle handle(OpenForStatus(path, true));
  if (handle.get() == INVALID_HANDLE_VALUE) return "";
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(
        handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return "";
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n + 1);
  }
  // The system answers in its long form, \\?\C:\...
  if (buffer.rfind(L"\\\\?\\", 0) == 0 && buffer.size() > 6 && buffer[5] == L':') {
    buffer.erase(0, 4);
  }
  return win32::Utf8(buffer);
}

int RemoveFile(const std::string& path) {
  return DeleteFileW(Wide(path).c_str()) ? 0 : LastErrno();
}

int RenameOver(const std::string& from, const std::string& to) {
  const std::wstring target = Wide(to);
  if (MoveFileExW(Wide(from).c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  const int error = LastErrno();
  if (error != EACCES) return error;
  // A file another program holds open reads as access denied; tell the two apart.
  const Handle probe(CreateFileW(target.c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (probe.get() == INVALID_HANDLE_VALUE && LastErrno() == EBUSY) return EBUSY;
  return error;
}

// MOVEFILE_WRITE_THROUGH has already made the new name durable.
void SyncFolder(const std::string& /*folder*/) {}

uint64_t FreeBytes(const std::string& folder) {
  ULARGE_INTEGER free{};
  return GetDiskFreeSpaceExW(Wide(folder.empty() ? "." : folder).c_str(), &free, nullptr, nullptr)
             ? free.QuadPart
             : 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::wstring pattern = Wide(folder.empty() ? "." : folder);
  if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = win32::Utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

int CurrentProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

bool ProcessMayRun(long pid) {
  const Handle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
  if (process.get() == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wideName = Wide(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(n);
  return win32::Utf8(value);
}

}  // namespace tessaly
