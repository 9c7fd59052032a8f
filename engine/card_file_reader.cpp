#include "engine/card_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/cp1252.h"
#include "platform/failure.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

namespace tessaly {

namespace {
constexpr size_t kBlock = size_t{1} << 20;
// A very long line's bytes are let go once it is read.
constexpr size_t kKeptPiecesCapacity = size_t{1} << 20;
}  // namespace

CardFileReader::CardFileReader(const std::string& path, CardInput input)
    : path_(input == CardInput::kStandardInput ? kStandardInputPath : path) {
  FileKind refused = FileKind::kRegular;
  const int error = seam::Attempt(seam::FileOp::kExportOpen, [&] {
    switch (input) {
      case CardInput::kStandardInput:
        return file_.OpenStandardInput();
      case CardInput::kRegularFile:
        return file_.OpenForReading(path, ReadFrom::kRegularFile, &refused);
      case CardInput::kAnyFile:
        break;
    }
    return file_.OpenForReading(path);
  });
  if (error != 0) {
    throw refused != FileKind::kRegular ? NotRegularFileFailure(refused, path_)
                                        : FileFailure(error, path_);
  }
  const std::optional<FileStatus> status = file_.Status();
  if (!status) throw FileFailure(errno, path_);
  size_ = status->kind == FileKind::kRegular ? status->size : 0;
  buffer_ = std::make_unique_for_overwrite<char[]>(kBlock);
  view_ = buffer_.get();
}

CardFileReader::CardFileReader(const std::string& name, std::string contents)
    : path_(name), contents_(std::move(contents)) {
  size_ = contents_.size();
  view_ = contents_.data();
}

CardFileReader::~CardFileReader() = default;

bool CardFileReader::Fill() {
  if (eof_) return false;
  consumed_ += end_;
  pos_ = end_ = 0;
  if (!file_.IsOpen()) {
    view_ = contents_.data() + contentsPos_;
    end_ = std::min(kBlock, contents_.size() - contentsPos_);
    contentsPos_ += end_;
    eof_ = end_ == 0;
    return !eof_;
  }
  size_t got = 0;
  if (const int error = seam::Attempt(seam::FileOp::kExportRead,
                                      [&] { return file_.Read(buffer_.get(), kBlock, got); })) {
    throw FileFailure(error, path_);
  }
  end_ = got;
  eof_ = got == 0;
  return !eof_;
}

bool CardFileReader::AtEnd() {
  if (tooLong_) return false;
  if (pos_ == end_ && !Fill()) return true;
  if (skipLf_) {
    skipLf_ = false;
    if (view_[pos_] == '\n') {
      ++pos_;
      if (pos_ == end_ && !Fill()) return true;
    }
  }
  return false;
}

void CardFileReader::ReadLine(std::u16string& line) {
  line.clear();
  try {
    const std::string_view bytes = ReadLineBytes();
    AppendCp1252(line, bytes.data(), bytes.size());
  } catch (...) {
    if (tooLong_) std::u16string().swap(line);
    throw;
  }
}

std::string_view CardFileReader::ReadLineBytes() {
  if (!tooLong_) {
    if (AtEnd()) throw Failure(err::kInputPastEnd, "Input past end of file: " + path_);
    ++lines_;
    size_t length = 0;
    // A line that runs past the block is gathered; one within it is handed out in place.
    if (pieces_.capacity() > kKeptPiecesCapacity) {
      std::string().swap(pieces_);
    } else {
      pieces_.clear();
    }
    for (;;) {
      if (pos_ == end_ && !Fill()) break;
      const char* start = view_ + pos_;
      const size_t avail = end_ - pos_;
      const auto* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
      const size_t n = cr != nullptr ? static_cast<size_t>(cr - start) : avail;
      // Checked as the line grows, so endless input (a device, a file without line
      // ends) fails after 64 MB instead of being read to its end.
      if (n > kMaxLineBytes - length) {
        tooLong_ = true;
        break;
      }
      length += n;
      pos_ += n;
      if (cr == nullptr) {
        pieces_.append(start, n);
        continue;
      }
      ++pos_;
      skipLf_ = true;
      if (length == n) return {start, n};  // the whole line is in this block
      pieces_.append(start, n);
      break;
    }
    if (!tooLong_) return pieces_;
  }
  std::string().swap(pieces_);
  throw Failure(err::kLineTooLong, "Line too long: line " + std::to_string(lines_) +
                                       " of the export is longer than 64 MB");
}

}  // namespace tessaly
