#pragma once

// Jet date values (days since 1899-12-30 as a double, the time being the fraction
// of a day) to and from text.
//
// Before 1899-12-30 the integer part counts days back and the fraction is the time
// of day taken as an absolute value: 1899-12-29 06:00 is -1.25.

#include <optional>
#include <string>
#include <string_view>

namespace tessaly::dao {

// Converts the date texts a date field accepts, and nothing else (std::nullopt):
// leading and trailing blanks ignored; a date part optionally followed by
// whitespace and a time part, or a time part alone (meaning 1899-12-30).
//   Date: M/D/YYYY, M/D/YY, M-D-YYYY, M-D-YY, YYYY-M-D, YYYY/M/D,
//         D-Mon-YYYY, D Mon YYYY, Mon D YYYY, Mon D, YYYY
//         (month names English, any case, full or three letters).
//   Time: H:MM or H:MM:SS with H 0-23, or followed by AM/PM (optionally after a
//         blank) with H 1-12, 12 AM being midnight.
// Two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999; otherwise the year is
// written with 3 or 4 digits and lies in 100-9999. The day must exist.
std::optional<double> ParseDateText(std::u16string_view text);

struct DateParts {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
  bool operator==(const DateParts&) const = default;
};

// The calendar date and time of a Jet date value, rounded to the second. Values
// outside 100-01-01 .. 9999-12-31 23:59:59 (and NaN) are clamped into that range.
DateParts SplitJetDate(double value);

// The general date form: "M/D/YYYY", followed by " h:mm:ss AM" (or PM) when there
// is a time of day; the time alone for a time on 1899-12-30; "12/30/1899" for 0.
std::string FormatGeneralDate(double value);

}  // namespace tessaly::dao
