#include "base/cp1251.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Cp1251Conversion, Utf8ToWindows1251) {
  struct Case { std::string utf8; std::string cp1251; };
  const Case cases[] = {
      {"", ""},
      {"abc 123", "abc 123"},
      {"кот", "\xEA\xEE\xF2"},
      {"Ёё", "\xA8\xB8"},
      {"№ «»", "\xB9 \xAB\xBB"},
      {"€", "\x88"},
      {"日本", "??"},                 // characters Windows-1251 lacks
      {"a\xF0\x9F\x98\x80z", "a?z"},  // a character outside the BMP is one "?"
      {"é", "?"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(Cp1251Conversion, MalformedUtf8GivesEmptyText) {
  const std::string bad[] = {
      "abc\xFF",          // a byte that never occurs in UTF-8
      "\xD0",             // truncated sequence
      "ab\xD0z",          // lead byte without its continuation
      "\xC0\xAF",         // overlong form of "/"
      "\xED\xA0\x80",     // an encoded surrogate
      "\x80" "abc",       // stray continuation byte
  };
  for (const auto& b : bad) EXPECT_EQ(Utf8ToCp1251(b), "") << testing::PrintToString(b);
}

TEST(Cp1251Conversion, SubstitutingConversionShowsMalformedUtf8AsQuestionMarks) {
  struct Case { std::string utf8; std::string cp1251; };
  const Case cases[] = {
      {"", ""},
      {"/tmp/кот.txt", "/tmp/\xEA\xEE\xF2.txt"},
      {"日本", "??"},
      {"abc\xFF", "abc?"},
      {"ab\xD0z", "ab?z"},
      {"\x80" "abc", "?abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1251Substituting(c.utf8), c.cp1251) << testing::PrintToString(c.utf8);
}

TEST(Cp1251Conversion, EveryByteRoundTripsThroughUtf8) {
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << std::hex << b;
  }
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");  // no character: kept as the C1 control
}

TEST(Cp1251Literals, CompileTimeTableAgreesWithIcu) {
  for (int b = 0x80; b < 0x100; ++b) {
    char32_t table = detail::kCp1251Upper[static_cast<size_t>(b - 0x80)];
    if (table == 0) continue;
    EXPECT_EQ(static_cast<char32_t>(Cp1251ToUtf16(static_cast<unsigned char>(b))), table) << std::hex << b;
  }
  EXPECT_EQ("Получить"_w1251, Utf8ToCp1251("Получить"));
  EXPECT_EQ("Сохранить в: "_w1251, "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC\x20\xE2\x3A\x20");
}

}  // namespace
}  // namespace kv
