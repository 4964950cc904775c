// Changes of pixel type in place and the reduction of a 1-bit page to a small gray page.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "dibunit.h"
#include "dibunit_runcount.h"

namespace {

using runcount::kBitCounts;

// Resizes the page's block and locks it again; the page's own addresses are stale until the
// caller parses the header. When the block cannot be resized it stays as it was, and the page
// is parsed from it before the error is raised.
void ResizeBlock(TDIB& Page, size_t Bytes) {
  Page.UnlockAll();
  win32::HGLOBAL resized =
      win32::GlobalReAlloc(Page.Handle(), Bytes, win32::GMEM_MOVEABLE | win32::GMEM_ZEROINIT);
  uint32_t error = win32::GetLastError();
  Page.Lock();
  if (resized == nullptr) {
    Page.ParseHeader();
    Page.BuildLineTable();
    throw Exception(win32::ErrorText(error));
  }
}

// The standard palette each pixel type gets from a conversion.
void WriteStandardPalette(win32::RGBQUAD* Palette, uint8_t PixelType) {
  switch (PixelType) {
    case pt1bit:
      Palette[0] = {0, 0, 0, 0};
      Palette[1] = {255, 255, 255, 0};
      break;
    case pt4bit:
      for (int32_t i = 0; i < 16; ++i) {
        auto level = static_cast<uint8_t>(17 * i);
        Palette[i] = {level, level, level, 0};
      }
      break;
    case pt8bit:
      for (int32_t i = 0; i < 256; ++i) {
        auto level = static_cast<uint8_t>(i);
        Palette[i] = {level, level, level, 0};
      }
      break;
    default:
      break;
  }
}

int32_t ColorsOf(uint8_t PixelType) {
  switch (PixelType) {
    case pt1bit:
      return 2;
    case pt4bit:
      return 16;
    case pt8bit:
      return 256;
    default:
      return 0;
  }
}

// Rewrites every line of the page as lines of the new type, in place. ConvertRow(Source,
// Target, Width) writes one line of the new type (its pixel bytes; the rest of the target line
// is zero). Lines are packed into a work area that starts where the old lines start: shrinking
// lines go bottom line first, growing lines top line first, each through a one-line buffer, so
// no write reaches a line that has not been read. The area is then moved behind the new
// palette and the block takes its new size.
template <class TConvertRow>
void ReshapeLines(TDIB& Page, uint8_t NewType, TConvertRow ConvertRow) {
  const int32_t width = Page.Width();
  const int32_t height = Page.Height();
  TDIBLayout layout;
  TDIB::LayoutForType(width, height, NewType, layout);
  const auto oldStride = static_cast<size_t>(Page.Stride());
  const auto newStride = static_cast<size_t>(layout.Stride);
  const size_t area = static_cast<size_t>(height) * newStride;
  const size_t oldBits = static_cast<size_t>(Page.Bits() - static_cast<uint8_t*>(Page.Memory()));
  const size_t newBits = static_cast<size_t>(layout.BlockSize) - area;
  const size_t oldSize = win32::GlobalSize(Page.Handle());
  const size_t workSize =
      std::max({oldSize, static_cast<size_t>(layout.BlockSize), oldBits + area});
  if (workSize > oldSize) ResizeBlock(Page, workSize);

  auto* memory = static_cast<uint8_t*>(Page.Memory());
  std::vector<uint8_t> line(newStride, 0);
  auto reshape = [&](int32_t stored) {
    ConvertRow(memory + oldBits + stored * oldStride, line.data(), width);
    std::memcpy(memory + oldBits + stored * newStride, line.data(), newStride);
  };
  if (newStride <= oldStride) {
    for (int32_t i = 0; i < height; ++i) reshape(i);
  } else {
    for (int32_t i = height - 1; i >= 0; --i) reshape(i);
  }
  std::memmove(memory + newBits, memory + oldBits, area);

  auto* header = reinterpret_cast<win32::BITMAPINFOHEADER*>(memory);
  const int32_t colors = ColorsOf(NewType);
  header->biBitCount = static_cast<uint16_t>(NewType == pt24bit  ? 24
                                             : NewType == pt8bit ? 8
                                             : NewType == pt4bit ? 4
                                                                 : 1);
  header->biSizeImage = static_cast<uint32_t>(area);
  header->biClrUsed = static_cast<uint32_t>(colors);
  header->biClrImportant = static_cast<uint32_t>(colors);
  WriteStandardPalette(reinterpret_cast<win32::RGBQUAD*>(memory + 40), NewType);
  Page.FileHeader() = {};
  if (workSize != static_cast<size_t>(layout.BlockSize)) {
    ResizeBlock(Page, static_cast<size_t>(layout.BlockSize));
  }
  Page.ParseHeader();
  Page.BuildLineTable();
}

// The last byte of a 1-bit line without the bits after its last pixel.
uint8_t LastBits(const uint8_t* Line, int32_t Width) {
  return static_cast<uint8_t>(Line[Width / 8] & (0xFF00 >> (Width % 8)));
}

// Packs one bit per pixel, most significant first, from a per-pixel test.
template <class TIsSet>
void PackBits(uint8_t* Target, int32_t Width, TIsSet IsSet) {
  int32_t x = 0;
  for (; x + 8 <= Width; x += 8) {
    uint8_t byte = 0;
    for (int32_t k = 0; k < 8; ++k) byte |= static_cast<uint8_t>(IsSet(x + k) << (7 - k));
    Target[x / 8] = byte;
  }
  if (x < Width) {
    uint8_t byte = 0;
    for (int32_t k = 0; x + k < Width; ++k) byte |= static_cast<uint8_t>(IsSet(x + k) << (7 - k));
    Target[x / 8] = byte;
  }
}

// Expands each bit of a 1-bit line into Bytes output bytes through a table of the 256 byte
// values (Table[b] holds Bytes bytes).
template <size_t Bytes>
void ExpandBits(const uint8_t* Source, uint8_t* Target, int32_t Width,
                const std::array<std::array<uint8_t, Bytes>, 256>& Table, int32_t TargetBytes) {
  const int32_t whole = Width / 8;
  for (int32_t i = 0; i < whole; ++i)
    std::memcpy(Target + i * Bytes, Table[Source[i]].data(), Bytes);
  const int32_t rest = TargetBytes - whole * static_cast<int32_t>(Bytes);
  if (rest > 0) std::memcpy(Target + whole * Bytes, Table[LastBits(Source, Width)].data(), rest);
}

// Gray = Round(N / Divisor) with halves to even, for every weighted sum N up to MaxSum.
std::vector<uint8_t> RoundedQuotients(int32_t MaxSum, int32_t Divisor) {
  std::vector<uint8_t> table(static_cast<size_t>(MaxSum) + 1);
  for (int32_t n = 0; n <= MaxSum; ++n) {
    int32_t q = n / Divisor;
    int32_t twice = 2 * (n % Divisor);
    if (twice > Divisor || (twice == Divisor && (q & 1) != 0)) ++q;
    table[n] = static_cast<uint8_t>(q);
  }
  return table;
}

}  // namespace

// ---- Pixel-format conversions ----

void TDIB::ConvertPixelType(uint8_t NewType) {
  if (NewType == FPixelType) return;
  if (NewType != pt1bit && NewType != pt4bit && NewType != pt8bit && NewType != pt24bit) {
    throw Exception("Function not available :-(");
  }
  if (Empty()) return;
  switch (BitCount()) {
    case 1:
      if (NewType == pt4bit) Convert1To4();
      if (NewType == pt8bit || NewType == pt24bit) Convert1To8();
      if (NewType == pt24bit) Convert8To24();
      return;
    case 4:
      if (NewType == pt1bit) Convert4To1();
      if (NewType == pt8bit) Convert4To8();
      if (NewType == pt24bit) Convert4To24();
      return;
    case 8:
      if (NewType == pt1bit) Convert8To1();
      if (NewType == pt4bit) Convert8To4();
      if (NewType == pt24bit) Convert8To24();
      return;
    case 24:
      RGBToGray(true, true, true, true);
      if (NewType == pt1bit) Convert8To1();
      if (NewType == pt4bit) Convert8To4();
      return;
    default:
      return;
  }
}

namespace {

// Eight bytes to eight bits, the first byte in the high bit, a bit set for each byte that is
// not 0: the high bit of each byte marks it, and one multiplication gathers the eight marks
// into the top byte (the products of the marks all land on different bits, so none carries).
uint8_t PackNonZero(const uint8_t* Eight) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F, kHigh = 0x8080808080808080;
  uint64_t bytes;
  std::memcpy(&bytes, Eight, sizeof bytes);
  if constexpr (std::endian::native == std::endian::big) bytes = __builtin_bswap64(bytes);
  const uint64_t marks = ((bytes | ((bytes & kLow7) + kLow7)) & kHigh) >> 7;
  return static_cast<uint8_t>((marks * 0x8040201008040201) >> 56);
}

}  // namespace

void TDIB::Convert8To1() {
  ReshapeLines(*this, pt1bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    const int32_t whole = w / 8;
    for (int32_t i = 0; i < whole; ++i) t[i] = PackNonZero(s + 8 * i);
    PackBits(t + whole, w - 8 * whole, [s, whole](int32_t x) { return s[8 * whole + x] != 0; });
  });
}

void TDIB::Convert4To1() {
  ReshapeLines(*this, pt1bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    PackBits(t, w, [s](int32_t x) {
      uint8_t b = s[x / 2];
      return ((x & 1) != 0 ? b & 0x0F : b >> 4) != 0 ? 1 : 0;
    });
  });
}

void TDIB::Convert8To4() {
  ReshapeLines(*this, pt4bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    int32_t x = 0;
    for (; x + 2 <= w; x += 2) t[x / 2] = static_cast<uint8_t>((s[x] & 0xF0) | (s[x + 1] >> 4));
    if (x < w) t[x / 2] = static_cast<uint8_t>(s[x] & 0xF0);
  });
}

void TDIB::Convert1To8() {
  static const auto table = [] {
    std::array<std::array<uint8_t, 8>, 256> t{};
    for (int32_t b = 0; b < 256; ++b)
      for (int32_t k = 0; k < 8; ++k) t[b][k] = ((b >> (7 - k)) & 1) != 0 ? 255 : 0;
    return t;
  }();
  ReshapeLines(*this, pt8bit,
               [](const uint8_t* s, uint8_t* t, int32_t w) { ExpandBits<8>(s, t, w, table, w); });
}

void TDIB::Convert1To4() {
  static const auto table = [] {
    std::array<std::array<uint8_t, 4>, 256> t{};
    for (int32_t b = 0; b < 256; ++b)
      for (int32_t k = 0; k < 4; ++k) {
        int32_t high = (b >> (7 - 2 * k)) & 1;
        int32_t low = (b >> (6 - 2 * k)) & 1;
        t[b][k] = static_cast<uint8_t>((high != 0 ? 0xF0 : 0) | (low != 0 ? 0x0F : 0));
      }
    return t;
  }();
  ReshapeLines(*this, pt4bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    ExpandBits<4>(s, t, w, table, (w + 1) / 2);
  });
}

void TDIB::Convert4To8() {
  std::array<uint8_t, 16> gray{};
  for (int32_t i = 0; i < 16; ++i) {
    const win32::RGBQUAD& e = FPalette[i];
    gray[i] = static_cast<uint8_t>((e.rgbBlue + e.rgbGreen + e.rgbRed) / 3);
  }
  ReshapeLines(*this, pt8bit, [&gray](const uint8_t* s, uint8_t* t, int32_t w) {
    for (int32_t x = 0; x < w; ++x) t[x] = gray[(x & 1) != 0 ? s[x / 2] & 0x0F : s[x / 2] >> 4];
  });
}

void TDIB::Convert8To24() {
  ReshapeLines(*this, pt24bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    for (int32_t x = 0; x < w; ++x) t[3 * x] = t[3 * x + 1] = t[3 * x + 2] = s[x];
  });
}

void TDIB::Convert4To24() {
  ReshapeLines(*this, pt24bit, [](const uint8_t* s, uint8_t* t, int32_t w) {
    for (int32_t x = 0; x < w; ++x) {
      auto v = static_cast<uint8_t>(16 * ((x & 1) != 0 ? s[x / 2] & 0x0F : s[x / 2] >> 4));
      t[3 * x] = t[3 * x + 1] = t[3 * x + 2] = v;
    }
  });
}

void TDIB::RGBToGray(bool Weighted, bool UseRed, bool UseGreen, bool UseBlue) {
  if (Empty() || FPixelType != pt24bit) {
    throw Exception("This operation requires 24 bit per pixel bitmap !");
  }
  const int32_t count = int32_t{UseRed} + int32_t{UseGreen} + int32_t{UseBlue};
  if (count == 0) throw Exception("Unable to convert RGB to Gray without one channel selected !");
  // The weights in hundredths keep the sums exact: pure red is 76.5 and rounds to 76.
  const int32_t blue = UseBlue ? (Weighted ? 11 : 1) : 0;
  const int32_t green = UseGreen ? (Weighted ? 59 : 1) : 0;
  const int32_t red = UseRed ? (Weighted ? 30 : 1) : 0;
  const std::vector<uint8_t> gray =
      RoundedQuotients(255 * (blue + green + red), Weighted ? 100 : count);
  ReshapeLines(*this, pt8bit, [&](const uint8_t* s, uint8_t* t, int32_t w) {
    for (int32_t x = 0; x < w; ++x, s += 3) t[x] = gray[blue * s[0] + green * s[1] + red * s[2]];
  });
}

// ---- Scale to gray ----

namespace {

// Where the pixels of one box column lie in a 1-bit line: the byte, the next byte when the box
// reaches into it (else the same byte again), and the box's bits in the 16 bits of the two.
struct TBoxColumn {
  int32_t Byte;
  int32_t NextByte;
  uint16_t Mask;
};

int32_t ClampIndex(int32_t Index, int32_t Size) {
  return Index >= Size ? Size - 1 : Index;
}

void FillScaledPage(const TDIB& Source, TDIB& Result, int32_t Levels, double Step, int32_t Box) {
  const int32_t width = Source.Width();
  const int32_t height = Source.Height();
  const int32_t newWidth = Result.Width();
  const int32_t newHeight = Result.Height();

  std::vector<TBoxColumn> columns(static_cast<size_t>(newWidth));
  for (int32_t o = 0; o < newWidth; ++o) {
    int32_t first = ClampIndex(Round(o * Step), width);
    int32_t last = ClampIndex(first + Box - 1, width);
    int32_t shift = first % 8;
    int32_t bits = last - first + 1;
    columns[o].Byte = first / 8;
    columns[o].NextByte = last / 8;
    columns[o].Mask = static_cast<uint16_t>(((1u << bits) - 1) << (16 - shift - bits));
  }
  std::vector<int32_t> firstLine(static_cast<size_t>(newHeight));
  std::vector<int32_t> lastLine(static_cast<size_t>(newHeight));
  for (int32_t o = 0; o < newHeight; ++o) {
    firstLine[o] = ClampIndex(Round(o * Step), height);
    lastLine[o] = ClampIndex(firstLine[o] + Box - 1, height);
  }
  // level(c): the smallest i with c <= (i + 1) x (Box^2 / Levels); the top level when rounding
  // leaves a full box above the last threshold.
  std::vector<uint8_t> level(static_cast<size_t>(Box * Box) + 1);
  const double share = static_cast<double>(Box * Box) / Levels;
  for (int32_t c = 0; c <= Box * Box; ++c) {
    int32_t i = 0;
    while (i < Levels - 1 && c > (i + 1) * share) ++i;
    level[c] = static_cast<uint8_t>(i);
  }

  std::vector<uint8_t> counts(static_cast<size_t>(newWidth));
  for (int32_t o = 0; o < newHeight; ++o) {
    std::fill(counts.begin(), counts.end(), 0);
    for (int32_t y = firstLine[o]; y <= lastLine[o]; ++y) {
      const uint8_t* line = Source.Lines(y);
      for (int32_t x = 0; x < newWidth; ++x) {
        const TBoxColumn& c = columns[x];
        auto bits = static_cast<uint16_t>((line[c.Byte] << 8) | line[c.NextByte]);
        const auto box = static_cast<uint16_t>(bits & c.Mask);
        counts[x] = static_cast<uint8_t>(counts[x] + kBitCounts[box >> 8] + kBitCounts[box & 0xFF]);
      }
    }
    if (Result.PixelType() == pt8bit) {
      uint8_t* target = Result.Lines(o);
      for (int32_t x = 0; x < newWidth; ++x) target[x] = level[counts[x]];
    } else {
      for (int32_t x = 0; x < newWidth; ++x) Result.SetPixel4(x, o, level[counts[x]]);
    }
  }
}

}  // namespace

std::unique_ptr<TDIB> TDIB::ScaleToGray(int32_t Levels, double Percent) const {
  if (Empty() || FPixelType != pt1bit) {
    throw Exception("This operation requires 1 bit per pixel bitmap !");
  }
  if (!(Percent >= 1)) Percent = 1;
  if (Percent > 100) Percent = 100;
  Levels = std::clamp(Levels, 4, 256);
  const double step = 100 / Percent;
  const int32_t box = std::min(static_cast<int32_t>(step + 0.5), 8);
  const int32_t newWidth = Round(Width() / 100.0 * Percent);
  const int32_t newHeight = Round(Height() / 100.0 * Percent);
  const bool reversed = FPalette[0].rgbRed != 0;

  auto result = std::make_unique<TDIB>();
  try {
    result->NewImage(newWidth, newHeight, Levels > 16 ? pt8bit : pt4bit, XResolution(),
                     YResolution());
    const int32_t s = 256 / (Levels - 1);
    for (int32_t i = 0; i < Levels; ++i) {
      auto v = static_cast<uint8_t>(std::min(255, s * i));
      if (reversed) v = static_cast<uint8_t>(255 - v);
      result->FPalette[i] = {v, v, v, 0};
    }
    FillScaledPage(*this, *result, Levels, step, box);
  } catch (const std::exception&) {
    return nullptr;
  }
  return result;
}
