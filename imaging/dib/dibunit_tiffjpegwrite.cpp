// Writing a page as TIFF (a new file or one more page appended) or as JPEG, and counting the
// pages of a TIFF file.
#include <ctime>
#include <filesystem>
#include <vector>

#include "dibunit.h"
#include "jpegstream.h"
#include "tiffstream.h"

namespace {

// The program's own compression codes.
inline constexpr uint8_t tcAuto = 0;
inline constexpr uint8_t tcPackBits = 2;
inline constexpr uint8_t tcGroup3 = 3;
inline constexpr uint8_t tcGroup3TwoD = 4;
inline constexpr uint8_t tcGroup4 = 5;
inline constexpr uint8_t tcDeflate = 6;
inline constexpr uint8_t tcJPEG = 7;
inline constexpr uint8_t tcLZW = 8;

uint8_t ResolveCompression(uint8_t Compression, uint8_t PixelType) {
  if (Compression != tcAuto) return Compression;
  switch (PixelType) {
    case pt1bit:
      return tcGroup4;
    case pt4bit:
      return tcPackBits;
    case pt8bit:
    case pt24bit:
      return tcJPEG;
    default:
      return 1;
  }
}

bool IsCCITTCode(uint8_t Compression) {
  return Compression == tcGroup3 || Compression == tcGroup3TwoD || Compression == tcGroup4;
}

int32_t TIFFCompressionOf(uint8_t Compression) {
  switch (Compression) {
    case tcPackBits:
      return COMPRESSION_PACKBITS;
    case tcGroup3:
    case tcGroup3TwoD:
      return COMPRESSION_CCITTFAX3;
    case tcGroup4:
      return COMPRESSION_CCITTFAX4;
    case tcDeflate:
      return COMPRESSION_DEFLATE;
    case tcJPEG:
      return COMPRESSION_JPEG;
    case tcLZW:
      return COMPRESSION_LZW;
    default:
      return COMPRESSION_NONE;
  }
}

// The local time now as "yyyy:mm:dd hh:nn:ss".
std::string DateTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[20];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

void SetPageTags(TIFF* Tif, const TDIB& Image, uint8_t Compression, int32_t RowsPerStrip) {
  using namespace tiffstream;
  int32_t rows = Compression == tcJPEG ? 8 : RowsPerStrip > 0 ? RowsPerStrip : 16;
  TIFFSetIntField(Tif, TIFFTAG_ROWSPERSTRIP, rows);
  TIFFSetIntField(Tif, TIFFTAG_COMPRESSION, TIFFCompressionOf(Compression));
  // libtiff knows the Group 3 options only once that compression is in force.
  if (Compression == tcGroup3) TIFFSetIntField(Tif, TIFFTAG_GROUP3OPTIONS, 0);
  if (Compression == tcGroup3TwoD) {
    TIFFSetIntField(Tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
  }
  TIFFSetIntField(Tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(Tif, TIFFTAG_SOFTWARE, "Dovantic Image Library");
  TIFFSetField(Tif, TIFFTAG_DATETIME, DateTimeNow().c_str());
  TIFFSetIntField(Tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetFloatField(Tif, TIFFTAG_XRESOLUTION, static_cast<float>(Image.XResolution()));
  TIFFSetFloatField(Tif, TIFFTAG_YRESOLUTION, static_cast<float>(Image.YResolution()));
  TIFFSetIntField(Tif, TIFFTAG_IMAGEWIDTH, Image.Width());
  TIFFSetIntField(Tif, TIFFTAG_IMAGELENGTH, Image.Height());
}

void SetSampleTags(TIFF* Tif, const TDIB& Image, uint8_t Compression) {
  using namespace tiffstream;
  switch (Image.BitCount()) {
    case 1:
      TIFFSetIntField(Tif, TIFFTAG_BITSPERSAMPLE, 1);
      TIFFSetIntField(Tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetIntField(Tif, TIFFTAG_PHOTOMETRIC,
                      IsCCITTCode(Compression) ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
      break;
    case 4:
    case 8:
      TIFFSetIntField(Tif, TIFFTAG_BITSPERSAMPLE, Image.BitCount());
      TIFFSetIntField(Tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetIntField(Tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      break;
    case 24:
      TIFFSetIntField(Tif, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetIntField(Tif, TIFFTAG_SAMPLESPERPIXEL, 3);
      TIFFSetIntField(Tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      break;
  }
}

// Rows from the top. CCITT 1-bit rows are complemented (index 1 = white becomes bit 0 = white
// under min-is-white), 24-bit rows turned into red, green, blue; the others go as stored.
void WriteRows(TIFF* Tif, TDIB& Image, uint8_t Compression) {
  bool complement = Image.BitCount() == 1 && IsCCITTCode(Compression);
  bool swap = Image.BitCount() == 24;
  std::vector<uint8_t> buffer(static_cast<size_t>(Image.Stride()));
  for (int32_t y = 0; y < Image.Height(); ++y) {
    uint8_t* row = Image.Lines(y);
    if (complement || swap) {
      std::copy(row, row + Image.Stride(), buffer.begin());
      if (complement) {
        for (uint8_t& b : buffer) b = static_cast<uint8_t>(~b);
      } else {
        SwapRGBTriples(buffer.data(), Image.Stride());
      }
      row = buffer.data();
    }
    if (::TIFFWriteScanline(Tif, row, static_cast<uint32_t>(y), 0) == -1) {
      throw Exception("TIFFWriteScanLine");
    }
  }
}

}  // namespace

void WriteTIFF(TDIB& Image, TStream& Stream, uint8_t Mode, uint8_t Compression,
               int32_t RowsPerStrip) {
  tiffstream::TTIFFHandle tif = tiffstream::TIFFStreamOpen(Stream, Mode);
  if (!tif) throw Exception("TIFFOpen");
  uint8_t code = ResolveCompression(Compression, Image.PixelType());
  SetPageTags(tif.get(), Image, code, RowsPerStrip);
  SetSampleTags(tif.get(), Image, code);
  WriteRows(tif.get(), Image, code);
  // The last strip and the directory are written here; closing could not report their loss.
  if (::TIFFFlush(tif.get()) != 1) throw Exception("TIFFFlush");
}

void WriteJPEG(TDIB& Image, TStream& Stream, bool Progressive, bool Optimize, uint8_t Quality) {
  int components = 0;
  int colorSpace = 0;
  if (Image.PixelType() == pt8bit) {
    components = 1;
    colorSpace = jpegstream::jcGrayscale;
  } else if (Image.PixelType() == pt24bit) {
    components = 3;
    colorSpace = jpegstream::jcRGB;
  } else {
    throw Exception("Invalid bit depth !");
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(Image.LineBytes()));
  jpegstream::TJpegCompressor jpeg;
  jpeg.SetDestination(Stream);
  jpeg.SetCompressParams(
      static_cast<uint32_t>(Image.Width()), static_cast<uint32_t>(Image.Height()), components, 1,
      static_cast<uint16_t>(Image.XResolution()), static_cast<uint16_t>(Image.YResolution()),
      colorSpace, Quality, Progressive, Optimize);
  jpeg.StartCompress();
  for (int32_t y = 0; y < Image.Height(); ++y) {
    std::copy(Image.Lines(y), Image.Lines(y) + Image.LineBytes(), buffer.begin());
    if (components == 3) SwapRGBTriples(buffer.data(), Image.LineBytes());
    jpeg.WriteScanline(buffer.data());
  }
  jpeg.FinishCompress();
}

int32_t TDIB::PageCount(const std::string& FileName) {
  TFileStream file(FileName, TFileMode::fmOpenRead);
  return IsTIFF(file) ? PageCountFromStream(file) : 1;
}

int32_t TDIB::PageCountFromStream(TStream& Stream) {
  tiffstream::TTIFFHandle tif = tiffstream::TIFFStreamOpen(Stream, tiffstream::tmRead);
  if (!tif) throw Exception("TIFFOpen");
  return tiffstream::TIFFPageCount(tif.get());
}

void TDIB::SaveTIFF(const std::string& FileName, bool Append, uint8_t Compression,
                    int32_t RowsPerStrip) {
  std::error_code error;
  if (Append && std::filesystem::exists(FileName, error)) {
    TFileStream file(FileName, TFileMode::fmOpenReadWrite);
    SaveTIFFToStream(file, true, Compression, RowsPerStrip);
  } else {
    TFileStream file(FileName, TFileMode::fmCreate);
    SaveTIFFToStream(file, false, Compression, RowsPerStrip);
  }
}

void TDIB::SaveTIFFToStream(TStream& Stream, bool Append, uint8_t Compression,
                            int32_t RowsPerStrip) {
  uint8_t code = ResolveCompression(Compression, FPixelType);
  if (Append) Stream.SetPosition(0);
  WriteTIFF(*this, Stream, Append ? tiffstream::tmAppend : tiffstream::tmWrite, code, RowsPerStrip);
}

void TDIB::SaveJPEG(const std::string& FileName, bool Progressive, uint8_t Quality) {
  TFileStream file(FileName, TFileMode::fmCreate);
  SaveJPEGToStream(file, Progressive, Quality);
}

void TDIB::SaveJPEGToStream(TStream& Stream, bool Progressive, uint8_t Quality) {
  WriteJPEG(*this, Stream, Progressive, false, Quality);
}
