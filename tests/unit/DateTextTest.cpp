// Reading the exclusion date, and date-time values.
#include <gtest/gtest.h>

#include "sweep/DateText.h"

namespace {

const plat::DateLocale kUs{'/', "m/d/yy"};
const plat::DateLocale kGerman{'.', "dd.MM.yyyy"};
const plat::DateLocale kIso{'-', "yyyy-MM-dd"};
const plat::DateLocale kEra{'/', "gg ee/MM/dd"};
const plat::DateLocale kNoLetters{'/', "%%"};

struct Case {
  const char* text;
  plat::DateLocale locale;
  int year, month, day;  // 0: unreadable
};

TEST(ReadDate, Table) {
  const Case cases[] = {
      {"12/31/2008", kUs, 2008, 12, 31},
      {"12-31-2008", kUs, 0, 0, 0},
      {"12/31", kUs, 2024, 12, 31},
      {"12/31/2008/", kUs, 2008, 12, 31},
      {"12/31/2008//", kUs, 0, 0, 0},
      {"12/31/", kUs, 0, 0, 0},
      {"12/31/2008x", kUs, 0, 0, 0},
      {" 12 / 31 / 2008 ", kUs, 2008, 12, 31},
      {"12\t/31/2008", kUs, 0, 0, 0},
      {"", kUs, 0, 0, 0},
      {"   ", kUs, 0, 0, 0},
      {"12", kUs, 0, 0, 0},
      {"+1/1/2008", kUs, 0, 0, 0},
      {"Jan 1 2008", kUs, 0, 0, 0},
      // Day first, year first, and no order letter at all.
      {"31.12.2008", kGerman, 2008, 12, 31},
      {"31.12", kGerman, 2024, 12, 31},
      {"12/31/2008", kGerman, 0, 0, 0},
      {"2008-12-31", kIso, 2008, 12, 31},
      {"12-31", kIso, 2024, 12, 31},  // two numbers: still month then day
      {"08/12/31", kEra, 2008, 12, 31},
      {"12/31/2008", kNoLetters, 2008, 12, 31},
      // The hundred-year window around 2024, and years taken as written.
      {"1/1/74", kUs, 1974, 1, 1},
      {"1/1/73", kUs, 2073, 1, 1},
      {"1/1/99", kUs, 1999, 1, 1},
      {"1/1/00", kUs, 2000, 1, 1},
      {"1/1/8", kUs, 2008, 1, 1},
      {"1/1/08", kUs, 2008, 1, 1},
      {"1/1/008", kUs, 8, 1, 1},
      {"1/1/0", kUs, 2000, 1, 1},
      {"1/1/000", kUs, 0, 0, 0},  // the year 0 does not exist
      {"1/1/9999", kUs, 9999, 1, 1},
      // Four significant digits at most; leading zeros are free.
      {"1/1/02008", kUs, 2008, 1, 1},
      {"1/1/12008", kUs, 0, 0, 0},
      {"0001/01/2008", kUs, 2008, 1, 1},
      // Dates that do not exist.
      {"2/29/2008", kUs, 2008, 2, 29},
      {"2/29/2000", kUs, 2000, 2, 29},
      {"2/29/1900", kUs, 0, 0, 0},
      {"2/29/2007", kUs, 0, 0, 0},
      {"2/30/2008", kUs, 0, 0, 0},
      {"4/31/2008", kUs, 0, 0, 0},
      {"13/1/2008", kUs, 0, 0, 0},
      {"0/1/2008", kUs, 0, 0, 0},
      {"1/0/2008", kUs, 0, 0, 0},
  };
  for (const Case& c : cases) {
    double date = -1;
    const bool read = ReadDate(c.text, c.locale, 2024, date);
    EXPECT_EQ(read, c.year != 0) << '"' << c.text << '"';
    if (read && c.year != 0) {
      EXPECT_EQ(date, DayNumber(c.year, c.month, c.day)) << c.text;
    }
  }
}

TEST(ReadDate, TwoNumbersTakeTheCurrentYear) {
  double date;
  ASSERT_TRUE(ReadDate("2/29", kUs, 2024, date));
  EXPECT_EQ(date, DayNumber(2024, 2, 29));
  EXPECT_FALSE(ReadDate("2/29", kUs, 2023, date));
}

TEST(DayNumber, CountsFromDecember30th1899) {
  EXPECT_EQ(DayNumber(1899, 12, 30), 0);
  EXPECT_EQ(DayNumber(1900, 1, 1), 2);
  EXPECT_EQ(DayNumber(1900, 3, 1), 61);
  EXPECT_EQ(DayNumber(2008, 12, 31), 39813);
  EXPECT_EQ(DayNumber(1, 1, 1), -693593);
  EXPECT_EQ(DayNumber(9999, 12, 31), 2958465);
}

TEST(DateTimeValue, AddsTheTimeOfDay) {
  EXPECT_EQ(DateTimeValue({2008, 12, 31, 0, 0, 0}), 39813);
  EXPECT_DOUBLE_EQ(DateTimeValue({2008, 12, 31, 12, 0, 0}), 39813.5);
  EXPECT_LT(DateTimeValue({2008, 12, 30, 23, 59, 58}), 39813);
  EXPECT_LT(DateTimeValue({2008, 12, 30, 23, 59, 59}), 39813);
  // Outside the range of DOS dates it still orders correctly.
  EXPECT_LT(DateTimeValue({1970, 1, 1, 0, 0, 0}), DayNumber(1980, 1, 1));
  EXPECT_GT(DateTimeValue({2200, 1, 1, 0, 0, 0}), DayNumber(2107, 12, 31));
}

}  // namespace
