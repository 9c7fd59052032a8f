#pragma once

// Files as the converter uses them, the same on POSIX and Windows: paths are
// UTF-8 (wide-character calls on Windows), files are always binary, and errors come
// back as errno values (Windows codes mapped to them) so that one table turns them
// into the user's messages. EBUSY means another program holds the file open.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// What may end a folder's name in a path.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// Which file a name or a handle stands for.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

enum class FileKind {
  kRegular,
  kFolder,
  kLink,
  kDevice,
  kFifo,  // a named or unnamed pipe
  kSocket,
  // A file the system makes up as it is read (/proc, /sys): regular by its mode,
  // told apart only by File::OpenForReading.
  kSystemFile,
  kOther
};

// What File::OpenForReading accepts.
enum class ReadFrom {
  kAnything,     // whatever opens for reading: a pipe or a device too; a FIFO waits for a writer
  kRegularFile,  // a regular file on disk only; anything else is refused, never waited on
};

struct FileStatus {
  FileKind kind = FileKind::kOther;
  uint64_t size = 0;
  FileIdentity identity;
  // Write permission: a mode bit for someone and access for us on POSIX, no
  // read-only attribute on Windows.
  bool writable = false;
  // Only this user may have made it (always true on Windows, where the folder
  // rights decide).
  bool ownedByUser = false;
  uint32_t permissions = 0;  // POSIX mode bits; 0 on Windows
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens for sequential and positioned reads. A folder fails with EISDIR. With
  // ReadFrom::kRegularFile anything else fails at once with EINVAL, and what it is
  // goes to *refused when given (left alone on any other failure); a link to a
  // regular file is followed.
  int OpenForReading(const std::string& path, ReadFrom from = ReadFrom::kAnything,
                     FileKind* refused = nullptr);
  // The program's standard input, as it is (no text mode), on a handle of its own:
  // closing it leaves the standard input open. A folder fails with EISDIR.
  int OpenStandardInput();
  // Creates path for reading and writing, refusing with EEXIST anything there, a
  // symbolic link included.
  int CreateNew(const std::string& path, uint32_t permissions = 0644);
  // A file in folder that has no name until GiveName, so that a killed process
  // leaves nothing behind. ENOTSUP where the system has no such files.
  int CreateUnnamed(const std::string& folder);
  int GiveName(const std::string& path);

  // Opens or creates path and holds it against every other process doing the
  // same: EBUSY while another holds it. Where the file system cannot lock, the file
  // is opened unguarded.
  int OpenExclusive(const std::string& path);

  bool IsOpen() const;
  // got is 0 at the end of the file.
  int Read(void* data, size_t size, size_t& got);
  int ReadAt(uint64_t offset, void* data, size_t size, size_t& got);
  // All of data, or an error.
  int Write(const void* data, size_t size);
  int WriteAt(uint64_t offset, const void* data, size_t size);
  // The pieces one after the other from offset on, all of them or an error.
  struct Piece {
    const void* data;
    size_t size;
  };
  int WriteAt(uint64_t offset, const Piece* pieces, size_t count);
  // Appends the rest of source, sharing its blocks where the file system can.
  int CopyFrom(File& source);
  // Copies size bytes at offset in source to the same offset here; fails with EIO
  // when source ends before them.
  int CopyRangeFrom(File& source, uint64_t offset, uint64_t size);
  // Cuts or extends (with zeros) the file to size bytes.
  int SetSize(uint64_t size);
  int SetPermissions(uint32_t permissions);
  // To the disk, not just to the system.
  int Sync();
  int Close();
  std::optional<FileStatus> Status() const;

 private:
  int CopyThroughBuffer(File& source);
  int CopyRangeThroughBuffer(File& source, uint64_t offset, uint64_t size);

#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};

// Of what is at path; a link itself unless followLinks. Nothing when absent, with
// the reason in *error when given.
std::optional<FileStatus> StatusAt(const std::string& path, bool followLinks = false,
                                   int* error = nullptr);
// The folder part of path with its last separator, or "" for a bare name.
std::string FolderOf(const std::string& path);
// The rest: the name of the file itself.
std::string NameOf(const std::string& path);
// 0 when this user may create files in folder ("" is the current folder); else
// ENOENT (missing), ENOTDIR (not a folder), EACCES or EROFS. Writes nothing.
int CheckFolderTakesFiles(const std::string& folder);
// A file, or a link, is at path; never fails.
bool FileExists(const std::string& path);
// The path with every link resolved, or empty.
std::string ResolvedPath(const std::string& path);
int RemoveFile(const std::string& path);
// Puts `from` in place of `to` in one step, replacing a file there; on disk when it
// returns 0. A `to` held open by another program fails with EBUSY.
int RenameOver(const std::string& from, const std::string& to);
// Makes the names in folder durable; failures are ignored.
void SyncFolder(const std::string& folder);
// Bytes free for this user on the file system of folder; 0 when unknown.
uint64_t FreeBytes(const std::string& folder);
// Names of the entries in folder, "." and ".." left out; empty when unreadable.
std::vector<std::string> FolderEntries(const std::string& folder);

int CurrentProcessId();
// False only when no process has that number any more.
bool ProcessMayRun(long pid);

// The environment variable as UTF-8, or nothing.
std::optional<std::string> EnvironmentVariable(const char* name);

}  // namespace tessaly
