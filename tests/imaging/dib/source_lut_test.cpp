#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "dibunit.h"
#include "source_pages.h"

namespace {

constexpr int kIdentity = -1;
constexpr int kSkip = -2;

using TTableMaker = void (*)(TDIB::TLookupTable&, double);

struct LUTCase {
  const char* name;
  TTableMaker make;
  double percentage;
  // Entries given as runs: from each key up to the next key, entries are the value, or the
  // identity (kIdentity), or are not checked (kSkip).
  std::map<int, int> runs;
};

// The table a case describes, entry by entry.
std::vector<int> Expected(const LUTCase& c) {
  std::vector<int> entries(256, -1);
  for (auto it = c.runs.begin(); it != c.runs.end(); ++it) {
    int end = std::next(it) == c.runs.end() ? 256 : std::next(it)->first;
    for (int i = it->first; i < end; ++i) entries[i] = it->second == kIdentity ? i : it->second;
  }
  return entries;
}

class LookupTables : public ::testing::TestWithParam<LUTCase> {};

TEST_P(LookupTables, WholeTable) {
  const LUTCase& c = GetParam();
  TDIB::TLookupTable table;
  std::memset(table, 77, sizeof table);
  c.make(table, c.percentage);
  std::vector<int> expected = Expected(c);
  for (int i = 0; i < 256; ++i) {
    if (expected[i] >= 0) {
      EXPECT_EQ(table[i], expected[i]) << "entry " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Percentages, LookupTables,
    ::testing::Values(
        LUTCase{"contrast0", TDIB::ContrastLUT, 0, {{0, kIdentity}}},
        // 2i - 127: entry 0 clamps from -127, 127 stays, 191 and up clamp to 255.
        LUTCase{"contrast100",
                TDIB::ContrastLUT,
                100,
                {{0, 0},
                 {64, 1},
                 {65, 3},
                 {66, kSkip},
                 {127, 127},
                 {128, kSkip},
                 {190, 253},
                 {191, 255}}},
        LUTCase{"contrastMinus100", TDIB::ContrastLUT, -100, {{0, 127}}},
        // 0 + 63.5 and 2 + 62.5 round to the even 64; 255 - 64 = 191.
        LUTCase{
            "contrastMinus50", TDIB::ContrastLUT, -50, {{0, 64}, {3, 65}, {4, kSkip}, {255, 191}}},
        LUTCase{"contrast1000",
                TDIB::ContrastLUT,
                1000,
                {{0, 0}, {116, 6}, {117, kSkip}, {127, 127}, {128, kSkip}, {139, 255}}},
        LUTCase{"gain0", TDIB::GainLUT, 0, {{0, kIdentity}}},
        LUTCase{"gainMinus100", TDIB::GainLUT, -100, {{0, 0}}},
        LUTCase{"gain100",
                TDIB::GainLUT,
                100,
                {{0, 0}, {1, 2}, {2, 4}, {3, kSkip}, {127, 254}, {128, 255}}},
        // 1.5 rounds to 2, 4.5 to 4.
        LUTCase{"gain50",
                TDIB::GainLUT,
                50,
                {{0, 0}, {1, 2}, {2, 3}, {3, 4}, {4, 6}, {5, kSkip}, {170, 255}}},
        LUTCase{"gainMinus1000", TDIB::GainLUT, -1000, {{0, 0}}},
        LUTCase{"stretch0", TDIB::StretchLUT, 0, {{0, kIdentity}}},
        LUTCase{"stretch100", TDIB::StretchLUT, 100, {{0, 0}, {128, 255}}},
        // a = 64: 64 .. 191 map onto 0 .. 255; (128 - 64) * 255 / 127 = 128.5039.
        LUTCase{"stretch50",
                TDIB::StretchLUT,
                50,
                {{0, 0},
                 {65, 2},
                 {66, 4},
                 {67, kSkip},
                 {128, 129},
                 {129, 131},
                 {130, kSkip},
                 {190, 253},
                 {191, 255}}},
        // a = -64: (j + 64) * 255 / 383, nothing forced.
        LUTCase{
            "stretchMinus50", TDIB::StretchLUT, -50, {{0, 43}, {2, 44}, {3, kSkip}, {254, 212}}},
        // a = 127 and 129: the forced ranges touch, then overlap.
        LUTCase{"stretchA127", TDIB::StretchLUT, 127 * 200.0 / 255, {{0, 0}, {128, 255}}},
        LUTCase{"stretchA129", TDIB::StretchLUT, 129 * 200.0 / 255, {{0, 0}, {127, 255}}},
        LUTCase{"stretch200", TDIB::StretchLUT, 200, {{0, 0}, {1, 255}}},
        // a of 256 and beyond would index past the table.
        LUTCase{"stretch201", TDIB::StretchLUT, 201, {{0, 255}}},
        LUTCase{"stretch100000", TDIB::StretchLUT, 100000, {{0, 255}}},
        LUTCase{"stretchMinus1e9", TDIB::StretchLUT, -1e9, {{0, 127}, {128, 128}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LookupTables, PercentageThatIsNoNumberRaises) {
  TDIB::TLookupTable table;
  for (TTableMaker make : {TDIB::ContrastLUT, TDIB::GainLUT, TDIB::StretchLUT}) {
    EXPECT_THROW(make(table, std::nan("")), Exception);
  }
}

TEST(ApplyLUT, MapsPixelBytesAndLeavesThePadding) {
  TDIB::TLookupTable table;
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i / 2);
  for (uint8_t type : {pt8bit, pt24bit}) {
    auto page = PatternPage(7, 5, type);
    std::memset(page->Bits(), 0, 5 * page->Stride());
    for (int y = 0; y < 5; ++y) {
      std::memset(page->Lines(y) + page->LineBytes(), 9, page->Stride() - page->LineBytes());
      for (int i = 0; i < page->LineBytes(); ++i)
        page->Lines(y)[i] = static_cast<uint8_t>(i * 11 + y);
    }
    page->ApplyLUT(table);
    for (int y = 0; y < 5; ++y) {
      for (int i = 0; i < page->LineBytes(); ++i) {
        EXPECT_EQ(page->Lines(y)[i], table[(i * 11 + y) & 0xFF]) << +type << " " << i << "," << y;
      }
      for (int i = page->LineBytes(); i < page->Stride(); ++i) EXPECT_EQ(page->Lines(y)[i], 9);
    }
  }
}

TEST(AdjustContrastAndBrightness, ApplyTheirTables) {
  TDIB page;
  page.NewImage(3, 1, pt8bit, 300, 300);
  auto setRow = [&] {
    page.SetPixel(0, 0, 10);
    page.SetPixel(1, 0, 127);
    page.SetPixel(2, 0, 200);
  };
  auto row = [&] {
    return std::vector<int>{page.GetPixel(0, 0), page.GetPixel(1, 0), page.GetPixel(2, 0)};
  };
  setRow();
  page.AdjustContrast(true, 100);
  EXPECT_EQ(row(), (std::vector<int>{0, 127, 255}));
  setRow();
  page.AdjustContrast(false, 50);  // a = 64: 63 * 255 / 127 = 126.5 rounds to the even 126
  EXPECT_EQ(row(), (std::vector<int>{0, 126, 255}));
  setRow();
  page.AdjustContrast(false, 10);  // a = 13: (j - 13) * 255 / 229
  EXPECT_EQ(row(), (std::vector<int>{0, 127, 208}));
  setRow();
  page.AdjustBrightness(-50);
  EXPECT_EQ(row(), (std::vector<int>{5, 64, 100}));
}

}  // namespace
