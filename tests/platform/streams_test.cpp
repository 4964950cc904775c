#include "streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

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

// Reads come through the stream's buffer: small reads across its edges, seeks inside and
// outside it, large reads past it, and writes in between all see the file's bytes.
TEST(Streams, FileStreamBufferedReadsSeeTheFile) {
  std::string name = TempName("clarivo-buffered-");
  const int64_t size = TFileStream::kBufferBytes * 3 + 17;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  {
    TFileStream w(name, TFileMode::fmCreate);
    w.WriteBuffer(bytes.data(), size);
  }
  TFileStream s(name, TFileMode::fmOpenReadWrite);
  EXPECT_EQ(s.Size(), size);
  uint8_t b[5];
  s.SetPosition(TFileStream::kBufferBytes - 2);
  s.ReadBuffer(b, 5);
  EXPECT_EQ(0, std::memcmp(b, bytes.data() + TFileStream::kBufferBytes - 2, 5));
  EXPECT_EQ(s.Position(), TFileStream::kBufferBytes + 3);
  EXPECT_EQ(s.Seek(-4, TSeekOrigin::soCurrent), TFileStream::kBufferBytes - 1);
  EXPECT_EQ(s.Read(b, 1), 1);
  EXPECT_EQ(b[0], bytes[TFileStream::kBufferBytes - 1]);
  std::vector<uint8_t> large(static_cast<size_t>(TFileStream::kBufferBytes * 2));
  s.SetPosition(10);
  s.ReadBuffer(large.data(), static_cast<int64_t>(large.size()));
  EXPECT_EQ(0, std::memcmp(large.data(), bytes.data() + 10, large.size()));
  // A write through the stream is seen by the reads that follow it, and grows the size.
  s.SetPosition(11);
  const uint8_t mark[3] = {1, 2, 3};
  s.WriteBuffer(mark, 3);
  s.SetPosition(10);
  s.ReadBuffer(b, 5);
  EXPECT_EQ(b[1], 1);
  EXPECT_EQ(b[3], 3);
  EXPECT_EQ(b[4], bytes[14]);
  s.Seek(0, TSeekOrigin::soEnd);
  s.WriteBuffer(mark, 3);
  EXPECT_EQ(s.Size(), size + 3);
  EXPECT_EQ(s.Read(b, 5), 0);
  s.SetPosition(size);
  EXPECT_EQ(s.Read(b, 5), 3);
  std::remove(name.c_str());
}
