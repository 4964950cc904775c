// Connected components of black pixels, despeckling, and the pixel counters over lines,
// columns and runs that skew and border detection use.
#include <algorithm>
#include <climits>

#include "dibunit.h"
#include "dibunit_runcount.h"

namespace {

const char* const kNeeds1Bit = "This operation requires 1 bit per pixel bitmap !";

using runcount::kBitCounts;
using runcount::kLastMask;

void Require1Bit(const TDIB& Page) {
  if (Page.Empty() || Page.PixelType() != pt1bit) throw Exception(kNeeds1Bit);
}

bool BitAt(const uint8_t* Row, int32_t X) {
  return ((Row[X >> 3] >> (7 - (X & 7))) & 1) != 0;
}
void SetBit(uint8_t* Row, int32_t X) {
  Row[X >> 3] |= static_cast<uint8_t>(0x80 >> (X & 7));
}

// One component found by the search, with its first pixel in a column-by-column scan.
struct TFound {
  int32_t FirstX, FirstY;
  TBlob Blob;
};

// Grows the component of black pixel (X, Y) over the work list; every pixel it reaches is
// marked in Visited. Black pixels are those whose bit equals Foreground.
TFound GrowComponent(const TDIB& Page, TDIB& Visited, bool Foreground, int32_t X, int32_t Y) {
  const int32_t width = Page.Width(), height = Page.Height();
  TPointList points;
  points.Add(X, Y, 0);
  SetBit(Visited.Lines(Y), X);
  TFound found{X, Y, {INT32_MAX, INT32_MAX, 0, 0, 0, 0, 0, 0}};
  for (int32_t i = 0; i < points.Count(); ++i) {
    TBlobPoint& point = points.Items(i);
    if (point.Expanded != 0) continue;
    point.Expanded = 1;
    const int32_t px = point.X, py = point.Y;
    TBlob& box = found.Blob;
    box.Left = std::min(box.Left, px);
    box.Right = std::max(box.Right, px);
    box.Top = std::min(box.Top, py);
    box.Bottom = std::max(box.Bottom, py);
    if (px < found.FirstX || (px == found.FirstX && py < found.FirstY)) {
      found.FirstX = px;
      found.FirstY = py;
    }
    const int32_t x0 = std::max(0, px - 1), x1 = std::min(px + 1, width - 1);
    const int32_t y0 = std::max(0, py - 1), y1 = std::min(py + 1, height - 1);
    for (int32_t ny = y0; ny <= y1; ++ny) {
      uint8_t* seen = Visited.Lines(ny);
      const uint8_t* row = Page.Lines(ny);
      for (int32_t nx = x0; nx <= x1; ++nx) {
        if (BitAt(seen, nx) || BitAt(row, nx) != Foreground) continue;
        SetBit(seen, nx);
        points.Add(nx, ny, 0);
      }
    }
  }
  found.Blob.Count = points.Count();
  return found;
}

// The byte of pixels whose bit equals Foreground and that are not visited yet.
uint8_t Unvisited(uint8_t Pixels, uint8_t Seen, bool Foreground) {
  return static_cast<uint8_t>((Foreground ? Pixels : ~Pixels) & ~Seen);
}

}  // namespace

// ---- Lists ----

int32_t TBlobList::Add(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Count,
                       int32_t Data1, int32_t Data2) {
  FItems.push_back({Left, Top, Right, Bottom, 0, Count, Data1, Data2});
  return static_cast<int32_t>(FItems.size()) - 1;
}

const TBlob& TBlobList::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) {
    throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
  }
  return FItems[Index];
}

int32_t TPointList::Add(int32_t X, int32_t Y, int32_t Expanded) {
  FItems.push_back({X, Y, Expanded});
  return static_cast<int32_t>(FItems.size()) - 1;
}

// ---- Components ----

void TDIB::FindBlobs(int32_t MinWidth, int32_t MinHeight, int32_t MinCount, int32_t MaxWidth,
                     int32_t MaxHeight, int32_t MaxCount, TBlobList* Blobs) {
  Require1Bit(*this);
  const bool foreground = BlackIndex() == 1;
  const int32_t width = Width(), height = Height(), lineBytes = FLineBytes;
  TDIB visited;
  visited.NewImage(width, height, pt1bit, XResolution(), YResolution());
  visited.Fill(0);
  // The pixels beyond the width in the last byte count as visited, so they never start one.
  const uint8_t tail = (width & 7) == 0 ? 0 : static_cast<uint8_t>(0xFF >> (width & 7));
  if (tail != 0) {
    for (int32_t y = 0; y < height; ++y) visited.Lines(y)[lineBytes - 1] = tail;
  }

  // Components are the same whatever order the page is scanned in: scan it line by line,
  // which skips whole bytes, and order them by their first pixel of the column scan.
  std::vector<TFound> found;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = FLines[y];
    const uint8_t* seen = visited.Lines(y);
    for (int32_t i = 0; i < lineBytes; ++i) {
      while (uint8_t start = Unvisited(row[i], seen[i], foreground)) {
        int32_t bit = __builtin_clz(static_cast<unsigned>(start)) - 24;
        TFound component = GrowComponent(*this, visited, foreground, i * 8 + bit, y);
        const TBlob& b = component.Blob;
        if (b.Count < std::max(MinCount, 0) || b.Count > MaxCount) continue;
        int32_t w = b.Right - b.Left + 1, h = b.Bottom - b.Top + 1;
        if (Blobs == nullptr || w < MinWidth || w > MaxWidth || h < MinHeight || h > MaxHeight) {
          continue;
        }
        found.push_back(component);
      }
    }
  }
  std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
    return a.FirstX != b.FirstX ? a.FirstX < b.FirstX : a.FirstY < b.FirstY;
  });
  for (const TFound& f : found) {
    const TBlob& b = f.Blob;
    Blobs->Add(b.Left, b.Top, b.Right, b.Bottom, b.Count, 0, 0);
  }
}

int32_t TDIB::EraseBlobs(const TBlobList& Blobs, int32_t First, int32_t Last, int32_t Value) {
  for (int32_t i = First; i <= Last; ++i) {
    const TBlob& b = Blobs.Items(i);
    for (int32_t y = b.Top; y <= b.Bottom; ++y) {
      for (int32_t x = b.Left; x <= b.Right; ++x) SetPixel(x, y, Value);
    }
  }
  return Last - First + 1;
}

int32_t TDIB::Despeckle(int32_t MaxWidth, int32_t MaxHeight) {
  Require1Bit(*this);
  auto halfMillimetre = [](int32_t dpi) {
    int32_t pixels = Round(dpi / 2.54 / 20);
    return pixels == 0 ? 2 : pixels;
  };
  if (MaxWidth <= 0) MaxWidth = halfMillimetre(XResolution());
  if (MaxHeight <= 0) MaxHeight = halfMillimetre(YResolution());
  TBlobList specks;
  FindBlobs(0, 0, 0, MaxWidth, MaxHeight, INT32_MAX, &specks);
  return EraseBlobs(specks, 0, specks.Count() - 1, WhiteIndex());
}

// ---- Counters ----

int32_t TDIB::CountLineBits(int32_t Y) const {
  Require1Bit(*this);
  const uint8_t* row = FLines[Y];
  const int32_t lineBytes = FLineBytes, rest = Width() & 7;
  int32_t count = 0;
  for (int32_t i = 0; i + 1 < lineBytes; ++i) count += kBitCounts[row[i]];
  if (lineBytes > 0) {
    uint8_t last = row[lineBytes - 1];
    if (rest != 0) last &= kLastMask[rest - 1];
    count += kBitCounts[last];
  }
  return count;
}

int32_t TDIB::CountColumnBits(int32_t X) const {
  Require1Bit(*this);
  const int32_t height = Height(), byte = X >> 3;
  const uint8_t mask = static_cast<uint8_t>(0x80 >> (X & 7));
  int32_t count = 0;
  for (int32_t y = 0; y < height; ++y) count += (FLines[y][byte] & mask) != 0;
  return count;
}

int32_t TDIB::CountRunBits(int32_t X, int32_t Y, int32_t N, bool CountSet) const {
  if (N <= 0) return 0;
  const int32_t count = runcount::SetBits(FLines[Y], X, N);
  return CountSet ? count : N - count;
}

int32_t TDIB::CountRunBelow(int32_t X, int32_t Y, int32_t N, uint8_t Level) const {
  return N <= 0 ? 0 : runcount::BytesBelow(FLines[Y] + X, N, Level);
}

int32_t TDIB::CountRunBelow24(int32_t X, int32_t Y, int32_t N, uint8_t Level) const {
  return N <= 0 ? 0 : runcount::GrayBelow(FLines[Y] + 3 * X, N, Level);
}
