#include "streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "exception.h"

namespace {

void ExerciseStream(TStream& s) {
  const char text[] = "0123456789";
  s.WriteBuffer(text, 10);
  EXPECT_EQ(s.Position(), 10);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(s.Seek(-3, TSeekOrigin::soEnd), 7);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 3);
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(s.Seek(2, TSeekOrigin::soBeginning), 2);
  EXPECT_EQ(s.Seek(3, TSeekOrigin::soCurrent), 5);
  s.ReadBuffer(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "56");
  EXPECT_EQ(s.Remaining(), 3);
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
  EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), Exception);
  s.SetSize(4);
  EXPECT_EQ(s.Size(), 4);
}

std::string TempName(const char* stem) {
  return (std::filesystem::temp_directory_path() / (std::string(stem) + std::to_string(getpid())))
      .string();
}

}  // namespace

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream s;
  ExerciseStream(s);
}

TEST(Streams, FileStreamReadWriteSeek) {
  std::string name = TempName("clarivo-stream-");
  {
    TFileStream s(name, TFileMode::fmCreate);
    ExerciseStream(s);
  }
  TMemoryStream back;
  back.LoadFromFile(name);
  EXPECT_EQ(back.Size(), 4);
  std::remove(name.c_str());
}

TEST(Streams, FilesThatCannotBeHadNameTheFile) {
  try {
    TFileStream s("/nonexistent-dir/page.bmp", TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-dir/page.bmp"), std::string::npos);
  }
  EXPECT_THROW(TFileStream("/nonexistent-dir/x.bmp", TFileMode::fmCreate), EFCreateError);
}

TEST(Streams, CopyFrom) {
  TMemoryStream a, b;
  a.WriteBuffer("abcdef", 6);
  a.SetPosition(2);
  EXPECT_EQ(b.CopyFrom(a, 3), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.Memory()), 3), "cde");
  TMemoryStream c;
  EXPECT_EQ(c.CopyFrom(a, 0), 6);
  EXPECT_EQ(c.Size(), 6);
}
