#include "session/row_spool.h"

#include <atomic>
#include <string_view>
#include <utility>

#include "platform/file_failure.h"
#include "platform/file_seam.h"
#include "platform/temp_folder.h"
#include "session/cell_text.h"
#include "storage/utf8.h"

namespace tessaly {

// A row is its cells in order, each a 32-bit count of UTF-16 units and then the
// units.
namespace {

constexpr size_t kChunkUnits = size_t{1} << 19;

void AppendText(std::u16string& spool, std::u16string_view text) {
  const auto size = static_cast<uint32_t>(text.size());
  spool.push_back(static_cast<char16_t>(size & 0xFFFFu));
  spool.push_back(static_cast<char16_t>(size >> 16));
  spool.append(text);
}

// A cell as the list shows it, text appended in place (most cells are).
void AppendCell(std::u16string& spool, const dao::Value& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) {
    AppendText(spool, *text);
  } else {
    AppendText(spool, CellText(value));
  }
}

}  // namespace

RowSpool::~RowSpool() {
  file_.Close();
  if (!name_.empty()) RemoveFile(name_);
}

void RowSpool::Open() {
  const std::string folder = UserTempFolder();
  if (file_.CreateUnnamed(folder) == 0) return;
  static std::atomic<int> serial{0};
  const std::string name = folder + "~rows-" + std::to_string(CurrentProcessId()) + "-" +
                           std::to_string(serial++) + ".tmp";
  if (const int error = file_.CreateNew(name, 0600)) throw FileFailure(error, name);
  name_ = name;
}

void RowSpool::Append(const std::u16string& chunk) {
  const size_t bytes = chunk.size() * sizeof(char16_t);
  if (const int error = seam::Attempt(seam::FileOp::kSpoolWrite,
                                      [&] { return file_.WriteAt(size_, chunk.data(), bytes); })) {
    throw Failure(err::kDiskFull, "The list of records could not be kept: " +
                                      FileFailure(error, name_.empty() ? "(temporary file)" : name_)
                                          .Description());
  }
  size_ += bytes;
}

void RowSpool::Fill(dao::Recordset& rst, int64_t rows) {
  offsets_.clear();
  if (!file_.IsOpen()) Open();
  offsets_.reserve(static_cast<size_t>(rows) + 1);
  std::u16string chunk;
  try {
    for (int64_t row = 0; row < rows; ++row) {
      offsets_.push_back(size_ + chunk.size() * sizeof(char16_t));
      rst.SetAbsolutePosition(row);
      const std::string index = rst.Index();
      AppendText(chunk, index.empty() ? std::u16string() : jet::Utf8ToUtf16(index));
      const int16_t fields = rst.FieldCount();
      for (int16_t position = 0; position < fields; ++position) {
        AppendCell(chunk, rst.GetValue(position));
      }
      if (chunk.size() >= kChunkUnits) {
        Append(chunk);
        chunk.clear();
      }
    }
    offsets_.push_back(size_ + chunk.size() * sizeof(char16_t));
    Append(chunk);
  } catch (const Failure&) {
    // Rows not wholly in the file are not kept.
    while (!offsets_.empty() && offsets_.back() > size_) offsets_.pop_back();
    throw;
  }
}

void RowSpool::Read(int64_t row, std::vector<std::u16string>& cells) const {
  const auto index = static_cast<size_t>(row);
  if (row < 0 || index + 1 >= offsets_.size()) return;
  const uint64_t bytes = offsets_[index + 1] - offsets_[index];
  std::u16string units(bytes / sizeof(char16_t), u'\0');
  size_t got = 0;
  if (file_.ReadAt(offsets_[index], units.data(), units.size() * sizeof(char16_t), got) != 0) return;
  const size_t count = got / sizeof(char16_t);
  for (size_t at = 0; at + 2 <= count;) {
    const size_t size = units[at] | (static_cast<size_t>(units[at + 1]) << 16);
    at += 2;
    if (size > count - at) break;  // a damaged spool ends the row
    cells.emplace_back(units, at, size);
    at += size;
  }
}

}  // namespace tessaly
