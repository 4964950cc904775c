// TMemoryImage: the page, its sizes and resolutions, loading, turning and saving. Operations
// that change the page do nothing without one (only the sizes are read again).
#include <algorithm>
#include <filesystem>

#include "NewObjImage.h"

TMemoryImage::~TMemoryImage() {
  Clear();
}

void TMemoryImage::SetFreeImageHandle(bool Value) {
  FFreeImageHandle = Value;
  FDIB.SetOwnsHandle(Value);
}

void TMemoryImage::ReleaseImage() {
  FDIB.SetOwnsHandle(FFreeImageHandle);
  FDIB.FreeImage();
}

void TMemoryImage::Clear() {
  ReleaseImage();
  FFileName.clear();
  UpdateInfo();
}

void TMemoryImage::SetImageHandle(win32::HGLOBAL Handle) {
  ReleaseImage();
  FFileName.clear();
  FPageCount = 1;
  FPage = 0;
  try {
    FDIB.SetHandle(Handle);
  } catch (...) {
    UpdateInfo();
    throw;
  }
  SetFreeImageHandle(true);
  UpdateInfo();
}

void TMemoryImage::AdoptLoaded(TDIB& Loaded) {
  ReleaseImage();
  Loaded.SetOwnsHandle(false);
  try {
    FDIB.SetHandle(Loaded.GetHandle());
  } catch (...) {
    Loaded.SetOwnsHandle(true);
    throw;
  }
  SetFreeImageHandle(true);
}

void TMemoryImage::LoadImage(const std::string& Name, int32_t PageIndex) {
  const int32_t count = TDIB::PageCount(Name);
  TDIB loaded;
  loaded.LoadFromFile(Name, PageIndex);
  AdoptLoaded(loaded);
  FFileName = Name;
  FPageCount = count;
  FPage = PageIndex;
  UpdateInfo();
}

void TMemoryImage::SetPage(int32_t N) {
  std::error_code error;
  if (FFileName.empty() || !std::filesystem::is_regular_file(FFileName, error)) return;
  N = std::clamp(N, 0, std::max(FPageCount - 1, 0));
  TDIB loaded;
  loaded.LoadFromFile(FFileName, N);
  AdoptLoaded(loaded);
  FPage = N;
  UpdateInfo();
}

void TMemoryImage::UpdateInfo() {
  if (IsValid()) {
    FHorzSize = FDIB.Width();
    FVertSize = FDIB.Height();
    FDepth = FDIB.BitCount();
    FHorzResolution = FDIB.XResolution();
    FVertResolution = FDIB.YResolution();
  } else {
    FHorzSize = FVertSize = FDepth = 0;
    FHorzResolution = FVertResolution = 0;
  }
  if (FHorzResolution < 1) FHorzResolution = 72;
  if (FVertResolution < 1) FVertResolution = 72;
}

int32_t TMemoryImage::VertSizeCorrected() const {
  if (FVertResolution <= 0) return FVertSize;
  return Round(static_cast<double>(FHorzResolution) / FVertResolution * FVertSize);
}

void TMemoryImage::SetResolution(int32_t X, int32_t Y, bool Resize) {
  if (IsValid()) {
    const int32_t oldX = FHorzResolution, oldY = FVertResolution;
    FDIB.SetXResolution(X);
    FDIB.SetYResolution(Y);
    if (Resize) {
      FDIB.ResizeCanvas(Round(static_cast<double>(X) / oldX * FHorzSize),
                        Round(static_cast<double>(Y) / oldY * FVertSize), 0);
    }
  }
  UpdateInfo();
}

void TMemoryImage::Rotate(double Angle) {
  if (!IsValid()) return;
  const int32_t oldX = FHorzResolution, oldY = FVertResolution;
  if (Angle == 90) {
    FDIB.Rotate90();
  } else if (Angle == 180) {
    FDIB.Rotate180();
  } else if (Angle == 270) {
    FDIB.Rotate270();
  } else {
    FDIB.RotateByAngle(false, 0, Angle);
  }
  UpdateInfo();
  if ((Angle == 90 || Angle == 270) && oldX != oldY) SetResolution(oldY, oldX, false);
}

double TMemoryImage::DetectSkew() const {
  return IsValid() ? FDIB.DetectSkew(0, 0.1, 5) : 0;
}

void TMemoryImage::Deskew() {
  if (IsValid()) FDIB.AutoDeskew(true, true, 5);
}

void TMemoryImage::Crop(const TRect& Rect) {
  if (IsValid()) FDIB.Crop(Rect);
  UpdateInfo();
}

void TMemoryImage::SaveImageAsTiff(const std::string& Name, bool Append) {
  FDIB.SaveTIFF(Name, Append, 0, 16);
}

void TMemoryImage::SaveImageAsBitmap(const std::string& Name) {
  FDIB.SaveToFile(Name);
}

void TMemoryImage::SaveImageAsJpeg(const std::string& Name) {
  FDIB.SaveJPEG(Name, false, 80);
}
