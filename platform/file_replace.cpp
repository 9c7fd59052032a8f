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

constexpr const char* kPartMark = ".tessaly-";
constexpr const char* kPartEnd = ".part";

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

ReplaceTarget CheckReplaceable(const std::string& to) {
  // A link at the destination is followed, so the file it names is the one replaced.
  ReplaceTarget target{to, StatusAt(to)};
  std::optional<FileStatus>& existing = target.existing;
  if (existing && existing->kind == FileKind::kLink) {
    const std::string resolved = ResolvedPath(to);
    existing = resolved.empty() ? std::nullopt : StatusAt(resolved);
    if (!resolved.empty()) target.path = resolved;
  }
  if (existing && existing->kind == FileKind::kFolder) throw FileFailure(EISDIR, to);
  // Renaming over a device node or a FIFO would delete it, not write to it.
  if (existing && existing->kind != FileKind::kRegular) {
    const std::string what = FileKindText(existing->kind);
    throw Failure(err::kPathFileAccess, "Path/File access error (" +
                                            (what.empty() ? "not a regular file" : what) +
                                            ", only a file is replaced): " + to);
  }
  // A file a plain copy could not write is not replaced either.
  if (existing && !existing->writable) throw FileFailure(EACCES, to);
  if (const int error = CheckFolderTakesFiles(FolderOf(target.path))) {
    throw FileFailure(error, to, err::kPathNotFound);
  }
  return target;
}

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
  FileReplacement replacement(to);
  if (const int error =
          seam::Attempt(FileOp::kCopyData, [&] { return replacement.Out().CopyFrom(in); })) {
    throw FileFailure(error, to);
  }
  replacement.Commit();
}

FileReplacement::FileReplacement(const std::string& to) : to_(to) {
  const ReplaceTarget target = CheckReplaceable(to);
  target_ = target.path;
  const std::optional<FileStatus>& existing = target.existing;

  folder_ = FolderOf(target_);
  base_ = NameOf(target_);
  RemoveLeftovers(folder_, base_);

  // Unnamed until complete, so a kill leaves nothing behind; where the system has
  // no such files the copy is named from the start.
  unnamed_ = seam::Attempt(FileOp::kCopyOpen, [&] { return out_.CreateUnnamed(folder_); }) == 0;
  if (!unnamed_) {
    TakeFreshName(FileOp::kCopyOpen,
                  [&](const std::string& path) { return out_.CreateNew(path, 0666); });
  }
  // Keep the access rights of the file being replaced.
  if (existing) (void)out_.SetPermissions(existing->permissions);
}

FileReplacement::~FileReplacement() {
  (void)out_.Close();
  if (!partPath_.empty()) RemoveFile(partPath_);
}

void FileReplacement::TakeFreshName(FileOp op, const std::function<int(const std::string&)>& take) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    const std::string path = folder_ + "." + base_ + kPartMark +
                             std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++) +
                             kPartEnd;
    const int error = seam::Attempt(op, [&] { return take(path); });
    if (error == 0) {
      partPath_ = path;
      return;
    }
    if (error != EEXIST || attempt > 100) throw FileFailure(error, to_, err::kPathNotFound);
  }
}

void FileReplacement::Commit() {
  if (const int error = seam::Attempt(FileOp::kCopyFlush, [&] { return out_.Sync(); })) {
    throw FileFailure(error, to_);
  }
  if (unnamed_) {
    TakeFreshName(FileOp::kCopyLink, [&](const std::string& path) { return out_.GiveName(path); });
    unnamed_ = false;
  }
  if (const int error = seam::AttemptAlways(FileOp::kCopyClose, [&] { return out_.Close(); })) {
    throw FileFailure(error, to_);
  }
  if (const int error =
          seam::Attempt(FileOp::kRename, [&] { return RenameOver(partPath_, target_); })) {
    throw FileFailure(error, to_);
  }
  partPath_.clear();

  // Make the rename itself durable; a failure here no longer endangers any file.
  SyncFolder(folder_);
}

}  // namespace tessaly
