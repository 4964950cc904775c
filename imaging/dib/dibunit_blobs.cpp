// Connected components of black pixels, despeckling, and the pixel counters over lines,
// columns and runs that skew and border detection use.
#include <algorithm>
#include <climits>

#include "dibunit.h"
#include "dibunit_components.h"
#include "dibunit_runcount.h"
#include "dibunit_workspace.h"

namespace {

const char* const kNeeds1Bit = "This operation requires 1 bit per pixel bitmap !";

using runcount::kBitCounts;
using runcount::kFirstMask;
using runcount::kLastMask;

void Require1Bit(const TDIB& Page) {
  if (Page.Empty() || Page.PixelType() != pt1bit) throw Exception(kNeeds1Bit);
}

// Sorts Items stably by Key(item), which lies in 0 .. Range - 1.
template <class T, class TKey>
void CountingSort(std::vector<T>& Items, int32_t Range, TKey Key) {
  std::vector<size_t> starts(static_cast<size_t>(Range) + 1);
  for (const T& item : Items) ++starts[Key(item) + 1];
  for (int32_t k = 0; k < Range; ++k) starts[k + 1] += starts[k];
  std::vector<T> sorted(Items.size());
  for (const T& item : Items) sorted[starts[Key(item)]++] = item;
  Items.swap(sorted);
}

// Sets (Value) or clears the bits of pixels First..Last of a 1-bit row.
void PaintRun(uint8_t* Row, int32_t First, int32_t Last, bool Value) {
  const int32_t first = First >> 3, last = Last >> 3;
  for (int32_t i = first; i <= last; ++i) {
    uint8_t mask = 0xFF;
    if (i == first) mask &= kFirstMask[First & 7];
    if (i == last) mask &= kLastMask[Last & 7];
    Row[i] = static_cast<uint8_t>(Value ? Row[i] | mask : Row[i] & ~mask);
  }
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

// ---- Components ----

void TDIB::FindBlobs(int32_t MinWidth, int32_t MinHeight, int32_t MinCount, int32_t MaxWidth,
                     int32_t MaxHeight, int32_t MaxCount, TBlobList* Blobs) {
  Require1Bit(*this);
  if (Blobs == nullptr) return;
  TComponentSearch search;
  std::vector<TComponent> found;
  for (const TComponent& c : FindComponents(*this, BlackIndex() == 1, search)) {
    if (c.Count < std::max(MinCount, 0) || c.Count > MaxCount) continue;
    const int32_t w = c.Right - c.Left + 1, h = c.Bottom - c.Top + 1;
    if (w < MinWidth || w > MaxWidth || h < MinHeight || h > MaxHeight) continue;
    found.push_back(c);
  }
  // In the order of their first pixel in a column-by-column scan: by line, then by column.
  CountingSort(found, Height(), [](const TComponent& c) { return c.FirstY; });
  CountingSort(found, Width(), [](const TComponent& c) { return c.FirstX; });
  for (const TComponent& c : found) Blobs->Add(c.Left, c.Top, c.Right, c.Bottom, c.Count, 0, 0);
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
  TDIBWorkspace workspace;
  return Despeckle(MaxWidth, MaxHeight, workspace);
}

// The specks are those that FindBlobs(0, 0, 0, MaxWidth, MaxHeight, INT32_MAX) lists, and their
// boxes are painted as EraseBlobs paints them; all in one colour, so the order of painting
// does not matter and no list is made.
int32_t TDIB::Despeckle(int32_t MaxWidth, int32_t MaxHeight, TDIBWorkspace& Workspace) {
  Require1Bit(*this);
  auto halfMillimetre = [](int32_t dpi) {
    int32_t pixels = Round(dpi / 2.54 / 20);
    return pixels == 0 ? 2 : pixels;
  };
  if (MaxWidth <= 0) MaxWidth = halfMillimetre(XResolution());
  if (MaxHeight <= 0) MaxHeight = halfMillimetre(YResolution());
  const bool white = WhiteIndex() > 0;  // as SetPixel stores the white index
  int32_t specks = 0;
  for (const TComponent& c :
       FindComponents(*this, BlackIndex() == 1, Workspace.Parts().Components)) {
    if (c.Right - c.Left + 1 > MaxWidth || c.Bottom - c.Top + 1 > MaxHeight) continue;
    for (int32_t y = c.Top; y <= c.Bottom; ++y) PaintRun(FLines[y], c.Left, c.Right, white);
    ++specks;
  }
  return specks;
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
