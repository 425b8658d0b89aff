#include "http/internet_date.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "base/int_conversion.h"
#include "base/text.h"
#include "base/text_tokens.h"

namespace kv {
namespace {

constexpr std::string_view kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::string_view kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Local time minus UTC in whole seconds, now.
long LocalOffsetSeconds(time_t now) {
  struct tm local {};
  if (localtime_r(&now, &local) == nullptr) throw EIdFailedToRetreiveTimeZoneInfo();
  return local.tm_gmtoff;
}

int IntOr(std::string_view text, int fallback) { return TryStrToInt(text).value_or(fallback); }

}  // namespace

TDateTime LocalOffsetFromUtc() {
  const long minutes = LocalOffsetSeconds(time(nullptr)) / 60;
  return static_cast<double>(minutes) / kMinutesPerDay;
}

TDateTime Now() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  const long offset = LocalOffsetSeconds(now.tv_sec);
  const double seconds = static_cast<double>(now.tv_sec + offset) + now.tv_nsec / 1e9;
  return kUnixDateDelta + seconds / kSecondsPerDay;
}

std::string ZoneOffsetText(TDateTime offset, bool useGmt) {
  if (useGmt && offset == 0) return "GMT";
  const long long minutes = std::isfinite(offset) ? std::llround(std::fabs(offset) * kMinutesPerDay) % 1440 : 0;
  char text[8];
  std::snprintf(text, sizeof text, "%c%02lld%02lld", offset >= 0 ? '+' : '-', minutes / 60, minutes % 60);
  return text;
}

std::string InternetDateText(TDateTime value) {
  TDateTimeParts parts;
  if (!TryDecodeDateTime(value, parts)) throw EConvertError("Invalid date-time value");
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %s", kDayNames[parts.DayOfWeek - 1].data(), parts.Day,
                kMonthNames[parts.Month - 1].data(), parts.Year, parts.Hour, parts.Minute, parts.Second,
                ZoneOffsetText(LocalOffsetFromUtc(), false).c_str());
  return text;
}

namespace {

// Three letters upper-cased and packed into one number.
constexpr uint32_t PackedName(std::string_view three) {
  return uint32_t(uint8_t(UpperAscii(three[0]))) << 16 | uint32_t(uint8_t(UpperAscii(three[1]))) << 8 |
         uint32_t(uint8_t(UpperAscii(three[2])));
}

template <size_t N>
constexpr std::array<uint32_t, N> PackedNames(const std::string_view (&names)[N]) {
  std::array<uint32_t, N> packed{};
  for (size_t i = 0; i < N; ++i) packed[i] = PackedName(names[i]);
  return packed;
}

constexpr auto kPackedDayNames = PackedNames(kDayNames);
constexpr auto kPackedMonthNames = PackedNames(kMonthNames);

// The 1-based place of a three-letter name among `packed` names, letter
// case aside; 0 for anything else.
template <size_t N>
int NamePlace(std::string_view text, const std::array<uint32_t, N>& packed) {
  if (text.size() != 3) return 0;
  const uint32_t key = PackedName(text);
  for (size_t i = 0; i < N; ++i)
    if (packed[i] == key) return static_cast<int>(i) + 1;
  return 0;
}

}  // namespace

int DayNumber(std::string_view text) { return NamePlace(CopyView(text, 1, 3), kPackedDayNames); }

int MonthNumber(std::string_view text) { return NamePlace(text, kPackedMonthNames); }

TDateTime ParseInternetDate(std::string& text) {
  text = Trim(text);
  if (text.empty()) return 0;

  if (DayNumber(text) > 0) {
    CutToken(text, " ");
    text = TrimLeft(text);
  }
  const size_t dash = Pos("-", text);
  const std::string separator = (dash > 1 && dash < Pos(" ", text)) ? "-" : " ";

  int day = 1;
  int month = 0;
  auto readDay = [&] {
    day = IntOr(CutToken(text, separator), 1);
    text = TrimLeft(text);
  };
  auto readMonth = [&] {
    month = MonthNumber(CutToken(text, separator));
    text = TrimLeft(text);
  };
  if (MonthNumber(std::string_view(text).substr(0, text.find(separator))) > 0) {
    readMonth();
    readDay();
  } else {
    readDay();
    readMonth();
  }

  std::string yearToken = CutToken(text, " ");
  int year = IntOr(yearToken, 1900);
  if (year == 1900) {
    // The time stands before the year ("Sun Nov  6 08:49:37 1994").
    year = IntOr(text, 1900);
    text = std::move(yearToken);
  }
  if (year < 80) {
    year += 2000;
  } else if (year < 100) {
    year += 1900;
  }

  // An unreadable date leaves no zone behind either, so that it gives
  // exactly 0 before the local offset is added.
  auto unreadable = [&text] {
    text.clear();
    return 0.0;
  };
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) return unreadable();

  if (Pos(":", text) > 0) {
    std::string clock = CutToken(text, " ");
    const int hours = IntOr(CutToken(clock, ":"), 0);
    const int minutes = IntOr(CutToken(clock, ":"), 0);
    const int seconds = IntOr(clock, 0);
    TDateTime time = 0;
    if (!TryEncodeTime(hours, minutes, seconds, 0, time)) return unreadable();
    date = date >= 0 ? date + time : date - time;
  }
  text = TrimLeft(text);
  return date;
}

TDateTime ZoneTextToOffset(std::string_view text) {
  const std::string_view zone = CopyView(TrimView(text), 1, 5);
  if (zone.empty() || (zone.front() != '+' && zone.front() != '-')) return 0;
  const auto hours = TryStrToInt(CopyView(zone, 2, 2));
  const auto minutes = TryStrToInt(CopyView(zone, 4, 2));
  TDateTime offset = 0;
  if (!hours || !minutes || !TryEncodeTime(*hours, *minutes, 0, 0, offset)) return 0;
  return zone.front() == '-' ? -offset : offset;
}

namespace {

// Reads the form servers send in Date and Last-Modified, "Sun, 06 Nov 1994
// 08:49:37 GMT", in place: the same date as ParseInternetDate gives for it,
// with no zone to take off. False for any other text, or for what that
// parser reads otherwise (a year below 100, or 1900; a day or a time that
// does not exist), so that it reads those itself.
bool ReadServerDate(std::string_view text, TDateTime& result) {
  if (text.size() != 29 || text[3] != ',' || text.substr(25) != " GMT") return false;
  for (size_t at : {4, 7, 11, 16}) {
    if (text[at] != ' ') return false;
  }
  if (text[19] != ':' || text[22] != ':') return false;
  bool digits = true;
  auto number = [&](size_t at, size_t length) {
    int value = 0;
    for (size_t i = at; i < at + length; ++i) {
      if (text[i] < '0' || text[i] > '9') digits = false;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const int day = number(5, 2);
  const int year = number(12, 4);
  const int hour = number(17, 2);
  const int minute = number(20, 2);
  const int second = number(23, 2);
  if (!digits || year < 100 || year == 1900 || DayNumber(text) == 0) return false;
  const int month = MonthNumber(text.substr(8, 3));
  TDateTime date = 0;
  TDateTime time = 0;
  if (month == 0 || !TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time))
    return false;
  result = date >= 0 ? date + time : date - time;
  return true;
}

}  // namespace

TDateTime InternetDateToLocal(std::string_view text, TDateTime local_offset) {
  if (text.empty()) return local_offset;  // what reading no date gives: 0
  TDateTime server_date = 0;
  if (ReadServerDate(text, server_date)) return server_date + local_offset;
  std::string rest(text);
  TDateTime date = ParseInternetDate(rest);
  if (rest.size() > 4) date -= ZoneTextToOffset(rest);
  return date + local_offset;
}

TDateTime InternetDateToLocal(std::string_view text) { return InternetDateToLocal(text, LocalOffsetFromUtc()); }

}  // namespace kv
