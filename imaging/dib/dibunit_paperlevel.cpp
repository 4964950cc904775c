// The level that decides plain paper in the local minimum/maximum threshold, taken from the
// paper of the page itself: one for the whole page, or one for each place on it.
#include <algorithm>
#include <array>
#include <cstring>

#include "dibunit.h"
#include "paperlevels.h"

namespace {

// The paper lies a quarter of the scale above the level; the level never rises above the
// middle of the scale, nor below half the paper's value where the paper is darker than that.
constexpr int32_t kPaperToLevel = 64;
constexpr int32_t kMiddleLevel = 128;
constexpr uint64_t kPaperPerCent = 95;

// Rows of the middle half that the paper is read from: every one up to this many, evenly
// spaced beyond. Each runs across the whole middle half; on an A4 page at 300 dpi they lie
// about a millimetre apart, so every text line is crossed several times and ink and paper
// weigh as they do on the whole middle, while the count reads about a fiftieth of the page.
constexpr int32_t kSampledRows = 128;

// The byte counts of the sampled rows of the middle half of the page in each direction.
std::array<uint64_t, 256> MiddleCounts(const TDIB& Page) {
  std::array<uint64_t, 256> counts{};
  const int32_t left = Page.Width() / 4, right = Page.Width() - Page.Width() / 4;
  const int32_t top = Page.Height() / 4, bottom = Page.Height() - Page.Height() / 4;
  const int32_t step = std::max(1, (bottom - top) / kSampledRows);
  for (int32_t y = top; y < bottom; y += step) {
    const uint8_t* row = Page.Lines(y);
    if (Page.PixelType() == pt24bit) {
      for (int32_t x = left; x < right; ++x) ++counts[GrayOf24(row + 3 * x)];
    } else {
      for (int32_t x = left; x < right; ++x) ++counts[row[x]];
    }
  }
  return counts;
}

// The lowest value that the given share of the 256 counted bytes lie at or below, found from
// the top: the paper lies there, a few values down.
template <class TCount>
int32_t Percentile(const TCount* Counts, uint64_t PerCent) {
  uint64_t total = 0;
  for (int32_t value = 0; value < 256; ++value) total += Counts[value];
  uint64_t atOrBelow = total;  // of the value below
  for (int32_t value = 255; value > 0; --value) {
    atOrBelow -= Counts[value];
    if (100 * atOrBelow < PerCent * total) return value;
  }
  return 0;
}

int32_t LevelOfPaper(int32_t Paper) {
  return std::min(std::max(Paper - kPaperToLevel, Paper / 2), kMiddleLevel);
}

// A tile's side is about 8 mm: the resolution times 80 / 254. Its paper is read on about 8 of
// its rows, every other pixel.
constexpr int64_t kTileTenthsOfMillimetre = 80;
constexpr int32_t kTileRows = 8;
// Tiles are at least this many pixels a side, and a page holds at most this many a way.
constexpr int32_t kLeastTile = 8;
constexpr int64_t kMostTiles = 512;

int32_t TileSize(const TDIB& Page) {
  const int64_t dpi = Page.XResolution() > 0 ? Page.XResolution() : 300;
  const int64_t longest = std::max(Page.Width(), Page.Height());
  int64_t size = (dpi * kTileTenthsOfMillimetre * 2 + 254) / 508;  // rounded
  size = std::max<int64_t>(size, kLeastTile);
  size = std::max(size, (longest + kMostTiles - 1) / kMostTiles);
  return static_cast<int32_t>(std::min(size, std::max<int64_t>(longest, 1)));
}

// The paper of each tile: the 95th percentile of its sampled rows, in tile rows of Columns.
std::vector<uint8_t> TilePapers(const TDIB& Page, int32_t Size, int32_t Columns, int32_t Rows) {
  const int32_t width = Page.Width(), height = Page.Height();
  const int32_t step = std::max(1, Size / kTileRows);
  std::vector<uint8_t> papers(static_cast<size_t>(Columns) * Rows);
  std::vector<uint32_t> counts(static_cast<size_t>(Columns) * 256);
  for (int32_t r = 0; r < Rows; ++r) {
    std::fill(counts.begin(), counts.end(), 0);
    const int32_t last = std::min(height, (r + 1) * Size);
    for (int32_t y = r * Size; y < last; y += step) {
      const uint8_t* row = Page.Lines(y);
      for (int32_t c = 0; c < Columns; ++c) {
        uint32_t* tile = counts.data() + static_cast<size_t>(c) * 256;
        const int32_t end = std::min(width, (c + 1) * Size);
        for (int32_t x = c * Size; x < end; x += 2) ++tile[row[x]];
      }
    }
    for (int32_t c = 0; c < Columns; ++c) {
      papers[static_cast<size_t>(r) * Columns + c] = static_cast<uint8_t>(
          Percentile(counts.data() + static_cast<size_t>(c) * 256, kPaperPerCent));
    }
  }
  return papers;
}

}  // namespace

uint8_t TDIB::AdaptiveGlobalLevel() const {
  if (Empty() || (PixelType() != pt8bit && PixelType() != pt24bit)) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
  return static_cast<uint8_t>(LevelOfPaper(Percentile(MiddleCounts(*this).data(), kPaperPerCent)));
}

TPaperLevels::TPaperLevels(const TDIB& Page) {
  if (Page.Empty() || Page.PixelType() != pt8bit) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
  const int32_t most = Page.AdaptiveGlobalLevel(), least = most / 2;
  FWidth = Page.Width();
  FHeight = Page.Height();
  FSize = TileSize(Page);
  FColumns = (FWidth + FSize - 1) / FSize;
  FRows = (FHeight + FSize - 1) / FSize;
  FTiles = TilePapers(Page, FSize, FColumns, FRows);
  for (uint8_t& tile : FTiles)
    tile = static_cast<uint8_t>(std::clamp(LevelOfPaper(tile), least, most));
  FSameRows.resize(static_cast<size_t>(FRows));
  for (int32_t r = 0; r < FRows; ++r) {
    const uint8_t* row = FTiles.data() + static_cast<size_t>(r) * FColumns;
    FSameRows[r] = r + 1 == FRows || std::equal(row, row + FColumns, row + FColumns);
  }
}

TPaperLevels::TPlace TPaperLevels::PlaceOf(int32_t Y) const {
  const int32_t offset = Y - FSize / 2;
  const int32_t row0 = offset < 0 ? 0 : std::min(offset / FSize, FRows - 1);
  const int32_t row1 = std::min(row0 + 1, FRows - 1);
  return {row0, row1, offset < 0 || row0 == row1 ? 0 : (offset - row0 * FSize) * 256 / FSize};
}

bool TPaperLevels::SameAsAbove(int32_t Y) const {
  if (Y <= 0) return false;
  const TPlace here = PlaceOf(Y), above = PlaceOf(Y - 1);
  return here.Row0 == above.Row0 && (here.Weight1 == above.Weight1 || FSameRows[here.Row0]);
}

// Linear between the tiles' centres, the first and last tile's level out to the page's sides.
// Values run in 16.16 fixed point: the tiles' blends are in 256ths, one level step per pixel.
void TPaperLevels::Line(int32_t Y, uint8_t* Levels) const {
  const TPlace place = PlaceOf(Y);
  auto blended = [&](int32_t Column) {
    return (Tile(Column, place.Row0) * (256 - place.Weight1) +
            Tile(Column, place.Row1) * place.Weight1)
           << 8;
  };
  const int32_t half = FSize / 2;
  int32_t x = std::min(half, FWidth);
  std::memset(Levels, (blended(0) + 32768) >> 16, static_cast<size_t>(x));
  for (int32_t c = 0; c + 1 < FColumns && x < FWidth; ++c) {
    const int32_t from = blended(c), to = blended(c + 1);
    if (from == to) {  // most of a line: stretches of one level over several tiles
      while (c + 2 < FColumns && blended(c + 2) == from) ++c;
      const int32_t end = std::min(FWidth, (c + 1) * FSize + half);
      std::memset(Levels + x, (from + 32768) >> 16, static_cast<size_t>(end - x));
      x = end;
      continue;
    }
    const int32_t end = std::min(FWidth, (c + 1) * FSize + half);
    const int32_t step = (to - from) / FSize;
    int32_t value = from + step * (x - c * FSize - half);
    for (; x < end; ++x, value += step) Levels[x] = static_cast<uint8_t>((value + 32768) >> 16);
  }
  if (x < FWidth) {
    std::memset(Levels + x, (blended(FColumns - 1) + 32768) >> 16, static_cast<size_t>(FWidth - x));
  }
}
