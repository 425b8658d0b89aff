#include "app/memo.h"

#include <gtest/gtest.h>

#include <random>

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
    // Replacing the line's whole text as a range gives the same text.
    for (bool as_range : {false, true}) {
      TMemo memo;
      memo.SetText(c.before);
      if (as_range)
        memo.ReplaceRange({c.line, 0}, {c.line, SIZE_MAX}, c.text);
      else
        memo.ReplaceLine(c.line, c.text);
      const std::string where = testing::PrintToString(c.before) + " line " + std::to_string(c.line) + " = " +
                                testing::PrintToString(c.text) + (as_range ? " (range)" : "");
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

// The text list as plain text: every change is a splice of its CR LF text.
struct TextModel {
  std::string text;

  static std::string Normalised(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '\r' && s[i] != '\n') { out += s[i]; continue; }
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      out += "\r\n";
    }
    return out;
  }
  // The lines, each cut after `cut` characters as reading a line cuts it.
  std::vector<std::string> Lines(size_t cut = SIZE_MAX) const {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
      size_t end = std::min(text.find("\r\n", start), text.size());
      lines.push_back(text.substr(start, std::min(end - start, cut)));
      start = end + 2;
    }
    return lines;
  }
  size_t Offset(TextPoint point) const {
    auto lines = Lines();
    if (point.line >= lines.size()) return text.size();
    size_t offset = 0;
    for (size_t i = 0; i < point.line; ++i) offset += lines[i].size() + 2;
    return offset + std::min(point.column, lines[point.line].size());
  }
  void Splice(size_t from, size_t to, std::string_view inserted) {
    text = text.substr(0, from) + Normalised(inserted) + text.substr(to);
  }
};

TEST(MemoEdits, EveryChangeEqualsTheSameSpliceOfThePlainText) {
  // Random edits, long lines among them so that the line block is compacted
  // now and then; after each one the memo must hold what the plain text holds.
  std::mt19937 random(7);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const std::string pieces[] = {"a", "bc", "\r\n", "\r", "\n", "", std::string(3000, 'L'), "x\ry\nz\r\n"};
  auto some_text = [&] {
    std::string s;
    for (size_t n = pick(4); n > 0; --n) s += pieces[pick(std::size(pieces))];
    return s;
  };
  TMemo memo;
  TextModel model;
  for (int step = 0; step < 3000; ++step) {
    const size_t count = memo.LineCount();
    auto point = [&] { return TextPoint{pick(count + 2), pick(6) == 0 ? SIZE_MAX : pick(5)}; };
    const std::string text = some_text();
    std::string what;
    switch (pick(7)) {
      case 0: case 1: case 2: {
        TextPoint from = point(), to = point();
        size_t a = model.Offset(from), b = model.Offset(to);
        if (b < a) std::swap(a, b);
        const TextPoint after = memo.ReplaceRange(from, to, text);
        model.Splice(a, b, text);
        EXPECT_EQ(model.Offset(after), a + TextModel::Normalised(text).size()) << "point after the inserted text";
        what = "range";
        break;
      }
      case 3: {
        const size_t i = pick(count + 1);
        memo.ReplaceLine(i, text);
        if (i < count) model.Splice(model.Offset({i, 0}), model.Offset({i, SIZE_MAX}), text);
        what = "line";
        break;
      }
      case 4:
        memo.Append(text);
        model.text += model.text.empty() || model.text.ends_with("\r\n") ? TextModel::Normalised(text) + "\r\n"
                                                                           : "\r\n" + TextModel::Normalised(text);
        what = "append";
        break;
      case 5: {
        std::vector<uint32_t> order(count);
        for (auto& line : order) line = static_cast<uint32_t>(pick(count));
        const auto lines = model.Lines();
        memo.ReorderLines(order);
        for (size_t i = 0; i < count; ++i)
          model.Splice(model.Offset({i, 0}), model.Offset({i, SIZE_MAX}), lines[order[i]].substr(0, 4096));
        what = "reorder";
        break;
      }
      default: {
        std::vector<size_t> kept;
        for (size_t i = 0; i < count; ++i) if (pick(3)) kept.push_back(i);
        const auto lines = model.Lines();
        memo.KeepLines(kept);
        model.text.clear();
        for (size_t i : kept) model.text += lines[i].substr(0, 4096) + "\r\n";
        what = "keep";
      }
    }
    // Compared as a whole: the texts run to many kilobytes.
    ASSERT_TRUE(memo.Text() == model.text && Lines(memo) == model.Lines(TMemo::kMaxLineRead)) << "step " << step << " (" << what << ")";
    ASSERT_EQ(memo.TextLength(), model.text.size());
    if (model.text.size() > 200'000) {
      memo.Clear();
      model.text.clear();
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
