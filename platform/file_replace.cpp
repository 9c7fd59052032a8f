#include "platform/file_replace.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/failure.h"
#include "platform/file.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

namespace tessaly {

namespace {

using seam::FileOp;

// The new file while it has a name and is not yet in place.
class PartFile {
 public:
  ~PartFile() {
    if (!path_.empty()) RemoveFile(path_);
  }
  void Set(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

constexpr const char* kPartMark = ".tessaly-";
constexpr const char* kPartEnd = ".part";

const char* KindOf(FileKind kind) {
  switch (kind) {
    case FileKind::kDevice:
      return "a device";
    case FileKind::kFifo:
      return "a FIFO";
    case FileKind::kSocket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

// Copies named "." + base + ".tessaly-<pid>-<n>.part" that a killed process left
// behind; those of running processes are theirs to finish.
void RemoveLeftovers(const std::string& folder, const std::string& base) {
  const std::string prefix = "." + base + kPartMark;
  const std::string suffix = kPartEnd;
  for (const std::string& name : FolderEntries(folder)) {
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
    if (pid <= 0 || pid > INT_MAX || ProcessMayRun(pid)) continue;
    const std::string path = folder + name;
    const std::optional<FileStatus> status = StatusAt(path);
    if (status && status->kind == FileKind::kRegular && status->ownedByUser) RemoveFile(path);
  }
}

}  // namespace

void ReplaceFileWithCopy(const std::string& from, const std::string& to,
                         std::optional<FileIdentity> source) {
  File in;
  if (const int error = seam::Attempt(FileOp::kCopyOpen, [&] { return in.OpenForReading(from); })) {
    throw FileFailure(error, from);
  }
  if (source) {
    const std::optional<FileStatus> now = in.Status();
    if (!now || now->identity != *source) {
      throw Failure(err::kPathFileAccess,
                    "The temporary database " + from +
                        " was replaced by another program after this conversion wrote it; "
                        "nothing was saved. Convert the export again.");
    }
  }

  // A link at the destination is followed, so the file it names is the one replaced.
  std::string target = to;
  std::optional<FileStatus> existing = StatusAt(to);
  if (existing && existing->kind == FileKind::kLink) {
    const std::string resolved = ResolvedPath(to);
    existing = resolved.empty() ? std::nullopt : StatusAt(resolved);
    if (!resolved.empty()) target = resolved;
  }
  if (existing && existing->kind == FileKind::kFolder) throw FileFailure(EISDIR, to);
  // Renaming over a device node or a FIFO would delete it, not write to it.
  if (existing && existing->kind != FileKind::kRegular) {
    throw Failure(err::kPathFileAccess, std::string("Path/File access error (") +
                                            KindOf(existing->kind) +
                                            ", only a file is replaced): " + to);
  }
  // A file a plain copy could not write is not replaced either.
  if (existing && !existing->writable) throw FileFailure(EACCES, to);

  const size_t slash = target.find_last_of(kPathSeparators);
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveLeftovers(folder, base);
  static std::atomic<unsigned> counter{0};
  auto partName = [&] {
    return folder + "." + base + kPartMark + std::to_string(CurrentProcessId()) + "-" +
           std::to_string(counter++) + kPartEnd;
  };

  PartFile part;
  // Fresh part names until `take` gets one; the part is ours only once it did.
  auto takeFreshName = [&](FileOp op, auto&& take) {
    for (int attempt = 0;; ++attempt) {
      part.Set(partName());
      const int error = seam::Attempt(op, [&] { return take(part.path()); });
      if (error == 0) return;
      part.Keep();
      if (error != EEXIST || attempt > 100) throw FileFailure(error, to, err::kPathNotFound);
    }
  };

  File out;
  // Unnamed until complete, so a kill leaves nothing behind; where the system has
  // no such files the copy is named from the start.
  const bool unnamed =
      seam::Attempt(FileOp::kCopyOpen, [&] { return out.CreateUnnamed(folder); }) == 0;
  if (!unnamed) {
    takeFreshName(FileOp::kCopyOpen,
                  [&](const std::string& path) { return out.CreateNew(path, 0666); });
  }
  // Keep the access rights of the file being replaced.
  if (existing) (void)out.SetPermissions(existing->permissions);

  if (const int error = seam::Attempt(FileOp::kCopyData, [&] { return out.CopyFrom(in); })) {
    throw FileFailure(error, to);
  }
  if (const int error = seam::Attempt(FileOp::kCopyFlush, [&] { return out.Sync(); })) {
    throw FileFailure(error, to);
  }
  if (unnamed) {
    takeFreshName(FileOp::kCopyLink, [&](const std::string& path) { return out.GiveName(path); });
  }
  if (const int error = seam::AttemptAlways(FileOp::kCopyClose, [&] { return out.Close(); })) {
    throw FileFailure(error, to);
  }
  if (const int error =
          seam::Attempt(FileOp::kRename, [&] { return RenameOver(part.path(), target); })) {
    throw FileFailure(error, to);
  }
  part.Keep();

  // Make the rename itself durable; a failure here no longer endangers any file.
  SyncFolder(folder);
}

}  // namespace tessaly
