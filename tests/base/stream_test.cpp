#include "base/stream.h"

#include <gtest/gtest.h>

#include "base/exception.h"
#include "tests/support/temp_dir.h"

namespace kv {
namespace {

TEST(MemoryStream, ReadsAndWritesAtItsPosition) {
  MemoryStream s;
  s.WriteText("hello world");
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Position(), 11);
  s.SetPosition(6);
  s.WriteText("W");
  EXPECT_EQ(s.View(), "hello World");
  s.SetPosition(0);
  char buf[5];
  EXPECT_EQ(s.Read(buf, 5), 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  s.Seek(-2, SeekOrigin::End);
  EXPECT_EQ(s.Read(buf, 5), 2u);
  s.SetSize(3);
  EXPECT_EQ(s.View(), "hel");
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(s.Read(buf, 1), 0u);
  EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

TEST(MemoryStream, RefusesToGrowPastItsLimit) {
  MemoryStream s(8, "Text exceeds memo capacity");
  s.WriteText("12345678");
  try {
    s.WriteText("9");
    FAIL() << "grew past the limit";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Text exceeds memo capacity");
  }
  EXPECT_EQ(s.View(), "12345678");  // what was held stays
  EXPECT_THROW(s.SetSize(9), EOutOfResources);
  s.Reserve(int64_t{1} << 40);  // a hint only: never more than the limit
  SUCCEED();
}

TEST(CountingStream, KeepsNoBytesAndCountsThemAsItsPosition) {
  CountingStream s;
  s.WriteText("hello");
  char byte;
  EXPECT_EQ(s.Read(&byte, 1), 0u);
  // {origin, offset, position after}: only a seek from the beginning sets
  // the position, any other moves it; the size follows the position.
  const struct {
    SeekOrigin origin;
    int64_t offset;
    int64_t position;
  } seeks[] = {{SeekOrigin::Beginning, 2, 2}, {SeekOrigin::Current, 3, 5}, {SeekOrigin::End, 1, 6},
               {SeekOrigin::Current, -4, 2}};
  for (const auto& seek : seeks) {
    EXPECT_EQ(s.Seek(seek.offset, seek.origin), seek.position);
    EXPECT_EQ(s.Size(), seek.position);
  }
  s.SetSize(10);
  s.WriteText("abc");
  EXPECT_EQ(s.Position(), 13);
  EXPECT_EQ(s.Size(), 13);
}

TEST(FileStream, CreateReplacesAndWritesBytes) {
  test::TempDir dir;
  std::string path = dir.File("a.txt");
  test::WriteFileBytes(path, "old content that is longer");
  {
    FileStream f(path, FileStream::Mode::Create);
    f.WriteText("new\r\n");
    f.Close();
  }
  EXPECT_EQ(test::ReadFileBytes(path), "new\r\n");
}

TEST(FileStream, FailuresCarryTheirFixedTexts) {
  test::TempDir dir;
  std::string path = dir.File("missing/a.txt");
  try {
    FileStream f(path, FileStream::Mode::Create);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + path + "\". No such file or directory");
  }
  FileStream full("/dev/full", FileStream::Mode::Create);
  try {
    full.WriteText("abc");
    FAIL() << "a full device took the bytes";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
}

}  // namespace
}  // namespace kv
