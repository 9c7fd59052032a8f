#include "storage/date_text.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace tessaly::dao {
namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kEpoch = sys_days{year{1899} / 12 / 30};
constexpr int64_t kSecondsPerDay = 86400;
// 100-01-01 and 9999-12-31, the range of a Jet date, as days from the epoch.
constexpr int64_t kFirstDay = (sys_days{year{100} / 1 / 1} - kEpoch).count();
constexpr int64_t kLastDay = (sys_days{year{9999} / 12 / 31} - kEpoch).count();

constexpr std::array<std::string_view, 12> kMonthNames = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}
bool IsLetter(char16_t c) {
  return Lower(c) >= u'a' && Lower(c) <= u'z';
}

// A forward reader over the trimmed text. A failed Read* leaves the position
// anywhere: callers give up on the whole form then.
struct Cursor {
  std::u16string_view s;
  size_t i = 0;

  bool AtEnd() const { return i == s.size(); }
  char16_t Peek() const { return AtEnd() ? u'\0' : s[i]; }

  bool Take(char16_t c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }

  size_t SkipBlanks() {
    const size_t start = i;
    while (!AtEnd() && IsBlank(s[i])) ++i;
    return i - start;
  }

  // A run of digits whose length lies in [minDigits, maxDigits]; the whole run is
  // consumed either way, so "12345" never reads as "1234".
  bool ReadNumber(size_t minDigits, size_t maxDigits, int& value, size_t* digits = nullptr) {
    const size_t start = i;
    int v = 0;
    while (!AtEnd() && IsDigit(s[i])) {
      if (i - start < 4) v = v * 10 + (s[i] - u'0');
      ++i;
    }
    const size_t n = i - start;
    if (digits) *digits = n;
    value = v;
    return n >= minDigits && n <= maxDigits;
  }

  // 1..12 from an English month name, full or three letters, any case.
  bool ReadMonthName(int& value) {
    const size_t start = i;
    while (!AtEnd() && IsLetter(s[i])) ++i;
    const std::u16string_view word = s.substr(start, i - start);
    for (size_t m = 0; m < kMonthNames.size(); ++m) {
      const std::string_view name = kMonthNames[m];
      if (word.size() != 3 && word.size() != name.size()) continue;
      bool same = true;
      for (size_t k = 0; k < word.size() && same; ++k) same = Lower(word[k]) == name[k];
      if (same) {
        value = static_cast<int>(m) + 1;
        return true;
      }
    }
    return false;
  }

  // A year of 3 or 4 digits, taken as written.
  bool ReadFullYear(int& value) { return ReadNumber(3, 4, value) && value >= 100; }

  // After a separator in the numeric forms: 2 digits are a short year.
  bool ReadYear(int& value) {
    size_t n = 0;
    if (!ReadNumber(2, 4, value, &n)) return false;
    if (n == 2) {
      value += value < 30 ? 2000 : 1900;
      return true;
    }
    return value >= 100;
  }
};

struct Date {
  int y = 0, m = 0, d = 0;
};

bool ReadDate(Cursor& c, Date& out) {
  if (IsLetter(c.Peek())) {
    // Mon D YYYY, Mon D, YYYY
    if (!c.ReadMonthName(out.m) || c.SkipBlanks() == 0 || !c.ReadNumber(1, 2, out.d)) return false;
    if (c.Take(u',')) {
      c.SkipBlanks();
    } else if (c.SkipBlanks() == 0) {
      return false;
    }
    return c.ReadFullYear(out.y);
  }

  int first = 0;
  size_t firstDigits = 0;
  if (!c.ReadNumber(1, 4, first, &firstDigits)) return false;

  if (c.SkipBlanks() > 0) {
    // D Mon YYYY
    out.d = first;
    return firstDigits <= 2 && c.ReadMonthName(out.m) && c.SkipBlanks() > 0 &&
           c.ReadFullYear(out.y);
  }

  const char16_t sep = c.Peek();
  if (sep != u'/' && sep != u'-') return false;
  ++c.i;

  if (firstDigits >= 3) {
    // YYYY-M-D, YYYY/M/D
    out.y = first;
    return first >= 100 && c.ReadNumber(1, 2, out.m) && c.Take(sep) && c.ReadNumber(1, 2, out.d);
  }
  if (sep == u'-' && IsLetter(c.Peek())) {
    // D-Mon-YYYY
    out.d = first;
    return c.ReadMonthName(out.m) && c.Take(u'-') && c.ReadFullYear(out.y);
  }
  // M/D/YYYY, M/D/YY, M-D-YYYY, M-D-YY
  out.m = first;
  return c.ReadNumber(1, 2, out.d) && c.Take(sep) && c.ReadYear(out.y);
}

// A time that runs to the end of the text; seconds since midnight.
bool ReadTimeToEnd(Cursor& c, int64_t& seconds) {
  int h = 0, m = 0, s = 0;
  if (!c.ReadNumber(1, 2, h) || !c.Take(u':') || !c.ReadNumber(2, 2, m)) return false;
  if (c.Take(u':') && !c.ReadNumber(2, 2, s)) return false;
  if (m > 59 || s > 59) return false;

  c.SkipBlanks();
  if (!c.AtEnd()) {
    const char16_t half = Lower(c.Peek());
    if (half != u'a' && half != u'p') return false;
    ++c.i;
    if (Lower(c.Peek()) != u'm') return false;
    ++c.i;
    if (!c.AtEnd() || h < 1 || h > 12) return false;
    h = (h % 12) + (half == u'p' ? 12 : 0);
  } else if (h > 23) {
    return false;
  }
  seconds = (int64_t{h} * 60 + m) * 60 + s;
  return true;
}

// Builds the stored value: the fraction keeps its sign convention for days before
// the epoch, so the time of day survives in both directions.
double JetValue(int64_t dayNumber, int64_t seconds) {
  const double fraction = static_cast<double>(seconds) / kSecondsPerDay;
  const double whole = static_cast<double>(dayNumber);
  return dayNumber < 0 ? whole - fraction : whole + fraction;
}

char* PutNumber(char* p, int value, int width) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) *p++ = digits[--n];
  return p;
}

}  // namespace

std::optional<double> ParseDateText(std::u16string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const std::u16string_view trimmed = text.substr(begin, end - begin);
  if (trimmed.empty()) return std::nullopt;

  int64_t seconds = 0;
  Cursor timeOnly{trimmed};
  if (ReadTimeToEnd(timeOnly, seconds)) return JetValue(0, seconds);

  Cursor c{trimmed};
  Date date;
  if (!ReadDate(c, date)) return std::nullopt;
  if (!c.AtEnd()) {
    if (c.SkipBlanks() == 0 || !ReadTimeToEnd(c, seconds)) return std::nullopt;
  }

  const year_month_day ymd{year{date.y}, month{static_cast<unsigned>(date.m)},
                           day{static_cast<unsigned>(date.d)}};
  if (date.y < 100 || date.y > 9999 || !ymd.ok()) return std::nullopt;
  return JetValue((sys_days{ymd} - kEpoch).count(), seconds);
}

DateParts SplitJetDate(double value) {
  if (std::isnan(value)) value = 0;
  const double whole = std::trunc(value);
  int64_t dayNumber = 0;
  int64_t seconds = 0;
  if (whole < static_cast<double>(kFirstDay)) {
    dayNumber = kFirstDay;
  } else if (whole > static_cast<double>(kLastDay)) {
    dayNumber = kLastDay;
    seconds = kSecondsPerDay - 1;
  } else {
    dayNumber = static_cast<int64_t>(whole);
    seconds = std::llround(std::fabs(value - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
      seconds -= kSecondsPerDay;
      if (dayNumber < kLastDay) {
        ++dayNumber;
      } else {
        seconds = kSecondsPerDay - 1;
      }
    }
  }

  const year_month_day ymd{kEpoch + days{dayNumber}};
  const int s = static_cast<int>(seconds);
  return DateParts{static_cast<int>(ymd.year()),
                   static_cast<int>(unsigned{ymd.month()}),
                   static_cast<int>(unsigned{ymd.day()}),
                   s / 3600,
                   s / 60 % 60,
                   s % 60};
}

std::string FormatGeneralDate(double value) {
  const DateParts p = SplitJetDate(value);
  const bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0;
  const bool isEpoch = p.year == 1899 && p.month == 12 && p.day == 30;

  char buffer[32];
  char* out = buffer;
  if (!hasTime || !isEpoch) {
    out = PutNumber(out, p.month, 1);
    *out++ = '/';
    out = PutNumber(out, p.day, 1);
    *out++ = '/';
    out = PutNumber(out, p.year, 4);
  }
  if (hasTime) {
    if (out != buffer) *out++ = ' ';
    const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    out = PutNumber(out, hour12, 1);
    *out++ = ':';
    out = PutNumber(out, p.minute, 2);
    *out++ = ':';
    out = PutNumber(out, p.second, 2);
    *out++ = ' ';
    *out++ = p.hour < 12 ? 'A' : 'P';
    *out++ = 'M';
  }
  return std::string(buffer, static_cast<size_t>(out - buffer));
}

}  // namespace tessaly::dao
