// The tests' own measures on a page of browned paper, darker than middle gray as old print is
// scanned: they read its paper as paper, and find the letters and the surround that they find
// on the same page on white paper.
#include <gtest/gtest.h>

#include <algorithm>

#include "pagegen.h"
#include "scanmeasures.h"

namespace {

// The 8-bit page with every gray value scaled by Percent.
std::unique_ptr<TDIB> Darkened(const TDIB& Page, int32_t Percent) {
  auto page = Page.Duplicate();
  for (int32_t y = 0; y < page->Height(); ++y) {
    uint8_t* row = page->Lines(y);
    std::transform(row, row + page->Width(), row,
                   [&](uint8_t g) { return static_cast<uint8_t>(g * Percent / 100); });
  }
  return page;
}

int32_t TextLetterCount(const TDIB& Page) {
  const TInkMap ink = InkOf(Page, InkLevel(Page));
  return static_cast<int32_t>(TextLetters(LettersOf(ink, Page.XResolution()).Blobs).size());
}

TEST(ScanMeasures, InkLevelFollowsOnlyDarkPaper) {
  const auto page = MakeReferencePage(ReferencePageOptions(pt8bit));
  const struct {
    int32_t Percent;  // of the paper's gray 240
    int32_t Level;
  } cases[] = {{100, 128}, {80, 128}, {55, 132 - 64}, {40, 96 - 64}};
  for (const auto& c : cases) {
    EXPECT_EQ(InkLevel(*Darkened(*page, c.Percent)), c.Level) << c.Percent;
  }
  EXPECT_EQ(InkLevel(*MakeReferencePage(ReferencePageOptions(pt1bit))), 128);
}

TEST(ScanMeasures, BrownedPaperKeepsItsLettersAndSurround) {
  const auto white = MakeReferencePage(ReferencePageOptions(pt8bit));
  const auto browned = Darkened(*white, 50);
  const int32_t letters = TextLetterCount(*white);
  ASSERT_GT(letters, 1000);
  EXPECT_NEAR(TextLetterCount(*browned), letters, letters / 100);
  const int64_t surround = SurroundLeft(*white, 300);
  ASSERT_GT(surround, 0);
  EXPECT_NEAR(SurroundLeft(*browned, 300), surround, surround / 100);
}

}  // namespace
