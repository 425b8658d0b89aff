#include "base/cp1251.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <random>

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

// ICU's own converters, strict on malformed input, with "?" for a character
// that Windows-1251 lacks: what the fast conversion must agree with.
std::string IcuUtf8ToCp1251(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* from = ucnv_open("UTF-8", &status);
  UConverter* to = ucnv_open("windows-1251", &status);
  ucnv_setToUCallBack(from, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setSubstChars(to, "?", 1, &status);
  ucnv_setFallback(to, false);
  std::u16string wide(utf8.size() + 1, u'\0');
  int32_t n = ucnv_toUChars(from, reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                            utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  std::string out;
  if (U_SUCCESS(status)) {
    out.assign(wide.size() + 1, '\0');
    n = ucnv_fromUChars(to, out.data(), static_cast<int32_t>(out.size()), reinterpret_cast<const UChar*>(wide.data()),
                        n, &status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
  }
  ucnv_close(from);
  ucnv_close(to);
  return out;
}

TEST(Cp1251Conversion, AgreesWithIcusConvertersOnAnyBytes) {
  // Every character of the Basic Multilingual Plane and many beyond, between
  // letters...
  for (char32_t cp = 1; cp < 0x110000; cp += cp < 0x10000 ? 1 : 61) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    std::string utf8 = "x";
    if (cp < 0x80) {
      utf8 += static_cast<char>(cp);
    } else if (cp < 0x800) {
      utf8 += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else if (cp < 0x10000) {
      utf8 += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
               static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
      utf8 += {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
               static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    }
    utf8 += "y";
    ASSERT_EQ(Utf8ToCp1251(utf8), IcuUtf8ToCp1251(utf8)) << std::hex << static_cast<uint32_t>(cp);
  }
  // ...and random bytes, mostly of the lead and continuation kinds, so that
  // every malformed shape comes up.
  std::mt19937 random(1251);
  const unsigned char kinds[] = {'a', 0x80, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xD0, 0xDF, 0xE0, 0xED,
                                 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xD1, 0x8F, 0xE2, 0x84, 0x96};
  for (int i = 0; i < 200000; ++i) {
    std::string bytes(random() % 7, ' ');
    for (char& c : bytes) c = static_cast<char>(random() % 2 ? kinds[random() % std::size(kinds)] : random() % 256);
    ASSERT_EQ(Utf8ToCp1251(bytes), IcuUtf8ToCp1251(bytes)) << testing::PrintToString(bytes);
  }
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
