#include "serving_fixture.h"

#include <algorithm>
#include "TLogView.h"

std::vector<std::string> TServingTest::LogLines() const {
  std::vector<std::string> lines;
  for (const QString& line : Window->MemoLog->toPlainText().split('\n')) {
    qsizetype stamp = line.lastIndexOf(" - ");
    lines.push_back((stamp < 0 ? line : line.left(stamp)).toStdString());
  }
  return lines;
}

bool TServingTest::Logged(const std::string& Line) const {
  std::vector<std::string> lines = LogLines();
  return std::find(lines.begin(), lines.end(), Line) != lines.end();
}

size_t TServingTest::Count(const std::string& Line) const {
  std::vector<std::string> lines = LogLines();
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), Line));
}

TScanRequest Request(int32_t PixelType, int32_t DPI, double Width, double Height) {
  TScanRequest request{};
  request.ImageCount = -1;
  request.XResolution = request.YResolution = DPI;
  request.XScaling = request.YScaling = 100;
  request.PageWidth = Width;
  request.PageHeight = Height;
  request.Threshold = 128;
  request.PixelType = PixelType;
  request.BitDepth = PixelType == 0 ? 1 : PixelType == 1 ? 8 : 24;
  return request;
}

std::unique_ptr<TDIB> Adopt(win32::HGLOBAL Handle) {
  auto page = std::make_unique<TDIB>();
  page->SetHandle(Handle);
  page->SetOwnsHandle(true);
  return page;
}

std::unique_ptr<TDIB> Load(const std::string& File) {
  auto page = std::make_unique<TDIB>();
  page->LoadFromFile(File);
  return page;
}

void SavePage(const std::string& File, uint8_t PixelType, int32_t Width, int32_t Height,
              int32_t DPI) {
  TDIB page;
  page.NewImage(Width, Height, PixelType, DPI, DPI);
  page.Clear();
  page.FillRect({5, 5, 15, 15}, page.BlackIndex());
  page.SaveToFile(File);
}
