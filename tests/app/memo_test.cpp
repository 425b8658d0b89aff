#include "app/memo.h"

#include <gtest/gtest.h>

#include "base/exception.h"

namespace kv {
namespace {

TEST(MemoLines, LineCountAndReading) {
  struct Case { std::string text; size_t count; };
  const Case cases[] = {
      {"", 0}, {"a", 1}, {"a\r\n", 1}, {"a\r\nb\r\n", 2}, {"a\r\nb", 2}, {"\r\n", 1}, {"a\r\n\r\nb", 3},
  };
  for (const auto& c : cases) {
    TMemo memo;
    memo.SetText(c.text);
    EXPECT_EQ(memo.LineCount(), c.count) << testing::PrintToString(c.text);
    EXPECT_EQ(memo.Text(), c.text) << "text kept as held";
  }
  TMemo memo;
  memo.SetText("a\r\nb\r\n");
  EXPECT_EQ(memo.Line(1), "b");
  EXPECT_EQ(memo.Line(3), "");  // past the end reads as empty
}

TEST(MemoLines, ReadingCutsAfter4096Characters) {
  TMemo memo;
  memo.SetText(std::string(5000, 'x') + "\r\nshort");
  EXPECT_EQ(memo.Line(0).size(), 4096u);
  EXPECT_EQ(memo.Line(1), "short");
  EXPECT_EQ(memo.Text().size(), 5000u + 2 + 5);  // the text itself keeps the whole line
}

TEST(MemoLines, SetTextNormalisesEveryLineBreak) {
  TMemo memo;
  memo.SetText("x\ny\rz\r\n\n\rw");
  EXPECT_EQ(memo.Text(), "x\r\ny\r\nz\r\n\r\n\r\nw");
  EXPECT_EQ(memo.LineCount(), 6u);
}

TEST(MemoAppend, EndsOrStartsWithALineEndAsTheTextRequires) {
  struct Case { std::string before, appended, after; };
  const Case cases[] = {
      {"", "a", "a\r\n"},
      {"a\r\n", "b", "a\r\nb\r\n"},
      {"a", "b", "a\r\nb"},        // text without a final line end: CR LF + s
      {"a", "", "a\r\n"},
      {"", "", "\r\n"},
      {"a\r\n", "b\r\nc", "a\r\nb\r\nc\r\n"},
  };
  for (const auto& c : cases) {
    TMemo memo;
    memo.SetText(c.before);
    memo.Append(c.appended);
    EXPECT_EQ(memo.Text(), c.after) << testing::PrintToString(c.before) << " + " << testing::PrintToString(c.appended);
  }
}

TEST(MemoReplace, KeepsTheLineEndAndIgnoresIndicesPastTheEnd) {
  TMemo memo;
  memo.SetText("a\r\nb");
  memo.ReplaceLine(0, "xx");
  memo.ReplaceLine(1, "yy");
  memo.ReplaceLine(2, "zz");
  EXPECT_EQ(memo.Text(), "xx\r\nyy");
  memo.Clear();
  EXPECT_EQ(memo.LineCount(), 0u);
  EXPECT_EQ(memo.Text(), "");
}

std::vector<std::string> Lines(const TMemo& memo) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < memo.LineCount(); ++i) lines.push_back(memo.Line(i));
  return lines;
}

TEST(MemoReplace, TheLinesAlwaysFollowTheText) {
  struct Case { std::string before; size_t line; std::string text, after; };
  const Case cases[] = {
      {"x\r\n\r\nb", 2, "", "x\r\n\r\n"},  // the last line has no line end: the text now ends with one
      {"b", 0, "", ""},
      {"a\r\nb\r\n", 1, "", "a\r\n\r\n"},  // a line with a line end stays, empty
      {"a\r\nb", 1, "\r\n", "a\r\n\r\n"},
      {"a\r\nb", 1, "y\r\n", "a\r\ny\r\n"},
      {"a\r\nb", 0, "x\ny", "x\r\ny\r\nb"},
      {"a\r\nb", 0, "x\r\n", "x\r\n\r\nb"},  // the line keeps its own line end after the new text
  };
  for (const auto& c : cases) {
    for (bool taking : {false, true}) {
      TMemo memo;
      memo.SetText(c.before);
      taking ? memo.ReplaceLineTaking(c.line, std::string(c.text)) : memo.ReplaceLine(c.line, c.text);
      const std::string where = testing::PrintToString(c.before) + " line " + std::to_string(c.line) + " = " +
                                testing::PrintToString(c.text) + (taking ? " (taking)" : "");
      EXPECT_EQ(memo.Text(), c.after) << where;
      TMemo reread;
      reread.SetText(memo.Text());
      EXPECT_EQ(Lines(memo), Lines(reread)) << where;
      memo.Append("z");
      reread.Append("z");
      EXPECT_EQ(memo.Text(), reread.Text()) << where;
    }
  }
}

TEST(MemoLoad, NormalisesLineEndsAndStopsAtNul) {
  struct Case { std::string bytes; std::vector<std::string> lines; };
  const Case cases[] = {
      {"x\ny\rz", {"x", "y", "z"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {std::string("ab\0cd\r\nef", 9), {"ab"}},
      {std::string("\0abc", 4), {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    MemoryStream stream;
    stream.WriteText(c.bytes);
    stream.SetPosition(0);
    TMemo memo;
    memo.LoadFromStream(stream);
    std::vector<std::string> lines;
    for (size_t i = 0; i < memo.LineCount(); ++i) lines.push_back(memo.Line(i));
    EXPECT_EQ(lines, c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST(MemoLoad, ReadsFromTheStreamPosition) {
  MemoryStream stream;
  stream.WriteText("skip\r\nkeep");
  stream.SetPosition(6);
  TMemo memo;
  memo.LoadFromStream(stream);
  EXPECT_EQ(memo.Text(), "keep");
}

TEST(MemoLoad, TextPastTheCapacityFailsAndKeepsTheOldText) {
  TMemo memo(10);
  memo.SetText("old");
  for (std::string bytes : {std::string(11, 'x'), std::string("a\nb\nc\nd\ne\n")}) {  // 10 bytes, 15 normalised
    MemoryStream stream;
    stream.WriteText(bytes);
    stream.SetPosition(0);
    try {
      memo.LoadFromStream(stream);
      ADD_FAILURE() << "loaded " << bytes.size() << " bytes";
    } catch (const EOutOfResources& e) {
      EXPECT_EQ(e.Message(), "Text exceeds memo capacity");
    }
    EXPECT_EQ(memo.Text(), "old");
  }
}

}  // namespace
}  // namespace kv
