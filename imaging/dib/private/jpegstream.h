// The JPEG layer over the program's streams: a decompressor and a compressor whose source and
// destination managers read and write a TStream in blocks of 4096 bytes. The library's error
// exit jumps back (setjmp/longjmp) into the wrapper call that was running, which then raises:
// no C++ exception ever crosses the library's frames, and nothing is printed.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "streams.h"

namespace jpegstream {

struct TStreamSource;
struct TStreamDestination;

// The library may use at most this much memory for one image (progressive coefficients);
// beyond it decoding fails instead of exhausting the machine.
inline constexpr long kMaxJpegMemory = 512L << 20;
// More scans than this are refused when the next one begins: each scan can make the decoder
// pass over the whole image, and no encoder needs more for a page (a simple progression makes
// 10 for colour, 6 for gray).
inline constexpr int kMaxJpegScans = 64;

// What refusing a file may cost: 64 bytes for each of its bytes, and 64 MiB beside. A file
// whose decoding needs more memory before its data are known to fill the page is refused.
inline constexpr int64_t kMemoryPerFileByte = 64;
inline constexpr int64_t kMemoryBesideFile = int64_t{64} << 20;
inline int64_t MemoryAllowance(int64_t FileBytes) {
  return kMemoryPerFileByte * FileBytes + kMemoryBesideFile;
}
// A decoder of several scans keeps two bytes for every sample of the image.
inline constexpr int64_t kCoefficientBytes = 2;

// "JPEG image has more than 64 scans".
std::string TooManyScansText();
// The scans (SOS markers) of the JPEG data, their entropy data skipped.
int CountScans(const uint8_t* Data, size_t Size);

// What the decompressor's progress hook watches: the scans begun and the entropy data each
// one has taken.
struct TJpegProgress {
  jpeg_progress_mgr Pub;  // first: the library's pointer to it is a pointer to this record
  TStreamSource* Source = nullptr;
  int Scan = 0;
  int64_t ScanStart = 0;  // bytes of the stream taken when the scan began
};

struct TJpegErrorManager {
  jpeg_error_mgr Pub;  // first: the library's pointer to it is a pointer to this record
  std::jmp_buf Jump;
  // A stream's exception caught in a manager; raised in place of the library's message.
  std::exception_ptr Pending;
  char Message[JMSG_LENGTH_MAX];
};

// Header values of the decompressor.
struct TJpegHeaderInfo {
  uint32_t ImageWidth;
  uint32_t ImageHeight;
  uint32_t OutputWidth;
  uint32_t OutputHeight;
  int OutputComponents;
  uint8_t DensityUnit;
  uint16_t XDensity;
  uint16_t YDensity;
  J_COLOR_SPACE ColorSpace;
};

// Output colour spaces of SetOutColorSpace.
inline constexpr int jcGrayscale = 1;
inline constexpr int jcRGB = 2;

class TJpegDecompressor {
 public:
  TJpegDecompressor();
  ~TJpegDecompressor();
  TJpegDecompressor(const TJpegDecompressor&) = delete;
  TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

  // The stream takes the place of the library's file source, from its position.
  void SetSource(TStream& Stream);
  void ReadHeader();  // an image is required
  TJpegHeaderInfo GetHeaderInfo() const;
  // The memory that decoding takes beside the output rows: the coefficients of every sample
  // when the image comes in several scans, else nothing that grows with the image.
  int64_t BufferedBytes() const;
  void SetOutColorSpace(int ColorSpace);
  void StartDecompress();
  void ReadScanline(uint8_t* Row);
  void FinishDecompress();

 private:
  template <typename TCall>
  auto Guarded(TCall&& Call);

  TJpegErrorManager FError;
  jpeg_decompress_struct FInfo;
  TJpegProgress FProgress;
  std::unique_ptr<TStreamSource> FSource;
};

class TJpegCompressor {
 public:
  TJpegCompressor();
  ~TJpegCompressor();
  TJpegCompressor(const TJpegCompressor&) = delete;
  TJpegCompressor& operator=(const TJpegCompressor&) = delete;

  void SetDestination(TStream& Stream);
  // Size, components and colour space, the library's defaults, then the JFIF density, the
  // quality (baseline forced), simple progression when asked, and optimised Huffman coding.
  void SetCompressParams(uint32_t Width, uint32_t Height, int Components, uint8_t DensityUnit,
                         uint16_t XDensity, uint16_t YDensity, int ColorSpace, int Quality,
                         bool Progressive, bool Optimize);
  void StartCompress();  // all tables written
  void WriteScanline(const uint8_t* Row);
  void FinishCompress();

 private:
  template <typename TCall>
  auto Guarded(TCall&& Call);

  TJpegErrorManager FError;
  jpeg_compress_struct FInfo;
  std::unique_ptr<TStreamDestination> FDestination;
};

}  // namespace jpegstream
