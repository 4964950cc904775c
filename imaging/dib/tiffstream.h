// The TIFF layer over the program's streams: libtiff reads and writes a TStream through client
// procedures (it never sees a file name), tag access raises when libtiff refuses a tag, and
// libtiff's own errors and warnings are swallowed so that nothing reaches a terminal.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "streams.h"

namespace tiffstream {

// Open modes of TIFFStreamOpen.
inline constexpr uint8_t tmRead = 0;
inline constexpr uint8_t tmWrite = 1;
inline constexpr uint8_t tmAppend = 2;  // a new directory at the end of an existing file

// The largest single block libtiff may allocate for one file (strip buffers, tag arrays).
inline constexpr int64_t kMaxLibtiffAlloc = int64_t{256} << 20;

// Files opened for reading are mapped into a copy of the stream's bytes, up to this size:
// libtiff reads uncompressed tiles right only from a mapped file.
inline constexpr int64_t kMaxMappedStream = int64_t{256} << 20;

// What libtiff's client procedures work on: the stream, and the copy that maps it.
struct TTIFFClient {
  TStream* Stream = nullptr;
  std::vector<uint8_t> Mapped;
  // Set when libtiff's JPEG codec warned about its data (corrupt or ended early): the rows it
  // made of the gap are not the file's.
  bool CorruptData = false;
};

// An open TIFF and its client. Closing writes a directory being built; the stream stays open.
class TTIFFHandle {
 public:
  // Empty: no TIFF is open.
  TTIFFHandle() = default;
  // Takes over the open TIFF and the client it reads.
  TTIFFHandle(std::unique_ptr<TTIFFClient> Client, TIFF* Tiff)
      : FClient(std::move(Client)), FTiff(Tiff) {}
  // Closes the TIFF.
  ~TTIFFHandle() { Close(); }
  // Moving hands the TIFF on (an assigned handle closes its own first); the source ends empty.
  TTIFFHandle(TTIFFHandle&& Other) noexcept
      : FClient(std::move(Other.FClient)), FTiff(std::exchange(Other.FTiff, nullptr)) {}
  TTIFFHandle& operator=(TTIFFHandle&& Other) noexcept;
  TTIFFHandle(const TTIFFHandle&) = delete;
  TTIFFHandle& operator=(const TTIFFHandle&) = delete;

  // The libtiff handle; nullptr when empty.
  TIFF* get() const { return FTiff; }
  // The client procedures behind the handle.
  const TTIFFClient& Client() const { return *FClient; }
  // Whether a TIFF is open.
  explicit operator bool() const { return FTiff != nullptr; }

 private:
  void Close();

  std::unique_ptr<TTIFFClient> FClient;
  TIFF* FTiff = nullptr;
};

// libtiff over the stream, offsets counted from the stream's start; empty when libtiff cannot
// open it (or the mode is unknown).
TTIFFHandle TIFFStreamOpen(TStream& Stream, uint8_t Mode);

// Raise "<Function>: Tag = <Tag>".
[[noreturn]] void RaiseTagError(const char* Function, uint32_t Tag);

// Reads a tag with one out-pointer; raises "TIFFGetField: Tag = N" when it is absent.
template <typename T>
void TIFFGetField(TIFF* Handle, uint32_t Tag, T* Out) {
  if (::TIFFGetField(Handle, Tag, Out) != 1) RaiseTagError("TIFFGetField", Tag);
}

// The same with three out-pointers (the colour map's red, green and blue arrays).
void TIFFGetField3(TIFF* Handle, uint32_t Tag, uint16_t** Out1, uint16_t** Out2, uint16_t** Out3);

// Tag setters; each raises "<its name>: Tag = N" when libtiff refuses the value.
void TIFFSetIntField(TIFF* Handle, uint32_t Tag, int32_t Value);
void TIFFSetFloatField(TIFF* Handle, uint32_t Tag, float Value);
void TIFFSetField(TIFF* Handle, uint32_t Tag, const char* Value);

// The number of directories: the first one and every next one that can be read.
int32_t TIFFPageCount(TIFF* Handle);

}  // namespace tiffstream
