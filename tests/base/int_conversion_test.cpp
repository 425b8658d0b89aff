#include "base/int_conversion.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/exception.h"

namespace kv {
namespace {

TEST(StrToInt, ReadsDecimalWithLeadingBlanksAndSign) {
  struct Case { const char* text; int32_t value; };
  const Case cases[] = {
      {"0", 0},           {"351", 351},         {"    351", 351},      {"+7", 7},
      {"-42", -42},       {"  -0", 0},          {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"007", 7},         {"  12345678", 12345678},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(StrToInt, RaisesConvertErrorNamingTheText) {
  const char* bad[] = {"", " ", "abc", "1 2", "12 ", "1.5", "+", "-", "2147483648", "-2147483649",
                       "99999999999999999999", "0x10", "\t5", "5x"};
  for (const char* text : bad) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
      EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
  }
}

TEST(StrToInt, TryFormGivesNothingForTheSameTexts) {
  EXPECT_FALSE(TryStrToInt("1 2").has_value());
  EXPECT_EQ(TryStrToInt(" 5").value(), 5);
}

// The 64-bit form at the edges of its range, where the overflow test of
// each digit decides.
TEST(StrToInt, SixtyFourBitsReachBothEndsAndNoFurther) {
  struct Case { const char* text; std::optional<int64_t> value; };
  const Case cases[] = {
      {"9223372036854775807", INT64_MAX},       {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},    {"-9223372036854775809", std::nullopt},
      {"-9223372036854775800", INT64_MIN + 8},  {"922337203685477580", INT64_MAX / 10},
      {"92233720368547758070", std::nullopt},   {"00009223372036854775807", INT64_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(TryStrToInt64(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace kv
