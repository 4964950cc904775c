// The level that decides plain paper in the local minimum/maximum threshold, taken from the
// paper of the page itself.
#include <algorithm>
#include <array>

#include "dibunit.h"

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

// The lowest value that the given share of the counted bytes lie at or below.
int32_t Percentile(const std::array<uint64_t, 256>& Counts, uint64_t PerCent) {
  uint64_t total = 0;
  for (uint64_t count : Counts) total += count;
  uint64_t below = 0;
  for (int32_t value = 0; value < 255; ++value) {
    below += Counts[value];
    if (100 * below >= PerCent * total) return value;
  }
  return 255;
}

}  // namespace

uint8_t TDIB::AdaptiveGlobalLevel() const {
  if (Empty() || (PixelType() != pt8bit && PixelType() != pt24bit)) {
    throw Exception("This operation requires 8 bit per pixel bitmap !");
  }
  const int32_t paper = Percentile(MiddleCounts(*this), kPaperPerCent);
  const int32_t level = std::max(paper - kPaperToLevel, paper / 2);
  return static_cast<uint8_t>(std::min(level, kMiddleLevel));
}
