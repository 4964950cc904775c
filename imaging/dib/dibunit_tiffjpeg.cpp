// Reading a TIFF page or a JPEG image into a page: which TIFF layouts become which pixel type,
// with which palette and polarity, and which of libtiff's decoding paths reads the pixels.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "dibunit.h"
#include "jpegstream.h"
#include "tiffstream.h"

namespace {

using tiffstream::TTIFFClient;
using tiffstream::TTIFFHandle;

enum class TReadPath { Strip, Scanline, WholeImage };

// The whole-image path renders the page into 4 bytes a pixel, one band of rows at a time.
inline constexpr int64_t kMaxBandBytes = int64_t{32} << 20;
// Strips decoded whole are read through a buffer of at most this size; larger ones row by row.
inline constexpr int64_t kMaxStripBufferBytes = int64_t{16} << 20;

const char* const kStripsBeyondFile = "TIFF strips or tiles lie beyond the end of the file";
const char* const kCorruptJpegInTiff = "TIFF JPEG data are corrupt or end early";
const char* const kJpegCannotFill = "JPEG data cannot fill the page";
enum class TPaletteKind { None, BlackAndWhite, Gray16, Gray256, ColorMap };

// What the reader takes from the chosen directory and what it decides from it.
struct TTIFFPage {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint16_t Photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t Compression = COMPRESSION_NONE;
  uint16_t BitsPerSample = 1;
  uint16_t Planar = PLANARCONFIG_CONTIG;
  uint32_t RowsPerStrip = 0;
  int32_t XDPI = 0;
  int32_t YDPI = 0;
  bool CCITT = false;
  TReadPath Path = TReadPath::Strip;
  int64_t ScanlineSize = 0;
  int32_t BytesPerPixel = 1;
  uint8_t PixelType = pt24bit;
  TPaletteKind Palette = TPaletteKind::None;
  bool Invert = false;
};

TTIFFHandle OpenForReading(TStream& Stream) {
  TTIFFHandle tif = tiffstream::TIFFStreamOpen(Stream, tiffstream::tmRead);
  if (!tif) {
    Stream.SetPosition(0);
    tif = tiffstream::TIFFStreamOpen(Stream, tiffstream::tmRead);
  }
  if (!tif) throw Exception("TIFFOpen");
  return tif;
}

void SelectPage(TIFF* Tif, int32_t PageIndex) {
  if (PageIndex < 0 || ::TIFFSetDirectory(Tif, static_cast<tdir_t>(PageIndex)) != 1) {
    throw Exception("TIFFSetDirectory: Page = " + std::to_string(PageIndex) +
                    " is past the last page");
  }
}

template <typename T>
T TagOr(TIFF* Tif, uint32_t Tag, T Missing) {
  T value{};
  return ::TIFFGetField(Tif, Tag, &value) == 1 ? value : Missing;
}

bool IsCCITT(uint16_t Compression) {
  return Compression == COMPRESSION_CCITTRLE || Compression == COMPRESSION_CCITTFAX3 ||
         Compression == COMPRESSION_CCITTFAX4 || Compression == COMPRESSION_CCITTRLEW;
}

// Inches as they are, any other unit as centimetres; kept as a 16-bit number. A value that
// no resolution can have counts as none.
int32_t ResolutionDPI(float Value, uint16_t Unit) {
  double dpi = Unit == RESUNIT_INCH ? Value : Value * 2.54;
  if (!(std::fabs(dpi) < std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<uint16_t>(Round(dpi));
}

void ReadTags(TIFF* Tif, TTIFFPage& Page) {
  tiffstream::TIFFGetField(Tif, TIFFTAG_IMAGEWIDTH, &Page.Width);
  tiffstream::TIFFGetField(Tif, TIFFTAG_IMAGELENGTH, &Page.Height);
  Page.Photometric = TagOr<uint16_t>(Tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  tiffstream::TIFFGetField(Tif, TIFFTAG_COMPRESSION, &Page.Compression);
  Page.CCITT = IsCCITT(Page.Compression);
  if (::TIFFGetField(Tif, TIFFTAG_BITSPERSAMPLE, &Page.BitsPerSample) != 1) {
    if (!Page.CCITT) tiffstream::RaiseTagError("TIFFGetField", TIFFTAG_BITSPERSAMPLE);
    Page.BitsPerSample = 1;
  }
  tiffstream::TIFFGetField(Tif, TIFFTAG_PLANARCONFIG, &Page.Planar);
  uint16_t unit = TagOr<uint16_t>(Tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  Page.XDPI = ResolutionDPI(TagOr<float>(Tif, TIFFTAG_XRESOLUTION, 0), unit);
  Page.YDPI = ResolutionDPI(TagOr<float>(Tif, TIFFTAG_YRESOLUTION, 0), unit);
  // The strips libtiff itself uses: without the tag the image is one strip.
  ::TIFFGetFieldDefaulted(Tif, TIFFTAG_ROWSPERSTRIP, &Page.RowsPerStrip);
  if (Page.RowsPerStrip == 0 || Page.RowsPerStrip > Page.Height) Page.RowsPerStrip = Page.Height;
}

void ChoosePath(TIFF* Tif, TTIFFPage& Page) {
  // Separated, YCbCr, CIELab and the other colour models are libtiff's to turn into RGB.
  bool whole = Page.Compression == COMPRESSION_JPEG || ::TIFFIsTiled(Tif) != 0 ||
               Page.Photometric > PHOTOMETRIC_PALETTE || Page.BitsPerSample > 8 ||
               Page.Planar > PLANARCONFIG_CONTIG;
  Page.Path = whole ? TReadPath::WholeImage : Page.CCITT ? TReadPath::Scanline : TReadPath::Strip;
}

void CheckBitCount(TIFF* Tif, TTIFFPage& Page) {
  Page.ScanlineSize = static_cast<int64_t>(::TIFFScanlineSize64(Tif));
  if (Page.ScanlineSize <= 0) throw Exception("TIFFScanlineSize");
  // YCbCr rows are packed by their chroma subsampling; libtiff's RGBA reader turns every one
  // of their pixels into three bytes.
  Page.BytesPerPixel = Page.Photometric == PHOTOMETRIC_YCBCR
                           ? 3
                           : std::max(1, Round(static_cast<double>(Page.ScanlineSize) /
                                               static_cast<double>(Page.Width)));
  int64_t bitCount = int64_t{Page.BitsPerSample} * Page.BytesPerPixel;
  // Rows of more than four bytes a pixel have no place in a page's row: they are refused
  // rather than copied as they are, and a short file cannot ask for huge strip buffers.
  if (Page.Path == TReadPath::WholeImage || Page.BytesPerPixel <= 4) {
    bitCount = std::min<int64_t>(bitCount, 24);
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) {
    throw Exception("Unsupported bit count: " + std::to_string(bitCount));
  }
}

// libtiff's RGBA reader already turns every photometric into colours, so only rows taken as
// they are stored need inverting.
void ChooseType(TTIFFPage& Page) {
  uint16_t photometric = Page.Photometric;
  if (Page.CCITT && photometric == PHOTOMETRIC_MINISBLACK) photometric = PHOTOMETRIC_MINISWHITE;
  bool gray = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  bool whole = Page.Path == TReadPath::WholeImage;
  uint16_t bits = Page.BitsPerSample;
  if (gray && (bits == 1 || bits == 4 || bits == 8)) {
    Page.PixelType = bits == 1 ? pt1bit : bits == 4 ? pt4bit : pt8bit;
    Page.Palette = bits == 1   ? TPaletteKind::BlackAndWhite
                   : bits == 4 ? TPaletteKind::Gray16
                               : TPaletteKind::Gray256;
    Page.Invert = photometric == PHOTOMETRIC_MINISWHITE && !whole;
  } else if (photometric == PHOTOMETRIC_PALETTE && !whole) {
    // Indices stay indices: 1-bit rows in a 1-bit page, 4 and 8 bits in their own.
    Page.PixelType = bits == 1 ? pt1bit : bits <= 4 ? pt4bit : pt8bit;
    Page.Palette = TPaletteKind::ColorMap;
  }
  // Everything else, palette images read as colours included, is a 24-bit page.
}

void ReadPage(TIFF* Tif, TTIFFPage& Page) {
  ReadTags(Tif, Page);
  if (Page.Width == 0 || Page.Height == 0) {
    throw Exception("Image size not allowed: " + std::to_string(Page.Width) + " x " +
                    std::to_string(Page.Height) + " pixels");
  }
  ChoosePath(Tif, Page);
  CheckBitCount(Tif, Page);
  ChooseType(Page);
}

void SetGrayPalette(TDIB& Image, int32_t Count, int32_t Step) {
  win32::LOGPALETTE log{0x300, static_cast<uint16_t>(Count), {}};
  for (int32_t i = 0; i < Count; ++i) {
    auto level = static_cast<uint8_t>(i * Step);
    log.palPalEntry[i] = {level, level, level, 0};
  }
  Image.SetPaletteFromLog(log);
}

// The file's colour map, at most as many entries as the page has; 16-bit maps are scaled.
void SetColorMapPalette(TDIB& Image, TIFF* Tif, const TTIFFPage& Page) {
  uint16_t* red = nullptr;
  uint16_t* green = nullptr;
  uint16_t* blue = nullptr;
  tiffstream::TIFFGetField3(Tif, TIFFTAG_COLORMAP, &red, &green, &blue);
  int32_t count = static_cast<int32_t>(std::min<int64_t>(
      int64_t{1} << std::min<int32_t>(Page.BitsPerSample, 16), Image.ColorCount()));
  bool wide = false;
  for (int32_t i = 0; i < count; ++i)
    wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
  auto level = [wide](uint16_t v) {
    return static_cast<uint8_t>(wide ? v * 255 / 65535 : v & 0xFF);
  };
  win32::LOGPALETTE log{0x300, static_cast<uint16_t>(count), {}};
  for (int32_t i = 0; i < count; ++i) {
    log.palPalEntry[i] = {level(red[i]), level(green[i]), level(blue[i]), 0};
  }
  Image.SetPaletteFromLog(log);
}

void SetPalette(TDIB& Image, TIFF* Tif, const TTIFFPage& Page) {
  switch (Page.Palette) {
    case TPaletteKind::BlackAndWhite:
      SetGrayPalette(Image, 2, 255);
      break;
    case TPaletteKind::Gray16:
      SetGrayPalette(Image, 16, 17);
      break;
    case TPaletteKind::Gray256:
      SetGrayPalette(Image, 256, 1);
      break;
    case TPaletteKind::ColorMap:
      SetColorMapPalette(Image, Tif, Page);
      break;
    case TPaletteKind::None:
      break;
  }
}

// Rows are never copied beyond the page's own line length, whatever libtiff's scanline is.
void CopyRow(TDIB& Image, int32_t Y, const uint8_t* Source, int64_t SourceBytes) {
  std::memcpy(Image.Lines(Y), Source,
              static_cast<size_t>(std::min<int64_t>(SourceBytes, Image.LineBytes())));
}

// Rows of 3 or 4 bytes a pixel: red, green, blue (a fourth byte dropped). A 24-bit page takes
// the bytes straight; other pages go through their per-depth setter.
void CopyColorRow(TDIB& Image, int32_t Y, const uint8_t* Source, const TTIFFPage& Page) {
  int64_t pixels = std::min<int64_t>(Page.Width, Page.ScanlineSize / Page.BytesPerPixel);
  int32_t step = Page.BytesPerPixel;
  if (Image.PixelType() == pt24bit) {
    uint8_t* target = Image.Lines(Y);
    for (int64_t x = 0; x < pixels; ++x, Source += step, target += 3) {
      target[0] = Source[2];
      target[1] = Source[1];
      target[2] = Source[0];
    }
    return;
  }
  TDIB::TPixelSetter setter = Image.PixelSetter();
  for (int64_t x = 0; x < pixels; ++x, Source += step) {
    (Image.*setter)(static_cast<int32_t>(x), Y, Source[0] | (Source[1] << 8) | (Source[2] << 16));
  }
}

// One decoded row, stored as the page's layout asks.
void StoreRow(TDIB& Image, int32_t Y, const uint8_t* Source, const TTIFFPage& Page) {
  if (Page.BytesPerPixel == 3 || Page.BytesPerPixel == 4) {
    CopyColorRow(Image, Y, Source, Page);
  } else {
    CopyRow(Image, Y, Source, Page.ScanlineSize);
  }
}

// The row buffers start cleared: libtiff's decoders need not write the bits past a row's last
// pixel, and those bits would otherwise carry whatever the heap held into the page.
void ReadScanlines(TDIB& Image, TIFF* Tif, const TTIFFPage& Page) {
  auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(Page.ScanlineSize));
  for (uint32_t row = 0; row < Page.Height; ++row) {
    if (::TIFFReadScanline(Tif, buffer.get(), row, 0) == -1) throw Exception("TIFFReadScanline");
    StoreRow(Image, static_cast<int32_t>(row), buffer.get(), Page);
  }
}

void ReadStrips(TDIB& Image, TIFF* Tif, const TTIFFPage& Page) {
  int64_t stripBytes = int64_t{Page.RowsPerStrip} * Page.ScanlineSize;
  auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(stripBytes));
  for (uint32_t row = 0; row < Page.Height; row += Page.RowsPerStrip) {
    uint32_t rows = std::min(Page.RowsPerStrip, Page.Height - row);
    uint32_t strip = ::TIFFComputeStrip(Tif, row, 0);
    if (::TIFFReadEncodedStrip(Tif, strip, buffer.get(), Page.ScanlineSize * rows) == -1) {
      throw Exception("TIFFReadEncodedStrip");
    }
    for (uint32_t i = 0; i < rows; ++i) {
      StoreRow(Image, static_cast<int32_t>(row + i), buffer.get() + i * Page.ScanlineSize, Page);
    }
  }
}

// One raster row (ABGR words) into picture row Y, by the page's depth.
void CopyRasterRow(TDIB& Image, int32_t Y, const uint32_t* Source, int32_t Width) {
  uint8_t* target = Image.Lines(Y);
  if (Image.PixelType() == pt24bit) {
    for (int32_t x = 0; x < Width; ++x, target += 3) {
      target[0] = static_cast<uint8_t>(TIFFGetB(Source[x]));
      target[1] = static_cast<uint8_t>(TIFFGetG(Source[x]));
      target[2] = static_cast<uint8_t>(TIFFGetR(Source[x]));
    }
  } else if (Image.PixelType() == pt8bit) {
    for (int32_t x = 0; x < Width; ++x) target[x] = static_cast<uint8_t>(TIFFGetR(Source[x]));
  } else {
    TDIB::TPixelSetter setter = Image.PixelSetter();
    for (int32_t x = 0; x < Width; ++x) {
      (Image.*setter)(x, Y, static_cast<int32_t>(Source[x] & 0xFFFFFF));
    }
  }
}

// libtiff's RGBA renderer, ended in any case.
class TRGBARenderer {
 public:
  explicit TRGBARenderer(TIFF* Tif) {
    char message[1024];
    if (::TIFFRGBAImageOK(Tif, message) != 1 ||
        ::TIFFRGBAImageBegin(&FImage, Tif, 1, message) != 1) {
      throw Exception("TIFFReadRGBAImage");
    }
    FImage.req_orientation = ORIENTATION_TOPLEFT;
  }
  ~TRGBARenderer() { ::TIFFRGBAImageEnd(&FImage); }
  TRGBARenderer(const TRGBARenderer&) = delete;
  TRGBARenderer& operator=(const TRGBARenderer&) = delete;

  // Stored rows run from the bottom up: each band comes out turned the right way up.
  bool BottomUp() const {
    uint16_t o = FImage.orientation;
    return o == ORIENTATION_BOTLEFT || o == ORIENTATION_BOTRIGHT || o == ORIENTATION_LEFTBOT ||
           o == ORIENTATION_RIGHTBOT;
  }
  // Rows First to First + Rows - 1 as they are stored, into Raster.
  void Get(uint32_t* Raster, uint32_t First, uint32_t Rows) {
    FImage.row_offset = static_cast<int>(First);
    if (::TIFFRGBAImageGet(&FImage, Raster, FImage.width, Rows) != 1) {
      throw Exception("TIFFReadRGBAImage");
    }
  }

 private:
  TIFFRGBAImage FImage{};
};

// Rows in bands of whole strips or tiles where they fit the band buffer.
uint32_t BandRows(TIFF* Tif, const TTIFFPage& Page) {
  uint32_t unit = Page.RowsPerStrip;
  if (::TIFFIsTiled(Tif) != 0)
    unit = std::max<uint32_t>(1, TagOr<uint32_t>(Tif, TIFFTAG_TILELENGTH, 1));
  auto fit = static_cast<uint32_t>(std::max<int64_t>(1, kMaxBandBytes / (int64_t{Page.Width} * 4)));
  uint32_t rows = unit <= fit ? fit / unit * unit : fit;
  return std::min(rows, Page.Height);
}

// The page rendered band by band, every band checked before the next one is read.
void ReadWholeImage(TDIB& Image, TIFF* Tif, const TTIFFPage& Page, const TTIFFClient& Client) {
  TRGBARenderer renderer(Tif);
  uint32_t band = BandRows(Tif, Page);
  std::unique_ptr<uint32_t[]> raster(new uint32_t[static_cast<size_t>(band) * Page.Width]);
  auto width = static_cast<int32_t>(Page.Width);
  for (uint32_t first = 0; first < Page.Height; first += band) {
    uint32_t rows = std::min(band, Page.Height - first);
    renderer.Get(raster.get(), first, rows);
    if (Client.CorruptData) throw Exception(kCorruptJpegInTiff);
    // Rows stored bottom-up end the picture: stored row f is picture row Height - 1 - f.
    uint32_t top = renderer.BottomUp() ? Page.Height - first - rows : first;
    for (uint32_t r = 0; r < rows; ++r) {
      CopyRasterRow(Image, static_cast<int32_t>(top + r), raster.get() + int64_t{r} * width, width);
    }
  }
}

// Strips and tiles must lie inside the file and together hold no more bytes than it: a page
// cannot be made of data the file does not have.
void CheckStripsInFile(TIFF* Tif, const TTIFFClient& Client) {
  uint64_t fileSize = static_cast<uint64_t>(std::max<int64_t>(0, Client.Stream->Size()));
  uint32_t count = ::TIFFIsTiled(Tif) != 0 ? ::TIFFNumberOfTiles(Tif) : ::TIFFNumberOfStrips(Tif);
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t offset = ::TIFFGetStrileOffset(Tif, i);
    uint64_t bytes = ::TIFFGetStrileByteCount(Tif, i);
    total += bytes;
    if (offset > fileSize || bytes > fileSize - offset || total > fileSize) {
      throw Exception(kStripsBeyondFile);
    }
  }
}

int64_t PageBytes(const TTIFFPage& Page) {
  TDIBLayout layout;
  TDIB::LayoutForType(static_cast<int32_t>(Page.Width), static_cast<int32_t>(Page.Height),
                      Page.PixelType, layout);
  return layout.BlockSize;
}

// The JPEG data of every strip or tile are looked at before libtiff decodes any: no more scans
// than a plain JPEG may have, and, where they come in several scans (libtiff's decoder then
// keeps the coefficients of a whole strip), no more memory than the file can justify.
void CheckJpegStrips(TIFF* Tif, const TTIFFPage& Page, const TTIFFClient& Client) {
  const bool tiled = ::TIFFIsTiled(Tif) != 0;
  const uint32_t count = tiled ? ::TIFFNumberOfTiles(Tif) : ::TIFFNumberOfStrips(Tif);
  std::vector<uint8_t> data;
  bool buffered = false;
  for (uint32_t i = 0; i < count; ++i) {
    data.resize(static_cast<size_t>(::TIFFGetStrileByteCount(Tif, i)));
    if (data.empty()) continue;
    const tmsize_t got = tiled ? ::TIFFReadRawTile(Tif, i, data.data(), std::ssize(data))
                               : ::TIFFReadRawStrip(Tif, i, data.data(), std::ssize(data));
    if (got < 0) throw Exception(kCorruptJpegInTiff);
    const int scans = jpegstream::CountScans(data.data(), static_cast<size_t>(got));
    if (scans > jpegstream::kMaxJpegScans) throw Exception(jpegstream::TooManyScansText());
    buffered = buffered || scans > 1;
  }
  if (!buffered) return;
  uint32_t width = Page.Width, rows = Page.RowsPerStrip;
  if (tiled) {
    width = TagOr<uint32_t>(Tif, TIFFTAG_TILEWIDTH, Page.Width);
    rows = TagOr<uint32_t>(Tif, TIFFTAG_TILELENGTH, Page.Height);
  }
  const int64_t samples = TagOr<uint16_t>(Tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  const int64_t coefficients = int64_t{width} * rows * samples * jpegstream::kCoefficientBytes;
  if (PageBytes(Page) + coefficients > jpegstream::MemoryAllowance(Client.Stream->Size())) {
    throw Exception(kJpegCannotFill);
  }
}

}  // namespace

void SwapRGBTriples(uint8_t* Buffer, int64_t Count) {
  for (int64_t i = 0; i + 2 < Count; i += 3) std::swap(Buffer[i], Buffer[i + 2]);
}

void ReadTIFF(TDIB& Image, TStream& Stream, int32_t PageIndex) {
  TTIFFHandle tif = OpenForReading(Stream);
  SelectPage(tif.get(), PageIndex);
  TTIFFPage page;
  ReadPage(tif.get(), page);
  TDIB::CheckImageSize(page.Width, page.Height, page.PixelType);
  CheckStripsInFile(tif.get(), tif.Client());
  if (page.Compression == COMPRESSION_JPEG) CheckJpegStrips(tif.get(), page, tif.Client());
  Image.NewImage(static_cast<int32_t>(page.Width), static_cast<int32_t>(page.Height),
                 page.PixelType, page.XDPI, page.YDPI);
  SetPalette(Image, tif.get(), page);
  switch (page.Path) {
    case TReadPath::Scanline:
      ReadScanlines(Image, tif.get(), page);
      break;
    case TReadPath::Strip:
      if (int64_t{page.RowsPerStrip} * page.ScanlineSize > kMaxStripBufferBytes) {
        ReadScanlines(Image, tif.get(), page);
      } else {
        ReadStrips(Image, tif.get(), page);
      }
      break;
    case TReadPath::WholeImage:
      ReadWholeImage(Image, tif.get(), page, tif.Client());
      break;
  }
  if (page.Invert) Image.InvertBits();
}

void ReadJPEG(TDIB& Image, TStream& Stream) {
  jpegstream::TJpegDecompressor jpeg;
  jpeg.SetSource(Stream);
  jpeg.ReadHeader();
  jpegstream::TJpegHeaderInfo info = jpeg.GetHeaderInfo();
  bool gray = info.ColorSpace == JCS_GRAYSCALE;
  jpeg.SetOutColorSpace(gray ? jpegstream::jcGrayscale : jpegstream::jcRGB);
  TDIB::CheckImageSize(info.ImageWidth, info.ImageHeight, gray ? pt8bit : pt24bit);
  // Several scans are all read into the coefficients before the first row comes out.
  if (jpeg.BufferedBytes() > jpegstream::MemoryAllowance(Stream.Size())) {
    throw Exception(kJpegCannotFill);
  }
  jpeg.StartDecompress();
  info = jpeg.GetHeaderInfo();
  if (info.OutputComponents != 1 && info.OutputComponents != 3) {
    throw Exception("Invalid samples count: " + std::to_string(info.OutputComponents));
  }
  int32_t xdpi = 0;
  int32_t ydpi = 0;
  if (info.DensityUnit == 1) {
    xdpi = info.XDensity;
    ydpi = info.YDensity;
  } else if (info.DensityUnit == 2) {
    xdpi = Round(info.XDensity * 2.54);
    ydpi = Round(info.YDensity * 2.54);
  }
  uint8_t type = info.OutputComponents == 1 ? pt8bit : pt24bit;
  Image.NewImage(static_cast<int32_t>(info.OutputWidth), static_cast<int32_t>(info.OutputHeight),
                 type, xdpi, ydpi);
  for (int32_t row = 0; row < Image.Height(); ++row) {
    jpeg.ReadScanline(Image.Lines(row));
    if (type == pt24bit) SwapRGBTriples(Image.Lines(row), int64_t{Image.Width()} * 3);
  }
  jpeg.FinishDecompress();
}

void TDIB::LoadTIFF(TStream& Stream, int32_t PageIndex) {
  FreeImage();
  try {
    ReadTIFF(*this, Stream, PageIndex);
  } catch (...) {
    FreeImage();
    throw;
  }
}

void TDIB::LoadJPEG(TStream& Stream) {
  FreeImage();
  try {
    ReadJPEG(*this, Stream);
  } catch (...) {
    FreeImage();
    throw;
  }
}
