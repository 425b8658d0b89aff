#include "base/text.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(TextCopy, NeverFailsOutsideTheText) {
  struct Case { const char* text; long index, count; const char* expected; };
  const Case cases[] = {
      {"abcdef", 1, 3, "abc"},   {"abcdef", 4, 100, "def"}, {"abcdef", 0, 2, "ab"},
      {"abcdef", -5, 2, "ab"},   {"abcdef", 7, 1, ""},      {"abcdef", 6, 1, "f"},
      {"abcdef", 2, 0, ""},      {"abcdef", 2, -1, ""},     {"", 1, 5, ""},
      {"abcdef", 3, 9999, "cdef"},
  };
  for (const auto& c : cases) EXPECT_EQ(Copy(c.text, c.index, c.count), c.expected) << c.text << " " << c.index;
}

TEST(TextPos, GivesTheFirstPositionFromOneOrZero) {
  EXPECT_EQ(Pos("href", "<a href=x href"), 4u);
  EXPECT_EQ(Pos("a", "a"), 1u);
  EXPECT_EQ(Pos("x", "abc"), 0u);
  EXPECT_EQ(Pos("", "abc"), 0u);
  EXPECT_EQ(Pos("abcd", "abc"), 0u);
}

TEST(TextHasAt, ComparesTheCharactersAtAPosition) {
  std::string line(27, ' ');
  line += "key      ";
  EXPECT_TRUE(HasAt(line, 28, "key"));
  EXPECT_FALSE(HasAt(line, 27, "key"));
  EXPECT_FALSE(HasAt(line, 28, "key      x"));  // runs past the end
  EXPECT_FALSE(HasAt("abc", 0, "a"));
}

TEST(TextRestOfLine, TakesAtMost9999Characters) {
  std::string line = "12" + std::string(20000, 'x');
  EXPECT_EQ(RestOfLine(line, 3).size(), 9999u);
  EXPECT_EQ(RestOfLine("abc", 2), "bc");
  EXPECT_EQ(RestOfLine("abc", 9), "");
}

}  // namespace
}  // namespace kv
