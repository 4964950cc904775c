// The pipeline end to end on whole pages: the generated A4 page and real scans.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "ProcessingPipeline.h"
#include "pagegen.h"
#include "scanmeasures.h"
#include "testdata.h"

namespace {

// The first-start settings with despeckle, black-border removal and auto-crop on, set for a
// sheet on a dark backing. The corners that deskewing uncovers are filled black: white corners
// would stand between the page side and the dark surround, and the border search stops at the
// first line that is not dark. And a line counts as border from 30 per cent dark on: the line
// where the straightened sheet's edge meets the surround is only partly dark, and left on the
// page it would count as content for auto-crop.
TProcessingPipeline DarkBackingPipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = true;
  p.Checks.BlackBorderRemoval = true;
  p.Checks.AutoCrop = true;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 30;
  p.ScanRequest.Threshold = 128;
  return p;
}

bool Dark(const TDIB& page, int32_t x, int32_t y) {
  const int32_t v = page.GetPixel(x, y);
  return page.PixelType() == pt1bit ? v == page.BlackIndex() : v < 128;
}

// The darkest of the first and last Band lines and columns, in per cent: a frame left on the
// page shows as a side line that is mostly dark.
double DarkestSideLine(const TDIB& page, int32_t band) {
  const int32_t w = page.Width(), h = page.Height();
  double darkest = 0;
  for (int32_t i = 0; i < band; ++i) {
    for (int32_t y : {i, h - 1 - i}) {
      int32_t dark = 0;
      for (int32_t x = 0; x < w; ++x) dark += Dark(page, x, y);
      darkest = std::max(darkest, 100.0 * dark / w);
    }
    for (int32_t x : {i, w - 1 - i}) {
      int32_t dark = 0;
      for (int32_t y = 0; y < h; ++y) dark += Dark(page, x, y);
      darkest = std::max(darkest, 100.0 * dark / h);
    }
  }
  return darkest;
}

// The letters of the text area, found on the page's ink with a blank pixel around it, so that
// a letter that a crop leaves whole at a side still counts.
int32_t TextLetterCount(const TDIB& Page) {
  const TInkMap ink = InkOf(Page);
  TInkMap framed;
  framed.Width = ink.Width + 2;
  framed.Height = ink.Height + 2;
  framed.Dark.assign(static_cast<size_t>(framed.Width) * framed.Height, 0);
  for (int32_t y = 0; y < ink.Height; ++y) {
    std::copy_n(ink.Dark.begin() + static_cast<ptrdiff_t>(y) * ink.Width, ink.Width,
                framed.Dark.begin() + static_cast<ptrdiff_t>(y + 1) * framed.Width + 1);
  }
  return static_cast<int32_t>(TextLetters(LettersOf(framed, Page.XResolution()).Blobs).size());
}

// The reference page with a wider margin, its sheet turned by Skew degrees, specks by Seed.
TPageOptions TurnedPageOptions(double Skew, uint32_t Seed) {
  TPageOptions o = ReferencePageOptions(pt8bit);
  o.Margin = 520;
  o.SkewDegrees = Skew;
  o.Seed = Seed;
  return o;
}

class ReferencePage : public testing::TestWithParam<uint8_t> {};

// A gray A4 page at 300 dpi, its sheet skewed by 2 degrees inside a dark surround, with
// speckles; the text block fits a Statement sheet, one of the default paper sizes.
TEST_P(ReferencePage, ComesOutStraightCleanAndCropped) {
  TPageOptions o = ReferencePageOptions(pt8bit);
  o.Margin = 520;
  auto page = MakeReferencePage(o);
  TProcessingPipeline p = DarkBackingPipeline();
  const uint8_t target = GetParam();
  p.ProcessPage(*page, target, 300, 300);

  EXPECT_EQ(page->PixelType(), target == pt1bit ? pt1bit : pt8bit);
  EXPECT_LT(std::fabs(page->DetectSkew(0, 0.1, 4)), 0.15);
  // Statement at 300 dpi, one pixel wider and higher, as auto-crop cuts it. A gray or colour
  // page is not despeckled: a column of specks left of the text is content, 30 pixels more
  // than the paper holds, and the crop widens to keep it and the text's right side, and the
  // letters whole whose sparse last columns at either side count as margin.
  EXPECT_EQ(page->Width(), target == pt1bit ? 1651 : 1686);
  EXPECT_EQ(page->Height(), 2551);
  EXPECT_EQ(page->XResolution(), 300);
  // No frame along the sides, and the text still there.
  EXPECT_LT(DarkestSideLine(*page, 30), 50.0);  // a text line may lie along a side, not a frame
  int32_t ink = 0;
  for (int32_t x = 0; x < page->Width(); ++x) ink += Dark(*page, x, page->Height() / 2);
  EXPECT_GT(ink, 0);
  // Despeckled: of the 2000 specks none is left but a piece or two that the crop cut off a
  // larger blob.
  if (target == pt1bit) {
    TDIB::TBlobList specks;
    page->FindBlobs(0, 0, 0, 3, 3, INT_MAX, &specks);
    EXPECT_LE(specks.Count(), 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, ReferencePage, testing::Values(pt1bit, pt8bit, pt24bit),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

// The same page with its sheet turned a little less or more, to black and white: the tips of
// the turned surround's wedges (a few pixels deep, broken by thresholding) go with the
// surround, so that auto-crop finds the sheet again.
TEST(ReferencePageTurned, ComesOutCroppedAlike) {
  for (double skew : {1.9, 2.0, 2.1}) {
    for (uint32_t seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(testing::Message() << skew << " degrees, specks " << seed);
      auto page = MakeReferencePage(TurnedPageOptions(skew, seed));
      DarkBackingPipeline().ProcessPage(*page, pt1bit, 300, 300);
      EXPECT_EQ(page->Width(), 1651);
      EXPECT_EQ(page->Height(), 2551);
    }
  }
}

// To gray, where nothing removes the specks: a line or column of the margin that crosses a few
// of them counts as content, and auto-crop then keeps them and every letter, on a Statement
// crop or a larger one (or none when no paper is near).
TEST(ReferencePageTurned, ToGrayKeepsEveryLetter) {
  for (double skew : {1.9, 2.0, 2.1}) {
    for (uint32_t seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(testing::Message() << skew << " degrees, specks " << seed);
      const auto source = MakeReferencePage(TurnedPageOptions(skew, seed));
      TProcessingPipeline p = DarkBackingPipeline();
      auto kept = source->Duplicate();
      p.Checks.AutoCrop = false;
      p.ProcessPage(*kept, pt8bit, 300, 300);
      auto cut = source->Duplicate();
      p.Checks.AutoCrop = true;
      p.ProcessPage(*cut, pt8bit, 300, 300);
      EXPECT_GE(cut->Width(), 1651);
      EXPECT_GE(cut->Height(), 2551);
      EXPECT_EQ(TextLetterCount(*cut), TextLetterCount(*kept));
    }
  }
}

// Real scans through the pipeline for every target. With CLARIVO_SAVE_RESULTS set to a folder
// the results are saved there as BMP for a person to look at.
TEST(RealScans, GoThroughThePipelineForEveryTarget) {
  std::vector<std::string> files = TestDataFiles("scans");
  if (files.empty()) GTEST_SKIP() << "../shared/testdata/scans is absent";
  const char* save = std::getenv("CLARIVO_SAVE_RESULTS");
  int processed = 0;
  for (const std::string& file : files) {
    for (uint8_t target : {pt1bit, pt8bit, pt24bit}) {
      TDIB page;
      try {
        page.LoadFromFile(file);
      } catch (const Exception& e) {
        break;  // not a page the library reads (licence texts, ground truth of other kinds)
      }
      SCOPED_TRACE(file + " to type " + std::to_string(target));
      TProcessingPipeline p;
      p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = true;
      p.ScanRequest.Threshold = 128;
      const int32_t dpi = page.XResolution() > 0 ? page.XResolution() : 300;
      ASSERT_NO_THROW(p.ProcessPage(page, target, dpi, dpi));
      ASSERT_FALSE(page.Empty());
      EXPECT_GT(page.Width(), 0);
      ++processed;
      if (save != nullptr) {
        std::string name = std::filesystem::path(file).stem().string();
        page.SaveToFile(std::string(save) + "/" + name + "-" + std::to_string(target) + ".bmp");
      }
    }
  }
  EXPECT_GT(processed, 0);
}

}  // namespace
