// The reprocessing of a virtual rescan, free of the window: what runs after each slider move.
#include "QualityControl.h"

#include "dibworkspace.h"
#include "paperlevels.h"

namespace {

// Binarises an 8-bit page by the threshold method with the threshold contrast c and area a.
void Binarise(TDIB& Work, int32_t Method, int32_t C, int32_t A) {
  const auto level = static_cast<uint8_t>(Round((C + 10) * 12.75));
  const int32_t area = Round((A + 10) * 6.4) + 3;
  switch (Method) {
    case 0:
      Work.Threshold(level, true, 0, 255);
      break;
    case 1: {
      TDIBWorkspace workspace;
      Work.AdaptiveThreshold(level, area, area, TPaperLevels(Work), true, 0, 255, workspace);
      break;
    }
    case 2:
      Work.NiblackThreshold(area, Round(C * 2.5), true, 0, 255);
      break;
    default:
      break;
  }
}

void Turn(TDIB& Work, int32_t Rotation) {
  switch (Rotation) {
    case 1:
      Work.Rotate90();
      break;
    case 2:
      Work.Rotate180();
      break;
    case 3:
      Work.Rotate270();
      break;
    default:
      break;
  }
}

}  // namespace

std::unique_ptr<TDIB> ReprocessOriginal(const TDIB& Original, const TRescanSettings& Settings,
                                        int32_t Rotation, const TRescanTarget& Target) {
  std::unique_ptr<TDIB> work;
  if (Target.Depth == 8 && Original.PixelType() == pt1bit) {
    work = Original.ScaleToGray(256, 25);
    if (work == nullptr) throw Exception("Unable to reduce the original to gray");
    work->SetXResolution(work->XResolution() / 4);
    work->SetYResolution(work->YResolution() / 4);
  } else {
    work = Original.Duplicate();
  }
  if (work->PixelType() != pt1bit) {
    work->AdjustBrightness(Settings.Brightness * 10);
    work->AdjustContrast(false, Settings.Contrast * 10);
  }
  if (Settings.Deskew != 0) {
    work->Rotate(true, true, Settings.Deskew / 2.0, Settings.Deskew / 2.0, false);
  }
  if (Target.Depth == 1) {
    if (work->PixelType() == pt24bit) work->ConvertPixelType(pt8bit);
    if (work->PixelType() == pt8bit) {
      Binarise(*work, Settings.Method, Settings.ThresholdContrast, Settings.ThresholdArea);
    }
    if (Settings.Despeckle > 0 && work->PixelType() == pt1bit) {
      work->Despeckle(Settings.Despeckle, Settings.Despeckle);
    }
  }
  Turn(*work, Rotation);
  if (work->XResolution() != Target.XResolution || work->YResolution() != Target.YResolution) {
    if (work->XResolution() <= 0 || work->YResolution() <= 0) {
      throw Exception("The original has no resolution");
    }
    work->Resize(Round(double(work->Width()) * Target.XResolution / work->XResolution()),
                 Round(double(work->Height()) * Target.YResolution / work->YResolution()), true);
    work->SetXResolution(Target.XResolution);
    work->SetYResolution(Target.YResolution);
  }
  return work;
}
