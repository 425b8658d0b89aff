#include "base/percent_encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kv {
namespace {

TEST(HexDigitValue, ReadsEitherCaseAndNothingElse) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const char text[] = {c, '\0'};
    char* end = nullptr;
    const long value = std::strtol(text, &end, 16);
    const int expected = byte != 0 && *end == '\0' ? static_cast<int>(value) : -1;
    EXPECT_EQ(HexDigitValue(c), expected) << byte;
  }
}

TEST(PercentDecode, DecodesEscapesAndKeepsOrRefusesABadOne) {
  struct Case {
    std::string text;
    std::string decoded;  // BadEscape::kKeep
    bool refused;         // BadEscape::kFail returns none (else `decoded`)
  };
  const Case cases[] = {
      {"", "", false},
      {"plain+text", "plain+text", false},
      {"%41%62%2f%2F", "Ab//", false},
      {"p%40ss%3A1", "p@ss:1", false},
      {"%00%ff", std::string("\0\xff", 2), false},
      {"%EA%EE", "\xEA\xEE", false},
      {"%", "%", true},
      {"a%4", "a%4", true},
      {"%4g", "%4g", true},
      {"%%41", "%A", true},
      {"100%", "100%", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PercentDecode(c.text, BadEscape::kKeep), c.decoded) << c.text;
    const std::optional<std::string> strict = PercentDecode(c.text, BadEscape::kFail);
    EXPECT_EQ(strict, c.refused ? std::nullopt : std::optional<std::string>(c.decoded)) << c.text;
  }
}

TEST(AppendPercentEscape, WritesTwoUpperCaseDigits) {
  std::string out;
  for (const unsigned char byte : {0x00, 0x0A, 0x7F, 0xEA, 0xFF}) AppendPercentEscape(out, byte);
  EXPECT_EQ(out, "%00%0A%7F%EA%FF");
}

}  // namespace
}  // namespace kv
