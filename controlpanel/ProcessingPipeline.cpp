#include "ProcessingPipeline.h"

#include <cmath>

#include "paperlevels.h"

namespace {

constexpr int32_t kMaxResolution = 65535;

void CheckResolution(const char* Name, int32_t DPI) {
  if (DPI <= 0 || DPI > kMaxResolution) {
    throw Exception(std::string("Invalid ") + Name +
                    " resolution in scan request: " + std::to_string(DPI));
  }
}

int64_t PixelsOf(const char* Name, double Inches, int32_t DPI) {
  double pixels = Inches * DPI;
  // A side that rounds to no pixel at all has no page either.
  if (!std::isfinite(Inches) || Inches <= 0 || pixels > kMaxImageDimension ||
      RoundHalfEven(pixels) < 1) {
    throw Exception(std::string("Invalid page ") + Name +
                    " in scan request: " + std::to_string(Inches) + " inches");
  }
  return RoundHalfEven(pixels);
}

// A page without a resolution has nothing to be scaled by: it is taken to be at the target
// resolution on that axis, so that it keeps its pixels, and a gray reduction of it is scaled
// back to them.
void AssumeResolution(TDIB& Page, int32_t TargetXDPI, int32_t TargetYDPI) {
  if (Page.XResolution() <= 0) Page.SetXResolution(TargetXDPI);
  if (Page.YResolution() <= 0) Page.SetYResolution(TargetYDPI);
}

}  // namespace

void CheckScanRequest(const TScanRequest& Request) {
  int32_t xdpi = Request.XResolution, ydpi = Request.YResolution;
  CheckResolution("horizontal", xdpi);
  CheckResolution("vertical", ydpi);
  int64_t width = PixelsOf("width", Request.PageWidth, xdpi);
  int64_t height = PixelsOf("height", Request.PageHeight, ydpi);
  uint8_t type = TargetPixelType(Request.PixelType);
  TDIB::CheckImageSize(width, height, type == 0 ? pt24bit : type);
}

uint8_t TargetPixelType(int32_t RequestPixelType) {
  switch (RequestPixelType) {
    case 0:
      return pt1bit;
    case 1:
      return pt8bit;
    case 2:
      return pt24bit;
    default:
      return 0;
  }
}

std::string PaperList(int32_t Sizes) {
  static const char* const kNames[] = {"A6;",        "A5;",     "A4;",    "A3;",
                                       "Statement;", "Letter;", "Legal;", "Ledger;"};
  std::string list;
  for (int bit = 0; bit < 8; ++bit) {
    if ((Sizes & (1 << bit)) != 0) list += kNames[bit];
  }
  return list;
}

void TProcessingPipeline::WriteLog(const std::string& Text) {
  if (Log) Log(Text);
}

void TProcessingPipeline::ProcessPage(TDIB& Page, uint8_t TargetType, int32_t TargetXDPI,
                                      int32_t TargetYDPI) {
  CheckResolution("target horizontal", TargetXDPI);
  CheckResolution("target vertical", TargetYDPI);
  AssumeResolution(Page, TargetXDPI, TargetYDPI);
  if (Checks.Deskew) Deskew(Page);
  if (TargetType == pt1bit && Page.PixelType() != pt1bit) ToBlackAndWhite(Page);
  if (TargetType == pt8bit && Page.PixelType() == pt1bit) ToGray(Page);
  if (Page.PixelType() == pt1bit && Checks.Despeckle) {
    Page.Despeckle(Parameters.BlackSize, Parameters.BlackSize, Workspace);
  }
  if (Checks.BlackBorderRemoval) RemoveBlackBorder(Page);
  if (Checks.AutoCrop) {
    Page.AutoCrop(PaperList(Parameters.AutoCropSizes),
                  static_cast<float>(100 - Parameters.AutoCropThreshold),
                  static_cast<float>(Parameters.AutoCropMargin), 5.0f);
  }
  Resample(Page, TargetXDPI, TargetYDPI);
}

void TProcessingPipeline::Deskew(TDIB& Page) {
  double angle = Page.DetectSkew(0, 0.1, Parameters.AngleRange, Workspace);
  if (std::fabs(angle) >= Parameters.AngleMin) {
    Page.Rotate(!Parameters.BlackBackground, Parameters.Interpolation, angle, angle, false);
  }
}

void TProcessingPipeline::ToBlackAndWhite(TDIB& Page) {
  if (Page.PixelType() == pt24bit) Page.ConvertPixelType(pt8bit);
  if (Page.PixelType() != pt8bit) return;
  if (!Checks.Thresholding) {
    Page.Threshold(static_cast<uint8_t>(ScanRequest.Threshold), true, 0, 255);
    return;
  }
  switch (Parameters.Algo) {
    case 1:
      Page.AdaptiveThreshold(static_cast<uint8_t>(Parameters.Aggressivity), Parameters.Area,
                             Parameters.Area, TPaperLevels(Page), true, 0, 255, Workspace);
      break;
    case 2:
      Page.NiblackThreshold(Parameters.Area, Parameters.Aggressivity, true, 0, 255, Workspace);
      break;
    default:
      Page.AutoThreshold(0, true, 0, 255);
      break;
  }
}

// The page adopts the block of its quarter-size gray reduction.
void TProcessingPipeline::ToGray(TDIB& Page) {
  int32_t xdpi = Page.XResolution(), ydpi = Page.YResolution();
  std::unique_ptr<TDIB> gray = Page.ScaleToGray(256, 25);
  if (!gray) throw Exception("Unable to convert the page to gray");
  Page.TakeImage(*gray);
  Page.SetXResolution(xdpi / 4);
  Page.SetYResolution(ydpi / 4);
}

void TProcessingPipeline::RemoveBlackBorder(TDIB& Page) {
  TDIB::TRect rect;
  Page.DetectBlackBorder(0, rect, 100 - Parameters.BlackBorderThreshold);
  if (Parameters.BlackBorderCrop) {
    Page.Crop(rect);
    Page.EraseSideStrips({0, 0, Page.Width() - 1, Page.Height() - 1});
  } else {
    Page.EraseOutside(rect);
    Page.EraseSideStrips(rect);
  }
}

// A resolution of 1 to 3 dpi that the gray reduction took to 0 is treated as the target's.
void TProcessingPipeline::Resample(TDIB& Page, int32_t TargetXDPI, int32_t TargetYDPI) {
  int32_t xdpi = Page.XResolution(), ydpi = Page.YResolution();
  if (xdpi == TargetXDPI && ydpi == TargetYDPI) return;
  double width = xdpi > 0 ? static_cast<double>(TargetXDPI) / xdpi * Page.Width() : Page.Width();
  double height = ydpi > 0 ? static_cast<double>(TargetYDPI) / ydpi * Page.Height() : Page.Height();
  const int64_t newWidth = RoundHalfEven(width), newHeight = RoundHalfEven(height);
  TDIB::CheckImageSize(newWidth, newHeight, Page.PixelType());
  Page.Resize(static_cast<int32_t>(newWidth), static_cast<int32_t>(newHeight), false);
  Page.SetXResolution(TargetXDPI);
  Page.SetYResolution(TargetYDPI);
}

bool TProcessingPipeline::QualityCheck(const TDIB& Page) {
  if (!Checks.QC) return false;
  if (Parameters.MaxBrightness == 0 || Parameters.MaxContrast == 0) return true;
  WriteLog("Making QC ...");
  uint8_t brightness = 0, contrast = 0;
  // A page that cannot be measured goes to the operator for review.
  if (!MeasureQuality(Page, brightness, contrast)) return true;
  return brightness < Parameters.MinBrightness || brightness > Parameters.MaxBrightness ||
         contrast < Parameters.MinContrast || contrast > Parameters.MaxContrast;
}

bool MeasureQuality(const TDIB& Page, uint8_t& Brightness, uint8_t& Contrast) {
  std::unique_ptr<TDIB> reduction;
  const TDIB* measured = &Page;
  if (Page.PixelType() == pt1bit) {
    reduction = Page.ScaleToGray(256, 12.5);
    if (!reduction) return false;
    measured = reduction.get();
  }
  Brightness = static_cast<uint8_t>(Round(measured->MeasureBrightness()));
  Contrast = static_cast<uint8_t>(Round(measured->MeasureContrast(false, -1, 0)));
  return true;
}
