#include "http/header_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/folding.h"

namespace kv {
namespace {

TIdHeaderList ListOf(std::string_view text) {
  TIdHeaderList list;
  list.SetText(text);
  return list;
}

TEST(StringListText, SplitsAtEveryKindOfLineEnd) {
  struct Case { const char* text; int count; const char* joined; };
  const Case cases[] = {
      {"a\r\nb\r\n", 2, "a\r\nb\r\n"}, {"a\rb\nc", 3, "a\r\nb\r\nc\r\n"}, {"a\n\nb", 3, "a\r\n\r\nb\r\n"},
      {"\r\n", 1, "\r\n"},             {"", 0, ""},                        {"a\r\r\nb", 3, "a\r\n\r\nb\r\n"},
  };
  for (const auto& c : cases) {
    StringList list;
    list.SetText(c.text);
    EXPECT_EQ(list.Count(), c.count) << c.text;
    EXPECT_EQ(list.Text(), c.joined);
  }
}

TEST(StringListText, ListsRefilledAfterClearHoldOnlyTheNewLines) {
  // A cleared list lends the storage of its old lines to the next ones; the
  // old text must never show through, whatever the lengths.
  StringList list;
  const std::vector<std::string> rounds[] = {
      {"first line, rather long", "b", std::string(300, 'x')},
      {"", "shorter", "a third line longer than any before it"},
      {"1", "2", "3", "4"},
  };
  for (const auto& lines : rounds) {
    list.Clear();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i % 2 == 0) {
        list.AddCopy(lines[i]);
      } else {
        std::string line = list.SpareLine();
        EXPECT_TRUE(line.empty());
        line.assign(lines[i]);
        list.Add(std::move(line));
      }
    }
    EXPECT_EQ(list.Lines(), lines);
  }
}

TEST(HeaderListLookup, NamesIgnoreCaseAndTheFirstLineWins) {
  auto list = ListOf("content-length: 42\r\nX-A: one\r\nx-a: two\r\nEmpty:\r\nSpaced :v\r\nNoColon\r\n");
  EXPECT_EQ(list.ValueOf("Content-Length"), "42");
  EXPECT_EQ(list.IndexOfHeader("CONTENT-LENGTH"), 0);
  EXPECT_EQ(list.ValueOf("X-A"), "one");
  EXPECT_EQ(list.IndexOfHeader("x-A"), 1);
  EXPECT_EQ(list.ValueOf("Empty"), "");
  EXPECT_EQ(list.IndexOfHeader("Empty"), 3);
  // The name is everything before the ":", blanks included.
  EXPECT_EQ(list.IndexOfHeader("Spaced"), -1);
  EXPECT_EQ(list.ValueOf("Spaced "), "v");
  EXPECT_EQ(list.IndexOfHeader("Missing"), -1);
  EXPECT_EQ(list.ValueOf("Missing"), "");
  EXPECT_EQ(list.ValueOfLine(99), "");
  EXPECT_EQ(list.ValueOfLine(-1), "");
  EXPECT_EQ(list.NameOfLine(0), "CONTENT-LENGTH");
  EXPECT_EQ(list.NameOfLine(5), "");
  list.CaseSensitiveNames = true;
  EXPECT_EQ(list.NameOfLine(0), "content-length");
  EXPECT_EQ(list.IndexOfHeader("Content-Length"), 0);
}

TEST(HeaderListLookup, ValuesOfGivesEachNameWhatValueOfGives) {
  const auto list =
      ListOf("content-length: 42\r\nX-A: one\r\n  more\r\nx-a: two\r\nEmpty:\r\nSpaced :v\r\nNoColon\r\n: nameless\r\n");
  const std::string names[] = {"X-A", "content-LENGTH", "Empty", "Spaced ", "Spaced", "Missing", "", "x-a", "NoColon"};
  std::string values[std::size(names)];
  for (std::string& value : values) value = "stale";
  list.ValuesOf({{names[0], &values[0]},
                 {names[1], &values[1]},
                 {names[2], &values[2]},
                 {names[3], &values[3]},
                 {names[4], &values[4]},
                 {names[5], &values[5]},
                 {names[6], &values[6]},
                 {names[7], &values[7]},
                 {names[8], &values[8]}});
  for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(values[i], list.ValueOf(names[i])) << "[" << names[i] << "]";
  EXPECT_EQ(values[0], "one more");

  // Lists gathered in the same pass get what ExtractAll gives, whatever the
  // length of the name (the longest ones share a slot) or its letter case.
  const std::string long_name(70, 'L');
  const auto more = ListOf("X-A: one\r\n  more\r\nx-a: two\r\n" + long_name + ": long\r\n" + long_name +
                           "L: longer\r\nNoColon\r\n");
  const std::string every_names[] = {"x-A", long_name, long_name + "L", "X-B", "NoColon"};
  StringList gathered[std::size(every_names)];
  std::vector<TIdHeaderList::WantedValues> every;
  for (size_t i = 0; i < std::size(every_names); ++i) every.push_back({every_names[i], &gathered[i]});
  std::string first;
  more.ValuesOf(std::vector<TIdHeaderList::WantedValue>{{long_name, &first}}, every);
  EXPECT_EQ(first, "long");
  for (size_t i = 0; i < std::size(every_names); ++i) {
    StringList extracted;
    more.ExtractAll(every_names[i], &extracted);
    EXPECT_EQ(gathered[i].Lines(), extracted.Lines()) << every_names[i];
  }
  EXPECT_EQ(gathered[0].Count(), 2);
}

// Appending a name the list lacks writes what setting it writes, folding,
// trimming and line breaks included.
TEST(HeaderListSetValue, AppendingANewNameEqualsSettingIt) {
  const std::string values[] = {"plain",
                                "trailing blanks   ",
                                "a\r\nb",
                                "fold\r\n here",
                                "bare\rcr and \n lf",
                                std::string(200, 'x') + ", " + std::string(100, 'y'),
                                ""};
  for (const std::string& value : values) {
    for (const bool fold : {true, false}) {
      TIdHeaderList set = ListOf("Host: h\r\n");
      TIdHeaderList appended = ListOf("Host: h\r\n");
      set.FoldOnWrite = appended.FoldOnWrite = fold;
      set.SetValueOf("X-Value", value);
      appended.AppendValue("X-Value", value);
      EXPECT_EQ(appended.Lines(), set.Lines()) << value << (fold ? " folded" : "");
    }
  }
}

TEST(HeaderListUnfolding, ContinuationLinesJoinTheLineAbove) {
  struct Case { const char* text; const char* value; };
  const Case cases[] = {
      {"X-A: one\r\n   two\r\n", "one two"},
      {"X-A: one  \r\n\ttwo  \r\n three\r\nX-B: b\r\n", "one two three"},
      {"X-A: one\r\n\r\n two\r\n", "one"},  // an empty line ends the value
      {"X-A:\r\n two\r\n", "two"},
  };
  for (const auto& c : cases) EXPECT_EQ(ListOf(c.text).ValueOf("x-a"), c.value) << c.text;

  auto list = ListOf("X-A: one\r\n two\r\n");
  list.UnfoldOnRead = false;
  EXPECT_EQ(list.ValueOf("X-A"), "one");
}

TEST(HeaderListExtractAll, CollectsEveryValueInOrder) {
  auto list = ListOf("WWW-Authenticate: NTLM\r\nServer: s\r\nwww-authenticate: Basic\r\n realm=\"x\"\r\n");
  StringList values;
  list.ExtractAll("WWW-Authenticate", &values);
  ASSERT_EQ(values.Count(), 2);
  EXPECT_EQ(values[0], "NTLM");
  EXPECT_EQ(values[1], "Basic realm=\"x\"");
  list.ExtractAll("WWW-Authenticate", nullptr);  // no destination: nothing happens
}

TEST(HeaderListSetValue, ReplacesInPlaceAppendsAndRemoves) {
  auto list = ListOf("Host: a\r\n old\r\nAccept: x\r\n");
  list.SetValueOf("HOST", "b");
  list.SetValueOf("Host", "c");
  EXPECT_EQ(list.Text(), "Host: c\r\nAccept: x\r\n");
  list.SetValueOf("New", "v");
  EXPECT_EQ(list.Text(), "Host: c\r\nAccept: x\r\nNew: v\r\n");
  list.SetValueOf("Missing", "");
  EXPECT_EQ(list.Count(), 3);
  list.SetValueOf("accept", "");
  EXPECT_EQ(list.Text(), "Host: c\r\nNew: v\r\n");

  auto folded = ListOf("A: 1\r\n 2\r\nB: 3\r\n");
  folded.SetValueOf("A", "");
  EXPECT_EQ(folded.Text(), "B: 3\r\n");
  auto unfoldedWrite = ListOf("A: 1\r\n 2\r\nB: 3\r\n");
  unfoldedWrite.FoldOnWrite = false;
  unfoldedWrite.SetValueOf("A", "");
  EXPECT_EQ(unfoldedWrite.Text(), " 2\r\nB: 3\r\n");
}

TEST(HeaderListSetValue, LineBreaksInAValueCannotStartANewHeader) {
  struct Case { const char* value; const char* text; };
  const Case cases[] = {
      {"a\r\nEvil: 1", "X: a  Evil: 1\r\n"},
      {"a\nEvil: 1", "X: a Evil: 1\r\n"},
      {"a\rEvil: 1", "X: a Evil: 1\r\n"},
      {"a\r\n b", "X: a\r\n b\r\n"},  // a fold the caller made stays a fold
      {"a\r\n", "X: a\r\n"},
  };
  for (const auto& c : cases) {
    TIdHeaderList list;
    list.SetValueOf("X", c.value);
    EXPECT_EQ(list.Text(), c.text) << c.value;
    TIdHeaderList plain;
    plain.FoldOnWrite = false;
    plain.SetValueOf("X", c.value);
    EXPECT_EQ(plain.Count(), 1);
  }
}

TEST(HeaderFolding, WrapsAfterBreakCharactersOutsideQuotes) {
  struct Case { const char* line; long width; const char* wrapped; };
  const Case cases[] = {
      {"aaa bbb ccc", 5, "aaa \r\n bbb \r\n ccc"},
      {"aaa,bbb", 4, "aaa,\r\n bbb"},
      {"abcdefghij", 3, "abcdefghij"},          // nothing to break at
      {"ab\r\n cd", 78, "ab\r\n cd"},           // an existing fold is kept
      {"\"a b c d\" ef", 3, "\"a b c d\" \r\n ef"},  // never inside quotes
      {"\"a b c d e f", 3, "\"a b c d e f"},     // an open quote never closes
      {"aaa   bbb", 4, "aaa \r\n   bbb"},        // skipped blanks stay in the output
      {"x y z", 3, "x y z"},                     // no break before the last character
      {"", 5, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WrapForFolding(c.line, "\r\n ", "\t ,", c.width), c.wrapped) << c.line << " @" << c.width;
}

TEST(HeaderFolding, LongValuesFoldAtTheListWidth) {
  std::string words;
  while (words.size() < 2000) words += "word" + std::to_string(words.size()) + " ";
  words.pop_back();

  TIdHeaderList list;
  list.FoldWidth = 1024;
  list.SetValueOf("X-Long", words);
  ASSERT_GT(list.Count(), 1);
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_LE(list[i].size(), i == 0 ? 1024u : 1025u) << i;
    if (i > 0) {
      EXPECT_EQ(list[i][0], ' ');
    }
  }
  EXPECT_EQ(list.ValueOf("X-Long"), words);

  // Setting it again replaces all the pieces.
  list.SetValueOf("X-Long", "short");
  EXPECT_EQ(list.Text(), "X-Long: short\r\n");

  TIdHeaderList solid;
  solid.FoldWidth = 1024;
  solid.SetValueOf("X-Solid", std::string(2000, 'z'));
  EXPECT_EQ(solid.Count(), 1);

  TIdHeaderList quoted;
  quoted.FoldWidth = 20;
  quoted.SetValueOf("X", "a b \"c d e f g h i j k l m\" n o p q r s t u v");
  bool found = false;
  for (int i = 0; i < quoted.Count(); ++i) found = found || quoted[i].find("\"c d e f g h i j k l m\"") != std::string::npos;
  EXPECT_TRUE(found) << quoted.Text();
  EXPECT_EQ(quoted.ValueOf("X"), "a b \"c d e f g h i j k l m\" n o p q r s t u v");
}

TEST(HeaderFolding, ReplaceFoldedPutsThePiecesInOrderAtTheIndex) {
  auto list = ListOf("A: 1\r\nB: 2\r\nC: 3\r\n");
  list.FoldWidth = 6;
  list.ReplaceFolded("B: x y zz", 1);
  EXPECT_EQ(list.Text(), "A: 1\r\nB: x\r\n y zz\r\nC: 3\r\n");
}

TEST(HeaderFolding, ReplaceFoldedAlwaysPutsTheFoldedPieces) {
  // Short lines are put without folding; around the width, with quotes,
  // trailing blanks and breaks of their own, the lines put must still be
  // the folded pieces.
  const std::vector<std::string> texts = {
      "A: b c", "A: b c  ", "A: \"b c\" d", "A: b,c\r\n d", "A: b\r\n\te", "A:", "   ", "A: bcdefghij"};
  for (long width : {0L, 1L, 4L, 5L, 6L, 7L, 8L, 12L, 13L, 78L}) {
    for (const std::string& text : texts) {
      TIdHeaderList list;
      list.FoldWidth = width;
      list.Add("old");
      list.ReplaceFolded(text, 0);
      std::string expected;
      const StringList pieces = list.FoldedPieces(text);
      for (int i = 0; i < pieces.Count(); ++i) expected += pieces[i] + "\r\n";
      EXPECT_EQ(list.Text(), pieces.Empty() ? "\r\n" : expected) << "width " << width << ": [" << text << "]";
    }
  }
}

TEST(HeaderListLookup, ANameHoldingTheSeparatorIsComparedWithTheTextBeforeTheFirstOne) {
  auto list = ListOf("a:b: 1\r\nA: 2\r\nab: 3\r\n");
  EXPECT_EQ(list.IndexOfHeader("a:b"), -1);
  EXPECT_EQ(list.IndexOfHeader("A"), 0);
  EXPECT_EQ(list.IndexOfHeader("AB"), 2);
  EXPECT_TRUE(list.LineHasName(2, "aB"));
  EXPECT_FALSE(list.LineHasName(0, "a:b"));
  EXPECT_FALSE(list.LineHasName(3, "AB"));
  list.ValueSeparator = "=";
  EXPECT_EQ(list.IndexOfHeader("a:b: 1"), -1);
  list.Add("a:b: 1=x");
  EXPECT_EQ(list.IndexOfHeader("A:B: 1"), 3);
}

TEST(HeaderListHostile, HugeListsAndLinesStayLinear) {
  // One header followed by very many continuation lines.
  TIdHeaderList list;
  list.Add("X: start");
  for (int i = 0; i < 200000; ++i) list.Add(" c");
  list.Add("Y: end");
  EXPECT_EQ(list.ValueOf("X").size(), 5u + 2u * 200000u);
  list.SetValueOf("X", "new");
  EXPECT_EQ(list.Text(), "X: new\r\nY: end\r\n");

  TIdHeaderList endless;
  endless.Add("X: " + std::string(4 << 20, 'v'));
  EXPECT_EQ(endless.ValueOf("x").size(), 4u << 20);
}

}  // namespace
}  // namespace kv
