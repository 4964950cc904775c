// The clean-up pipeline that every served page goes through, and the quality check of the
// processed page. The main window holds one and fills it from its check boxes, its
// processing parameters and the scan request of the current scan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "UnitSharedParam.h"
#include "dibunit.h"
#include "dibworkspace.h"

// The check boxes of the main window that the pipeline reads.
struct TProcessingChecks {
  bool Deskew = true;
  bool Thresholding = true;  // "Dynamic Thresholding"
  bool Despeckle = false;
  bool BlackBorderRemoval = false;
  bool AutoCrop = false;
  bool QC = false;
};

// The processing parameters, with the defaults of a first start.
struct TProcessingParameters {
  // "Thresholding"
  int32_t Area = 9;
  int32_t Aggressivity = 50;
  int32_t Algo = 1;  // 0 dynamic global, 1 dynamic local, 2 dynamic local advanced
  // "Deskew"
  int32_t AngleRange = 4;  // degrees
  double AngleMin = 0.25;  // degrees
  bool BlackBackground = false;
  bool Interpolation = false;
  // "AutoCrop"
  double AutoCropThreshold = 99.5;  // white percentage
  double AutoCropMargin = 0;        // inches
  int32_t AutoCropSizes = 56;       // bit set of paper sizes
  // "BlackBorderRemoval"
  double BlackBorderThreshold = 99.5;  // black percentage
  bool BlackBorderCrop = true;
  // "Despeckle"
  int32_t BlackSize = 3;
  // "QC"
  uint8_t MinBrightness = 32;
  uint8_t MaxBrightness = 192;
  uint8_t MinContrast = 32;
  uint8_t MaxContrast = 192;
};

// Raises a clear exception for a request whose resolutions or page size no page can have.
void CheckScanRequest(const TScanRequest& Request);

// The page's brightness and contrast as the quality check measures them (a 1-bit page on its
// gray reduction to 12.5 percent); false when the page is too small to reduce.
bool MeasureQuality(const TDIB& Page, uint8_t& Brightness, uint8_t& Contrast);

// The pipeline's pixel type for the request's PixelType: 0, 1, 2 give 1, 3, 6; any other
// value gives 0 (the page is served unprocessed).
uint8_t TargetPixelType(int32_t RequestPixelType);

// The paper list of auto-crop for a "Sizes" bit set, e.g. "A3;Statement;Letter;" for 56.
std::string PaperList(int32_t Sizes);

// The pipeline keeps the working memory of its operations from page to page, so that pages of
// one size allocate none after the first; it processes one page at a time.
class TProcessingPipeline {
 public:
  TProcessingChecks Checks;
  TProcessingParameters Parameters;
  TScanRequest ScanRequest{};
  std::function<void(const std::string&)> Log;

  // Processes the page in place for the target pixel type (1, 3 or 6) and resolution. An
  // operation that raises ends it with that exception; the page can then still be freed.
  void ProcessPage(TDIB& Page, uint8_t TargetType, int32_t TargetXDPI, int32_t TargetYDPI);
  // True when the processed page fails the quality limits (QCFailed).
  bool QualityCheck(const TDIB& Page);
  // The bytes of working memory the pipeline keeps between pages.
  size_t WorkingMemory() const { return Workspace.Capacity(); }

 private:
  void Deskew(TDIB& Page);
  void ToBlackAndWhite(TDIB& Page);
  void ToGray(TDIB& Page);
  void RemoveBlackBorder(TDIB& Page);
  void Resample(TDIB& Page, int32_t TargetXDPI, int32_t TargetYDPI);
  void WriteLog(const std::string& Text);

  TDIBWorkspace Workspace;
};
