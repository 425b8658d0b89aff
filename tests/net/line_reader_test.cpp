// The line reader on its own: where a line ends, what it drops, when it is
// too long, and that bytes arriving in two pieces at any split give the
// same line as bytes arriving whole.

#include "net/line_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kv {
namespace {

std::string Described(const TLineFound& found) {
  switch (found.kind) {
    case TLineFound::Kind::kLine:
      return "line \"" + std::string(found.line) + "\" used " + std::to_string(found.used);
    case TLineFound::Kind::kTooLong:
      return "too long \"" + std::string(found.line) + "\" used " + std::to_string(found.used);
    case TLineFound::Kind::kIncomplete:
      return "incomplete";
  }
  return "?";
}

TEST(LineReader, FindsTheSameLineWhateverPiecesTheBytesArriveIn) {
  struct Case {
    std::string bytes;
    std::string terminator;
    int maximum;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"abc\r\nrest", "", 0, "line \"abc\" used 5"},
      {"abc\nrest", "", 0, "line \"abc\" used 4"},
      {"\r\n", "", 0, "line \"\" used 2"},
      {"a\rb\n", "", 0, "line \"a\rb\" used 4"},  // a CR inside stays
      {"a\r\r\n", "", 0, "line \"a\r\" used 4"},  // only the CR right before the LF goes
      {"abc\r\n", "\n", 0, "line \"abc\" used 5"},  // an explicit LF drops the CR too
      {"a\r\nb\r\n.\r\nz", "\r\n.\r\n", 0, "line \"a\r\nb\" used 9"},
      {"ab\r\n", "\r\n.\r\n", 0, "incomplete"},
      {"abc", "", 0, "incomplete"},
      {"", "", 5, "incomplete"},
      {"12345\n", "", 5, "line \"12345\" used 6"},         // the maximum itself is allowed
      {"1234\r\n", "", 5, "line \"1234\" used 6"},         // the CR counts towards it
      {"123456\n", "", 5, "too long \"12345\" used 5"},
      {"12345", "", 5, "incomplete"},
      {"123456", "", 5, "too long \"12345\" used 5"},      // known before any terminator
      {"123456", "", -3, "incomplete"},                    // a negative maximum is none
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Described(TLineReader(c.terminator, c.maximum).Next(c.bytes)), c.expected) << c.bytes;
    for (size_t split = 0; split <= c.bytes.size(); ++split) {
      TLineReader reader(c.terminator, c.maximum);
      TLineFound found = reader.Next(std::string_view(c.bytes).substr(0, split));
      if (found.kind == TLineFound::Kind::kIncomplete) found = reader.Next(c.bytes);
      EXPECT_EQ(Described(found), c.expected) << c.bytes << " split at " << split;
    }
  }
}

}  // namespace
}  // namespace kv
