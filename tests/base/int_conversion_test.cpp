#include "base/int_conversion.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kv
