// Paper sizes, black-border and content detection by side walks over column and line counts,
// erasing outside a rectangle, and cropping to a paper size that fits the content.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

#include "dibunit.h"
#include "dibunit_rowpixels.h"

const TPaperSize PaperSizes[kPaperSizeCount] = {
    {"A6", 4.13, 5.84},   {"A5", 5.84, 8.27},   {"A4", 8.27, 11.69},  {"A3", 11.69, 16.54},
    {"A2", 16.54, 23.39}, {"A1", 23.39, 33.11}, {"A0", 33.11, 46.81}, {"Statement", 5.5, 8.5},
    {"Letter", 8.5, 11},  {"Legal", 8.5, 14},   {"Ledger", 11, 17},
};

namespace {

std::string UpperCase(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return Text;
}

// The walk from the first column (line) inwards: the edge lands just after the last border
// column that no run of more than Gap other columns separates from the side.
template <class TIsBorder>
int32_t WalkFromStart(int32_t Size, int32_t Gap, TIsBorder&& IsBorder) {
  int32_t edge = 0, run = 0;
  for (int32_t i = 0; i < Size; ++i) {
    if (IsBorder(i)) {
      edge = i + 1;
      run = 0;
    } else if (++run > Gap) {
      break;
    }
  }
  return edge;
}

template <class TIsBorder>
int32_t WalkFromEnd(int32_t Size, int32_t Gap, TIsBorder&& IsBorder) {
  int32_t edge = Size - 1, run = 0;
  for (int32_t i = Size - 1; i >= 0; --i) {
    if (IsBorder(i)) {
      edge = i - 1;
      run = 0;
    } else if (++run > Gap) {
      break;
    }
  }
  return edge;
}

// A negative gap is about one millimetre at the resolution.
int32_t GapFor(int32_t Gap, int32_t DPI) {
  return Gap < 0 ? Round(DPI / 25.0) : Gap;
}

// A column or line of this length is border when at most this many of its pixels count.
int32_t LimitFor(int32_t Length, double Percent) {
  return Round(Length * Percent / 100);
}

}  // namespace

bool PaperSizeByName(const std::string& Name, double& Width, double& Height) {
  const std::string name = UpperCase(Name);
  for (const TPaperSize& paper : PaperSizes) {
    if (name == UpperCase(paper.Name)) {
      Width = paper.Width;
      Height = paper.Height;
      return true;
    }
  }
  return false;
}

// ---- Counters ----

int32_t TDIB::CountColumnInRange(int32_t X, uint8_t Low, uint8_t High) const {
  const int32_t height = Height();
  int32_t count = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t v = FLines[y][X];
    count += v >= Low && v <= High;
  }
  return count;
}

int32_t TDIB::CountLineInRange(int32_t Y, uint8_t Low, uint8_t High) const {
  const uint8_t* row = FLines[Y];
  const int32_t width = Width();
  int32_t count = 0;
  for (int32_t x = 0; x < width; ++x) count += row[x] >= Low && row[x] <= High;
  return count;
}

int32_t TDIB::CountColumnInRange24(int32_t X, uint8_t Low, uint8_t High) const {
  const int32_t height = Height();
  int32_t count = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t v = GrayOf24(FLines[y] + 3 * X);
    count += v >= Low && v <= High;
  }
  return count;
}

int32_t TDIB::CountLineInRange24(int32_t Y, uint8_t Low, uint8_t High) const {
  const uint8_t* p = FLines[Y];
  const int32_t width = Width();
  int32_t count = 0;
  for (int32_t x = 0; x < width; ++x, p += 3) {
    const uint8_t v = GrayOf24(p);
    count += v >= Low && v <= High;
  }
  return count;
}

// ---- Side walks ----

int32_t TDIB::BorderLeft1(int32_t Index, int32_t Gap, double Percent) const {
  const int32_t height = Height(), limit = LimitFor(height, Percent);
  return WalkFromStart(Width(), GapFor(Gap, XResolution()), [&](int32_t x) {
    const int32_t set = CountColumnBits(x);
    return (Index == 1 ? set : height - set) <= limit;
  });
}

int32_t TDIB::BorderRight1(int32_t Index, int32_t Gap, double Percent) const {
  const int32_t height = Height(), limit = LimitFor(height, Percent);
  return WalkFromEnd(Width(), GapFor(Gap, XResolution()), [&](int32_t x) {
    const int32_t set = CountColumnBits(x);
    return (Index == 1 ? set : height - set) <= limit;
  });
}

int32_t TDIB::BorderTop1(int32_t Index, int32_t Gap, double Percent) const {
  const int32_t width = Width(), limit = LimitFor(width, Percent);
  return WalkFromStart(Height(), GapFor(Gap, YResolution()), [&](int32_t y) {
    const int32_t set = CountLineBits(y);
    return (Index == 1 ? set : width - set) <= limit;
  });
}

int32_t TDIB::BorderBottom1(int32_t Index, int32_t Gap, double Percent) const {
  const int32_t width = Width(), limit = LimitFor(width, Percent);
  return WalkFromEnd(Height(), GapFor(Gap, YResolution()), [&](int32_t y) {
    const int32_t set = CountLineBits(y);
    return (Index == 1 ? set : width - set) <= limit;
  });
}

int32_t TDIB::BorderLeft8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Height(), Percent);
  return WalkFromStart(Width(), GapFor(Gap, XResolution()),
                       [&](int32_t x) { return CountColumnInRange(x, Low, High) <= limit; });
}

int32_t TDIB::BorderRight8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Height(), Percent);
  return WalkFromEnd(Width(), GapFor(Gap, XResolution()),
                     [&](int32_t x) { return CountColumnInRange(x, Low, High) <= limit; });
}

int32_t TDIB::BorderTop8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Width(), Percent);
  return WalkFromStart(Height(), GapFor(Gap, YResolution()),
                       [&](int32_t y) { return CountLineInRange(y, Low, High) <= limit; });
}

int32_t TDIB::BorderBottom8(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Width(), Percent);
  return WalkFromEnd(Height(), GapFor(Gap, YResolution()),
                     [&](int32_t y) { return CountLineInRange(y, Low, High) <= limit; });
}

int32_t TDIB::BorderLeft24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Height(), Percent);
  return WalkFromStart(Width(), GapFor(Gap, XResolution()),
                       [&](int32_t x) { return CountColumnInRange24(x, Low, High) <= limit; });
}

int32_t TDIB::BorderRight24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Height(), Percent);
  return WalkFromEnd(Width(), GapFor(Gap, XResolution()),
                     [&](int32_t x) { return CountColumnInRange24(x, Low, High) <= limit; });
}

int32_t TDIB::BorderTop24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Width(), Percent);
  return WalkFromStart(Height(), GapFor(Gap, YResolution()),
                       [&](int32_t y) { return CountLineInRange24(y, Low, High) <= limit; });
}

int32_t TDIB::BorderBottom24(uint8_t Low, uint8_t High, int32_t Gap, double Percent) const {
  const int32_t limit = LimitFor(Width(), Percent);
  return WalkFromEnd(Height(), GapFor(Gap, YResolution()),
                     [&](int32_t y) { return CountLineInRange24(y, Low, High) <= limit; });
}

// ---- Detectors ----

void TDIB::DetectBorder1(int32_t Index, int32_t Gap, TRect& Rect, double Percent) const {
  Rect.Left = BorderLeft1(Index, Gap, Percent);
  Rect.Top = BorderTop1(Index, Gap, Percent);
  Rect.Right = BorderRight1(Index, Gap, Percent);
  Rect.Bottom = BorderBottom1(Index, Gap, Percent);
}

void TDIB::DetectBorder8(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect,
                         double Percent) const {
  Rect.Left = BorderLeft8(Low, High, Gap, Percent);
  Rect.Top = BorderTop8(Low, High, Gap, Percent);
  Rect.Right = BorderRight8(Low, High, Gap, Percent);
  Rect.Bottom = BorderBottom8(Low, High, Gap, Percent);
}

void TDIB::DetectBorder24(uint8_t Low, uint8_t High, int32_t Gap, TRect& Rect,
                          double Percent) const {
  Rect.Left = BorderLeft24(Low, High, Gap, Percent);
  Rect.Top = BorderTop24(Low, High, Gap, Percent);
  Rect.Right = BorderRight24(Low, High, Gap, Percent);
  Rect.Bottom = BorderBottom24(Low, High, Gap, Percent);
}

void TDIB::DetectContent(int32_t Gap, TRect& Rect, double Percent) const {
  Rect = {0, 0, Width() - 1, Height() - 1};
  if (Empty()) return;
  switch (FPixelType) {
    case pt1bit:
      DetectBorder1(BlackIndex(), Gap, Rect, Percent);
      break;
    case pt8bit:
      if (BlackIndex() == 255) {
        DetectBorder8(128, 255, Gap, Rect, Percent);
      } else {
        DetectBorder8(0, 128, Gap, Rect, Percent);
      }
      break;
    case pt24bit:
      DetectBorder24(0, 128, Gap, Rect, Percent);
      break;
    default:
      break;
  }
}

// ---- Erase outside ----

int32_t TDIB::BackgroundValue() const {
  if (FPixelType == pt1bit) return WhiteIndex();
  THistogram histogram;
  Histogram(histogram);
  const int32_t low = WhiteIndex() == 0 ? 0 : 128, high = WhiteIndex() == 0 ? 128 : 255;
  int32_t value = 255;
  for (int32_t v = low; v <= high; ++v) {
    if (histogram[v] > histogram[value]) value = v;
  }
  return FPixelType == pt24bit ? value * 0x010101 : value;
}

void TDIB::EraseOutside(const TRect& Rect) {
  // A rectangle that keeps nothing (every column or line was border) leaves the page alone.
  if (Empty() || Rect.Right < Rect.Left || Rect.Bottom < Rect.Top) return;
  const int32_t width = Width(), height = Height();
  const int32_t value = BackgroundValue();
  if (Rect.Top > 0) FillRect({0, 0, width - 1, std::min(Rect.Top, height) - 1}, value);
  if (Rect.Bottom < height - 1) {
    FillRect({0, std::max(Rect.Bottom + 1, 0), width - 1, height - 1}, value);
  }
  if (Rect.Left > 0) FillRect({0, 0, std::min(Rect.Left, width) - 1, height - 1}, value);
  if (Rect.Right < width - 1) {
    FillRect({std::max(Rect.Right + 1, 0), 0, width - 1, height - 1}, value);
  }
}

// ---- Auto-crop ----

namespace {

// The first and last column (line) of a crop.
struct TSpan {
  int32_t First, Last;
};

// The sets of dark pixels of a page (8-neighbourhood), each traced once. IsDark(Row, X) tells
// a dark pixel of a line.
template <class TIsDark>
class TInkSets {
 public:
  TInkSets(const TDIB& Page, TIsDark IsDark)
      : FPage(Page), FIsDark(IsDark), FWidth(Page.Width()), FHeight(Page.Height()) {}

  bool IsDark(int32_t X, int32_t Y) const { return FIsDark(FPage.Lines(Y), X); }

  // The box of the set of the dark pixel (X, Y); an empty box (Right < Left) when that set is
  // traced already.
  TRect Trace(int32_t X, int32_t Y) {
    TRect box = {X, Y, X - 1, Y};
    Push(X, Y);
    while (!FStack.empty()) {
      const auto [x, y] = FStack.back();
      FStack.pop_back();
      box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x),
             std::max(box.Bottom, y)};
      Spread(x, y);
    }
    return box;
  }

 private:
  void Push(int32_t X, int32_t Y) {
    if (FSeen.empty()) FSeen.assign(static_cast<size_t>(FWidth) * FHeight, false);
    const size_t at = static_cast<size_t>(Y) * FWidth + X;
    if (FSeen[at]) return;
    FSeen[at] = true;
    FStack.emplace_back(X, Y);
  }

  // The dark neighbours of (X, Y) that are not traced yet go on the stack.
  void Spread(int32_t X, int32_t Y) {
    for (int32_t y = std::max(Y - 1, 0); y <= std::min(Y + 1, FHeight - 1); ++y) {
      const uint8_t* row = FPage.Lines(y);
      for (int32_t x = std::max(X - 1, 0); x <= std::min(X + 1, FWidth - 1); ++x) {
        if (FIsDark(row, x)) Push(x, y);
      }
    }
  }

  const TDIB& FPage;
  TIsDark FIsDark;
  int32_t FWidth, FHeight;
  std::vector<bool> FSeen;
  std::vector<std::pair<int32_t, int32_t>> FStack;
};

// Reach grown to hold Box and, where Box passes the content, the paper beside it: a crop side
// on the last column of a stroke could not be told from one that cut it.
void HoldBox(TRect& Reach, const TRect& Box, const TRect& Content) {
  if (Box.Left < Content.Left) Reach.Left = std::min(Reach.Left, Box.Left - 1);
  if (Box.Top < Content.Top) Reach.Top = std::min(Reach.Top, Box.Top - 1);
  if (Box.Right > Content.Right) Reach.Right = std::max(Reach.Right, Box.Right + 1);
  if (Box.Bottom > Content.Bottom) Reach.Bottom = std::max(Reach.Bottom, Box.Bottom + 1);
}

// The content rectangle grown by the ink that runs out of it: the box of each set of dark
// pixels that holds a pixel of the content's first or last column or line. A set that runs on
// to a side of the page is left out: the scan has cut it already, and it is what a surround
// leaves.
template <class TIsDark>
TRect InkReach(const TDIB& Page, const TRect& Content, TIsDark IsDark) {
  const int32_t width = Page.Width(), height = Page.Height();
  TInkSets<TIsDark> sets(Page, IsDark);
  TRect reach = Content;
  auto hold = [&](int32_t X, int32_t Y) {
    if (!sets.IsDark(X, Y)) return;
    const TRect box = sets.Trace(X, Y);
    if (box.Right < box.Left) return;
    if (box.Left == 0 || box.Top == 0 || box.Right == width - 1 || box.Bottom == height - 1) {
      return;
    }
    HoldBox(reach, box, Content);
  };
  for (int32_t x = Content.Left; x <= Content.Right; ++x) {
    if (Content.Top > 0) hold(x, Content.Top);
    if (Content.Bottom < height - 1) hold(x, Content.Bottom);
  }
  for (int32_t y = Content.Top; y <= Content.Bottom; ++y) {
    if (Content.Left > 0) hold(Content.Left, y);
    if (Content.Right < width - 1) hold(Content.Right, y);
  }
  return reach;
}

// InkReach with the dark pixels of the content detector; other pixel types have none.
TRect ContentReach(const TDIB& Page, const TRect& Content) {
  switch (Page.PixelType()) {
    case pt1bit: {
      const int32_t black = Page.BlackIndex();
      return InkReach(Page, Content, [black](const uint8_t* Row, int32_t X) {
        return TRowPixels1::Get(Row, X) == black;
      });
    }
    case pt8bit:
      if (Page.BlackIndex() == 255) {
        return InkReach(Page, Content, [](const uint8_t* Row, int32_t X) { return Row[X] >= 128; });
      }
      return InkReach(Page, Content, [](const uint8_t* Row, int32_t X) { return Row[X] <= 128; });
    case pt24bit:
      return InkReach(Page, Content,
                      [](const uint8_t* Row, int32_t X) { return GrayOf24(Row + 3 * X) <= 128; });
    default:
      return Content;
  }
}

// The crop of one side of the page for a paper side of Size pixels, centred on the content
// widened by its margin: Size + 1 pixels, out by half the difference when the paper is larger
// and in by half when it is smaller, limited by the page sides. The crop never leaves out a
// pixel of Held, the content with the ink that runs out of it: it moves within the margin to
// hold it, and where that is not enough (a paper smaller than the content within the
// tolerance, or a stroke longer than the paper) it grows to hold it.
TSpan CropSpan(TSpan Widened, TSpan Held, int32_t Size, int32_t PageSize) {
  if (Size >= PageSize) return {0, PageSize - 1};
  const int32_t centred = Widened.First - (Size - (Widened.Last - Widened.First + 1)) / 2;
  const int32_t first = std::max(0, std::min(std::max(centred, Held.Last - Size), Held.First));
  return {first, std::min(std::max(first + Size, Held.Last), PageSize - 1)};
}

}  // namespace

void TDIB::AutoCrop(const std::string& PaperList, float Percent, float Margin, float Tolerance) {
  if (Empty()) return;
  const int32_t width = Width(), height = Height();
  const int32_t xdpi = XResolution(), ydpi = YResolution();
  TRect content;
  DetectContent(0, content, Percent);
  if (content.Right < content.Left || content.Bottom < content.Top) return;  // no content at all
  const int32_t mx = Round(xdpi * static_cast<double>(Margin));
  const int32_t my = Round(ydpi * static_cast<double>(Margin));
  TRect rect;
  rect.Left = std::max(content.Left - mx, 0);
  rect.Top = std::max(content.Top - my, 0);
  rect.Right = std::min(content.Right + mx, width - 1);
  rect.Bottom = std::min(content.Bottom + my, height - 1);
  if (rect.Left < 1 && rect.Top < 1 && rect.Right >= width - 1 && rect.Bottom >= height - 1) {
    return;
  }
  const int32_t w = rect.Right - rect.Left + 1, h = rect.Bottom - rect.Top + 1;
  const int32_t tw = Round(w * static_cast<double>(Tolerance) / 100);
  const int32_t th = Round(h * static_cast<double>(Tolerance) / 100);
  if (PaperList.empty()) {
    Crop(rect);
    return;
  }

  const std::string list = UpperCase(PaperList);
  const int64_t area = int64_t{w} * h;
  int64_t best = INT64_MAX;  // paper areas in pixels can pass 32 bits
  bool found = false, turned = false;
  int32_t paperW = 0, paperH = 0;
  auto fits = [&](int32_t across, int32_t down) {
    return w - tw <= across && across <= width + tw && h - th <= down && down <= height + th;
  };
  for (const TPaperSize& paper : PaperSizes) {
    if (list.find(UpperCase(paper.Name)) == std::string::npos) continue;
    const int32_t pw = Round(xdpi * paper.Width), ph = Round(ydpi * paper.Height);
    const bool upright = fits(pw, ph);
    if (!upright && !fits(ph, pw)) continue;
    const int64_t score = std::llabs(int64_t{pw} * ph - area);
    if (score > best) continue;
    best = score;
    found = true;
    turned = !upright;
    paperW = pw;
    paperH = ph;
  }
  if (!found) return;

  const int32_t cw = std::min(turned ? paperH : paperW, width);
  const int32_t ch = std::min(turned ? paperW : paperH, height);
  const TRect reach = ContentReach(*this, content);
  const TSpan across = CropSpan({rect.Left, rect.Right}, {reach.Left, reach.Right}, cw, width);
  const TSpan down = CropSpan({rect.Top, rect.Bottom}, {reach.Top, reach.Bottom}, ch, height);
  Crop({across.First, down.First, across.Last, down.Last});
}
