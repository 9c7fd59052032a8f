#include "storage/date_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

namespace tessaly::dao {
namespace {

constexpr double kJan5 = 45296;  // 2024-01-05
constexpr double kHour = 1.0 / 24;

std::optional<double> Parse(std::string_view ascii) {
  return ParseDateText(std::u16string(ascii.begin(), ascii.end()));
}

TEST(ParseDateText, AcceptsEveryFormBetweenTheBoundaries) {
  for (const char* text :
       {"1/5/2024", "01/05/2024", "1/5/24", "1-5-2024", "01-05-24", "2024-1-5", "2024-01-05",
        "2024/1/5", "5-Jan-2024", "05-JANUARY-2024", "5 jan 2024", "5  January\t2024", "Jan 5 2024",
        "january 5, 2024", "Jan 05,2024", "  1/5/2024\t ", "5-Jan-2024 12:00 AM"}) {
    EXPECT_EQ(Parse(text), kJan5) << text;
  }
  // Then times with and without a date; two-digit years pivot at 30, the range is
  // 100 to 9999; before the epoch the fraction is the time of day taken positively.
  // clang-format off
  const std::pair<const char*, double> cases[] = {
      {"Sep 30 2024", 45565}, {"September 30 2024", 45565}, {"May 1 2024", 45413},
      {"2/29/2000", 36585}, {"2/29/2024", 45351}, {"1/1/1900", 2}, {"12/30/1899", 0},
      {"1/5/2024 13:30", kJan5 + 13.5 * kHour}, {"1/5/2024  1:30:36 PM", kJan5 + 13.51 * kHour},
      {"Jan 5, 2024 1:30pm", kJan5 + 13.5 * kHour}, {"2024-01-05 12:00:00 pm", kJan5 + 0.5},
      {"6:00", 0.25}, {"06:00:00", 0.25}, {"0:00", 0}, {"23:59:59", 86399.0 / 86400},
      {"12:15 AM", 0.25 * kHour}, {"11:00 PM", 23 * kHour},
      {"12/31/29", 47483}, {"1/1/30", 10959}, {"1/1/00", 36526}, {"12/31/99", 36525},
      {"1/1/100", -657434}, {"0100-01-01", -657434}, {"12/31/9999", 2958465},
      {"12/29/1899 6:00", -1.25}, {"12/29/1899", -1}, {"3/1/1800 18:00", -36463.75}};
  // clang-format on
  for (const auto& [text, value] : cases) {
    const auto parsed = Parse(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_DOUBLE_EQ(*parsed, value) << text;
  }
}

// Years out of range or ambiguous, days that do not exist, bad times, junk.
TEST(ParseDateText, RejectsWhatIsNotADate) {
  // clang-format off
  for (const char* text :
       {"1/1/099", "1/1/0099", "12/31/10000", "1/1/9", "Jan 5 24", "5-Jan-24", "24-1-5", "99/1/1",
        "2/29/2023", "2/29/1900", "4/31/2024", "Apr 31 2024", "0/1/2024", "13/1/2024", "1/0/2024",
        "1/32/2024", "2024-02-30", "24:00", "1/5/2024 24:00", "13:00 PM", "0:30 AM", "12:60",
        "12:00:60", "1:5", "1:05:7", "123:00", "1/5/2024 10:00 XM", "10:00 A", "10:00 AMX",
        "1/5/202410:00", "10:00:", "", "   ", "x", "2024", "1/5", "1/5/2024/", "1/5-2024",
        "2024-1/5", "1//2024", "Jan 5", "Janu 5 2024", "Sept 5 2024", "5Jan2024", "5/Jan/2024",
        "Jan-5-2024", "1/5/2024 x", "+1/5/2024", "1/5/2024\n", "1.5.2024",
        "100000000000000000000/1/2024"}) {
    // clang-format on
    EXPECT_EQ(Parse(text), std::nullopt) << text;
  }
  EXPECT_EQ(ParseDateText(u"1/5/2024\u00a0"), std::nullopt);
  EXPECT_EQ(ParseDateText(u"\uff11/5/2024"), std::nullopt);  // fullwidth digit
}

TEST(SplitJetDate, RoundsToTheSecondAndCarriesIntoTheNextDay) {
  // clang-format off
  const std::pair<double, DateParts> cases[] = {
      {-1.25, {1899, 12, 29, 6, 0, 0}}, {-1.99999999, {1899, 12, 30, 0, 0, 0}},
      {kJan5 + 0.4 / 86400, {2024, 1, 5, 0, 0, 0}}, {kJan5 + 1.6 / 86400, {2024, 1, 5, 0, 0, 2}},
      {kJan5 + 1 - 0.1 / 86400, {2024, 1, 6, 0, 0, 0}},
      {1e300, {9999, 12, 31, 23, 59, 59}}, {-1e300, {100, 1, 1, 0, 0, 0}}};
  // clang-format on
  for (const auto& [value, parts] : cases) EXPECT_EQ(SplitJetDate(value), parts) << value;
}

TEST(SplitJetDate, InvertsParsingOverTheWholeRange) {
  using namespace std::chrono;
  const sys_days epoch{year{1899} / 12 / 30};
  for (const sys_days first : {sys_days{year{100} / 1 / 1}, sys_days{year{1899} / 12 / 1},
                               sys_days{year{2024} / 2 / 1}, sys_days{year{9999} / 11 / 1}}) {
    for (sys_days d = first; d < first + days{61}; d += days{1}) {
      const year_month_day ymd{d};
      const int y = int{ymd.year()}, m = int(unsigned{ymd.month()}), day = int(unsigned{ymd.day()});
      const std::string text =
          std::to_string(m) + "/" + std::to_string(day) + "/" + std::to_string(y) + " 23:59:59";
      const auto value = Parse(text);
      ASSERT_TRUE(value) << text;
      ASSERT_EQ(std::trunc(*value), static_cast<double>((d - epoch).count())) << text;
      ASSERT_EQ(SplitJetDate(*value), (DateParts{y, m, day, 23, 59, 59})) << text;
    }
  }
}

TEST(FormatGeneralDate, ShowsTimeOnlyWhenThereIsOne) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {kJan5, "1/5/2024"}, {kJan5 + 13.51 * kHour, "1/5/2024 1:30:36 PM"},
      {kJan5 + 1.0 / 86400, "1/5/2024 12:00:01 AM"}, {kJan5 + 0.5, "1/5/2024 12:00:00 PM"},
      {0, "12/30/1899"}, {0.25, "6:00:00 AM"}, {-1.25, "12/29/1899 6:00:00 AM"},
      {-657434, "1/1/0100"}, {2958465.99999, "12/31/9999 11:59:59 PM"}};
  // clang-format on
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatGeneralDate(value), text) << value;
}

}  // namespace
}  // namespace tessaly::dao
