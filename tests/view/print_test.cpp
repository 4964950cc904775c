// Printing: a PDF through QPrinter with its page count and orientation, and the printed picture
// on a device of known size: turned, fitted, centred, at its own size.
#include <gtest/gtest.h>

#include <QPrinter>
#include <fstream>
#include <regex>
#include <sstream>

#include "viewfixture.h"

namespace {

// A page whose top-left 10 x 10 pixels are black.
void MarkedPage(TMemoryImage& Image, int32_t Width, int32_t Height, int32_t XDPI = 100,
                int32_t YDPI = 100) {
  auto page = WhitePage(Width, Height, pt8bit, XDPI, YDPI);
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 10; ++x) page->SetPixel(x, y, 0);
  }
  page->SetOwnsHandle(false);
  Image.SetImageHandle(page->GetHandle());
}

std::string FileText(const std::string& Name) {
  std::ifstream file(Name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int Count(const std::string& Text, const std::regex& Pattern) {
  return static_cast<int>(std::distance(std::sregex_iterator(Text.begin(), Text.end(), Pattern),
                                        std::sregex_iterator()));
}

TEST(Print, LandscapePageOnAPortraitSheetOfAPdf) {
  TTempDir dir;
  const std::string pdf = dir.File("page.pdf");
  TMemoryImage image;
  MarkedPage(image, 300, 200);
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setResolution(100);
  image.Print(printer, 1, true);
  EXPECT_EQ(printer.docName(), "Printing Image");

  const std::string text = FileText(pdf);
  EXPECT_EQ(Count(text, std::regex("/Type\\s*/Page[^s]")), 1);
  std::smatch box;
  ASSERT_TRUE(
      std::regex_search(text, box, std::regex("/MediaBox\\s*\\[\\s*0 0 ([0-9.]+) ([0-9.]+)")));
  EXPECT_LT(std::stod(box[1]), std::stod(box[2]));  // portrait
  // The picture is drawn upright on the sheet: its images are higher than wide in sum.
  int width = 0, height = 0;
  const std::regex picture("/Width (\\d+)\\s*/Height (\\d+)");
  for (auto i = std::sregex_iterator(text.begin(), text.end(), picture);
       i != std::sregex_iterator(); ++i) {
    width = std::max(width, std::stoi((*i)[1]));
    height += std::stoi((*i)[2]);
  }
  EXPECT_LT(width, height);
  EXPECT_EQ(image.HorzSize(), 300);  // the page itself is not turned
  EXPECT_EQ(image.VertSize(), 200);
}

// On a portrait device 200 x 300 at 100 dpi, a landscape page is printed turned clockwise: its
// top-left mark lands at the top right.
TEST(Print, TurnedFittedAndCentred) {
  TMemoryImage image;
  MarkedPage(image, 600, 400);
  TMemoryDC fit(200, 300);
  image.PrintInCurrentJob(fit, 1, true);
  EXPECT_EQ(fit.At(197, 2), kBlack);
  EXPECT_EQ(fit.At(2, 2), kWhite);
  EXPECT_EQ(fit.At(100, 299), kWhite);  // fitted: reaches the bottom

  const struct {
    int32_t Mode;
    bool Center;
    QRect Printed;                                    // on a 400 x 500 device at 100 dpi
  } cases[] = {{0, true, QRect(100, 150, 200, 200)},  // 100 dpi page at 100 dpi
               {0, false, QRect(0, 0, 200, 200)},
               {1, true, QRect(0, 50, 400, 400)},
               {7, true, QRect(100, 150, 200, 200)}};  // one printer pixel a page pixel
  for (const auto& c : cases) {
    TMemoryImage square;
    MarkedPage(square, 200, 200);
    TMemoryDC dc(400, 500);
    square.PrintInCurrentJob(dc, c.Mode, c.Center);
    QRect painted;
    for (int y = 0; y < 500; ++y) {
      for (int x = 0; x < 400; ++x) {
        if (dc.At(x, y) != 0) painted |= QRect(x, y, 1, 1);
      }
    }
    EXPECT_EQ(painted, c.Printed) << c.Mode;
  }
}

// At its own size a page of 100 x 50 dpi, 100 x 100 pixels, is one inch wide and two high.
TEST(Print, ActualSizeWithDifferentResolutions) {
  TMemoryImage image;
  MarkedPage(image, 100, 100, 100, 50);
  TMemoryDC dc(300, 500);
  image.PrintInCurrentJob(dc, 0, false);
  int rows = 0, columns = 0;
  for (int y = 0; y < 500; ++y) rows += dc.At(50, y) != 0;
  for (int x = 0; x < 300; ++x) columns += dc.At(x, 50) != 0;
  EXPECT_EQ(columns, 100);
  EXPECT_EQ(rows, 200);
}

}  // namespace
