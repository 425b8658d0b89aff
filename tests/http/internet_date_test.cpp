#include "http/internet_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fixed_zone.h"

namespace kv {
namespace {

using testing::FixedZone;

TDateTime DateOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime date = 0;
  TDateTime time = 0;
  EXPECT_TRUE(TryEncodeDate(year, month, day, date));
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, 0, time));
  return date + time;
}

// Dates compare to the second.
void ExpectSameSecond(TDateTime actual, TDateTime expected, const std::string& what) {
  EXPECT_LT(std::fabs(actual - expected) * kSecondsPerDay, 0.5) << what;
}

TEST(DateTimeCalendar, EncodesAndDecodesAcrossTheRange) {
  struct Case { int year, month, day, dayOfWeek; double serial; };
  const Case cases[] = {
      {1899, 12, 30, 7, 0},     {1899, 12, 31, 1, 1},  {1970, 1, 1, 5, 25569}, {1994, 11, 6, 1, 34644},
      {2000, 2, 29, 3, 36585},  {1, 1, 1, 2, -693593}, {9999, 12, 31, 6, 2958465},
  };
  for (const auto& c : cases) {
    TDateTime date = -1;
    ASSERT_TRUE(TryEncodeDate(c.year, c.month, c.day, date)) << c.year;
    EXPECT_EQ(date, c.serial) << c.year;
    TDateTimeParts parts;
    // Before the zero day the time of day is the fraction below the date.
    ASSERT_TRUE(TryDecodeDateTime(date >= 0 ? date + 0.5 : date - 0.5, parts));
    EXPECT_EQ(parts.Year, c.year);
    EXPECT_EQ(parts.Month, c.month);
    EXPECT_EQ(parts.Day, c.day);
    EXPECT_EQ(parts.Hour, 12);
    EXPECT_EQ(parts.DayOfWeek, c.dayOfWeek) << c.year;
  }
  TDateTime unused = 0;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, unused));
  EXPECT_FALSE(TryEncodeDate(1994, 0, 1, unused));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, unused));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, unused));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, unused));
  TDateTimeParts parts;
  EXPECT_FALSE(TryDecodeDateTime(NAN, parts));
  EXPECT_FALSE(TryDecodeDateTime(INFINITY, parts));
  EXPECT_FALSE(TryDecodeDateTime(3e6, parts));
  // 23:59:59.9999 rounds into the next day.
  ASSERT_TRUE(TryDecodeDateTime(DateOf(1994, 11, 6) + (kSecondsPerDay - 0.0001) / kSecondsPerDay, parts));
  EXPECT_EQ(parts.Day, 7);
  EXPECT_EQ(parts.Hour, 0);
}

TEST(InternetDateParse, ReadsTheThreeLayouts) {
  struct Case { const char* text; const char* rest; };
  const Case cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", "GMT"},
      {"Sunday, 06-Nov-94 08:49:37 GMT", "GMT"},
      {"Sun Nov  6 08:49:37 1994", ""},
      {"  sun, 6 nov 1994 08:49:37 +0000  ", "+0000"},
      {"06 Nov 1994 08:49:37", ""},
      {"Nov 6 08:49:37 1994", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ExpectSameSecond(ParseInternetDate(text), DateOf(1994, 11, 6, 8, 49, 37), c.text);
    EXPECT_EQ(text, c.rest) << c.text;
  }
}

TEST(InternetDateParse, YearsAndPartsThatAreNotNumbers) {
  struct Case { const char* text; int year, month, day, hour, minute, second; };
  const Case cases[] = {
      {"Mon, 01 Jan 79 00:00:00", 2079, 1, 1, 0, 0, 0},
      {"Mon, 01 Jan 80 00:00:00", 1980, 1, 1, 0, 0, 0},
      {"Mon, 01 Jan 2030 10:20", 2030, 1, 1, 10, 20, 0},
      {"Mon, xx Jan 2030 aa:20:bb", 2030, 1, 1, 0, 20, 0},  // day 1, hours and seconds 0
      {"01 Jan 2030", 2030, 1, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ExpectSameSecond(ParseInternetDate(text), DateOf(c.year, c.month, c.day, c.hour, c.minute, c.second), c.text);
  }
}

TEST(InternetDateParse, UnreadableDatesGiveZero) {
  const char* texts[] = {
      "",
      "   ",
      "06 Sept 1994 08:49:37 GMT",     // a four-letter month
      "31 Feb 1994 00:00:00 GMT",      // no such day
      "Sun, 06 Nov 1994 25:00:00 GMT",  // no such hour
      "Sun, 06 Nov 1994 08:61:00 GMT",
      "garbage",
      "-",
      ":::::",
      "Sun,",
      "1994",
  };
  for (const char* t : texts) {
    std::string text = t;
    EXPECT_EQ(ParseInternetDate(text), 0.0) << t;
    EXPECT_EQ(text, "") << t;
  }
}

TEST(InternetDateParse, HostileTextsNeverFail) {
  const std::string huge_number = "Sun, " + std::string(1 << 20, '9') + " Nov 1994 08:49:37 GMT";
  std::string text = huge_number;
  // A day that is not a 32-bit number counts as day 1.
  ExpectSameSecond(ParseInternetDate(text), DateOf(1994, 11, 1, 8, 49, 37), "huge day");
  // Deterministic noise over the characters dates are made of.
  const char alphabet[] = "SunNovJanMo, -:0123456789GMT+\t";
  unsigned state = 12345;
  for (int i = 0; i < 3000; ++i) {
    std::string noise;
    const int length = static_cast<int>(state % 40);
    for (int k = 0; k < length; ++k) {
      state = state * 1103515245u + 12345u;
      noise += alphabet[(state >> 16) % (sizeof alphabet - 1)];
    }
    state = state * 1103515245u + 12345u;
    std::string copy = noise;
    const TDateTime value = ParseInternetDate(copy);
    EXPECT_TRUE(std::isfinite(value)) << noise;
    EXPECT_LE(copy.size(), noise.size());
  }
}

TEST(InternetDateZone, OffsetsOfZoneTexts) {
  struct Case { const char* zone; int minutes; };
  const Case cases[] = {
      {"+0300", 180}, {"-0530", -330}, {"  +0100 (CET)", 60}, {"GMT", 0},  {"+2500", 0},
      {"+03", 0},     {"+03xx", 0},    {"EST", 0},            {"--300", 0}, {"", 0},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(ZoneTextToOffset(c.zone) * kMinutesPerDay, c.minutes) << c.zone;

  EXPECT_EQ(ZoneOffsetText(0, true), "GMT");
  EXPECT_EQ(ZoneOffsetText(0, false), "+0000");
  EXPECT_EQ(ZoneOffsetText(180 / kMinutesPerDay, true), "+0300");
  EXPECT_EQ(ZoneOffsetText(-210 / kMinutesPerDay, false), "-0330");
}

TEST(InternetDateLocal, ZonesAreTakenOffAndTheLocalOffsetAdded) {
  struct Zone { const char* tz; int offsetMinutes; };
  const Zone zones[] = {{"MSK-3", 180}, {"NST3:30", -210}};
  for (const auto& zone : zones) {
    FixedZone fixed(zone.tz);
    SCOPED_TRACE(zone.tz);
    const double local = zone.offsetMinutes / kMinutesPerDay;
    EXPECT_DOUBLE_EQ(LocalOffsetFromUtc(), local);
    ExpectSameSecond(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"), DateOf(1994, 11, 6, 8, 49, 37) + local, "gmt");
    ExpectSameSecond(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 +0200"), DateOf(1994, 11, 6, 6, 49, 37) + local,
                     "+0200");
    ExpectSameSecond(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 -0100"), DateOf(1994, 11, 6, 9, 49, 37) + local,
                     "-0100");
    // An absent or unreadable date still carries the local offset.
    EXPECT_DOUBLE_EQ(InternetDateToLocal(""), local);
    EXPECT_DOUBLE_EQ(InternetDateToLocal("06 Sept 1994"), local);
    EXPECT_DOUBLE_EQ(InternetDateToLocal("06 Sept 1994 +0500"), local);
    EXPECT_DOUBLE_EQ(InternetDateToLocal("Sun, 06 Nov 1994 24:00:00 -0100"), local);
  }
}

TEST(InternetDateLocal, TheServersFormReadsAsTheWholeParserReadsIt) {
  // The usual form, near it and at the edges of what the parser makes of
  // it: the local reading is the parsed date less its zone, plus the local
  // offset.
  FixedZone fixed("MSK-3");
  const char* texts[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Thu, 29 Feb 2024 23:59:59 GMT",
                         "Wed, 29 Feb 2023 12:00:00 GMT", "Mon, 01 Jan 0079 00:00:00 GMT",
                         "Mon, 01 Jan 0099 00:00:00 GMT", "Mon, 01 Jan 0100 00:00:00 GMT",
                         "Mon, 01 Jan 1900 10:11:12 GMT", "mon, 01 jAN 2000 10:11:12 GMT",
                         "Xyz, 01 Jan 2000 10:11:12 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
                         "Sun, 06 Nov 1994 08:60:37 GMT", "Sun, 00 Nov 1994 08:49:37 GMT",
                         "Sun, 06 Nov 1994 08:49:37 UTC", "Sun,  6 Nov 1994 08:49:37 GMT",
                         "Sun, 06 Nov 19a4 08:49:37 GMT", "Sun, 06 Nov 1994 08-49-37 GMT",
                         "Sat, 31 Dec 9999 23:59:59 GMT", "Sun, 06-Nov-1994 08:49:37 GMT"};
  for (const char* text : texts) {
    std::string rest = text;
    TDateTime expected = ParseInternetDate(rest);
    if (rest.size() > 4) expected -= ZoneTextToOffset(rest);
    EXPECT_DOUBLE_EQ(InternetDateToLocal(text), expected + LocalOffsetFromUtc()) << text;
  }
}

TEST(InternetDateText, WritesLocalTimeWithTheLocalOffset) {
  struct Case { const char* tz; const char* expected; };
  const Case cases[] = {
      {"MSK-3", "Sun, 6 Nov 1994 08:49:37 +0300"},
      {"NST3:30", "Sun, 6 Nov 1994 08:49:37 -0330"},
      {"UTC0", "Sun, 6 Nov 1994 08:49:37 +0000"},
  };
  for (const auto& c : cases) {
    FixedZone fixed(c.tz);
    EXPECT_EQ(InternetDateText(DateOf(1994, 11, 6, 8, 49, 37)), c.expected);
    EXPECT_EQ(InternetDateText(DateOf(2030, 1, 5, 23, 0, 9)), std::string("Sat, 5 Jan 2030 23:00:09 ") + (c.expected + 25));
    // What is written reads back as the same local time.
    ExpectSameSecond(InternetDateToLocal(InternetDateText(DateOf(2001, 7, 15, 1, 2, 3))), DateOf(2001, 7, 15, 1, 2, 3),
                     c.tz);
  }
  EXPECT_THROW(InternetDateText(NAN), EConvertError);
  EXPECT_THROW(InternetDateText(1e9), EConvertError);
}

TEST(InternetDateNow, FollowsTheLocalZone) {
  TDateTime utc = 0;
  TDateTime moscow = 0;
  {
    FixedZone fixed("UTC0");
    utc = Now();
  }
  {
    FixedZone fixed("MSK-3");
    moscow = Now();
  }
  EXPECT_NEAR((moscow - utc) * 24.0, 3.0, 0.01);
}

}  // namespace
}  // namespace kv
