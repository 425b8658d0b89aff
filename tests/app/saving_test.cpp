#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "base/exception.h"
#include "tests/app/form_fixture.h"
#include "tests/support/temp_dir.h"

namespace kv::test {
namespace {

// Files of this process take no byte past `bytes`, as a disk that fills up
// would: a write there fails instead of raising the size-limit signal.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : old_handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_limit_);
    rlimit limit = old_limit_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_limit_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_limit_{};
  void (*old_handler_)(int);
};

class SavingTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form.SaveDialog1.Runner = [this](const TSaveDialog& dialog) {
      seen_title = Cp1251ToUtf8(dialog.Title);
      seen_filter = Cp1251ToUtf8(dialog.Filter);
      seen_ext = dialog.DefaultExt;
      return answer;
    };
  }
  std::optional<std::string> answer;
  std::string seen_title, seen_filter, seen_ext;
  TempDir dir;
};

TEST_F(SavingTest, SaveWritesTheWholeListAsWindows1251) {
  SetList({"    351   -   кот", "     42   -   собака"});
  answer = dir.File("out.txt");
  form.Save1Click();
  EXPECT_EQ(ReadFileBytes(*answer), "    351   -   \xEA\xEE\xF2\r\n     42   -   \xF1\xEE\xE1\xE0\xEA\xE0\r\n");
  EXPECT_EQ(Status(), "Сохранить в: " + *answer);
  EXPECT_EQ(seen_title, "Сохранить в файл");
  EXPECT_EQ(seen_filter, "Текстовый файл (*.txt)|*.txt");
  EXPECT_EQ(seen_ext, "txt");
}

TEST_F(SavingTest, SaveKeywordsWritesCharacters15To113OfEveryLine) {
  std::string long_keyword(150, 'k');
  SetList({"    351   -   кот", "     42   -   " + long_keyword, "short"});
  answer = dir.File("kw.txt");
  form.Savekwonly1Click();
  EXPECT_EQ(ReadFileBytes(*answer), "\xEA\xEE\xF2\r\n" + std::string(99, 'k') + "\r\n\r\n");
  answer = dir.File("all.txt");
  form.Save1Click();
  EXPECT_NE(ReadFileBytes(*answer).find(long_keyword), std::string::npos);  // whole in a full save
}

TEST_F(SavingTest, TypedTextIsSavedAsTypedWithoutAFinalLineEnd) {
  form.MemoArea.SetText("a\nb");
  answer = dir.File("typed.txt");
  form.Save1Click();
  EXPECT_EQ(ReadFileBytes(*answer), "a\r\nb");
}

TEST_F(SavingTest, EmptyListGivesEmptyFilesAndReplacesExistingOnes) {
  for (bool keywords_only : {false, true}) {
    answer = dir.File(keywords_only ? "k.txt" : "f.txt");
    WriteFileBytes(*answer, "previous content");
    keywords_only ? form.Savekwonly1Click() : form.Save1Click();
    EXPECT_EQ(ReadFileBytes(*answer), "");
  }
}

TEST_F(SavingTest, CancelShowsTheLastChosenNameAgain) {
  form.Save1Click();  // cancelled before any file was chosen
  EXPECT_EQ(Status(), "Сохранить в: ");
  answer = dir.File("list");  // typed without extension
  form.Save1Click();
  EXPECT_TRUE(std::filesystem::exists(dir.File("list.txt")));
  answer.reset();
  form.Savekwonly1Click();
  EXPECT_EQ(Status(), "Сохранить в: " + dir.File("list.txt"));
}

TEST_F(SavingTest, FileNamesAreShownInWindows1251AndKeptWhole) {
  struct Case { std::string name, shown; };
  const Case cases[] = {{"кот.txt", "кот.txt"}, {"日本.txt", "??.txt"}, {"a\xFF.txt", "a?.txt"}};
  SetList({"    351   -   кот"});
  for (const auto& c : cases) {
    for (bool keywords_only : {false, true}) {
      answer = dir.File(c.name);
      std::filesystem::remove(*answer);
      keywords_only ? form.Savekwonly1Click() : form.Save1Click();
      EXPECT_TRUE(std::filesystem::exists(*answer)) << c.shown;
      EXPECT_EQ(form.StatusBar1.SimpleText(), W("Сохранить в: " + dir.File(c.shown)));
    }
  }
}

TEST_F(SavingTest, AFileThatCannotBeCreatedFailsWithoutStatus) {
  form.StatusBar1.SetSimpleText("before");
  answer = dir.File("нет/x.txt");
  try {
    form.Save1Click();
    FAIL() << "saved into a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(Cp1251ToUtf8(e.Message()), "Cannot create file \"" + *answer + "\". No such file or directory");
  }
  EXPECT_EQ(Status(), "before");
}

TEST_F(SavingTest, AShortWriteFailsWithStreamWriteError) {
  SetList({"    351   -   кот"});
  // A device that takes no byte, under a name with the dialog's extension.
  answer = dir.File("full.txt");
  std::filesystem::create_symlink("/dev/full", *answer);
  form.StatusBar1.SetSimpleText("before");
  for (bool keywords_only : {false, true}) {
    try {
      keywords_only ? form.Savekwonly1Click() : form.Save1Click();
      FAIL() << "a full disk reported as saved";
    } catch (const EWriteError& e) {
      EXPECT_EQ(e.Message(), "Stream write error");
    }
    EXPECT_EQ(Status(), "before");
  }
}

TEST_F(SavingTest, ASaveThatFailsPartWayLeavesTheOldFileAsItWas) {
  SetList({"    351   -   кот", "     42   -   собака"});  // 13 bytes of keywords, 42 of list
  answer = dir.File("old.txt");
  const std::string old = "an older list of one line\r\n";
  for (bool keywords_only : {false, true}) {
    for (rlim_t room : {0, 1, 12}) {
      WriteFileBytes(*answer, old);
      form.StatusBar1.SetSimpleText("before");
      try {
        FileSizeLimit full_disk(room);
        keywords_only ? form.Savekwonly1Click() : form.Save1Click();
        ADD_FAILURE() << "a full disk reported as saved, room " << room;
      } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Stream write error");
      }
      EXPECT_EQ(ReadFileBytes(*answer), old) << "room " << room;
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "a temporary file is left";
      EXPECT_EQ(Status(), "before");
    }
  }
}

}  // namespace
}  // namespace kv::test
