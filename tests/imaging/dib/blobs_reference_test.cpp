// The component search and despeckling against a plain flood fill that scans the page column
// by column and grows each component from a work list of points.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "small_pages.h"

namespace {

struct TPlainBlob {
  int32_t Left, Top, Right, Bottom, Count;
  bool operator==(const TPlainBlob&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TPlainBlob& B) {
  return Out << "(" << B.Left << ", " << B.Top << ")-(" << B.Right << ", " << B.Bottom << ") "
             << B.Count;
}

// Every component of black pixels, in the order of its first pixel in the column scan.
std::vector<TPlainBlob> PlainComponents(const TDIB& Page) {
  const int32_t width = Page.Width(), height = Page.Height(), black = Page.BlackIndex();
  std::vector<bool> seen(static_cast<size_t>(width) * height);
  auto visit = [&](int32_t x, int32_t y) {
    auto at = static_cast<size_t>(y) * width + x;
    if (seen[at] || Page.GetPixel(x, y) != black) return false;
    seen[at] = true;
    return true;
  };
  std::vector<TPlainBlob> blobs;
  std::vector<std::pair<int32_t, int32_t>> points;
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y) {
      if (!visit(x, y)) continue;
      points.assign(1, {x, y});
      TPlainBlob b{INT32_MAX, INT32_MAX, 0, 0, 0};
      for (size_t i = 0; i < points.size(); ++i) {
        const auto [px, py] = points[i];
        b = {std::min(b.Left, px), std::min(b.Top, py), std::max(b.Right, px),
             std::max(b.Bottom, py), 0};
        for (int32_t nx = std::max(0, px - 1); nx <= std::min(px + 1, width - 1); ++nx) {
          for (int32_t ny = std::max(0, py - 1); ny <= std::min(py + 1, height - 1); ++ny) {
            if (visit(nx, ny)) points.push_back({nx, ny});
          }
        }
      }
      b.Count = static_cast<int32_t>(points.size());
      blobs.push_back(b);
    }
  }
  return blobs;
}

struct TLimits {
  int32_t MinWidth, MinHeight, MinCount, MaxWidth, MaxHeight, MaxCount;
};

std::vector<TPlainBlob> Listed(TDIB& Page, const TLimits& L) {
  TBlobList list;
  Page.FindBlobs(L.MinWidth, L.MinHeight, L.MinCount, L.MaxWidth, L.MaxHeight, L.MaxCount, &list);
  std::vector<TPlainBlob> blobs;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TBlob& b = list.Items(i);
    EXPECT_EQ(b.Reserved, 0);
    EXPECT_EQ(b.Data1, 0);
    EXPECT_EQ(b.Data2, 0);
    blobs.push_back({b.Left, b.Top, b.Right, b.Bottom, b.Count});
  }
  return blobs;
}

std::vector<TPlainBlob> Kept(const std::vector<TPlainBlob>& All, const TLimits& L) {
  std::vector<TPlainBlob> kept;
  for (const TPlainBlob& b : All) {
    const int32_t w = b.Right - b.Left + 1, h = b.Bottom - b.Top + 1;
    if (b.Count >= std::max(L.MinCount, 0) && b.Count <= L.MaxCount && w >= L.MinWidth &&
        w <= L.MaxWidth && h >= L.MinHeight && h <= L.MaxHeight) {
      kept.push_back(b);
    }
  }
  return kept;
}

// The pages: text, a frame and specks; specks only; and the first with the black index 1.
std::vector<std::unique_ptr<TDIB>> Pages() {
  std::vector<std::unique_ptr<TDIB>> pages;
  pages.push_back(SmallPage(pt1bit, 601, 397, 1));
  pages.push_back(SmallPage(pt1bit, 600, 400, 2, true));
  pages.push_back(SmallPage(pt1bit, 601, 397, 3));
  pages.back()->ReversePalette();
  return pages;
}

TEST(FindBlobsReference, SameListsForEveryLimit) {
  const TLimits limits[] = {{0, 0, 0, INT32_MAX, INT32_MAX, INT32_MAX},
                            {0, 0, 0, 3, 3, INT32_MAX},
                            {2, 1, 3, 40, 30, 200},
                            {0, 0, -5, 600, 400, 0}};
  for (const std::unique_ptr<TDIB>& page : Pages()) {
    const std::vector<TPlainBlob> all = PlainComponents(*page);
    for (const TLimits& l : limits) {
      SCOPED_TRACE(testing::Message() << "black " << page->BlackIndex() << ", max " << l.MaxWidth
                                      << " x " << l.MaxHeight);
      EXPECT_EQ(Listed(*page, l), Kept(all, l));
    }
  }
}

TEST(DespeckleReference, SameBytesAndCount) {
  for (const std::unique_ptr<TDIB>& page : Pages()) {
    for (int32_t size : {3, 6}) {
      SCOPED_TRACE(testing::Message() << "black " << page->BlackIndex() << ", size " << size);
      std::unique_ptr<TDIB> plain = page->Duplicate();
      const std::vector<TPlainBlob> specks =
          Kept(PlainComponents(*plain), {0, 0, 0, size, size, INT32_MAX});
      for (const TPlainBlob& b : specks)
        plain->FillRect({b.Left, b.Top, b.Right, b.Bottom}, 1 - page->BlackIndex());
      std::unique_ptr<TDIB> fast = page->Duplicate();
      EXPECT_EQ(fast->Despeckle(size, size), static_cast<int32_t>(specks.size()));
      ExpectSameBlock(*fast, *plain);
    }
  }
}

}  // namespace
