#include "base/date_time.h"

#include <cmath>

namespace kv {
namespace {

// Days from 1 January 1970 to the given day of the proleptic Gregorian
// calendar, and back (the usual era-based civil calendar arithmetic).
int64_t DaysFromCivil(int64_t year, int month, int day) noexcept {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) noexcept {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

bool IsLeapYear(int year) noexcept { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) noexcept {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr double kFirstDay = -693593.0;   // 1 January 0001
constexpr double kPastLastDay = 2958466.0;  // 1 January 10000

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  result = static_cast<double>(DaysFromCivil(year, month, day)) + kUnixDateDelta;
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) noexcept {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  result = ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / kSecondsPerDay;
  return true;
}

bool TryDecodeDateTime(TDateTime value, TDateTimeParts& parts) noexcept {
  // Before the zero day the fraction counts forward from the date, so the
  // first day reaches down to just above kFirstDay - 1.
  if (!std::isfinite(value) || value <= kFirstDay - 1.0 || value >= kPastLastDay) return false;
  int64_t days = static_cast<int64_t>(std::trunc(value));
  int64_t milliseconds = std::llround(std::fabs(value - static_cast<double>(days)) * kSecondsPerDay * 1000.0);
  if (milliseconds >= 86400000) {
    milliseconds -= 86400000;
    days += value < 0 ? -1 : 1;
  }
  const int64_t unixDays = days - static_cast<int64_t>(kUnixDateDelta);
  CivilFromDays(unixDays, parts.Year, parts.Month, parts.Day);
  if (parts.Year < 1 || parts.Year > 9999) return false;
  parts.Millisecond = static_cast<int>(milliseconds % 1000);
  parts.Second = static_cast<int>(milliseconds / 1000 % 60);
  parts.Minute = static_cast<int>(milliseconds / 60000 % 60);
  parts.Hour = static_cast<int>(milliseconds / 3600000);
  // 1 January 1970 was a Thursday.
  parts.DayOfWeek = static_cast<int>(((unixDays % 7) + 7 + 4) % 7) + 1;
  return true;
}

}  // namespace kv
