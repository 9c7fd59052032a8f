#pragma once

// How export lines are cut into columns; shared by the header and the record lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// Quote, comma, quote.
inline constexpr std::u16string_view kSeparator = u"\",\"";
inline constexpr size_t kCardColumns = 47;

// The separators of a line, found in one pass: where a record line is cut (at most
// 46 cuts, from the left, never overlapping) and how many times the separator
// occurs, overlaps included, counted up to 15 as CountOccurrences does.
struct SeparatorScan {
  size_t cuts[kCardColumns - 1];
  size_t cutCount = 0;
  int32_t occurrences = 0;
};
// Of a decoded line, or of the export's bytes: each byte is a character, in place.
void ScanSeparators(std::u16string_view line, SeparatorScan& scan);
void ScanSeparators(std::string_view line, SeparatorScan& scan);

// A line that, with blanks (not tabs) removed from both ends, is one double quote.
bool IsClosingQuoteLine(std::u16string_view line);
bool IsClosingQuoteLine(std::string_view line);

// Replaces `pieces` with the line cut at the separator, from the left, into at most
// 47 pieces; the last holds the rest of the line verbatim. An empty line gives no
// piece at all.
void SplitCardLine(std::u16string_view line, std::vector<std::u16string>& pieces);
void SplitCardLine(std::u16string_view line, const SeparatorScan& scan,
                   std::vector<std::u16string>& pieces);

// The subscript failure of a record line cut into fewer than 47 columns.
[[noreturn]] void ThrowTooFewColumns(size_t columns);

// Drops one quote from the start of column 1 and one from the end of column 47.
// Throws the subscript failure when either column is missing.
void TrimColumnQuotes(std::vector<std::u16string>& columns);

}  // namespace tessaly
