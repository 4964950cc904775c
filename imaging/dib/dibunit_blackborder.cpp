// Black-border detection in five steps. First each side walks in over the lines of the dark
// surround that reaches it: a column (line) counts only those of its dark pixels that the
// surround reaches from the side through dark pixels, so that dense text, which the surround
// does not touch, is never taken for border; the walk crosses a thin light edge at the very
// side. Then the rectangle shrinks, a line at a time on the side that needs it most, over the
// wedges that the surround still pushes into it (the edges of a turned sheet), and over the
// band of a thick book's striped page edges along a side that the walk leaves, until no side
// line holds more than a trace of the surround, or what it holds no longer thins. Last, each
// side moves back out over the letters that the shrinking cut in two: those of a text cut off
// by the sheet's edge, which lie between the wedges without touching the surround. Then, on a
// page inside a surround, each side that the surround reaches moves in past the page block of
// a book that lies along it (dibunit_bookedge.h), and each side over the sheet's edge that lies
// along it (dibunit_sheetedge.h).
#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "dibunit.h"
#include "dibunit_bookedge.h"
#include "dibunit_borderdark.h"
#include "dibunit_sheetedge.h"
#include "dibunit_sideframe.h"

namespace {

// The walk inwards from one side over Size lines of Length pixels; Dark(i, Flags) sets
// Flags[j] to 1 for the dark pixels j of line i (line 0 lies at the side) and 0 for the others.
// Returns the number of lines from the side that are border; First() is then the first of them
// (the light lines before it are the edge that the walk crossed).
class TSideWalk {
 public:
  TSideWalk(int32_t Size, int32_t Length, int32_t Gap, int32_t Limit, int32_t Allowance)
      : FSize(Size),
        FLength(Length),
        FGap(Gap),
        FFull(Length - Limit),
        FAllowance(Allowance),
        FDark(static_cast<size_t>(Length) + 2),
        FReach(FDark.size()),
        FNext(FDark.size()) {}

  template <class TDark>
  int32_t Walk(TDark&& Dark) {
    // The first border line, after at most Allowance light lines at the side.
    int32_t first = 0;
    for (;; ++first) {
      if (first >= FSize || first > FAllowance) return 0;
      Dark(first, FDark.data() + 1);
      if (Count(FDark) >= FFull) break;
    }
    FFirst = first;
    FReach = FDark;
    int32_t edge = first + 1, run = 0;
    for (int32_t i = first + 1; i < FSize; ++i) {
      Dark(i, FDark.data() + 1);
      const int32_t reached = Grow();
      if (reached >= FFull) {  // a line of the surround
        edge = i + 1;
        run = 0;
      } else if (++run > FGap) {
        break;
      }
    }
    return edge;
  }

  int32_t First() const { return FFirst; }

 private:
  static int32_t Count(const std::vector<uint8_t>& Flags) {
    return static_cast<int32_t>(std::count(Flags.begin(), Flags.end(), uint8_t{1}));
  }

  // The dark pixels of the new line that touch the reached pixels of the last line that had
  // any (also across the light lines of a gap), spread along the line through dark pixels.
  int32_t Grow() {
    const uint8_t* dark = FDark.data();
    const uint8_t* reach = FReach.data();
    uint8_t* next = FNext.data();
    const size_t n = FDark.size();
    next[0] = next[n - 1] = 0;
    for (size_t j = 1; j + 1 < n; ++j) {
      next[j] = dark[j] & (reach[j - 1] | reach[j] | reach[j + 1]);
    }
    for (size_t j = 1; j + 1 < n; ++j) next[j] |= dark[j] & next[j - 1];
    for (size_t j = n - 2; j >= 1; --j) next[j] |= dark[j] & next[j + 1];
    const int32_t reached = Count(FNext);
    if (reached > 0) std::swap(FReach, FNext);
    return reached;
  }

  const int32_t FSize, FLength, FGap, FFull, FAllowance;
  int32_t FFirst = 0;
  std::vector<uint8_t> FDark, FReach, FNext;  // one pixel of padding at both ends
};

// A side line of the rectangle that holds fewer surround pixels than one in this many of its
// pixels is free of the surround.
constexpr int32_t kTrace = 200;

// A dark run from a side of the rectangle that is longer than this share of the rectangle
// (in 1/1000) is not a wedge of that side (a sheet turned by up to 7 degrees leaves wedges of
// at most an eighth of the side along it) but a band of the surround along another side, or a
// dark part of the page.
constexpr int32_t kLongestWedge = 125;

// The least (Better: std::less) or greatest (std::greater) of In[0..Size) around each place
// -Pad .. Size + Pad - 1: Out[k] is taken over In[k - Pad - Radius .. k - Pad + Radius].
template <class TBetter>
std::vector<int32_t> Slide(const int32_t* In, int32_t Size, int32_t Radius, int32_t Pad,
                           TBetter Better) {
  std::vector<int32_t> out(static_cast<size_t>(Size + 2 * Pad));
  std::deque<int32_t> window;  // indices whose values are in order, the extreme first
  int32_t next = 0;
  for (int32_t k = 0; k < Size + 2 * Pad; ++k) {
    for (; next <= std::min(Size - 1, k - Pad + Radius); ++next) {
      while (!window.empty() && !Better(In[window.back()], In[next])) window.pop_back();
      window.push_back(next);
    }
    while (window.front() < k - Pad - Radius) window.pop_front();
    out[k] = In[window.front()];
  }
  return out;
}

// Takes away the peaks (First: std::less) or the dips (std::greater) of Runs[From..To] that
// are narrower than 2 Radius + 1. The first pass reaches Radius beyond both ends, so that a
// steady rise or fall up to an end is kept.
template <class TFirst, class TSecond>
void Open(std::vector<int32_t>& Runs, int32_t From, int32_t To, int32_t Radius, TFirst First,
          TSecond Second) {
  const int32_t size = To - From + 1;
  const std::vector<int32_t> wide = Slide(Runs.data() + From, size, Radius, Radius, First);
  const std::vector<int32_t> out = Slide(wide.data(), size + 2 * Radius, Radius, -Radius, Second);
  std::copy(out.begin(), out.end(), Runs.begin() + From);
}

// The runs of a wedge change steadily along the side; a letter or a speck that touches the
// surround makes a peak no longer along the side than a letter is high, and a light speck in
// a thresholded surround a short dip. The dips narrower than Fill go, then the peaks narrower
// than Peak.
void SmoothWedge(std::vector<int32_t>& Runs, int32_t From, int32_t To, int32_t Fill, int32_t Peak) {
  if (From > To) return;
  Open(Runs, From, To, Fill, std::greater<>(), std::less<>());
  Open(Runs, From, To, Peak, std::less<>(), std::greater<>());
}

// A connected set of dark pixels near a side: its extent in lines (T) and along the side (J),
// its pixels, those of them in a wedge, and whether it touches the surround outside.
struct TInkSet {
  int32_t Top, Bottom, First, Last;
  int32_t Pixels = 0, Wedge = 0;
  bool Touches = false;
};

// Marks in the Seen map of FloodInk.
constexpr uint8_t kFollowed = 1;  // a pixel of a set followed to its end
constexpr uint8_t kJoined = 2;    // a pixel of a set found to touch the surround

// The connected set of Dark pixels (8-neighbourhood) in lines 0 .. Lines - 1 of Frame from the
// pixel (T, J) on, marking them in Seen (a byte a pixel, line by line). A dark pixel of line -1
// (outside the walk's edge, all surround), the page's side there or a pixel of a set that did
// touches it; the search ends there, and what it has followed is marked as joined.
template <class TDark, class TWedge>
TInkSet FloodInk(const TSideFrame& Frame, int32_t Lines, int32_t T, int32_t J,
                 std::vector<uint8_t>& Seen, TDark& Dark, TWedge& Wedge) {
  const int32_t length = Frame.To - Frame.From + 1;
  auto mark = [&](int32_t U, int32_t V) -> uint8_t& {
    return Seen[static_cast<size_t>(U) * length + (V - Frame.From)];
  };
  TInkSet set{T, T, J, J};
  std::vector<std::pair<int32_t, int32_t>> stack{{T, J}}, followed;
  mark(T, J) = kFollowed;
  auto touch = [&] {
    set.Touches = true;
    for (const auto& [u, v] : followed) mark(u, v) = kJoined;
    for (const auto& [u, v] : stack) mark(u, v) = kJoined;
    return set;
  };
  while (!stack.empty()) {
    const auto [t, k] = stack.back();
    stack.pop_back();
    followed.push_back({t, k});
    set.Top = std::min(set.Top, t);
    set.Bottom = std::max(set.Bottom, t);
    set.First = std::min(set.First, k);
    set.Last = std::max(set.Last, k);
    ++set.Pixels;
    set.Wedge += Wedge(t, k);
    if (Frame.AtEnds && (k == Frame.From || k == Frame.To)) return touch();
    // Outwards last, so that it is followed first.
    for (int32_t u = t + 1; u >= t - 1; --u) {
      for (int32_t v = std::max(k - 1, Frame.From); v <= std::min(k + 1, Frame.To); ++v) {
        if (u < 0) {
          if (Frame.AtSide || Dark(u, v)) return touch();
        } else if (u < Lines && mark(u, v) == kJoined) {
          return touch();
        } else if (u < Lines && mark(u, v) == 0 && Dark(u, v)) {
          mark(u, v) = kFollowed;
          stack.push_back({u, v});
        }
      }
    }
  }
  return set;
}

// The line of Frame that the side at line Side must move out to so that it cuts no ink of the
// page in two and keeps a line of paper beside it; Side itself when there is none. Ink of the
// page is a connected set of Dark pixels in lines 0 .. Lines - 1 that holds pixels of line
// Side - 1, touches no surround outside, lies mostly outside the Wedge and reaches Size.first
// pixels along or across the side and at most Size.second along it; it holds pixels of line
// Side too (the shrinking cut it in two), or it is no solid block (the shrinking passed right
// beside a letter that it took whole). (A set that lies further out is not told from the
// debris of a broken surround.)
template <class TDark, class TWedge>
int32_t OutermostInk(const TSideFrame& Frame, int32_t Side, int32_t Lines,
                     std::pair<int32_t, int32_t> Size, TDark&& Dark, TWedge&& Wedge) {
  const int32_t length = Frame.To - Frame.From + 1;
  std::vector<uint8_t> seen;  // made when a set is first followed
  // A dark run along line Side - 1 lies in one set; a straight dark run from the edge to it
  // joins it to the surround without following it.
  auto straight = [&](int32_t J) {
    for (int32_t t = Side - 2; t >= 0; --t) {
      if (!Dark(t, J)) return false;
    }
    return Frame.AtSide || Dark(-1, J);
  };
  auto followed = [&](int32_t J) {
    return !seen.empty() && seen[static_cast<size_t>(Side - 1) * length + (J - Frame.From)];
  };
  int32_t outermost = Side;
  bool joined = false;  // the dark run along line Side - 1 is joined to the surround
  for (int32_t j = Frame.From; j <= Frame.To; ++j) {
    if (!Dark(Side - 1, j)) {
      joined = false;
      continue;
    }
    if (joined || followed(j)) continue;
    if (straight(j)) {
      joined = true;
      continue;
    }
    if (seen.empty()) seen.resize(static_cast<size_t>(Lines) * length);
    const TInkSet set = FloodInk(Frame, Lines, Side - 1, j, seen, Dark, Wedge);
    joined = set.Touches;
    const int32_t along = set.Last - set.First + 1;
    const bool letter =
        (set.Bottom - set.Top + 1 >= Size.first || along >= Size.first) && along <= Size.second;
    // Beside the side a solid block is a piece of a broken surround, not a letter.
    const bool cut = set.Bottom >= Side;
    const bool solid = 10 * int64_t{set.Pixels} >= 9 * int64_t{along} * (set.Bottom - set.Top + 1);
    if ((cut || !solid) && !set.Touches && 2 * set.Wedge < set.Pixels && letter) {
      outermost = std::min(outermost, std::max(set.Top - 1, 0));
    }
  }
  return outermost;
}

// The dark band along a side where the walk finds no border: the page edges of a thick book
// lie there as dark stripes, none of its lines dark enough, but nearly every line across it
// starts dark. DarkAt(t) tells the pixel t from the side. The band starts within Allowance
// pixels of the side and goes on over light gaps of at most Bridge pixels; returns the number
// of pixels from the side to its last dark one, Longest when it reaches that far, 0 when the
// line does not start dark.
template <class TDarkAt>
int32_t BandRun(int32_t Longest, int32_t Allowance, int32_t Bridge, TDarkAt&& DarkAt) {
  int32_t t = 0;
  while (t <= Allowance && t < Longest && !DarkAt(t)) ++t;
  if (t > Allowance || t >= Longest) return 0;
  int32_t end = t + 1;
  for (++t; t < Longest && t - end < Bridge; ++t) {
    if (DarkAt(t)) end = t + 1;
  }
  return t >= Longest ? Longest : end;
}

// The page's four sides (left, top, right, bottom), each seen from its outermost line.
std::array<TSideFrame, 4> PageSides(const TDIB& Page) {
  const int32_t width = Page.Width(), height = Page.Height();
  return {TSideFrame{true, 0, 1, 0, height - 1, true}, TSideFrame{false, 0, 1, 0, width - 1, true},
          TSideFrame{true, width - 1, -1, 0, height - 1, true},
          TSideFrame{false, height - 1, -1, 0, width - 1, true}};
}

// The surround that reaches into a rectangle from those of its sides that lie on a border:
// the dark pixels that run on from a dark pixel of the border along lines and columns, up to
// the longest wedge, without the letters and specks that touch it; on a side that Bands marks
// (left, top, right, bottom), the book-edge band that lies along it (BandRun, with Reach.first
// and Reach.second as allowance and bridge across columns and across lines).
class TWedges {
 public:
  template <class TIsDark>
  TWedges(const TDIB& Page, const TDIB::TRect& Inner, TIsDark&& IsDark,
          const std::array<bool, 4>& Bands, std::pair<int32_t, int32_t> Reach)
      : FInner(Inner),
        FBands(Bands),
        FFromLeft(Page.Height()),
        FFromRight(Page.Height()),
        FFromTop(Page.Width()),
        FFromBottom(Page.Width()) {
    const int32_t width = Page.Width(), height = Page.Height();
    const int32_t across = (Inner.Right - Inner.Left + 1) * kLongestWedge / 1000;
    const int32_t down = (Inner.Bottom - Inner.Top + 1) * kLongestWedge / 1000;
    auto wedge = [](int32_t Run, int32_t Longest) { return Run > Longest ? 0 : Run; };
    if (Bands[0] || Bands[1] || Bands[2] || Bands[3]) TakeBands(Page, IsDark, Reach);
    for (int32_t y = Inner.Top; y <= Inner.Bottom; ++y) {
      const uint8_t* row = Page.Lines(y);
      if (Inner.Left > 0 && IsDark(row, Inner.Left - 1)) {
        int32_t x = Inner.Left;
        while (x <= Inner.Right && x - Inner.Left <= across && IsDark(row, x)) ++x;
        FFromLeft[y] = wedge(x - Inner.Left, across);
      }
      if (Inner.Right < width - 1 && IsDark(row, Inner.Right + 1)) {
        int32_t x = Inner.Right;
        while (x >= Inner.Left && Inner.Right - x <= across && IsDark(row, x)) --x;
        FFromRight[y] = wedge(Inner.Right - x, across);
      }
    }
    for (int32_t x = Inner.Left; x <= Inner.Right; ++x) {
      if (Inner.Top > 0 && IsDark(Page.Lines(Inner.Top - 1), x)) {
        int32_t y = Inner.Top;
        while (y <= Inner.Bottom && y - Inner.Top <= down && IsDark(Page.Lines(y), x)) ++y;
        FFromTop[x] = wedge(y - Inner.Top, down);
      }
      if (Inner.Bottom < height - 1 && IsDark(Page.Lines(Inner.Bottom + 1), x)) {
        int32_t y = Inner.Bottom;
        while (y >= Inner.Top && Inner.Bottom - y <= down && IsDark(Page.Lines(y), x)) --y;
        FFromBottom[x] = wedge(Inner.Bottom - y, down);
      }
    }
    // Dips up to 2 mm go, and peaks up to 10 mm (the tallest letter is 8 mm).
    const int32_t fillY = Round(Page.YResolution() / 25.0), peakY = Round(Page.YResolution() / 5.0);
    const int32_t fillX = Round(Page.XResolution() / 25.0), peakX = Round(Page.XResolution() / 5.0);
    SmoothWedge(FFromLeft, Inner.Top, Inner.Bottom, fillY, peakY);
    SmoothWedge(FFromRight, Inner.Top, Inner.Bottom, fillY, peakY);
    SmoothWedge(FFromTop, Inner.Left, Inner.Right, fillX, peakX);
    SmoothWedge(FFromBottom, Inner.Left, Inner.Right, fillX, peakX);
  }

  bool At(int32_t X, int32_t Y) const {
    return X - FInner.Left < FFromLeft[Y] || FInner.Right - X < FFromRight[Y] ||
           Y - FInner.Top < FFromTop[X] || FInner.Bottom - Y < FFromBottom[X];
  }

  // Shrinks Rect over the wedges: each round moves in the side whose line holds the largest
  // share of surround pixels, while one holds at least a trace and its surround has thinned
  // within the last Patience moves of that side. Moving a side changes the lines of the two
  // sides beside it by their end pixel only.
  void Shrink(TDIB::TRect& Rect, int32_t Patience) const {
    int32_t* edges[4] = {&Rect.Left, &Rect.Top, &Rect.Right, &Rect.Bottom};
    int32_t counts[4] = {Column(Rect.Left, Rect), Line(Rect.Top, Rect), Column(Rect.Right, Rect),
                         Line(Rect.Bottom, Rect)};
    int32_t least[4] = {counts[0], counts[1], counts[2], counts[3]};
    int32_t stalled[4] = {0, 0, 0, 0};
    while (Rect.Left < Rect.Right && Rect.Top < Rect.Bottom) {
      const int32_t lengths[4] = {Rect.Bottom - Rect.Top + 1, Rect.Right - Rect.Left + 1,
                                  Rect.Bottom - Rect.Top + 1, Rect.Right - Rect.Left + 1};
      int32_t side = -1;
      double share = 0;
      for (int32_t i = 0; i < 4; ++i) {
        const double s = static_cast<double>(counts[i]) / lengths[i];
        if (counts[i] > 0 && counts[i] * kTrace >= lengths[i] && stalled[i] <= Patience &&
            s > share) {
          share = s;
          side = i;
        }
      }
      if (side < 0) return;
      // The end pixels of the line that goes, which the lines beside it lose.
      const bool vertical = side % 2 == 0;
      const int32_t at = *edges[side];
      const int32_t before = vertical ? (At(at, Rect.Top) ? 1 : 0) : (At(Rect.Left, at) ? 1 : 0);
      const int32_t after = vertical ? (At(at, Rect.Bottom) ? 1 : 0) : (At(Rect.Right, at) ? 1 : 0);
      *edges[side] += side < 2 ? 1 : -1;
      counts[(side + 1) % 4] -= side == 0 || side == 3 ? before : after;
      counts[(side + 3) % 4] -= side == 0 || side == 3 ? after : before;
      counts[side] = vertical ? Column(*edges[side], Rect) : Line(*edges[side], Rect);
      // A wedge thins as the side moves in; surround that does not is a mark of the page
      // (a blotch or a letter on the border), and the side stops at it.
      if (counts[side] < least[side]) {
        least[side] = counts[side];
        stalled[side] = 0;
      } else {
        ++stalled[side];
      }
    }
  }

  // Moves the sides of Rect back out, up to those of Walked, over the ink that the shrinking
  // cut in two: the letters of a text cut off by the sheet's edge lie between the surround's
  // wedges. Connected dark pixels across a side (followed Depth lines inside it) that are not
  // joined to the surround outside the walk's edge, lie mostly outside its wedges and are
  // larger than a speck (Size.first pixels along or across the side) and no longer along it
  // than a letter (Size.second) are the page's; the side moves out to take all of them.
  template <class TIsDark>
  void Restore(const TDIB& Page, TDIB::TRect& Rect, const TDIB::TRect& Walked,
               std::pair<int32_t, int32_t> Size, int32_t Depth, TIsDark&& IsDark) const {
    const int32_t width = Page.Width(), height = Page.Height();
    const TSideFrame sides[4] = {
        {true, Walked.Left, 1, Rect.Top, Rect.Bottom, Walked.Left == 0},
        {false, Walked.Top, 1, Rect.Left, Rect.Right, Walked.Top == 0},
        {true, Walked.Right, -1, Rect.Top, Rect.Bottom, Walked.Right == width - 1},
        {false, Walked.Bottom, -1, Rect.Left, Rect.Right, Walked.Bottom == height - 1}};
    int32_t* edges[4] = {&Rect.Left, &Rect.Top, &Rect.Right, &Rect.Bottom};
    for (int32_t i = 0; i < 4; ++i) {
      // Along a band the frame runs the page's whole side: what reaches the page's other
      // sides there is the surround's, not a letter (the shadow of a hand in a corner).
      TSideFrame f = sides[i];
      if (FBands[i]) {
        f.From = 0;
        f.To = (f.Vertical ? height : width) - 1;
        f.AtEnds = true;
      }
      const int32_t shrunk = f.Step * (*edges[i] - f.Edge);
      if (shrunk <= 0) continue;
      auto dark = FrameDark(Page, f, IsDark);
      auto wedge = [&](int32_t T, int32_t J) { return At(f.X(T, J), f.Y(T, J)); };
      const int32_t across = f.Vertical ? Walked.Right - Walked.Left : Walked.Bottom - Walked.Top;
      const int32_t lines = std::min(shrunk + Depth, across + 1);
      *edges[i] = f.Edge + f.Step * OutermostInk(f, shrunk, lines, Size, dark, wedge);
    }
  }

 private:
  int32_t Column(int32_t X, const TDIB::TRect& Rect) const {
    int32_t n = 0;
    for (int32_t y = Rect.Top; y <= Rect.Bottom; ++y) n += At(X, y);
    return n;
  }
  int32_t Line(int32_t Y, const TDIB::TRect& Rect) const {
    int32_t n = 0;
    for (int32_t x = Rect.Left; x <= Rect.Right; ++x) n += At(x, Y);
    return n;
  }

  // The runs of the book-edge bands along the sides that FBands marks, from the page's side.
  template <class TIsDark>
  void TakeBands(const TDIB& Page, TIsDark& IsDark, std::pair<int32_t, int32_t> Reach) {
    const std::array<TSideFrame, 4> sides = PageSides(Page);
    const int32_t across = (FInner.Right - FInner.Left + 1) * kLongestWedge / 1000;
    const int32_t down = (FInner.Bottom - FInner.Top + 1) * kLongestWedge / 1000;
    std::vector<int32_t>* runs[4] = {&FFromLeft, &FFromTop, &FFromRight, &FFromBottom};
    for (int32_t i = 0; i < 4; ++i) {
      if (!FBands[i]) continue;
      const TSideFrame& f = sides[i];
      auto dark = FrameDark(Page, f, IsDark);
      const int32_t longest = f.Vertical ? across : down;
      const int32_t allowance = f.Vertical ? Reach.first : Reach.second;
      const int32_t from = f.Vertical ? FInner.Top : FInner.Left;
      const int32_t to = f.Vertical ? FInner.Bottom : FInner.Right;
      for (int32_t j = from; j <= to; ++j) {
        const int32_t run =
            BandRun(longest + 1, allowance, allowance, [&](int32_t T) { return dark(T, j); });
        (*runs[i])[j] = run > longest ? 0 : run;
      }
    }
  }

  const TDIB::TRect FInner;
  const std::array<bool, 4> FBands;
  std::vector<int32_t> FFromLeft, FFromRight, FFromTop, FFromBottom;
};

// A surround is evenly dark; a band that holds ink clearly darker than most of it (more than
// one pixel in kInkShare darker by kInkContrast gray levels than its median) is the page's own
// dark paper with the text on it. Only gray and colour pages tell.
constexpr int32_t kInkShare = 50;
constexpr int32_t kInkContrast = 40;

// Every other pixel of a band is enough, across as along, where that leaves two lines at least:
// the outer line of a thin surround is mostly the gray of its edge, and seen alone it would
// pass for paper with the black of its inner line as the ink.
int32_t SampleStep(int32_t Size) {
  return Size >= 4 ? 2 : 1;
}

template <class TGray>
bool BandHoldsInk(const TDIB& Page, const TDIB::TRect& Band, TGray&& Gray) {
  std::vector<int64_t> counts(256);
  int64_t n = 0;
  const int32_t stepX = SampleStep(Band.Right - Band.Left + 1);
  const int32_t stepY = SampleStep(Band.Bottom - Band.Top + 1);
  for (int32_t y = Band.Top; y <= Band.Bottom; y += stepY) {
    const uint8_t* row = Page.Lines(y);
    for (int32_t x = Band.Left; x <= Band.Right; x += stepX) ++counts[Gray(row, x)];
  }
  for (int64_t c : counts) n += c;
  if (n == 0) return false;
  int32_t median = 0;
  for (int64_t below = counts[0]; 2 * below < n; below += counts[++median]) {
  }
  int64_t ink = 0;
  for (int32_t v = 0; v < median - kInkContrast; ++v) ink += counts[v];
  return ink * kInkShare > n;
}

bool HoldsInk(const TDIB& Page, const TDIB::TRect& Band) {
  if (Band.Left > Band.Right || Band.Top > Band.Bottom) return false;
  switch (Page.PixelType()) {
    case pt8bit:
      if (Page.WhiteIndex() == 255) {
        return BandHoldsInk(Page, Band, [](const uint8_t* row, int32_t x) { return row[x]; });
      }
      return BandHoldsInk(Page, Band,
                          [](const uint8_t* row, int32_t x) { return uint8_t(255 - row[x]); });
    case pt24bit:
      return BandHoldsInk(Page, Band,
                          [](const uint8_t* row, int32_t x) { return GrayOf24(row + 3 * x); });
    default:
      return false;
  }
}

// At most this share (in per cent) of the lines across a band do not start dark, however light
// the caller lets a border line be: the band is the sheet's edge only when nearly all do.
constexpr double kBandPercent = 10;

// The sides of Rect that lie at the page's side with a book-edge band along them: of the lines
// across the side, no more start light (BandRun) or lack 2 mm of paper after the band than a
// border line may hold light pixels, and no more than kBandPercent. The paper keeps a shadow
// that runs into the text from passing for a band.
template <class TIsDark>
std::array<bool, 4> BandSides(const TDIB& Page, const TDIB::TRect& Rect, double Percent,
                              std::pair<int32_t, int32_t> Reach, TIsDark&& IsDark) {
  const int32_t width = Page.Width(), height = Page.Height();
  const int32_t across = width * kLongestWedge / 1000, down = height * kLongestWedge / 1000;
  const double share = std::min(Percent, kBandPercent);
  const bool atSide[4] = {Rect.Left == 0, Rect.Top == 0, Rect.Right == width - 1,
                          Rect.Bottom == height - 1};
  const std::array<TSideFrame, 4> sides = PageSides(Page);
  std::array<bool, 4> bands{};
  for (int32_t i = 0; i < 4; ++i) {
    if (!atSide[i]) continue;
    const TSideFrame& f = sides[i];
    auto dark = FrameDark(Page, f, IsDark);
    const int32_t longest = f.Vertical ? across : down,
                  near = f.Vertical ? Reach.first : Reach.second;
    // A line across the band starts dark and has paper for twice Near pixels after it.
    int32_t lines = 0;
    for (int32_t j = f.From; j <= f.To; ++j) {
      auto darkAt = [&](int32_t T) { return dark(T, j); };
      const int32_t run = BandRun(longest, near, near, darkAt);
      if (run <= 0 || run >= longest) continue;
      int32_t t = run;
      while (t < run + 2 * near && !darkAt(t)) ++t;
      lines += t == run + 2 * near ? 1 : 0;
    }
    const int32_t count = f.To - f.From + 1;
    bands[i] = lines >= count - Round(count * share / 100);
  }
  return bands;
}

// Runs the four walks and the shrinking over the page's pixels, IsDark(Row, X) telling the
// dark ones.
template <class TIsDark>
void WalkSides(const TDIB& Page, int32_t Gap, TDIB::TRect& Rect, double Percent, TIsDark&& IsDark) {
  const int32_t width = Page.Width(), height = Page.Height();
  auto column = [&](bool FromRight) {
    return [&, FromRight](int32_t I, uint8_t* Flags) {
      const int32_t x = FromRight ? width - 1 - I : I;
      for (int32_t y = 0; y < height; ++y) Flags[y] = IsDark(Page.Lines(y), x);
    };
  };
  const int32_t xdpi = Page.XResolution(), ydpi = Page.YResolution();
  const int32_t gapX = Gap < 0 ? Round(xdpi / 25.0) : Gap,
                gapY = Gap < 0 ? Round(ydpi / 25.0) : Gap;
  // A light edge of about a millimetre at the side is crossed to the surround behind it.
  const int32_t edgeX = Round(xdpi / 25.0), edgeY = Round(ydpi / 25.0);
  const int32_t limitX = Round(height * Percent / 100);
  TSideWalk fromLeft(width, height, gapX, limitX, edgeX),
      fromRight(width, height, gapX, limitX, edgeX);
  Rect.Left = fromLeft.Walk(column(false));
  Rect.Right = width - 1 - fromRight.Walk(column(true));
  // Dark paper with text on it is not a surround: its side stays at the edge. The light edge
  // that the walk crossed is left out of the band: it is not the surround's.
  if (HoldsInk(Page, {fromLeft.First(), 0, Rect.Left - 1, height - 1})) Rect.Left = 0;
  if (HoldsInk(Page, {Rect.Right + 1, 0, width - 1 - fromRight.First(), height - 1})) {
    Rect.Right = width - 1;
  }
  // The lines count between the left and right edges only: a surround along a side, however
  // wide, would otherwise make every line look dark. (When every column is border, they count
  // over the whole width.)
  const bool none = Rect.Left > Rect.Right;
  const int32_t left = none ? 0 : Rect.Left, span = none ? width : Rect.Right - Rect.Left + 1;
  auto line = [&, left, span](bool FromBottom) {
    return [&, FromBottom](int32_t I, uint8_t* Flags) {
      const uint8_t* row = Page.Lines(FromBottom ? height - 1 - I : I);
      for (int32_t x = 0; x < span; ++x) Flags[x] = IsDark(row, left + x);
    };
  };
  const int32_t limitY = Round(span * Percent / 100);
  TSideWalk fromTop(height, span, gapY, limitY, edgeY),
      fromBottom(height, span, gapY, limitY, edgeY);
  Rect.Top = fromTop.Walk(line(false));
  Rect.Bottom = height - 1 - fromBottom.Walk(line(true));
  if (HoldsInk(Page, {left, fromTop.First(), left + span - 1, Rect.Top - 1})) Rect.Top = 0;
  if (HoldsInk(Page, {left, Rect.Bottom + 1, left + span - 1, height - 1 - fromBottom.First()})) {
    Rect.Bottom = height - 1;
  }
  if (none || Rect.Top > Rect.Bottom) return;
  // A side gives up surround that has not thinned over about 3 mm.
  const TDIB::TRect walked = Rect;
  const std::array<bool, 4> bands = BandSides(Page, Rect, Percent, {edgeX, edgeY}, IsDark);
  const TWedges wedges(Page, Rect, IsDark, bands, {edgeX, edgeY});
  wedges.Shrink(Rect, 3 * std::max(edgeX, edgeY));
  // Ink from about 1 mm on is more than a speck, and no letter is longer than 10 mm (as the
  // wedges' peaks); it is followed 2 mm into the rectangle.
  const int32_t mm = std::max(edgeX, edgeY);
  wedges.Restore(Page, Rect, walked, {mm, 10 * mm}, 2 * mm, IsDark);
  // On a page inside a surround, the sheet's edge along a side: up to 5 mm deep, longer than
  // any letter, beyond a light edge of about a millimetre at the page's side, and ragged by
  // up to 0.2 mm.
  const std::array<bool, 4> surrounded = {walked.Left > 0, walked.Top > 0, walked.Right < width - 1,
                                          walked.Bottom < height - 1};
  if (std::find(surrounded.begin(), surrounded.end(), true) != surrounded.end()) {
    // A book's page block along a side inside the surround: the band where the page leaves it
    // lies up to 30 mm in.
    bookedge::TakeBookEdges(Page, Rect, surrounded, std::min(Percent, kBandPercent),
                            {Round(xdpi * 30 / 25.4), mm, 10 * mm},
                            {Round(ydpi * 30 / 25.4), mm, 10 * mm}, IsDark);
    const int32_t noiseX = std::max(1, Round(xdpi / 127.0)),
                  noiseY = std::max(1, Round(ydpi / 127.0));
    sheetedge::TrimSheetEdges(Page, Rect, {5 * edgeX, 10 * edgeY, edgeX, noiseX, edgeX},
                              {5 * edgeY, 10 * edgeX, edgeY, noiseY, edgeY}, IsDark);
  }
  // Less than half the page in either direction inside the surround: the page's own paper is
  // darker than middle gray (a dim photograph of a page), and its text would go with the
  // "surround". The page is left whole.
  if (2 * (Rect.Right - Rect.Left + 1) < width || 2 * (Rect.Bottom - Rect.Top + 1) < height) {
    Rect = {0, 0, width - 1, height - 1};
  }
}

}  // namespace

void TDIB::DetectBlackBorder(int32_t Gap, TRect& Rect, double Percent) const {
  Rect = {0, 0, Width() - 1, Height() - 1};
  if (Empty() || Width() <= 0 || Height() <= 0) return;
  WithBorderDark(*this, [&](auto IsDark, auto) { WalkSides(*this, Gap, Rect, Percent, IsDark); });
}
