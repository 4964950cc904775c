// Byte streams of the run-time layer: an abstract stream, one in memory and one over a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Read and Write move up to count bytes and return how many moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position. Seeking before the start raises; past the end is allowed.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Bytes from the position to the end.
  int64_t Remaining();

  // Move exactly count bytes or raise "Stream read error" / "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes of source from its position (0: the whole source from its start).
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : FData(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  uint8_t* Memory() { return FData.data(); }
  const std::vector<uint8_t>& Bytes() const { return FData; }
  void Clear();
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum class TFileMode { fmOpenRead, fmOpenWrite, fmOpenReadWrite, fmCreate };

// Reads go through a buffer of its own and the position is kept here, so that small reads,
// Position and Size cost no system call each. Writes go straight to the file.
class TFileStream : public TStream {
 public:
  static constexpr int64_t kBufferBytes = 64 << 10;

  // Raises EFOpenError or EFCreateError naming the file when it cannot be had.
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // The size as this stream last saw it: asked of the file once, then kept until the stream
  // itself writes or changes it.
  int64_t Size() override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FFileName; }

 private:
  // Bytes read into the buffer from FPosition on; 0 at the end of the file.
  int64_t FillBuffer();
  void DropBuffer();

  std::string FFileName;
  int FHandle = -1;
  int64_t FPosition = 0;
  int64_t FSize = -1;  // -1: not known
  std::vector<uint8_t> FBuffer;
  int64_t FBufferStart = 0;  // file offset of the buffer's first byte
  int64_t FBuffered = 0;     // valid bytes in the buffer
};
