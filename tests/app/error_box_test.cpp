#include "app/error_box.h"

#include <gtest/gtest.h>

#include "base/exception.h"

namespace kv {
namespace {

TEST(ErrorBox, AppendsAFullStopAfterCharactersAboveIt) {
  struct Case { const char* message; const char* shown; };
  const Case cases[] = {
      {"Host not found", "Host not found."}, {"Done.", "Done."},   {"Check it!", "Check it!"},
      {"(x)", "(x)"},                        {"trailing ", "trailing "}, {"code 42", "code 42."},
      {"a/", "a/."},                         {"a-", "a-"},               {"", ""},
      {"\xEA\xEE\xF2", "\xEA\xEE\xF2."},     // a Windows-1251 letter sorts above "."
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(ErrorBox, TitleComesFromTheExecutableName) {
  struct Case { const char* path; const char* title; };
  const Case cases[] = {{"/usr/bin/kvornis", "kvornis"}, {"KVORNIS.EXE", "Kvornis"},
                        {"./build/Kvornis.v1.bin", "Kvornis"}, {"kvornis-cli", "kvornis-cli"}};
  for (const auto& c : cases) EXPECT_EQ(ApplicationTitle(c.path), c.title);
}

TEST(ErrorBox, RunHandlerShowsWhatEscapesAndGoesOn) {
  std::vector<std::string> shown;
  auto show = [&](const std::string& text) { shown.push_back(text); };
  EXPECT_FALSE(RunHandler([] { throw EConvertError("' 1 2' is not a valid integer value"); }, show));
  EXPECT_TRUE(RunHandler([] {}, show));
  EXPECT_EQ(shown, std::vector<std::string>{"' 1 2' is not a valid integer value."});
}

}  // namespace
}  // namespace kv
