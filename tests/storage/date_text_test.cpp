#include "storage/date_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

namespace tessaly::dao {
namespace {

constexpr double kJan5th2024 = 45296;  // 2024-01-05
constexpr double kHour = 1.0 / 24;
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kMillionCallsBudget = std::chrono::seconds(10);
#else
constexpr auto kMillionCallsBudget = std::chrono::seconds(1);
#endif

std::u16string U16(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}
std::optional<double> Parse(std::string_view ascii) {
  return ParseDateText(U16(ascii));
}

struct Accepted {
  const char* text;
  double value;
};

TEST(ParseDateText, AcceptsEveryDateForm) {
  const Accepted cases[] = {
      {"1/5/2024", kJan5th2024},
      {"01/05/2024", kJan5th2024},
      {"1/5/24", kJan5th2024},
      {"1-5-2024", kJan5th2024},
      {"01-05-24", kJan5th2024},
      {"2024-1-5", kJan5th2024},
      {"2024-01-05", kJan5th2024},
      {"2024/1/5", kJan5th2024},
      {"5-Jan-2024", kJan5th2024},
      {"05-JANUARY-2024", kJan5th2024},
      {"5 jan 2024", kJan5th2024},
      {"5  January\t2024", kJan5th2024},
      {"Jan 5 2024", kJan5th2024},
      {"january 5, 2024", kJan5th2024},
      {"Jan 05,2024", kJan5th2024},
      {"  1/5/2024\t ", kJan5th2024},
      {"Sep 30 2024", 45565},
      {"September 30 2024", 45565},
      {"2/29/2000", 36585},
      {"1/1/1900", 2},
      {"12/30/1899", 0},
      {"May 1 2024", 45413},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.value) << c.text;
}

TEST(ParseDateText, AcceptsTimesWithAndWithoutDate) {
  const Accepted cases[] = {
      {"1/5/2024 13:30", kJan5th2024 + 13.5 * kHour},
      {"1/5/2024  1:30:36 PM", kJan5th2024 + 13.51 * kHour},
      {"Jan 5, 2024 1:30pm", kJan5th2024 + 13.5 * kHour},
      {"5-Jan-2024 12:00 AM", kJan5th2024},
      {"2024-01-05 12:00:00 pm", kJan5th2024 + 0.5},
      {"6:00", 0.25},
      {"06:00:00", 0.25},
      {"0:00", 0},
      {"23:59:59", 86399.0 / 86400},
      {"12:15 AM", 0.25 * kHour},
      {"11:00 PM", 23 * kHour},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.text);
    ASSERT_TRUE(parsed) << c.text;
    EXPECT_DOUBLE_EQ(*parsed, c.value) << c.text;
  }
}

TEST(ParseDateText, YearBoundaries) {
  EXPECT_EQ(Parse("12/31/29"), 47483);  // 2029
  EXPECT_EQ(Parse("1/1/30"), 10959);    // 1930
  EXPECT_EQ(Parse("1/1/00"), 36526);    // 2000
  EXPECT_EQ(Parse("12/31/99"), 36525);  // 1999
  EXPECT_EQ(Parse("1/1/100"), -657434);
  EXPECT_EQ(Parse("0100-01-01"), -657434);
  EXPECT_EQ(Parse("12/31/9999"), 2958465);
  for (const char* text : {"1/1/099", "1/1/0099", "12/31/10000", "1/1/9", "Jan 5 24", "5-Jan-24",
                           "5 Jan 24", "24-1-5", "99/1/1"}) {
    EXPECT_EQ(Parse(text), std::nullopt) << text;
  }
}

// Before the epoch the fraction is the time of day taken positively.
TEST(ParseDateText, DatesBeforeEpochKeepTimeAsPositiveFraction) {
  EXPECT_EQ(Parse("12/29/1899 6:00"), -1.25);
  EXPECT_EQ(Parse("12/29/1899"), -1);
  EXPECT_EQ(Parse("3/1/1800 18:00"), -36463.75);
}

TEST(ParseDateText, RejectsDaysThatDoNotExist) {
  for (const char* text : {"2/29/2023", "2/29/1900", "4/31/2024", "Apr 31 2024", "0/1/2024",
                           "13/1/2024", "1/0/2024", "1/32/2024", "2024-02-30"}) {
    EXPECT_EQ(Parse(text), std::nullopt) << text;
  }
  EXPECT_TRUE(Parse("2/29/2024"));
}

TEST(ParseDateText, RejectsBadTimes) {
  for (const char* text :
       {"24:00", "1/5/2024 24:00", "13:00 PM", "0:30 AM", "12:60", "12:00:60", "1:5", "1:05:7",
        "123:00", "1/5/2024 10:00 XM", "10:00 A", "10:00 AMX", "1/5/202410:00", "10:00:"}) {
    EXPECT_EQ(Parse(text), std::nullopt) << text;
  }
}

TEST(ParseDateText, RejectsJunk) {
  for (const char* text :
       {"",          "   ",        "x",           "2024",
        "1/5",       "1/5/2024/",  "1/5-2024",    "2024-1/5",
        "1//2024",   "Jan 5",      "Janu 5 2024", "Sept 5 2024",
        "5Jan2024",  "5/Jan/2024", "Jan-5-2024",  "1/5/2024 x",
        "+1/5/2024", "1/5/2024\n", "1.5.2024",    "100000000000000000000/1/2024"}) {
    EXPECT_EQ(Parse(text), std::nullopt) << text;
  }
  EXPECT_EQ(ParseDateText(u"1/5/2024\u00a0"), std::nullopt);
  EXPECT_EQ(ParseDateText(u"\uff11/5/2024"), std::nullopt);  // fullwidth digit
}

TEST(SplitJetDate, RoundsToTheSecondAndCarriesIntoTheNextDay) {
  EXPECT_EQ(SplitJetDate(-1.25), (DateParts{1899, 12, 29, 6, 0, 0}));
  EXPECT_EQ(SplitJetDate(kJan5th2024 + 0.4 / 86400), (DateParts{2024, 1, 5, 0, 0, 0}));
  EXPECT_EQ(SplitJetDate(kJan5th2024 + 1.6 / 86400), (DateParts{2024, 1, 5, 0, 0, 2}));
  EXPECT_EQ(SplitJetDate(kJan5th2024 + 1 - 0.1 / 86400), (DateParts{2024, 1, 6, 0, 0, 0}));
  EXPECT_EQ(SplitJetDate(-1.99999999), (DateParts{1899, 12, 30, 0, 0, 0}));
  EXPECT_EQ(SplitJetDate(1e300), (DateParts{9999, 12, 31, 23, 59, 59}));
  EXPECT_EQ(SplitJetDate(-1e300), (DateParts{100, 1, 1, 0, 0, 0}));
}

TEST(SplitJetDate, InvertsParsingOverTheWholeRange) {
  using namespace std::chrono;
  const sys_days epoch{year{1899} / 12 / 30};
  for (const sys_days first : {sys_days{year{100} / 1 / 1}, sys_days{year{1899} / 12 / 1},
                               sys_days{year{2024} / 2 / 1}, sys_days{year{9999} / 11 / 1}}) {
    for (sys_days d = first; d < first + days{61}; d += days{1}) {
      const year_month_day ymd{d};
      const std::string text = std::to_string(unsigned{ymd.month()}) + "/" +
                               std::to_string(unsigned{ymd.day()}) + "/" +
                               std::to_string(int{ymd.year()}) + " 23:59:59";
      const auto value = Parse(text);
      ASSERT_TRUE(value) << text;
      ASSERT_EQ(std::trunc(*value), static_cast<double>((d - epoch).count())) << text;
      ASSERT_EQ(SplitJetDate(*value),
                (DateParts{int{ymd.year()}, static_cast<int>(unsigned{ymd.month()}),
                           static_cast<int>(unsigned{ymd.day()}), 23, 59, 59}))
          << text;
    }
  }
}

TEST(FormatGeneralDate, ShowsTimeOnlyWhenThereIsOne) {
  EXPECT_EQ(FormatGeneralDate(kJan5th2024), "1/5/2024");
  EXPECT_EQ(FormatGeneralDate(kJan5th2024 + 13.51 * kHour), "1/5/2024 1:30:36 PM");
  EXPECT_EQ(FormatGeneralDate(kJan5th2024 + 1.0 / 86400), "1/5/2024 12:00:01 AM");
  EXPECT_EQ(FormatGeneralDate(kJan5th2024 + 0.5), "1/5/2024 12:00:00 PM");
  EXPECT_EQ(FormatGeneralDate(0), "12/30/1899");
  EXPECT_EQ(FormatGeneralDate(0.25), "6:00:00 AM");
  EXPECT_EQ(FormatGeneralDate(-1.25), "12/29/1899 6:00:00 AM");
  EXPECT_EQ(FormatGeneralDate(-657434), "1/1/0100");
  EXPECT_EQ(FormatGeneralDate(2958465.99999), "12/31/9999 11:59:59 PM");
}

TEST(ParseDateText, MillionCallsAreFast) {
  const std::u16string texts[] = {u"12/31/2024 11:59:59 PM", u"September 30, 2024",
                                  u"2024-01-05 13:30", u"not a date at all"};
  const auto start = std::chrono::steady_clock::now();
  double sum = 0;
  for (int i = 0; i < 1'000'000; ++i) sum += ParseDateText(texts[i % 4]).value_or(0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GT(sum, 0);
  EXPECT_LT(elapsed, kMillionCallsBudget);
}

}  // namespace
}  // namespace tessaly::dao
