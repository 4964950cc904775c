// The pictures of docs/cleanup.md: a real scan before and after each clean-up step, each step
// run with the steps before it, downscaled and written as gray PNG files to
// CLARIVO_SCREENSHOTS/docs/, from where scripts/update-docs-pictures copies them into docs/.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "ProcessingPipeline.h"
#include "streams.h"
#include "testdata.h"

namespace {

constexpr int kPictureWidth = 360;

struct TStep {
  const char* Name;
  const char* Scan;  // below ../shared/testdata/scans/
  uint8_t Target;    // pt1bit or pt8bit
  bool Detail;       // a 1:1 piece of the middle of the page rather than the whole page
  TProcessingChecks Before;
  TProcessingChecks After;
};

constexpr TProcessingChecks kNone{false, false, false, false, false, false};
constexpr TProcessingChecks kDeskew{true, false, false, false, false, false};
constexpr TProcessingChecks kThreshold{false, true, false, false, false, false};
constexpr TProcessingChecks kDespeckle{false, true, true, false, false, false};
constexpr TProcessingChecks kBorder{true, false, false, true, false, false};
constexpr TProcessingChecks kCrop{true, false, false, true, true, false};

const TStep kSteps[] = {
    {"deskew", "leptonica/shearer.148.tif", pt1bit, false, kNone, kDeskew},
    {"thresholding", "leptonica/1555.007.jpg", pt1bit, false, kNone, kThreshold},
    {"despeckle", "leptonica/lapide.052.100.jpg", pt1bit, true, kThreshold, kDespeckle},
    {"blackborder", "leptonica/cat.035.jpg", pt8bit, false, kDeskew, kBorder},
    {"autocrop", "leptonica/binding-example.45.jpg", pt1bit, false, kBorder, kCrop},
};

QImage Picture(TDIB& Page, bool Detail) {
  TMemoryStream bmp;
  Page.SaveToStream(bmp);
  QImage image;
  EXPECT_TRUE(image.loadFromData(static_cast<const uchar*>(bmp.Memory()),
                                 static_cast<int>(bmp.Size()), "BMP"));
  if (Detail) {
    image = image.copy(image.width() / 2 - kPictureWidth / 2, image.height() / 2 - 120,
                       kPictureWidth, 240);
  }
  // Sixteen grays are enough to show a step and keep the files small.
  QList<QRgb> grays;
  for (int level = 0; level < 16; ++level)
    grays.push_back(qRgb(level * 17, level * 17, level * 17));
  return image.scaledToWidth(kPictureWidth, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_Indexed8, grays, Qt::ThresholdDither);
}

// The page after the checked steps; nothing checked: the scan as it is.
std::unique_ptr<TDIB> After(const TDIB& Scan, const TStep& Step, const TProcessingChecks& Checks) {
  auto page = Scan.Duplicate();
  if (!Checks.Deskew && !Checks.Thresholding) return page;
  TProcessingPipeline pipeline;
  pipeline.Checks = Checks;
  // The advice of docs/cleanup.md for a dark backing, and a book spread's angle.
  pipeline.Parameters.BlackBackground = true;
  pipeline.Parameters.BlackBorderThreshold = 90;
  pipeline.Parameters.AngleRange = 5;
  pipeline.ScanRequest.Threshold = 128;
  const int32_t dpi = Scan.XResolution() > 0 ? Scan.XResolution() : 300;
  pipeline.ProcessPage(*page, Step.Target, dpi, dpi);
  return page;
}

TEST(DocsPictures, EachCleanUpStepBeforeAndAfter) {
  if (TestDataDir().empty()) GTEST_SKIP() << "../shared/testdata is absent";
  const QString dir = QString(CLARIVO_SCREENSHOTS) + "/docs";
  QDir().mkpath(dir);
  for (const TStep& step : kSteps) {
    SCOPED_TRACE(step.Name);
    TDIB scan;
    ASSERT_NO_THROW(scan.LoadFromFile(TestDataDir() + "/scans/" + step.Scan));
    QImage before = Picture(*After(scan, step, step.Before), step.Detail);
    QImage after = Picture(*After(scan, step, step.After), step.Detail);
    EXPECT_NE(before, after);  // the step does something to this scan
    const QString stem = dir + "/cleanup-" + step.Name;
    EXPECT_TRUE(before.save(stem + "-before.png"));
    EXPECT_TRUE(after.save(stem + "-after.png"));
  }
}

}  // namespace
