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

namespace {

int IntOr(std::string_view text, int fallback) { return TryStrToInt(text).value_or(fallback); }

// The day and the month, in either order, after an optional day name;
// between them "-" (when a "-" stands before the first blank) or a blank.
void ReadDayAndMonth(std::string_view& text, int& day, int& month) {
  if (DayNumber(text) > 0) {
    CutTokenView(text, " ");
    text = TrimLeftView(text);
  }
  const size_t dash = text.find('-');
  const size_t blank = text.find(' ');
  const std::string_view separator = dash > 0 && blank != std::string_view::npos && dash < blank ? "-" : " ";
  auto read_day = [&] {
    day = IntOr(CutTokenView(text, separator), 1);
    text = TrimLeftView(text);
  };
  auto read_month = [&] {
    month = MonthNumber(CutTokenView(text, separator));
    text = TrimLeftView(text);
  };
  if (MonthNumber(text.substr(0, text.find(separator))) > 0) {
    read_month();
    read_day();
  } else {
    read_day();
    read_month();
  }
}

// The year, which may stand after the time ("Sun Nov  6 08:49:37 1994"):
// then the time is what is left in `text`. Two-digit years are widened.
int ReadYear(std::string_view& text) {
  const std::string_view token = CutTokenView(text, " ");
  int year = IntOr(token, 1900);
  if (year == 1900) {
    year = IntOr(text, 1900);
    text = token;
  }
  if (year < 80) return year + 2000;
  if (year < 100) return year + 1900;
  return year;
}

// ParseInternetDate over a view, so that no date read costs a copy: `text`
// is left at the unread rest, a part of what it was. An unreadable date
// leaves no zone behind either, so that it gives exactly 0 before the local
// offset is added.
TDateTime ReadInternetDate(std::string_view& text) {
  text = TrimView(text);
  if (text.empty()) return 0;
  int day = 1;
  int month = 0;
  ReadDayAndMonth(text, day, month);
  const int year = ReadYear(text);
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) {
    text = {};
    return 0;
  }
  if (text.find(':') != std::string_view::npos) {
    std::string_view clock = CutTokenView(text, " ");
    const int hours = IntOr(CutTokenView(clock, ":"), 0);
    const int minutes = IntOr(CutTokenView(clock, ":"), 0);
    const int seconds = IntOr(clock, 0);
    TDateTime time = 0;
    if (!TryEncodeTime(hours, minutes, seconds, 0, time)) {
      text = {};
      return 0;
    }
    date = date >= 0 ? date + time : date - time;
  }
  text = TrimLeftView(text);
  return date;
}

}  // namespace

TDateTime ParseInternetDate(std::string& text) {
  std::string_view rest = text;
  const TDateTime date = ReadInternetDate(rest);
  // The rest is a part of the text: the text is cut down to it in place.
  if (rest.empty()) {
    text.clear();
  } else {
    const size_t start = static_cast<size_t>(rest.data() - text.data());
    text.erase(start + rest.size());
    text.erase(0, start);
  }
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

TDateTime InternetDateToLocal(std::string_view text, TDateTime local_offset) {
  std::string_view rest = text;
  TDateTime date = ReadInternetDate(rest);
  if (rest.size() > 4) date -= ZoneTextToOffset(rest);
  return date + local_offset;
}

TDateTime InternetDateToLocal(std::string_view text) { return InternetDateToLocal(text, LocalOffsetFromUtc()); }

}  // namespace kv
