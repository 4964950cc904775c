#include "ProcessingPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "pagegen.h"

namespace {

TScanRequest Request(int32_t dpi, double width, double height, int32_t type = 0) {
  TScanRequest r{};
  r.XResolution = r.YResolution = dpi;
  r.PageWidth = width;
  r.PageHeight = height;
  r.PixelType = type;
  r.Threshold = 128;
  return r;
}

// A pipeline with every step off, so that a test turns on only what it looks at.
TProcessingPipeline Bare(std::vector<std::string>* log = nullptr) {
  TProcessingPipeline p;
  p.Checks = {};
  p.Checks.Deskew = false;
  p.Checks.Thresholding = false;
  p.ScanRequest = Request(300, 8.27, 11.69);
  if (log != nullptr) p.Log = [log](const std::string& line) { log->push_back(line); };
  return p;
}

std::unique_ptr<TDIB> Page(int32_t w, int32_t h, uint8_t type, int32_t dpi, uint8_t value) {
  auto page = std::make_unique<TDIB>();
  page->NewImage(w, h, type, dpi, dpi);
  page->Fill(value);
  return page;
}

TEST(ScanRequestCheck, RefusesAbsurdRequests) {
  EXPECT_NO_THROW(CheckScanRequest(Request(300, 8.27, 11.69, 2)));
  EXPECT_NO_THROW(CheckScanRequest(Request(1200, 11, 17, 0)));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    TScanRequest request;
    const char* text;
  } cases[] = {
      {Request(0, 8.27, 11.69), "resolution"},
      {Request(-300, 8.27, 11.69), "resolution"},
      {Request(300, nan, 11.69), "page width"},
      {Request(300, 8.27, -1), "page height"},
      {Request(300, 0, 11.69), "page width"},
      {Request(1, 0.4, 11.69), "page width"},  // rounds to 0 pixels
      {Request(1, 8.27, 0.4), "page height"},
      {Request(300, 8.27, std::numeric_limits<double>::infinity()), "page height"},
      {Request(1200, 100, 11), "page width"},         // beyond 65535 pixels
      {Request(2400, 20, 27, 2), "Image too large"},  // a block beyond 1 GiB
  };
  for (const auto& c : cases) {
    try {
      CheckScanRequest(c.request);
      ADD_FAILURE() << c.text;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
    }
  }
}

TEST(Pipeline, TargetTypesAndPaperLists) {
  EXPECT_EQ(TargetPixelType(0), pt1bit);
  EXPECT_EQ(TargetPixelType(1), pt8bit);
  EXPECT_EQ(TargetPixelType(2), pt24bit);
  EXPECT_EQ(TargetPixelType(5), 0);
  EXPECT_EQ(PaperList(56), "A3;Statement;Letter;");
  EXPECT_EQ(PaperList(0), "");
  EXPECT_EQ(PaperList(255), "A6;A5;A4;A3;Statement;Letter;Legal;Ledger;");
}

TEST(Pipeline, FixedThresholdWithoutDynamicThresholding) {
  TProcessingPipeline p = Bare();
  p.ScanRequest.Threshold = 0x7F00 | 150;  // only the low byte counts
  for (uint8_t gray : {149, 150, 151}) {
    auto page = Page(40, 30, pt8bit, 300, gray);
    p.ProcessPage(*page, pt1bit, 300, 300);
    ASSERT_EQ(page->PixelType(), pt1bit);
    EXPECT_EQ(page->GetPixel(5, 5), gray > 150 ? page->WhiteIndex() : page->BlackIndex());
  }
}

TEST(Pipeline, DynamicThresholdingAlgorithmsGiveOneBitPages) {
  for (int32_t algo : {0, 1, 2, 7}) {
    TProcessingPipeline p = Bare();
    p.Checks.Thresholding = true;
    p.Parameters.Algo = algo;
    TPageOptions o;
    o.Width = 400;
    o.Height = 300;
    o.Margin = 40;
    auto page = MakeReferencePage(o);
    p.ProcessPage(*page, pt1bit, 300, 300);
    EXPECT_EQ(page->PixelType(), pt1bit) << algo;
    EXPECT_EQ(page->GetPixel(5, 5), page->WhiteIndex()) << algo;  // paper
  }
}

// The small reference page with its paper and ink grays moved to Paper and Ink.
std::unique_ptr<TDIB> PaperAndInk(uint8_t Paper, uint8_t Ink) {
  TPageOptions o;
  o.Width = 400;
  o.Height = 300;
  o.Margin = 40;
  auto page = MakeReferencePage(o);
  for (int32_t y = 0; y < page->Height(); ++y) {
    uint8_t* row = page->Lines(y);
    std::transform(row, row + page->Width(), row, [&](uint8_t g) {
      return static_cast<uint8_t>(Ink + (g - kInkGray) * (Paper - Ink) / (kPaperGray - kInkGray));
    });
  }
  return page;
}

int64_t DifferentPixels(const TDIB& A, const TDIB& B) {
  int64_t count = 0;
  for (int32_t y = 0; y < A.Height(); ++y) {
    for (int32_t x = 0; x < A.Width(); ++x) count += A.GetPixel(x, y) != B.GetPixel(x, y);
  }
  return count;
}

// "Dynamic Local" decides the plain paper by a level below the page's own paper: browned paper
// darker than middle gray comes out white with its letters, as the same page on white paper,
// and a page on paper from 192 up keeps the middle level 128.
TEST(Pipeline, DynamicLocalKeepsPaperDarkerThanMiddleGrayWhite) {
  TProcessingPipeline p = Bare();
  p.Checks.Thresholding = true;
  p.Parameters.Algo = 1;
  auto white = PaperAndInk(kPaperGray, kInkGray);
  auto atMiddle = white->Duplicate();
  atMiddle->AdaptiveThreshold(static_cast<uint8_t>(p.Parameters.Aggressivity), p.Parameters.Area,
                              p.Parameters.Area, 128, true, 0, 255);
  p.ProcessPage(*white, pt1bit, 300, 300);
  ASSERT_EQ(DifferentPixels(*white, *atMiddle), 0);
  int64_t ink = 0;
  for (int32_t y = 0; y < white->Height(); ++y) {
    for (int32_t x = 0; x < white->Width(); ++x)
      ink += white->GetPixel(x, y) == white->BlackIndex();
  }
  ASSERT_GT(ink, 2000);
  const struct { uint8_t Paper, Ink; } cases[] = {{200, 24}, {140, 40}, {110, 30}, {80, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.Paper} << " " << int{c.Ink});
    auto page = PaperAndInk(c.Paper, c.Ink);
    p.ProcessPage(*page, pt1bit, 300, 300);
    ASSERT_EQ(page->PixelType(), pt1bit);
    EXPECT_LT(DifferentPixels(*page, *white), ink / 50);
  }
}

TEST(Pipeline, ColourToBlackAndWhiteThenDespeckle) {
  TProcessingPipeline p = Bare();
  p.Checks.Despeckle = true;
  auto page = Page(64, 48, pt24bit, 200, 230);
  page->SetPixel(10, 10, 0);  // a one-pixel speck
  for (int32_t y = 20; y < 40; ++y)
    for (int32_t x = 20; x < 40; ++x) page->SetPixel(x, y, 0x101010);
  p.ProcessPage(*page, pt1bit, 200, 200);
  ASSERT_EQ(page->PixelType(), pt1bit);
  EXPECT_EQ(page->GetPixel(10, 10), page->WhiteIndex());
  EXPECT_EQ(page->GetPixel(30, 30), page->BlackIndex());
}

TEST(Pipeline, OneBitAskedForAsGrayIsReducedAndResampledBack) {
  TProcessingPipeline p = Bare();
  auto page = Page(400, 200, pt1bit, 300, 0xFF);
  p.ProcessPage(*page, pt8bit, 300, 300);
  EXPECT_EQ(page->PixelType(), pt8bit);
  EXPECT_EQ(page->Width(), 400);
  EXPECT_EQ(page->Height(), 200);
  EXPECT_EQ(page->XResolution(), 300);

  // At the reduced resolution nothing is resampled: a quarter of the size at a quarter dpi.
  auto small = Page(400, 200, pt1bit, 300, 0xFF);
  p.ProcessPage(*small, pt8bit, 75, 75);
  EXPECT_EQ(small->Width(), 100);
  EXPECT_EQ(small->Height(), 50);
  EXPECT_EQ(small->XResolution(), 75);
  EXPECT_EQ(small->LockCount(), 1);
}

TEST(Pipeline, ResamplingOnlyWhenTheResolutionDiffers) {
  TProcessingPipeline p = Bare();
  auto page = Page(300, 150, pt8bit, 300, 200);
  win32::HGLOBAL handle = page->Handle();
  p.ProcessPage(*page, pt24bit, 300, 300);  // a gray page asked for as colour stays gray
  EXPECT_EQ(page->PixelType(), pt8bit);
  EXPECT_EQ(page->Handle(), handle);
  EXPECT_EQ(page->Width(), 300);

  p.ProcessPage(*page, pt8bit, 200, 100);
  EXPECT_EQ(page->Width(), 200);
  EXPECT_EQ(page->Height(), 50);
  EXPECT_EQ(page->XResolution(), 200);
  EXPECT_EQ(page->YResolution(), 100);
  EXPECT_EQ(page->Handle(), handle);
}

// A page without a resolution has nothing to be scaled by: it keeps its pixels and takes the
// target resolution, also through the quarter-size gray reduction of a 1-bit page.
TEST(Pipeline, PageWithoutResolutionKeepsItsSize) {
  TProcessingPipeline p = Bare();
  for (uint8_t type : {pt8bit, pt1bit}) {
    auto page = Page(120, 80, type, 0, 0xFF);
    p.ProcessPage(*page, pt8bit, 300, 200);
    EXPECT_EQ(page->PixelType(), pt8bit);
    EXPECT_EQ(page->Width(), 120) << int{type};
    EXPECT_EQ(page->Height(), 80) << int{type};
    EXPECT_EQ(page->XResolution(), 300);
    EXPECT_EQ(page->YResolution(), 200);
  }
}

TEST(Pipeline, FailuresEndProcessingWithAFreeablePage) {
  TProcessingPipeline p = Bare();
  p.Checks.Thresholding = true;
  p.Parameters.Area = 500;  // wider than the page
  auto page = Page(100, 100, pt8bit, 300, 200);
  try {
    p.ProcessPage(*page, pt1bit, 300, 300);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Bad AreaW or AreaH value");
  }
  EXPECT_FALSE(page->Empty());

  p = Bare();
  for (int32_t dpi : {0, -5, 70000}) {
    auto other = Page(10, 10, pt8bit, 300, 200);
    EXPECT_THROW(p.ProcessPage(*other, pt8bit, dpi, 300), Exception);
    EXPECT_EQ(other->Width(), 10);
  }
  // A target that would make a page beyond the library's limits.
  auto wide = Page(30000, 2, pt1bit, 100, 0);
  EXPECT_THROW(p.ProcessPage(*wide, pt1bit, 1000, 100), Exception);
  EXPECT_EQ(wide->Width(), 30000);
}

TEST(Pipeline, EmptyPaperListCropsToTheContent) {
  TProcessingPipeline p = Bare();
  p.Checks.AutoCrop = true;
  p.Parameters.AutoCropSizes = 0;
  auto page = Page(200, 100, pt8bit, 300, 255);
  TDIB::TRect ink{50, 20, 89, 59};
  page->FillRect(ink, 0);
  p.ProcessPage(*page, pt8bit, 300, 300);
  EXPECT_EQ(page->Width(), 40);
  EXPECT_EQ(page->Height(), 40);
}

TEST(QualityCheck, FlagsAndMeasures) {
  std::vector<std::string> log;
  TProcessingPipeline p = Bare(&log);
  auto gray = Page(64, 64, pt8bit, 300, 192);
  EXPECT_FALSE(p.QualityCheck(*gray));  // quality control off
  EXPECT_TRUE(log.empty());

  p.Checks.QC = true;
  p.Parameters.MaxContrast = 0;
  EXPECT_TRUE(p.QualityCheck(*gray));  // flagged without measuring
  EXPECT_TRUE(log.empty());

  // A flat page: brightness 192 (the maximum passes), contrast 0 below the minimum.
  p.Parameters.MaxContrast = 192;
  p.Parameters.MinContrast = 0;
  EXPECT_FALSE(p.QualityCheck(*gray));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "Making QC ...");
  p.Parameters.MinContrast = 1;
  EXPECT_TRUE(p.QualityCheck(*gray));
  p.Parameters.MinContrast = 0;
  p.Parameters.MaxBrightness = 191;
  EXPECT_TRUE(p.QualityCheck(*gray));

  // A 1-bit page is measured on its gray reduction: all white reads as 255.
  auto bits = Page(64, 64, pt1bit, 300, 0xFF);
  p.Parameters.MaxBrightness = 254;
  EXPECT_TRUE(p.QualityCheck(*bits));
  p.Parameters.MaxBrightness = 255;
  EXPECT_FALSE(p.QualityCheck(*bits));

  // Stripes 4 pixels wide: an eighth-size reduction averages each pair of stripes to a flat
  // gray, where a quarter-size one would keep them apart.
  auto stripes = Page(64, 64, pt1bit, 300, 0xF0);
  p.Parameters.MaxContrast = 10;
  EXPECT_FALSE(p.QualityCheck(*stripes));
  p.Parameters.MaxBrightness = 120;
  EXPECT_TRUE(p.QualityCheck(*stripes));  // its brightness is about 128
}

}  // namespace
