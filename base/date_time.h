#pragma once
// Date-times as the system keeps them: a double counting days since
// 30 December 1899, the time of day as the fraction. Negative values lie
// before that day; their fraction is the time of day all the same.

#include <cstdint>

namespace kv {

using TDateTime = double;

inline constexpr double kMinutesPerDay = 24.0 * 60.0;
inline constexpr double kSecondsPerDay = 24.0 * 60.0 * 60.0;
// The day 1 January 1970 as a TDateTime.
inline constexpr TDateTime kUnixDateDelta = 25569.0;

struct TDateTimeParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  int DayOfWeek = 0;  // 1 = Sunday ... 7 = Saturday
};

// False (and `result` untouched) for a date outside years 1 to 9999 or a
// day the month does not have.
bool TryEncodeDate(int year, int month, int day, TDateTime& result) noexcept;
// False for hours outside 0..23, minutes or seconds outside 0..59, or
// milliseconds outside 0..999.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) noexcept;
// False for a value that is not finite or lies outside years 1 to 9999.
bool TryDecodeDateTime(TDateTime value, TDateTimeParts& parts) noexcept;

}  // namespace kv
