// Flip, resize, canvas changes, crop, shifts, lines and rectangles. All of them work in place
// on the page's block and keep its handle; only the averaging resize reads from a copy.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

namespace {

// The white byte of a shift: the white index repeated over the byte for 1 and 4 bits.
uint8_t WhiteByte(const TDIB& Page) {
  const int32_t white = Page.WhiteIndex();
  switch (Page.PixelType()) {
    case pt1bit:
      return white > 0 ? 0xFF : 0x00;
    case pt4bit:
      return static_cast<uint8_t>((white & 0x0F) * 0x11);
    default:
      return static_cast<uint8_t>(white);
  }
}

// Calls Body with the row pixel policy of the page's depth.
template <class TBody>
void WithRowPixels(const TDIB& Page, TBody&& Body) {
  switch (Page.PixelType()) {
    case pt1bit:
      Body(TRowPixels1{});
      break;
    case pt4bit:
      Body(TRowPixels4{});
      break;
    case pt8bit:
      Body(TRowPixels8{});
      break;
    case pt24bit:
      Body(TRowPixels24{});
      break;
    default:
      break;
  }
}

// The source column or line of each new one for the nearest-sample resize.
std::vector<int32_t> NearestSources(int32_t OldSize, int32_t NewSize) {
  const double factor = static_cast<double>(OldSize) / NewSize;
  std::vector<int32_t> sources(static_cast<size_t>(NewSize));
  for (int32_t i = 0; i < NewSize; ++i) sources[i] = std::min(Round(factor * i), OldSize - 1);
  return sources;
}

// The first and last source column or line of each new one for the averaging resize.
struct TBox {
  int32_t First, Last;
};
std::vector<TBox> AverageBoxes(int32_t OldSize, int32_t NewSize) {
  const double factor = static_cast<double>(OldSize) / NewSize;
  const double extra = NewSize > OldSize ? 0.5 : -1;
  std::vector<TBox> boxes(static_cast<size_t>(NewSize));
  for (int32_t i = 0; i < NewSize; ++i) {
    boxes[i].First = static_cast<int32_t>(std::trunc(factor * i));
    boxes[i].Last =
        std::min(static_cast<int32_t>(std::trunc(factor * (i + 1) + extra)), OldSize - 1);
  }
  return boxes;
}

template <class P>
void ResampleLine(uint8_t* Row, const std::vector<int32_t>& Sources, bool Ascending) {
  const int32_t n = static_cast<int32_t>(Sources.size());
  for (int32_t i = 0; i < n; ++i) {
    const int32_t x = Ascending ? i : n - 1 - i;
    P::Set(Row, x, P::Get(Row, Sources[x]));
  }
}

// The sum of the pixel values of a box, per channel for 24 bits.
template <class P>
void SumBox(const TDIB& Source, const TBox& Columns, const TBox& Lines, double Sums[3]) {
  for (int32_t k = Lines.First; k <= Lines.Last; ++k) {
    const uint8_t* row = Source.Lines(k);
    for (int32_t x = Columns.First; x <= Columns.Last; ++x) {
      const int32_t value = P::Get(row, x);
      Sums[0] += value & 0xFF;
      Sums[1] += (value >> 8) & 0xFF;
      Sums[2] += (value >> 16) & 0xFF;
    }
  }
}

template <class P>
void AverageInto(TDIB& Page, const TDIB& Source) {
  const int32_t width = Page.Width(), height = Page.Height();
  const std::vector<TBox> columns = AverageBoxes(Source.Width(), width);
  const std::vector<TBox> lines = AverageBoxes(Source.Height(), height);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = Page.Lines(y);
    const TBox& ly = lines[y];
    for (int32_t x = 0; x < width; ++x) {
      const TBox& cx = columns[x];
      const int32_t count = (cx.Last - cx.First + 1) * (ly.Last - ly.First + 1);
      if (cx.Last < cx.First || ly.Last < ly.First) {
        P::Set(row, x, 0);
        continue;
      }
      double sums[3] = {0, 0, 0};
      SumBox<P>(Source, cx, ly, sums);
      int32_t value = 0;
      for (int c = 0; c < 3; ++c) value |= RoundPixel(sums[c] / count) << (8 * c);
      P::Set(row, x, value);
    }
  }
}

}  // namespace

void TDIB::FlipVertical() {
  const int32_t height = Height(), stride = FStride;
  for (int32_t i = 0; i < height / 2; ++i) {
    std::swap_ranges(FLines[i], FLines[i] + stride, FLines[height - 1 - i]);
  }
}

// ---- Resize ----

void TDIB::Resize(int32_t NewWidth, int32_t NewHeight, bool Average) {
  if (Empty() || (NewWidth == Width() && NewHeight == Height())) return;
  CheckImageSize(NewWidth, NewHeight, FPixelType);
  const int32_t width = Width(), height = Height();
  if (width == 0 || height == 0 || NewWidth == 0 || NewHeight == 0) {
    ResizeCanvas(NewWidth, NewHeight, 0);  // nothing to sample from or into
    return;
  }
  if (Average) {
    std::unique_ptr<TDIB> source = Duplicate();
    ResizeCanvas(NewWidth, NewHeight, 0);
    WithRowPixels(*this, [&](auto policy) { AverageInto<decltype(policy)>(*this, *source); });
    return;
  }
  const std::vector<int32_t> columns = NearestSources(width, NewWidth);
  const std::vector<int32_t> lines = NearestSources(height, NewHeight);
  const int32_t lineBytes = FLineBytes;
  WithRowPixels(*this, [&](auto policy) {
    using P = decltype(policy);
    if (NewWidth < width) {
      for (int32_t y = 0; y < height; ++y) ResampleLine<P>(FLines[y], columns, true);
    }
    if (NewHeight < height) {
      for (int32_t y = 0; y < NewHeight; ++y) {
        if (lines[y] != y) std::memcpy(FLines[y], FLines[lines[y]], lineBytes);
      }
    }
  });
  ResizeCanvas(NewWidth, NewHeight, 0);
  const int32_t newLineBytes = FLineBytes;
  WithRowPixels(*this, [&](auto policy) {
    using P = decltype(policy);
    if (NewWidth > width) {
      for (int32_t y = 0; y < NewHeight; ++y) ResampleLine<P>(FLines[y], columns, false);
    }
    if (NewHeight > height) {
      for (int32_t y = NewHeight - 1; y >= 0; --y) {
        if (lines[y] != y) std::memcpy(FLines[y], FLines[lines[y]], newLineBytes);
      }
    }
  });
}

// ---- Canvas ----

void TDIB::ResizeCanvas(int32_t NewWidth, int32_t NewHeight, uint8_t FillValue) {
  if (Empty() || (NewWidth == Width() && NewHeight == Height())) return;
  CheckImageSize(NewWidth, NewHeight, FPixelType);
  const int32_t oldWidth = Width(), oldHeight = Height(), bits = BitCount();
  TDIBLayout layout;
  LayoutForType(NewWidth, NewHeight, FPixelType, layout);
  const size_t oldStride = FStride, newStride = layout.Stride;
  const size_t rowsAt = 40 + 4 * static_cast<size_t>(FColorCount);
  const size_t oldRowsAt = static_cast<size_t>(FBits - static_cast<uint8_t*>(FMemory));
  const size_t keep = std::min(oldHeight, NewHeight);
  const size_t finalSize = rowsAt + NewHeight * newStride;
  // Large enough for each step below: rows moved to follow the palette, re-strided, re-placed.
  const size_t work = std::max({oldRowsAt + oldHeight * oldStride,
                                rowsAt + oldHeight * std::max(oldStride, newStride), finalSize});

  auto reallocate = [this](size_t bytes) {
    UnlockAll();
    bool done = win32::GlobalReAlloc(FHandle, bytes, win32::GMEM_MOVEABLE | win32::GMEM_ZEROINIT);
    Lock();
    FHeader = static_cast<win32::BITMAPINFOHEADER*>(FMemory);
    return done;
  };
  if (work > win32::GlobalSize(FHandle) && !reallocate(work)) {
    ParseHeader();
    BuildLineTable();
    win32::RaiseLastError();
  }
  uint8_t* base = static_cast<uint8_t*>(FMemory);
  uint8_t* rows = base + rowsAt;
  if (oldRowsAt != rowsAt) std::memmove(rows, base + oldRowsAt, oldHeight * oldStride);
  // The stride, keeping the height: rows move up (wider) from the top line, down (narrower)
  // from the bottom line, so that no row lands on one not yet moved.
  const size_t rowCopy = std::min(oldStride, newStride);
  for (int32_t n = 0; n < oldHeight && newStride != oldStride; ++n) {
    const size_t y = newStride > oldStride ? n : oldHeight - 1 - n;
    std::memmove(rows + (oldHeight - 1 - y) * newStride, rows + (oldHeight - 1 - y) * oldStride,
                 rowCopy);
  }
  // The height: the kept lines 0..keep-1 are one block at the top of the rows.
  std::memmove(rows + (NewHeight - keep) * newStride, rows + (oldHeight - keep) * newStride,
               keep * newStride);
  // New pixels: the new columns of the kept lines, then the new lines at the bottom.
  if (NewWidth > oldWidth) {
    const size_t firstBit = static_cast<size_t>(oldWidth) * bits;
    const size_t firstByte = firstBit / 8, shared = firstBit % 8;
    for (size_t y = 0; y < keep; ++y) {
      uint8_t* row = rows + (NewHeight - 1 - y) * newStride;
      size_t i = firstByte;
      if (shared != 0) {
        const uint8_t oldBits = static_cast<uint8_t>(0xFF << (8 - shared));
        row[i] = static_cast<uint8_t>((row[i] & oldBits) | (FillValue & ~oldBits));
        ++i;
      }
      std::memset(row + i, FillValue, newStride - i);
    }
  }
  std::memset(rows, FillValue, (NewHeight - keep) * newStride);
  // A failed shrink keeps the larger block, which holds the whole page.
  if (win32::GlobalSize(FHandle) > finalSize) reallocate(finalSize);

  FHeader->biWidth = NewWidth;
  FHeader->biHeight = NewHeight;
  FHeader->biSizeImage = static_cast<uint32_t>(NewHeight * newStride);
  FFileHeader = {};
  ParseHeader();
  BuildLineTable();
}

void TDIB::Crop(const TRect& Rect) {
  if (Rect.Right < Rect.Left || Rect.Bottom < Rect.Top) return;  // nothing would be kept
  if (Rect.Top > 0) ShiftVertical(-Rect.Top);
  if (Rect.Left > 0) ShiftHorizontal(-Rect.Left);
  ResizeCanvas(Rect.Right - Rect.Left + 1, Rect.Bottom - Rect.Top + 1, 0);
}

// ---- Shifts ----

void TDIB::ShiftLine(int32_t Y, int32_t N) {
  const int64_t n = std::llabs(static_cast<int64_t>(N));
  int64_t bytes;
  int32_t bits = 0;
  switch (FPixelType) {
    case pt1bit:
      bytes = n / 8;
      bits = static_cast<int32_t>(n % 8);
      break;
    case pt4bit:
      bytes = n / 2;
      bits = static_cast<int32_t>(4 * (n % 2));
      break;
    case pt8bit:
      bytes = n;
      break;
    case pt24bit:
      bytes = 3 * n;
      break;
    default:
      throw Exception("Bit depht not supported for ShiftLine !");
  }
  if (N == 0) return;
  const uint8_t white = WhiteByte(*this);
  const int32_t length = FLineBytes;
  uint8_t* row = FLines[Y];
  if (bytes >= length) {
    std::memset(row, white, length);
    return;
  }
  const int32_t whole = static_cast<int32_t>(bytes);
  if (N > 0) {
    std::memmove(row + whole, row, length - whole);
    std::memset(row, white, whole);
    if (bits == 0) return;
    for (int32_t i = length - 1; i > 0; --i) {
      row[i] = static_cast<uint8_t>((row[i] >> bits) | (row[i - 1] << (8 - bits)));
    }
    row[0] = static_cast<uint8_t>((row[0] >> bits) | (white << (8 - bits)));
    return;
  }
  // The bits after the last pixel move into the picture: make them white first.
  const int32_t tailBits = static_cast<int32_t>((static_cast<int64_t>(length) * 8) -
                                                static_cast<int64_t>(Width()) * BitCount());
  if (tailBits > 0) {
    const uint8_t tail = static_cast<uint8_t>(0xFF >> (8 - tailBits));
    row[length - 1] = static_cast<uint8_t>((row[length - 1] & ~tail) | (white & tail));
  }
  std::memmove(row, row + whole, length - whole);
  std::memset(row + length - whole, white, whole);
  if (bits == 0) return;
  for (int32_t i = 0; i < length - 1; ++i) {
    row[i] = static_cast<uint8_t>((row[i] << bits) | (row[i + 1] >> (8 - bits)));
  }
  row[length - 1] = static_cast<uint8_t>((row[length - 1] << bits) | (white >> (8 - bits)));
}

void TDIB::ShiftHorizontal(int32_t N) {
  const int32_t height = Height();
  for (int32_t y = 0; y < height; ++y) ShiftLine(y, N);
}

void TDIB::ShiftVertical(int32_t N) {
  if (N == 0 || Empty()) return;
  const uint8_t white = WhiteByte(*this);
  const int32_t height = Height(), length = FLineBytes;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(std::llabs(int64_t{N}), height));
  if (N < 0) {
    for (int32_t y = 0; y + n < height; ++y) std::memcpy(FLines[y], FLines[y + n], length);
    for (int32_t y = height - n; y < height; ++y) std::memset(FLines[y], white, length);
  } else {
    for (int32_t y = height - 1; y >= n; --y) std::memcpy(FLines[y], FLines[y - n], length);
    for (int32_t y = 0; y < n; ++y) std::memset(FLines[y], white, length);
  }
}

// ---- Lines and rectangles ----

void TDIB::DrawLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Value) {
  const int32_t width = Width(), height = Height();
  // Points outside the picture are skipped, never written.
  auto plot = [&](int32_t x, int32_t y) {
    if (x >= 0 && y >= 0 && x < width && y < height) SetPixel(x, y, Value);
  };
  if (Y1 == Y2) {
    if (Y1 < 0 || Y1 >= height) return;
    const int32_t from = std::max(std::min(X1, X2), 0), to = std::min(std::max(X1, X2), width - 1);
    for (int32_t x = from; x <= to; ++x) SetPixel(x, Y1, Value);
  } else if (X1 == X2) {
    for (int32_t y = std::min(Y1, Y2); y <= std::max(Y1, Y2); ++y) plot(X1, y);
  } else {
    // Drawn from the second point to the first, with the steps in single precision.
    const int32_t n = std::max(std::abs(X1 - X2), std::abs(Y1 - Y2));
    const float sx = static_cast<float>(X1 - X2) / n, sy = static_cast<float>(Y1 - Y2) / n;
    for (int32_t k = 0; k <= n; ++k) {
      plot(X2 + Round(static_cast<double>(k) * sx), Y2 + Round(static_cast<double>(k) * sy));
    }
  }
}

void TDIB::FrameRect(const TRect& Rect, int32_t Value) {
  DrawLine(Rect.Left, Rect.Top, Rect.Right, Rect.Top, Value);
  DrawLine(Rect.Left, Rect.Bottom, Rect.Right, Rect.Bottom, Value);
  DrawLine(Rect.Left, Rect.Top, Rect.Left, Rect.Bottom, Value);
  DrawLine(Rect.Right, Rect.Top, Rect.Right, Rect.Bottom, Value);
}

void TDIB::FillRect(const TRect& Rect, int32_t Value) {
  for (int32_t y = std::min(Rect.Top, Rect.Bottom); y <= std::max(Rect.Top, Rect.Bottom); ++y) {
    DrawLine(Rect.Left, y, Rect.Right, y, Value);
  }
}
