// Reading the exclusion date and turning times into date-time values.
#include "DateText.h"

#include <cstdint>

namespace {

enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };

Order PatternOrder(std::string_view pattern) {
  for (char c : pattern) {
    switch (c) {
      case 'd':
      case 'D':
        return Order::DayMonthYear;
      case 'm':
      case 'M':
        return Order::MonthDayYear;
      case 'y':
      case 'Y':
      case 'e':
      case 'E':
        return Order::YearMonthDay;
      default:
        break;
    }
  }
  return Order::MonthDayYear;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// A cursor over the date text; spaces may stand around every number and separator.
struct Scanner {
  std::string_view text;
  size_t pos = 0;

  void SkipSpaces() {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  bool Char(char c) {
    SkipSpaces();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // At most four significant digits: a fifth stays unread and breaks the date.
  bool Number(int& value, int& digits) {
    SkipSpaces();
    const size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && value < 1000) {
      value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    digits = static_cast<int>(pos - start);
    return digits > 0;
  }
  bool AtEnd() {
    SkipSpaces();
    return pos == text.size();
  }
};

}  // namespace

double DayNumber(int year, int month, int day) {
  // Days from civil (proleptic Gregorian), shifted so that 30 December 1899 is day 0.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t daysFrom1970 = era * 146097 + doe - 719468;
  return static_cast<double>(daysFrom1970 + 25569);
}

double DateTimeValue(const plat::LocalTime& t) {
  const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0;
  return DayNumber(t.year, t.month, t.day) + ms / 86400000.0;
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool ReadDate(std::string_view text, const plat::DateLocale& locale, int currentYear, double& date) {
  Scanner in{text};
  int n[3], digits[3];
  if (!in.Number(n[0], digits[0]) || !in.Char(locale.separator) || !in.Number(n[1], digits[1])) return false;
  const Order order = PatternOrder(locale.shortPattern);
  int year, month, day;
  if (in.Char(locale.separator)) {
    if (!in.Number(n[2], digits[2])) return false;
    in.Char(locale.separator);  // one trailing separator is allowed
    int yearDigits;
    switch (order) {
      case Order::MonthDayYear:
        month = n[0], day = n[1], year = n[2], yearDigits = digits[2];
        break;
      case Order::DayMonthYear:
        day = n[0], month = n[1], year = n[2], yearDigits = digits[2];
        break;
      default:
        year = n[0], month = n[1], day = n[2], yearDigits = digits[0];
        break;
    }
    if (yearDigits <= 2) {
      // The hundred years from 50 before the current year to 49 after it.
      const int windowStart = currentYear - 50;
      year += windowStart - windowStart % 100;
      if (year < windowStart) year += 100;
    }
  } else {
    year = currentYear;
    if (order == Order::DayMonthYear)
      day = n[0], month = n[1];
    else
      month = n[0], day = n[1];
  }
  if (!in.AtEnd() || !IsValidDate(year, month, day)) return false;
  date = DayNumber(year, month, day);
  return true;
}
