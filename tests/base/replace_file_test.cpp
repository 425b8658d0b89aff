#include "base/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <optional>

#include "base/exception.h"
#include "tests/support/temp_dir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

void Replace(const std::string& target, std::string_view bytes) {
  FileReplacement file(target);
  file.Write(bytes);
  file.Commit();
}

// As a plain creat() would have it: a new file gets 0666 less the umask, an
// existing one keeps its mode.
TEST(FileReplacement, ModeIsWhatCreatWouldGive) {
  const struct {
    mode_t umask;
    std::optional<mode_t> existing;
    mode_t expected;
  } cases[] = {
      {022, std::nullopt, 0644},
      {027, std::nullopt, 0640},
      {077, std::nullopt, 0600},
      {022, 0600, 0600},
      {077, 0664, 0664},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << "umask " << c.umask << " existing " << c.existing.value_or(0));
    TempDir dir;
    const std::string target = dir.File("list.txt");
    if (c.existing) {
      WriteFileBytes(target, "old");
      ASSERT_EQ(::chmod(target.c_str(), *c.existing), 0);
    }
    const mode_t saved = ::umask(c.umask);
    Replace(target, "new");
    ::umask(saved);
    EXPECT_EQ(ReadFileBytes(target), "new");
    EXPECT_EQ(ModeOf(target), c.expected);
  }
}

TEST(FileReplacement, ALinkKeepsLeadingToTheReplacedFile) {
  TempDir dir;
  const std::string file = dir.File("real.txt"), link = dir.File("link.txt");
  WriteFileBytes(file, "old");
  fs::create_symlink("real.txt", link);
  Replace(link, "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(file), "new");
}

TEST(FileReplacement, AFailedCommitLeavesTheTargetAndNoTemporaryFile) {
  TempDir dir;
  // A folder in the target's place cannot be renamed over by a file.
  const std::string target = dir.File("taken");
  fs::create_directory(target);
  try {
    Replace(target, "new");
    ADD_FAILURE() << "no failure";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Cannot write file \"" + target + "\". Is a directory");
  }
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

// A rename must never stand in for a device (as root it would replace the
// device node itself), nor cut a second name off the file.
TEST(FileReplacement, OnlyPlainFilesOfOurOwnAreReplacedByRename) {
  TempDir dir;
  WriteFileBytes(dir.File("plain"), "x");
  WriteFileBytes(dir.File("linked"), "x");
  fs::create_hard_link(dir.File("linked"), dir.File("second name"));
  fs::create_symlink(dir.File("plain"), dir.File("to plain"));
  fs::create_symlink("/dev/full", dir.File("to device"));
  fs::create_symlink(dir.File("nowhere"), dir.File("to nothing"));
  const std::pair<const char*, bool> cases[] = {{"new", true},          {"plain", true},      {"to plain", true},
                                                {"linked", false},      {"to device", false}, {"to nothing", false}};
  for (const auto& [name, replaceable] : cases) EXPECT_EQ(ReplaceableByRename(dir.File(name)), replaceable) << name;
}

}  // namespace
}  // namespace kv
