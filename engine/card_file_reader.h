#pragma once

// "File number 1": the export file, read sequentially in large blocks and handed
// out line by line, decoded from Windows-1252.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace tessaly {

// What an export's path may name.
enum class CardInput {
  kAnyFile,      // whatever reads as a file: a pipe or a device too
  kRegularFile,  // a file on disk only; anything else is refused at once, never waited on
  kStandardInput,  // the program's standard input; the path names it in messages
};

class CardFileReader {
 public:
  // A line longer than this is refused rather than held in memory: a real card is
  // far smaller, and a file without line ends (a binary file) must not exhaust memory.
  static constexpr size_t kMaxLineBytes = size_t{64} << 20;

  // What Path() is when reading the standard input.
  static constexpr const char* kStandardInputPath = "<stdin>";

  // Opens `path` for reading (with kStandardInput, the standard input, `path` unused);
  // throws Failure when it is missing, unreadable, a folder, or not what `input`
  // allows.
  explicit CardFileReader(const std::string& path, CardInput input = CardInput::kAnyFile);
  // Reads `contents` as if it were the file `name`.
  CardFileReader(const std::string& name, std::string contents);
  ~CardFileReader();
  CardFileReader(const CardFileReader&) = delete;
  CardFileReader& operator=(const CardFileReader&) = delete;

  // The end-of-file test: no further line. A file that ends with a terminator has no
  // empty line after it.
  bool AtEnd();

  // The next line without its terminator (CR, or CR LF; a lone LF stays in the
  // line). Throws Failure at the end of the file, or as soon as a line passes
  // kMaxLineBytes; reading goes no further then, and every later read fails alike.
  void ReadLine(std::u16string& line);
  // The same, undecoded: valid until the next call of this reader.
  std::string_view ReadLineBytes();

  const std::string& Path() const { return path_; }
  uint64_t BytesRead() const { return consumed_ + pos_; }
  // 0 when unknown: not a regular file.
  uint64_t Size() const { return size_; }
  // Lines read so far.
  int64_t LineNumber() const { return lines_; }

 private:
  bool Fill();

  std::string path_;
  File file_;
  std::unique_ptr<char[]> buffer_;
  std::string contents_;  // the export when read from memory
  std::string pieces_;    // a line that runs past the block, gathered
  size_t contentsPos_ = 0;
  const char* view_ = nullptr;  // the bytes being handed out: buffer_ or contents_
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t consumed_ = 0;  // bytes before buffer_[0]
  uint64_t size_ = 0;
  int64_t lines_ = 0;
  bool skipLf_ = false;  // the last line ended with CR; an LF right after belongs to it
  bool eof_ = false;
  bool tooLong_ = false;
};

}  // namespace tessaly
