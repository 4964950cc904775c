// Real scans through the pipeline, held against measures of the tests' own: a brute-force
// projection-profile search over the letters' pixels for the skew, a count of the letters of
// the text area for what border removal and auto-crop keep, and the dark pixels that a
// surround leaves along the sides. The figures of every scan are printed as a table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ProcessingPipeline.h"
#include "scanmeasures.h"
#include "testdata.h"

namespace {

// Which targets a dark surround that lies around the sheet leaves none of: neither, black and
// white only, both.
enum class TSurroundGoes { Unsaid, FromBW, Gone };
using enum TSurroundGoes;

struct TScan {
  const char* File;
  double Tolerance;             // of the residual and of the detected angle, degrees
  bool Straightened;            // the residual and the detected angle hold the tolerance
  bool KeepsLetters;            // border removal and auto-crop keep every letter of the text area
  TSurroundGoes LosesSurround;  // none of a dark surround about the sheet is left
  // The skew is measured on all the ink, not only on the letters: the lines of a score are its
  // staves, and where the columns of a page lie at slightly different angles the letters'
  // measure jumps between them when the page turns by a few hundredths.
  bool ByAllInk = false;
};

// The scans with text lines. Curved book pages have no single right angle: 0.2 degrees.
const TScan kScans[] = {
    {"leptonica/feyn.tif", 0.1, true, true, Gone},
    {"leptonica/shearer.148.tif", 0.1, true, true, Gone},
    {"leptonica/pageseg1.tif", 0.1, true, true, Gone},
    {"leptonica/scots-frag.tif", 0.1, true, true, Unsaid, true},  // columns at different angles
    {"leptonica/lucasta.1.300.tif", 0.1, true, true, Unsaid},
    {"leptonica/lucasta.047.jpg", 0.1, true, true, Unsaid},
    {"leptonica/w91frag.jpg", 0.1, true, true, FromBW},  // gray keeps the gutter's shade
    {"leptonica/zanotti-78.jpg", 0.1, true, true, Unsaid},
    {"leptonica/lapide.052.100.jpg", 0.1, true, true, Gone},
    {"leptonica/cat.035.jpg", 0.2, true, true, Gone},             // curved
    {"leptonica/1555.007.jpg", 0.2, true, true, Gone},            // curved, dark paper
    {"leptonica/binding-example.45.jpg", 0.2, true, true, Gone},  // curved
    {"leptonica/boismort.1.tif", 0.1, true, true, Gone, true},    // a score
    {"doxa/2JohnC1V3.png", 0.1, true, true, Gone},                // hand lettering
    {"ocrmypdf/linn.png", 0.1, true, true, Gone},
    {"commons-imaging/Imaging247.TIFF", 0.1, true, true, Unsaid},
    {"../bench/page-a4-300-gray.png", 0.1, true, true, Gone},
};

double MeasuredSkew(const TDIB& Page, bool ByAllInk = false) {
  const TInkMap ink = InkOf(Page, InkLevel(Page));
  return ProjectionSkew(ByAllInk ? AllInkOf(ink) : LettersOf(ink, Page.XResolution()), 5);
}

int32_t TextLetterCount(const TDIB& Page) {
  const TInkMap ink = InkOf(Page, InkLevel(Page));
  return static_cast<int32_t>(TextLetters(LettersOf(ink, Page.XResolution()).Blobs).size());
}

// The first-start settings with despeckle, black-border removal and auto-crop on, and the
// advice of docs/cleanup.md for a dark backing: uncovered corners black, a line is border from 90
// per cent dark on. The angle range takes the 4.9 degrees of a book spread; every angle is turned
// (the first-start smallest angle, a quarter of a degree, leaves smaller skews alone by choice).
TProcessingPipeline ScanPipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = true;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 90;
  p.Parameters.AngleRange = 5;
  p.Parameters.AngleMin = 0.1;
  p.ScanRequest.Threshold = 128;
  return p;
}

// The scan's resolution, 300 dpi when it states none.
int32_t DpiOf(const TDIB& Scan) {
  return Scan.XResolution() > 0 ? Scan.XResolution() : 300;
}

std::unique_ptr<TDIB> Processed(const TDIB& Source, uint8_t Target, TProcessingPipeline Pipeline) {
  auto page = Source.Duplicate();
  Pipeline.ProcessPage(*page, Target, DpiOf(Source), DpiOf(Source));
  return page;
}

std::unique_ptr<TDIB> Processed(const TDIB& Source, uint8_t Target, bool Border) {
  TProcessingPipeline p = ScanPipeline();
  p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = Border;
  return Processed(Source, Target, p);
}

TEST(RealScans, FiguresAgainstTheTestsOwnMeasures) {
  if (TestDataDir().empty()) GTEST_SKIP() << "../shared/testdata is absent";
  const char* save = std::getenv("CLARIVO_SAVE_RESULTS");
  std::printf("%-34s %8s %8s %9s %9s %15s %15s %19s %19s\n", "scan", "detected", "measure",
              "resid b/w", "resid gray", "letters b/w", "letters gray", "surround b/w",
              "surround gray");
  for (const TScan& scan : kScans) {
    const std::string file = TestDataDir() + "/scans/" + scan.File;
    SCOPED_TRACE(file);
    TDIB source;
    ASSERT_NO_THROW(source.LoadFromFile(file));
    const int32_t dpi = DpiOf(source);
    const double detected = source.DetectSkew(0, 0.1, ScanPipeline().Parameters.AngleRange);
    const double measured = MeasuredSkew(source, scan.ByAllInk);
    double residual[2];
    int32_t before[2], after[2];
    int64_t surroundBefore[2], surroundAfter[2];
    for (int i = 0; i < 2; ++i) {
      const uint8_t target = i == 0 ? pt1bit : pt8bit;
      const std::unique_ptr<TDIB> kept = Processed(source, target, false);
      const std::unique_ptr<TDIB> cut = Processed(source, target, true);
      residual[i] = MeasuredSkew(*cut, scan.ByAllInk);
      before[i] = TextLetterCount(*kept);
      after[i] = TextLetterCount(*cut);
      surroundBefore[i] = SurroundLeft(*kept, dpi);
      surroundAfter[i] = SurroundLeft(*cut, dpi);
      if (save != nullptr) {
        const std::string name = std::filesystem::path(file).stem().string();
        SavePagePNG(*cut, std::string(save) + "/" + name + "-" + std::to_string(target) + ".png");
      }
      if (scan.Straightened) {
        EXPECT_LE(std::fabs(residual[i]), scan.Tolerance) << int{target};
      }
      if (scan.KeepsLetters) {
        EXPECT_GE(after[i], before[i]) << int{target};
      }
      if (scan.LosesSurround == Gone || (scan.LosesSurround == FromBW && target == pt1bit)) {
        EXPECT_EQ(surroundAfter[i], 0) << int{target};
      }
    }
    if (scan.Straightened) {
      EXPECT_NEAR(detected, measured, scan.Tolerance);
    }
    std::printf("%-34s %8.3f %8.3f %9.3f %9.3f %7d %7d %7d %7d %9lld %9lld %9lld %9lld\n",
                scan.File, detected, measured, residual[0], residual[1], before[0], after[0],
                before[1], after[1], static_cast<long long>(surroundBefore[0]),
                static_cast<long long>(surroundAfter[0]), static_cast<long long>(surroundBefore[1]),
                static_cast<long long>(surroundAfter[1]));
  }
}

// A hand-lettered page whose lines lie between 1.2 and 2.6 degrees has no single right angle:
// measured line by line, each line weighed by its length, it comes out of the pipeline less
// than half as skewed as it went in, on black-and-white and gray targets.
TEST(RealScans, APageOfLinesAtDifferentSlopesComesOutStraighter) {
  const std::string file = TestDataDir() + "/scans/doxa/2JohnC1V3.png";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
  TDIB source;
  source.LoadFromFile(file);
  const double before = LineWeightedSkew(LettersOf(InkOf(source), 300), 5);
  ASSERT_GT(std::fabs(before), 1.0);
  for (uint8_t target : {pt1bit, pt8bit}) {
    const std::unique_ptr<TDIB> page = Processed(source, target, true);
    const double after = LineWeightedSkew(LettersOf(InkOf(*page), 300), 5);
    EXPECT_LT(std::fabs(after), std::fabs(before) / 2) << int{target};
  }
}

// The bench page, its text turned inside a straight dark frame: straightened, it comes out
// with every letter and without any of the frame on black-and-white and gray targets.
TEST(RealScans, TheBenchPageLosesItsFrameAndNoLetter) {
  const std::string file = TestDataDir() + "/bench/page-a4-300-gray.png";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
  TDIB source;
  source.LoadFromFile(file);
  for (uint8_t target : {pt1bit, pt8bit}) {
    SCOPED_TRACE(int{target});
    const std::unique_ptr<TDIB> kept = Processed(source, target, false);
    const std::unique_ptr<TDIB> cut = Processed(source, target, true);
    EXPECT_GT(SurroundLeft(*kept, 300), 0);
    EXPECT_EQ(SurroundLeft(*cut, 300), 0);
    EXPECT_GE(TextLetterCount(*cut), TextLetterCount(*kept));
  }
}

// Browned paper darker than middle gray keeps its paper white and its letters under "Dynamic
// Global", which takes its level from the page, and under "Dynamic Local", which decides the
// plain paper, where the local contrast is low, by a level below the page's own paper.
TEST(RealScans, DarkPaperComesOutWhiteWithAGlobalThreshold) {
  const std::string file = TestDataDir() + "/scans/leptonica/1555.007.jpg";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
  TDIB source;
  source.LoadFromFile(file);
  const std::unique_ptr<TDIB> gray = Processed(source, pt8bit, true);
  for (int32_t algo : {0, 1}) {
    SCOPED_TRACE(algo);
    TProcessingPipeline pipeline = ScanPipeline();
    pipeline.Parameters.Algo = algo;
    const std::unique_ptr<TDIB> page = Processed(source, pt1bit, pipeline);
    EXPECT_EQ(SurroundLeft(*page, DpiOf(source)), 0);
    EXPECT_GE(10 * TextLetterCount(*page), 9 * TextLetterCount(*gray));
  }
}

// A nearly blank sheet with one handwritten word has no text lines to go by: it stays as it
// is.
TEST(RealScans, ABlankSheetIsNotTurned) {
  const std::string file = TestDataDir() + "/scans/jpeg-decoder/extraneous-bytes-after-sos.jpg";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
  TDIB page;
  page.LoadFromFile(file);
  EXPECT_EQ(page.DetectSkew(0, 0.1, 4), 0);
}

// Photographs have edges and shades at every slope but no text lines: they stay as they are in
// colour, in gray and in black and white.
TEST(RealScans, APageOfPicturesIsNotTurned) {
  for (const char* name :
       {"jpeg/zigimg/tuba.jpg", "jpeg/pillow/hopper.jpg", "tiff/libtiffpic/jello.tif"}) {
    const std::string file = TestDataDir() + "/" + name;
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
    TDIB page;
    page.LoadFromFile(file);
    for (uint8_t type : {pt24bit, pt8bit, pt1bit}) {
      SCOPED_TRACE(testing::Message() << name << ", type " << int{type});
      if (type == pt24bit && page.PixelType() != pt24bit) continue;
      if (type == pt8bit) page.ConvertPixelType(pt8bit);
      if (type == pt1bit) page.AutoThreshold(0, true, 0, 255);
      EXPECT_EQ(page.DetectSkew(0, 0.1, 5), 0);
    }
  }
}

// A straight scan turned both ways by 0.5 to 4 degrees, at each depth: the angle found is the
// turn (the truth of a turned copy) to within 0.1 degree, from the angle found on the straight
// page.
TEST(RealScans, TurnedCopiesOfStraightPagesAreFound) {
  const std::string file = TestDataDir() + "/scans/leptonica/zanotti-78.jpg";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
  TDIB colour;
  colour.LoadFromFile(file);
  for (uint8_t type : {pt1bit, pt8bit, pt24bit}) {
    auto straight = colour.Duplicate();
    if (type != pt24bit) straight->ConvertPixelType(pt8bit);
    if (type == pt1bit) straight->AutoThreshold(0, true, 0, 255);
    const double base = straight->DetectSkew(0, 0.1, 5);
    for (double turn : {-4.0, -3.0, -1.5, -0.7, -0.5, 0.5, 0.7, 1.5, 3.0, 4.0}) {
      SCOPED_TRACE(testing::Message() << "type " << int{type} << ", turned by " << turn);
      auto page = straight->Duplicate();
      page->Rotate(true, type != pt1bit, turn, turn, false);
      EXPECT_NEAR(page->DetectSkew(0, 0.1, 5), base - turn, 0.1);
    }
  }
}

}  // namespace
