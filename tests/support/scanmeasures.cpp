#include "scanmeasures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "gfx_png.h"
#include "streams.h"

namespace {

// The gray value of every pixel value of a page with a palette.
std::array<uint8_t, 256> PaletteGrays(const TDIB& Page) {
  std::array<uint8_t, 256> grays{};
  const int32_t entries = Page.PixelType() == pt1bit ? 2 : Page.PixelType() == pt4bit ? 16 : 256;
  for (int32_t i = 0; i < entries; ++i) {
    const uint32_t e = Page.GetPaletteEntry(i);
    const uint8_t bgr[3] = {static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8),
                            static_cast<uint8_t>(e >> 16)};
    grays[i] = GrayOf24(bgr);
  }
  return grays;
}

// The gray values of line Y of the page.
void GrayLine(const TDIB& Page, const std::array<uint8_t, 256>& Grays, int32_t Y, uint8_t* Out) {
  const uint8_t* row = Page.Lines(Y);
  const int32_t width = Page.Width();
  for (int32_t x = 0; x < width; ++x) {
    switch (Page.PixelType()) {
      case pt1bit:
        Out[x] = Grays[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case pt4bit:
        Out[x] = Grays[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
      case pt8bit:
        Out[x] = Grays[row[x]];
        break;
      default:
        Out[x] = GrayOf24(row + 3 * x);
        break;
    }
  }
}

int32_t Find(std::vector<int32_t>& Parent, int32_t I) {
  while (Parent[I] != I) I = Parent[I] = Parent[Parent[I]];
  return I;
}

}  // namespace

TInkMap InkOf(const TDIB& Page, int32_t Level) {
  TInkMap ink;
  ink.Width = Page.Width();
  ink.Height = Page.Height();
  const size_t w = static_cast<size_t>(ink.Width);
  std::vector<uint8_t> gray(w * ink.Height);
  const std::array<uint8_t, 256> grays = PaletteGrays(Page);
  for (int32_t y = 0; y < ink.Height; ++y) GrayLine(Page, grays, y, gray.data() + y * w);
  // The paper's brightness around each pixel: the lightest of the blocks of 32 x 32 pixels
  // around it. Ink is darker than the level and clearly darker than the paper near it, so
  // that a shadow or a dark surround is no ink.
  constexpr int32_t kBlock = 32;
  const int32_t bw = (ink.Width + kBlock - 1) / kBlock, bh = (ink.Height + kBlock - 1) / kBlock;
  std::vector<uint8_t> block(static_cast<size_t>(bw) * bh, 0), paper(block.size(), 0);
  for (int32_t y = 0; y < ink.Height; ++y) {
    for (int32_t x = 0; x < ink.Width; ++x) {
      uint8_t& b = block[static_cast<size_t>(y / kBlock) * bw + x / kBlock];
      b = std::max(b, gray[y * w + x]);
    }
  }
  for (int32_t by = 0; by < bh; ++by) {
    for (int32_t bx = 0; bx < bw; ++bx) {
      uint8_t light = 0;
      for (int32_t j = std::max(0, by - 1); j <= std::min(bh - 1, by + 1); ++j) {
        for (int32_t i = std::max(0, bx - 1); i <= std::min(bw - 1, bx + 1); ++i) {
          light = std::max(light, block[static_cast<size_t>(j) * bw + i]);
        }
      }
      paper[static_cast<size_t>(by) * bw + bx] = light;
    }
  }
  ink.Dark.assign(gray.size(), 0);
  for (int32_t y = 0; y < ink.Height; ++y) {
    for (int32_t x = 0; x < ink.Width; ++x) {
      const int32_t g = gray[y * w + x];
      const int32_t light = paper[static_cast<size_t>(y / kBlock) * bw + x / kBlock];
      ink.Dark[y * w + x] = g < Level && 4 * g < 3 * light;
    }
  }
  return ink;
}

int32_t InkLevel(const TDIB& Page) {
  if (Page.PixelType() == pt1bit) return 128;
  const int32_t w = Page.Width(), h = Page.Height();
  const std::array<uint8_t, 256> grays = PaletteGrays(Page);
  std::array<int64_t, 256> histogram{};
  std::vector<uint8_t> line(static_cast<size_t>(w));
  for (int32_t y = h / 4; y < h - h / 4; ++y) {
    GrayLine(Page, grays, y, line.data());
    for (int32_t x = w / 4; x < w - w / 4; ++x) ++histogram[line[x]];
  }
  const int64_t total = std::accumulate(histogram.begin(), histogram.end(), int64_t{0});
  int32_t paper = 0;
  for (int64_t below = histogram[0]; paper < 255 && 100 * below < 95 * total;) {
    below += histogram[++paper];
  }
  return std::min(128, paper - 64);
}

namespace {

// The connected sets (8-neighbourhood) of a map's dark pixels: their boxes and, for each run
// of dark pixels (line, first x, last x), the set it belongs to.
struct TComponents {
  std::vector<TInkBlob> Blobs;
  std::vector<TInkRun> Runs;
  std::vector<int32_t> BlobOfRun;
};

TComponents ComponentsOf(const TInkMap& Ink) {
  // The runs of dark pixels, joined with the runs of the line above that touch them.
  std::vector<TInkRun> runs;
  std::vector<int32_t> parent;
  size_t above = 0, aboveEnd = 0;
  for (int32_t y = 0; y < Ink.Height; ++y) {
    const size_t lineStart = runs.size();
    for (int32_t x = 0; x < Ink.Width;) {
      if (!Ink.At(x, y)) {
        ++x;
        continue;
      }
      int32_t x1 = x;
      while (x1 + 1 < Ink.Width && Ink.At(x1 + 1, y)) ++x1;
      const auto index = static_cast<int32_t>(runs.size());
      runs.push_back({y, x, x1});
      parent.push_back(index);
      for (size_t a = above; a < aboveEnd; ++a) {
        if (runs[a].X1 + 1 >= x && runs[a].X0 <= x1 + 1) {
          const int32_t ra = Find(parent, static_cast<int32_t>(a)), rb = Find(parent, index);
          if (ra != rb) parent[std::max(ra, rb)] = std::min(ra, rb);
        }
      }
      x = x1 + 1;
    }
    above = lineStart;
    aboveEnd = runs.size();
  }
  // The boxes of the components.
  std::vector<int32_t> blobOf(runs.size(), -1);
  std::vector<TInkBlob> blobs;
  for (size_t i = 0; i < runs.size(); ++i) {
    const int32_t root = Find(parent, static_cast<int32_t>(i));
    if (blobOf[root] < 0) {
      blobOf[root] = static_cast<int32_t>(blobs.size());
      blobs.push_back({runs[i].X0, runs[i].Y, runs[i].X1, runs[i].Y, 0});
    }
    TInkBlob& b = blobs[blobOf[root]];
    b.Left = std::min(b.Left, runs[i].X0);
    b.Right = std::max(b.Right, runs[i].X1);
    b.Top = std::min(b.Top, runs[i].Y);
    b.Bottom = std::max(b.Bottom, runs[i].Y);
    b.Pixels += runs[i].X1 - runs[i].X0 + 1;
  }
  std::vector<int32_t> blobOfRun(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    blobOfRun[i] = blobOf[Find(parent, static_cast<int32_t>(i))];
  }
  return {std::move(blobs), std::move(runs), std::move(blobOfRun)};
}

}  // namespace

TLetters LettersOf(const TInkMap& Ink, int32_t DPI) {
  TComponents c = ComponentsOf(Ink);
  const std::vector<TInkBlob>& blobs = c.Blobs;
  const double mm = (DPI > 0 ? DPI : 300) / 25.4;
  const int32_t minHeight = std::max(4, static_cast<int32_t>(0.6 * mm));
  auto isLetter = [&](const TInkBlob& b) {
    if (b.Height() < minHeight || b.Height() > 8 * mm || b.Width() > 25 * mm) return false;
    if (b.Left == 0 || b.Top == 0 || b.Right == Ink.Width - 1 || b.Bottom == Ink.Height - 1) {
      return false;
    }
    return b.Pixels < 0.9 * b.Width() * b.Height();
  };
  TLetters letters;
  std::vector<int32_t> letterOf(blobs.size(), -1);
  for (size_t i = 0; i < blobs.size(); ++i) {
    if (!isLetter(blobs[i])) continue;
    letterOf[i] = static_cast<int32_t>(letters.Blobs.size());
    letters.Blobs.push_back(blobs[i]);
  }
  for (size_t i = 0; i < c.Runs.size(); ++i) {
    if (letterOf[c.BlobOfRun[i]] >= 0) letters.Runs.push_back(c.Runs[i]);
  }
  return letters;
}

TLetters AllInkOf(const TInkMap& Ink) {
  TComponents c = ComponentsOf(Ink);
  return {std::move(c.Blobs), std::move(c.Runs)};
}

std::vector<TInkBlob> TextLetters(const std::vector<TInkBlob>& Letters) {
  // By the line of their middle, so that the neighbours on a line are found among few.
  std::vector<size_t> order(Letters.size());
  std::iota(order.begin(), order.end(), 0);
  auto middle = [&](size_t i) { return Letters[i].Top + Letters[i].Bottom; };  // twice it
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return middle(a) < middle(b); });
  std::vector<TInkBlob> text;
  for (size_t oi = 0; oi < order.size(); ++oi) {
    const TInkBlob& b = Letters[order[oi]];
    const int32_t h = b.Height(), m = middle(order[oi]);
    int32_t neighbours = 0;
    for (int32_t dir : {-1, 1}) {
      for (auto j = static_cast<int64_t>(oi) + dir;
           j >= 0 && j < static_cast<int64_t>(order.size()); j += dir) {
        const TInkBlob& c = Letters[order[j]];
        if (std::abs(middle(order[j]) - m) > h) break;  // more than half a height apart
        const bool similar = 2 * c.Height() >= h && c.Height() <= 2 * h;
        const int32_t gap = std::max(c.Left - b.Right, b.Left - c.Right);
        if (similar && gap <= 3 * h) ++neighbours;
      }
    }
    if (neighbours >= 2) text.push_back(b);
  }
  return text;
}

namespace {

// A piece of at most 8 pixels of a run of letter pixels, at its middle.
struct TPiece {
  float X, Y;
  int32_t N;
};

// The projection of pieces on lines of a slope, made smooth in the slope: each piece's count
// is spread over the four quarter rows around its exact place by a cubic B-spline, and every
// row reads the quarter rows through a Gaussian of 0.8 rows. Rounding a piece to its nearest
// row makes the score jump between neighbouring angles. A split between the two nearest
// quarter rows puts a kink in the score where a piece crosses a quarter row, and at a slope of
// zero all pieces cross at once, so that the score peaks there; the Gaussian keeps the rows of
// pixels, which line up with the rows of the projection at that slope, from favouring it too.
class TSlopeProfile {
 public:
  TSlopeProfile(std::vector<TPiece> Pieces, int32_t MaxX, int32_t MaxY, double MaxAngle);
  // The squared differences of neighbouring rows of the projection at the angle.
  double Score(double Degrees);

 private:
  static constexpr int32_t kSubRows = 4;  // a row's parts that the pieces are spread over
  static constexpr int32_t kReach = 3;    // rows on either side that the Gaussian reaches
  std::vector<TPiece> FPieces;
  int32_t FOffset;  // rows above the page where a line within the range meets the left edge
  std::vector<double> FKernel, FSub, FRows;
};

TSlopeProfile::TSlopeProfile(std::vector<TPiece> Pieces, int32_t MaxX, int32_t MaxY,
                             double MaxAngle)
    : FPieces(std::move(Pieces)) {
  FOffset =
      static_cast<int32_t>(std::ceil(MaxX * std::tan(MaxAngle * M_PI / 180))) + 2 * kReach + 2;
  FRows.resize(static_cast<size_t>(MaxY) + 2 * FOffset + 1);
  FSub.resize(FRows.size() * kSubRows);
  // With the B-spline's 1/6, which Score leaves out of its weights.
  for (int32_t k = -kReach * kSubRows; k <= kReach * kSubRows; ++k) {
    const double d = static_cast<double>(k) / kSubRows;
    FKernel.push_back(std::exp(-d * d / (2 * 0.8 * 0.8)) / 6);
  }
}

double TSlopeProfile::Score(double Degrees) {
  std::fill(FSub.begin(), FSub.end(), 0);
  const double t = std::tan(Degrees * M_PI / 180);
  for (const TPiece& p : FPieces) {
    const double at = (p.Y + p.X * t + FOffset) * kSubRows;  // over 2 * kReach rows in
    const auto below = static_cast<size_t>(at);
    const double f = at - static_cast<double>(below), g = 1 - f;
    const double f2 = f * f, g2 = g * g;
    double* sub = FSub.data() + below - 1;
    sub[0] += p.N * g2 * g;
    sub[1] += p.N * (3 * f2 * f - 6 * f2 + 4);
    sub[2] += p.N * (3 * g2 * g - 6 * g2 + 4);
    sub[3] += p.N * f2 * f;
  }
  for (size_t r = kReach; r + kReach < FRows.size(); ++r) {
    const double* sub = FSub.data() + (r - kReach) * kSubRows;
    FRows[r] = std::inner_product(FKernel.begin(), FKernel.end(), sub, 0.0);
  }
  double sum = 0;
  for (size_t r = kReach + 1; r + kReach < FRows.size(); ++r) {
    const double d = FRows[r] - FRows[r - 1];
    sum += d * d;
  }
  return sum;
}

// The angle of the highest score within the range: a grid of 0.1 degrees, then from each of
// the three best local maxima of the grid a climb in steps of 0.05, 0.025, 0.01 and 0.005
// degrees. A page of lines at several slopes has peaks of nearly the same height, and its
// highest may lie beside a grid point lower than the grid's best.
double HighestScore(TSlopeProfile& Profile, double MaxAngle) {
  constexpr double kGrid = 0.1, kSteps[] = {0.05, 0.025, 0.01, 0.005};
  constexpr size_t kPeaks = 3;
  const auto last = static_cast<int32_t>(std::floor(2 * MaxAngle / kGrid + 1e-9));
  std::vector<double> grid;
  for (int32_t i = 0; i <= last; ++i) grid.push_back(Profile.Score(-MaxAngle + i * kGrid));
  std::vector<int32_t> peaks;
  for (int32_t i = 0; i <= last; ++i) {
    if ((i == 0 || grid[i] >= grid[i - 1]) && (i == last || grid[i] >= grid[i + 1])) {
      peaks.push_back(i);
    }
  }
  const auto top = peaks.begin() + static_cast<ptrdiff_t>(std::min(kPeaks, peaks.size()));
  std::partial_sort(peaks.begin(), top, peaks.end(),
                    [&](int32_t a, int32_t b) { return grid[a] > grid[b]; });
  double best = 0, bestScore = -1;
  for (auto p = peaks.begin(); p != top; ++p) {
    double angle = -MaxAngle + *p * kGrid, score = grid[*p];
    for (const double step : kSteps) {
      for (bool moved = true; moved;) {
        moved = false;
        const double from = angle;
        for (const double next : {from - step, from + step}) {
          if (std::fabs(next) > MaxAngle + step / 2) continue;
          const double s = Profile.Score(next);
          if (s > score) {
            score = s;
            angle = next;
            moved = true;
          }
        }
      }
    }
    if (score > bestScore) {
      bestScore = score;
      best = angle;
    }
  }
  return best;
}

}  // namespace

double ProjectionSkew(const TLetters& Letters, double MaxAngle, bool* Sure) {
  std::vector<TPiece> pieces;
  int32_t maxX = 0, maxY = 0;
  for (const TInkRun& r : Letters.Runs) {
    for (int32_t x = r.X0; x <= r.X1; x += 8) {
      const int32_t n = std::min(8, r.X1 - x + 1);
      pieces.push_back({x + (n - 1) / 2.0f, static_cast<float>(r.Y), n});
    }
    maxX = std::max(maxX, r.X1);
    maxY = std::max(maxY, r.Y);
  }
  if (Sure != nullptr) *Sure = Letters.Blobs.size() >= 50;
  if (pieces.empty()) return 0;
  TSlopeProfile profile(std::move(pieces), maxX, maxY, MaxAngle);
  return HighestScore(profile, MaxAngle);
}

namespace {

// A line of text letters: where its letters' middles lie across the page's slope, and its
// letters.
struct TTextLine {
  double From, To;  // of the letters' middles, along the slope's normal
  int32_t Left, Right;
  std::vector<TInkBlob> Letters;
};

// The text letters gathered into lines: letters in the order of their middles across the
// slope, a new line where the next middle is more than half a letter height further on.
std::vector<TTextLine> TextLinesOf(const TLetters& Letters, double Degrees) {
  const double t = std::tan(Degrees * M_PI / 180);
  std::vector<TInkBlob> text = TextLetters(Letters.Blobs);
  if (text.empty()) return {};
  auto middle = [&](const TInkBlob& b) {
    return (b.Top + b.Bottom) / 2.0 + (b.Left + b.Right) / 2.0 * t;
  };
  std::sort(text.begin(), text.end(),
            [&](const TInkBlob& a, const TInkBlob& b) { return middle(a) < middle(b); });
  std::vector<int32_t> heights;
  for (const TInkBlob& b : text) heights.push_back(b.Height());
  std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
  const double gap = heights[heights.size() / 2] / 2.0;
  std::vector<TTextLine> lines;
  for (const TInkBlob& b : text) {
    const double m = middle(b);
    if (lines.empty() || m - lines.back().To > gap) lines.push_back({m, m, b.Left, b.Right, {}});
    TTextLine& line = lines.back();
    line.To = m;
    line.Left = std::min(line.Left, b.Left);
    line.Right = std::max(line.Right, b.Right);
    line.Letters.push_back(b);
  }
  return lines;
}

// The slope of a line of letters in degrees, as ProjectionSkew signs it: the median of the
// slopes between the edges (Edge of each letter: its top or its bottom) of every two letters
// at least two letter heights apart, so that ascenders, descenders and marks, a minority, do
// not move it.
template <class TEdge>
double LineSlope(const std::vector<TInkBlob>& Letters, TEdge&& Edge) {
  std::vector<double> slopes;
  for (size_t i = 0; i < Letters.size(); ++i) {
    for (size_t j = i + 1; j < Letters.size(); ++j) {
      const TInkBlob &a = Letters[i], &b = Letters[j];
      const double dx = (b.Left + b.Right - a.Left - a.Right) / 2.0;
      if (std::fabs(dx) < 2.0 * std::max(a.Height(), b.Height())) continue;
      slopes.push_back((Edge(b) - Edge(a)) / dx);
    }
  }
  if (slopes.empty()) return 0;
  std::nth_element(slopes.begin(), slopes.begin() + slopes.size() / 2, slopes.end());
  return -std::atan(slopes[slopes.size() / 2]) * 180 / M_PI;
}

}  // namespace

double LineWeightedSkew(const TLetters& Letters, double MaxAngle) {
  const std::vector<TTextLine> lines = TextLinesOf(Letters, ProjectionSkew(Letters, MaxAngle));
  double sum = 0, weights = 0;
  for (const TTextLine& line : lines) {
    if (line.Letters.size() < 5) continue;
    const double length = line.Right - line.Left + 1;
    const double top = LineSlope(line.Letters, [](const TInkBlob& b) { return b.Top; });
    const double bottom = LineSlope(line.Letters, [](const TInkBlob& b) { return b.Bottom; });
    sum += length * (top + bottom) / 2;
    weights += length;
  }
  return weights > 0 ? sum / weights : 0;
}

int64_t SurroundLeft(const TDIB& Page, int32_t DPI) {
  TInkMap dark;
  dark.Width = Page.Width();
  dark.Height = Page.Height();
  dark.Dark.resize(static_cast<size_t>(dark.Width) * dark.Height);
  const std::array<uint8_t, 256> grays = PaletteGrays(Page);
  const int32_t level = InkLevel(Page);
  std::vector<uint8_t> line(static_cast<size_t>(dark.Width));
  for (int32_t y = 0; y < dark.Height; ++y) {
    GrayLine(Page, grays, y, line.data());
    for (int32_t x = 0; x < dark.Width; ++x) {
      dark.Dark[static_cast<size_t>(y) * dark.Width + x] = line[x] < level;
    }
  }
  const double mm = (DPI > 0 ? DPI : 300) / 25.4;
  int64_t left = 0;
  for (const TInkBlob& b : ComponentsOf(dark).Blobs) {
    const bool side =
        b.Left == 0 || b.Top == 0 || b.Right == dark.Width - 1 || b.Bottom == dark.Height - 1;
    if (side && (b.Width() > 25 * mm || b.Height() > 25 * mm)) left += b.Pixels;
  }
  return left;
}

void SavePagePNG(const TDIB& Page, const std::string& FileName) {
  const bool colour = Page.PixelType() == pt24bit;
  TPNGImage png;
  png.NewBitmap(Page.Width(), Page.Height(), colour ? pf24bit : pf8bit);
  const std::array<uint8_t, 256> grays = PaletteGrays(Page);
  for (int32_t y = 0; y < Page.Height(); ++y) {
    if (colour) {
      std::copy_n(Page.Lines(y), 3 * Page.Width(), png.ScanLine(y));
    } else {
      GrayLine(Page, grays, y, png.ScanLine(y));
    }
  }
  TFileStream file(FileName, TFileMode::fmCreate);
  png.SaveToStream(file);
}
