// Reading the exclusion date and turning times into date-time values.
#include "DateText.h"

#include <chrono>

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
  using namespace std::chrono;
  constexpr sys_days kDayZero = 1899y / December / 30;
  const sys_days date{std::chrono::year{year} / static_cast<unsigned>(month) / static_cast<unsigned>(day)};
  return static_cast<double>((date - kDayZero).count());
}

double DateTimeValue(const plat::LocalTime& t) {
  const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0;
  return DayNumber(t.year, t.month, t.day) + ms / 86400000.0;
}

bool IsValidDate(int year, int month, int day) {
  // Checked before the calendar sees them: it takes any int, and only 1 to 9999 are years here.
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  return std::chrono::year_month_day{std::chrono::year{year} / static_cast<unsigned>(month) /
                                     static_cast<unsigned>(day)}
      .ok();
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
