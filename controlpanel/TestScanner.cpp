#include "TestScanner.h"

#include <algorithm>

#include "PageCache.h"
#include "ProcessingPipeline.h"
#include "rounding.h"

namespace {

// A request's pixel type that the pipeline does not know makes a colour page.
uint8_t TestPageType(int32_t PixelType) {
  const uint8_t type = TargetPixelType(PixelType);
  return type == 0 ? pt24bit : type;
}

// Bands of the values, each Step lines high, from the top of the middle third down.
void FillBands(TDIB& Page, int32_t B, int32_t C, const std::vector<int32_t>& Values) {
  const double step = static_cast<double>(B) / static_cast<double>(Values.size());
  for (size_t i = 0; i < Values.size(); ++i) {
    const double top = static_cast<double>(i) * step;
    Page.FillRect({B, C + Round(top), 2 * B, C + Round(top + step)}, Values[i]);
  }
}

std::vector<int32_t> GrayLevels() {
  std::vector<int32_t> levels(256);
  for (int32_t i = 0; i < 256; ++i) levels[static_cast<size_t>(i)] = i;
  return levels;
}

}  // namespace

std::unique_ptr<TDIB> MakeTestPage(const TTestPageSpec& Spec) {
  auto page = std::make_unique<TDIB>();
  const uint8_t type = TestPageType(Spec.PixelType);
  page->NewImage(Round(Spec.XDPI * Spec.WidthInches), Round(Spec.YDPI * Spec.HeightInches), type,
                 Spec.XDPI, Spec.YDPI);
  page->Clear();
  const int32_t W = page->Width(), H = page->Height(), black = page->BlackIndex();
  page->FillRect({0, 0, W - 1, H / 20}, black);
  page->FillRect({0, H - H / 20 - 1, W - 1, H - 1}, black);
  page->FillRect({0, 0, W / 20, H - 1}, black);
  page->FillRect({W - W / 20 - 1, 0, W - 1, H - 1}, black);

  const int32_t B = W / 3, C = H / 3;
  page->FrameRect({B, C, 2 * B, 2 * C}, black);
  if (type == pt1bit) {
    page->DrawLine(B, C, 2 * B, 2 * C, black);
    page->DrawLine(2 * B, C, B, 2 * C, black);
  } else if (type == pt8bit) {
    FillBands(*page, B, C, GrayLevels());
  } else {
    FillBands(*page, B, C, {0x0000FF, 0x00FF00, 0xFF0000});
  }
  return page;
}

std::vector<std::string> BuildTestPages(const std::string& Dir, const TTestPageSpec& Spec) {
  const std::string front = Dir + "front.bmp", back = Dir + "back.bmp";
  std::unique_ptr<TDIB> page = MakeTestPage(Spec);
  page->SaveToFile(front);
  if (Spec.Duplex) {
    page->FlipVertical();
    page->SaveToFile(back);
  }
  std::vector<std::string> pages{front};
  if (Spec.Duplex) pages.push_back(back);
  for (const std::string& file : BitmapFiles(Dir)) {
    if (file != front && file != back) pages.push_back(file);
  }
  return pages;
}
