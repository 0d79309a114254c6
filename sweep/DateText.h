// Dates as the run reads and compares them: days since 30 December 1899.
#pragma once

#include <string_view>

#include "platform/DateTypes.h"

// The whole days from 30 December 1899 to the given Gregorian date, for any year.
double DayNumber(int year, int month, int day);
// A local time as days, the time of day as the fraction.
double DateTimeValue(const plat::LocalTime& time);
bool IsValidDate(int year, int month, int day);

// Reads a date typed by the user, the order of its numbers following the
// locale's short date pattern; two numbers take the current year.
bool ReadDate(std::string_view text, const plat::DateLocale& locale, int currentYear, double& date);
