#include "dibunit_components.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace {

// Pixels 64 J .. 64 J + 63 of a 1-bit row as a word, the first pixel in the high bit; the
// bytes at and after End (the bytes of the line that hold pixels) count as 0.
uint64_t WordAt(const uint8_t* Row, int32_t J, int32_t End) {
  const int32_t from = 8 * J;
  if (End - from >= 8) {
    uint64_t word;
    std::memcpy(&word, Row + from, sizeof word);
    return std::endian::native == std::endian::big ? word : __builtin_bswap64(word);
  }
  uint64_t word = 0;
  for (int32_t i = 0; i < 8; ++i) word = word << 8 | (from + i < End ? Row[from + i] : 0);
  return word;
}

// Appends the runs of one line of Width pixels whose bit equals Foreground, left to right.
// A run starts at a foreground pixel after a background one and ends before a background
// pixel after a foreground one; the edges of a word are found all at once. A line's edges
// alternate between starts and ends, so they are listed first (in Edges, room for one per
// pixel) and paired afterwards, with no guess about which kind comes next.
void LineRuns(const uint8_t* Row, int32_t Width, bool Foreground, int32_t* Edges,
              std::vector<TRun>& Runs) {
  const int32_t bytes = (Width + 7) / 8, words = (Width + 63) / 64;
  int32_t n = 0;
  uint64_t before = 0;  // the pixel before the word, in the high bit
  for (int32_t j = 0; j < words; ++j) {
    uint64_t word = WordAt(Row, j, bytes);
    if (!Foreground) word = ~word;
    const int32_t rest = Width - 64 * j;
    if (rest < 64) word &= ~uint64_t{0} << (64 - rest);
    uint64_t edges = word ^ (word >> 1 | before);  // against each pixel's left neighbour
    while (edges != 0) {
      const int32_t b = __builtin_clzll(edges);
      Edges[n++] = 64 * j + b;
      edges ^= (uint64_t{1} << 63) >> b;
    }
    before = word << 63;
  }
  const size_t first = Runs.size();
  Runs.resize(first + static_cast<size_t>((n + 1) / 2));
  TRun* runs = Runs.data() + first;
  for (int32_t k = 0; k + 1 < n; k += 2) runs[k / 2] = {Edges[k], Edges[k + 1] - 1};
  if ((n & 1) != 0) runs[n / 2] = {Edges[n - 1], Width - 1};
}

// The union-find over the runs, in the search's table.
class TUnion {
 public:
  TUnion(std::vector<int32_t>& Parent, size_t Size) : FParent(Parent) {
    FParent.resize(Size);
    for (size_t i = 0; i < Size; ++i) FParent[i] = static_cast<int32_t>(i);
  }
  int32_t Find(int32_t I) {
    while (FParent[I] != I) {
      FParent[I] = FParent[FParent[I]];
      I = FParent[I];
    }
    return I;
  }
  // Every run's parent is the run itself or one before it. Puts the lone run A into the set of
  // B < A.
  void Adopt(int32_t A, int32_t B) { FParent[A] = Find(B); }
  // The root of a set is its smallest member.
  void Join(int32_t A, int32_t B) {
    A = Find(A);
    B = Find(B);
    if (A < B) {
      FParent[B] = A;
    } else if (B < A) {
      FParent[A] = B;
    }
  }

 private:
  std::vector<int32_t>& FParent;
};

// Joins the runs First .. End - 1 of a line with the runs AboveFirst .. AboveEnd - 1 of the
// line above that touch them; both run left to right.
void JoinLines(TUnion& Sets, const std::vector<TRun>& Runs, int32_t AboveFirst, int32_t AboveEnd,
               int32_t First, int32_t End) {
  int32_t a = AboveFirst;
  for (int32_t c = First; c < End; ++c) {
    const TRun run = Runs[c];
    while (a < AboveEnd && Runs[a].Last + 1 < run.First) ++a;
    int32_t q = a;
    if (q >= AboveEnd || Runs[q].First > run.Last + 1) continue;
    Sets.Adopt(c, q);  // c joins no set before its first neighbour above
    for (++q; q < AboveEnd && Runs[q].First <= run.Last + 1; ++q) Sets.Join(c, q);
  }
}

}  // namespace

const std::vector<TComponent>& FindComponents(const TDIB& Page, bool Foreground,
                                              TComponentSearch& Search) {
  const int32_t width = Page.Width(), height = Page.Height();
  std::vector<TRun>& runs = Search.Runs;
  std::vector<int32_t>& lineStart = Search.LineStart;
  runs.clear();
  lineStart.resize(static_cast<size_t>(height) + 1);
  Search.Edges.resize(static_cast<size_t>(width) + 1);
  for (int32_t y = 0; y < height; ++y) {
    lineStart[y] = static_cast<int32_t>(runs.size());
    LineRuns(Page.Lines(y), width, Foreground, Search.Edges.data(), runs);
  }
  lineStart[height] = static_cast<int32_t>(runs.size());

  TUnion sets(Search.Parent, runs.size());
  for (int32_t y = 1; y < height; ++y) {
    JoinLines(sets, runs, lineStart[y - 1], lineStart[y], lineStart[y], lineStart[y + 1]);
  }

  // A component's root is its first run in the line-by-line scan, met before its other runs;
  // and every run's parent comes before it, so that its component is known when it is met.
  std::vector<TComponent>& components = Search.Components;
  std::vector<int64_t>& counts = Search.Counts;
  std::vector<int32_t>& index = Search.Index;
  const std::vector<int32_t>& parent = Search.Parent;
  components.clear();
  counts.clear();
  index.resize(runs.size());
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t r = lineStart[y]; r < lineStart[y + 1]; ++r) {
      const TRun run = runs[r];
      if (parent[r] == r) {
        index[r] = static_cast<int32_t>(components.size());
        components.push_back({run.First, y, run.First, y, run.Last, y, 0});
        counts.push_back(0);
      } else {
        index[r] = index[parent[r]];
      }
      const int32_t i = index[r];
      TComponent& c = components[i];
      if (run.First < c.FirstX) {
        c.FirstX = run.First;
        c.FirstY = y;
      }
      c.Left = std::min(c.Left, run.First);
      c.Right = std::max(c.Right, run.Last);
      c.Bottom = y;
      counts[i] += run.Last - run.First + 1;
    }
  }
  for (size_t i = 0; i < components.size(); ++i) {
    components[i].Count = static_cast<int32_t>(std::min<int64_t>(counts[i], INT32_MAX));
  }
  return components;
}
