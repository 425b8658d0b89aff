#include "base/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/cp1251.h"

namespace kv {
namespace {

std::string W(const char* utf8) { return Utf8ToCp1251(utf8); }

int Sign(int v) { return (v > 0) - (v < 0); }

class CollationTest : public testing::TestWithParam<const char*> {};

// The sort tool relies on: blank < digits < letters, letter case ignored,
// Cyrillic letters in alphabet order (Ё beside Е).
TEST_P(CollationTest, OrdersBlanksDigitsLettersIgnoringCase) {
  TextCollator collator(GetParam());
  struct Case { std::string a, b; int sign; };
  const Case cases[] = {
      {" ", "0", -1},         {"9", "a", -1},           {"9", W("а"), -1},
      {"    351", "     42", 1},  // fewer leading blanks: the bigger count
      {"     42", "      5", 1},
      {"  12345", "    351", 1},
      {"abc", "ABC", 0},      {W("кот"), W("КОТ"), 0},   {W("ёж"), W("ЁЖ"), 0},
      {W("а"), W("б"), -1},   {W("е"), W("ж"), -1},      {W("ё"), W("ж"), -1},
      {"a b", "ab", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(collator.Compare(c.a, c.b)), c.sign) << GetParam() << ": '" << c.a << "' vs '" << c.b << "'";
    EXPECT_EQ(Sign(collator.SortKey(c.a).compare(collator.SortKey(c.b))), c.sign)
        << GetParam() << " keys: '" << c.a << "' vs '" << c.b << "'";
  }
}

// An unset or C/POSIX locale must not make ASCII case a primary difference.
INSTANTIATE_TEST_SUITE_P(Locales, CollationTest, testing::Values("ru_RU", "en_US", "root", "C", "en_US_POSIX"));

TEST(Collation, SortKeysOrderLikeCompare) {
  TextCollator collator("ru_RU");
  std::vector<std::string> lines = {W("      5   -   кот"), W("    351   -   Кот"), W("     42   -   ёж"),
                                    W("    351   -   ель"), "", "  12345", W("    351   -   ЁЛКА")};
  for (const auto& a : lines)
    for (const auto& b : lines)
      EXPECT_EQ(Sign(collator.SortKey(a).compare(collator.SortKey(b))), Sign(collator.Compare(a, b))) << a << " / " << b;
}

TEST(Collation, DefaultCollatorFollowsTheChosenLocale) {
  SetDefaultCollatorLocale("ru_RU");
  EXPECT_EQ(DefaultCollator().LocaleName(), "ru_RU");
  EXPECT_LT(CompareText(" 9", "10"), 0);
  SetDefaultCollatorLocale("C");
  EXPECT_EQ(DefaultCollator().LocaleName(), "");
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
}

}  // namespace
}  // namespace kv
