#include "base/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

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

// The stream keeps its position and size itself; after every step they must
// be what the file and the system say.
TEST(FileStream, KeepsItsPositionAndSizeAsTheFileHasThem) {
  test::TempDir dir;
  const std::string path = dir.File("a.bin");
  struct Step {
    const char* what;
    std::function<int64_t(FileStream&)> act;  // returns what the call answered
    int64_t answer, position, size;
  };
  auto write = [](const char* text) {
    return [text](FileStream& f) { return static_cast<int64_t>(f.Write(text, std::strlen(text))); };
  };
  auto seek = [](int64_t offset, SeekOrigin origin) { return [=](FileStream& f) { return f.Seek(offset, origin); }; };
  auto set_size = [](int64_t size) {
    return [size](FileStream& f) {
      f.SetSize(size);
      return size;
    };
  };
  auto read = [](size_t count) {
    return [count](FileStream& f) {
      std::string bytes(count, '?');
      return static_cast<int64_t>(f.Read(bytes.data(), count));
    };
  };
  const Step created[] = {
      {"write", write("hello"), 5, 5, 5},
      {"seek inside", seek(2, SeekOrigin::Beginning), 2, 2, 5},
      {"overwrite", write("LL"), 2, 4, 5},
      {"seek past the end", seek(3, SeekOrigin::End), 8, 8, 5},
      {"write past the end", write("!"), 1, 9, 9},
      {"seek back", seek(-4, SeekOrigin::Current), 5, 5, 9},
      {"seek before the start", seek(-10, SeekOrigin::Current), 0, 5, 9},
      {"read on a file made for writing", read(2), 0, 5, 9},
      {"shrink below the position", set_size(3), 3, 5, 3},
      {"write into the hole", write("xy"), 2, 7, 7},
      {"grow", set_size(10), 10, 7, 10},
  };
  {
    FileStream f(path, FileStream::Mode::Create);
    for (const Step& step : created) {
      EXPECT_EQ(step.act(f), step.answer) << step.what;
      EXPECT_EQ(f.Position(), step.position) << step.what;
      EXPECT_EQ(f.Size(), step.size) << step.what;
      EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(path)), step.size) << step.what;
    }
    f.Close();
  }
  EXPECT_EQ(test::ReadFileBytes(path), std::string("heL\0\0xy\0\0\0", 10));

  const Step opened[] = {
      {"seek to the end", seek(0, SeekOrigin::End), 10, 10, 10},
      {"read at the end", read(4), 0, 10, 10},
      {"seek from the end", seek(-5, SeekOrigin::End), 5, 5, 10},
      {"read across the end", read(8), 5, 10, 10},
      {"seek from the start", seek(4, SeekOrigin::Beginning), 4, 4, 10},
      {"read", read(2), 2, 6, 10},
      {"write on a file opened for reading", write("z"), 0, 6, 10},
      {"seek before the start", seek(-1, SeekOrigin::Beginning), 0, 6, 10},
  };
  FileStream f(path, FileStream::Mode::Read);
  for (const Step& step : opened) {
    EXPECT_EQ(step.act(f), step.answer) << step.what;
    EXPECT_EQ(f.Position(), step.position) << step.what;
    EXPECT_EQ(f.Size(), step.size) << step.what;
  }
  // What was read at the remembered position is the file's byte there.
  char byte = '?';
  f.Seek(5, SeekOrigin::Beginning);
  ASSERT_EQ(f.Read(&byte, 1), 1u);
  EXPECT_EQ(byte, 'x');

  // A device without positions: the position counts the bytes written, and
  // the size follows, so that nothing is cut off behind them.
  FileStream null("/dev/null", FileStream::Mode::Create);
  null.WriteText("abc");
  null.WriteText("de");
  EXPECT_EQ(null.Position(), 5);
  EXPECT_EQ(null.Size(), 5);
}

}  // namespace
}  // namespace kv
