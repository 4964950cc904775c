// TMemoryImage: sizes and resolutions, who frees a page given by handle, quarter turns, pages of
// a multi-page TIFF, loads that fail, saving and the clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <filesystem>

#include "viewfixture.h"

namespace {

// A block made by a page that lets go of it: the caller's block.
win32::HGLOBAL CallersBlock(int32_t Width, int32_t Height, uint8_t Type, int32_t XDPI = 200,
                            int32_t YDPI = 200) {
  auto maker = WhitePage(Width, Height, Type, XDPI, YDPI);
  maker->SetOwnsHandle(false);
  win32::HGLOBAL handle = maker->GetHandle();
  maker.reset();
  return handle;
}

TEST(MemoryImage, SizesAndResolutionsOfAPage) {
  TMemoryImage image;
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.PageCount(), 1);
  EXPECT_TRUE(image.FreeImageHandle());
  image.SetImageHandle(CallersBlock(300, 100, pt8bit, 200, 100));
  EXPECT_TRUE(image.IsValid());
  EXPECT_EQ(image.HorzSize(), 300);
  EXPECT_EQ(image.VertSize(), 100);
  EXPECT_EQ(image.Depth(), 8);
  EXPECT_EQ(image.HorzResolution(), 200);
  EXPECT_EQ(image.VertResolution(), 100);
  EXPECT_EQ(image.VertSizeCorrected(), 200);  // shown at the horizontal resolution
  EXPECT_TRUE(image.FileName().empty());

  image.SetImageHandle(CallersBlock(10, 10, pt1bit, 0, 0));
  EXPECT_EQ(image.HorzResolution(), 72);  // none: 72
  EXPECT_EQ(image.VertResolution(), 72);
  image.Clear();
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.HorzSize(), 0);
  EXPECT_EQ(image.Depth(), 0);
}

// With FreeImageHandle true the view frees the block; set false, the block stays the caller's
// whichever is destroyed or replaced first. The sanitizers see any block freed twice or lost.
TEST(MemoryImage, FreesOnlyTheBlocksItOwns) {
  {  // adopted and owned: freed with the image
    TMemoryImage image;
    image.SetImageHandle(CallersBlock(20, 20, pt8bit));
  }
  {  // kept by the caller: the image lets go of it when destroyed
    win32::HGLOBAL handle = CallersBlock(20, 20, pt24bit);
    {
      TMemoryImage image;
      image.SetImageHandle(handle);
      image.SetFreeImageHandle(false);
      image.Rotate(90);  // works in place; the handle stays the caller's
      EXPECT_EQ(image.ImageHandle(), handle);
    }
    EXPECT_EQ(win32::GlobalLockCount(handle), 0u);
    EXPECT_EQ(win32::GlobalFree(handle), nullptr);
  }
  {  // kept by the caller, then replaced by another page and by no page
    win32::HGLOBAL kept = CallersBlock(20, 20, pt1bit);
    TMemoryImage image;
    image.SetImageHandle(kept);
    image.SetFreeImageHandle(false);
    image.SetImageHandle(CallersBlock(5, 5, pt8bit));  // owned again
    EXPECT_EQ(win32::GlobalFree(kept), nullptr);
    image.SetImageHandle(nullptr);
    EXPECT_FALSE(image.IsValid());
  }
  {  // a block that is no page stays with the caller
    win32::HGLOBAL junk = win32::GlobalAlloc(win32::GHND, 8);
    TMemoryImage image;
    EXPECT_THROW(image.SetImageHandle(junk), Exception);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(win32::GlobalFree(junk), nullptr);
  }
}

TEST(MemoryImage, QuarterTurnsExchangeResolutions) {
  const struct {
    double Angle;
    int32_t Width, Height, XDPI, YDPI;
  } cases[] = {{90, 100, 200, 100, 200},
               {270, 100, 200, 100, 200},
               {180, 200, 100, 200, 100},
               {45, 200, 100, 200, 100}};
  for (const auto& c : cases) {
    TMemoryImage image;
    image.SetImageHandle(CallersBlock(200, 100, pt8bit, 200, 100));
    image.Rotate(c.Angle);
    EXPECT_EQ(image.HorzSize(), c.Width) << c.Angle;
    EXPECT_EQ(image.VertSize(), c.Height) << c.Angle;
    EXPECT_EQ(image.HorzResolution(), c.XDPI) << c.Angle;
    EXPECT_EQ(image.VertResolution(), c.YDPI) << c.Angle;
  }
}

TEST(MemoryImage, OperationsWithoutAPageDoNothing) {
  TMemoryImage image;
  image.Rotate(90);
  image.Rotate(30);
  image.SetResolution(300, 300, true);
  image.Deskew();
  EXPECT_EQ(image.DetectSkew(), 0);
  image.Crop({0, 0, 5, 5});
  image.CopyToClipboard({0, 0, 5, 5});
  EXPECT_FALSE(image.IsValid());
}

TEST(MemoryImage, SetResolutionWithResizeChangesTheCanvas) {
  TMemoryImage image;
  image.SetImageHandle(CallersBlock(100, 50, pt8bit, 100, 100));
  image.SetResolution(200, 300, true);
  EXPECT_EQ(image.HorzSize(), 200);
  EXPECT_EQ(image.VertSize(), 150);
  EXPECT_EQ(image.HorzResolution(), 200);
  EXPECT_EQ(image.VertResolution(), 300);
}

// A TIFF of three pages, each as wide as its number times ten.
std::string ThreePageTiff(const TTempDir& Dir) {
  const std::string name = Dir.File("three.tif");
  for (int32_t i = 1; i <= 3; ++i) WhitePage(10 * i, 8, pt1bit)->SaveTIFF(name, true, 0, 16);
  return name;
}

TEST(MemoryImage, PagesOfAMultiPageTiff) {
  TTempDir dir;
  const std::string name = ThreePageTiff(dir);
  TMemoryImage image;
  image.LoadImage(name, 1);
  EXPECT_EQ(image.PageCount(), 3);
  EXPECT_EQ(image.Page(), 1);
  EXPECT_EQ(image.HorzSize(), 20);
  EXPECT_EQ(image.FileName(), name);
  image.SetPage(5);  // past the last page: the last one
  EXPECT_EQ(image.Page(), 2);
  EXPECT_EQ(image.HorzSize(), 30);
  image.SetPage(-4);
  EXPECT_EQ(image.Page(), 0);
  EXPECT_EQ(image.HorzSize(), 10);

  // A page given by handle has no file: Page changes nothing.
  image.SetImageHandle(CallersBlock(7, 7, pt8bit));
  image.SetPage(2);
  EXPECT_EQ(image.Page(), 0);
  EXPECT_EQ(image.HorzSize(), 7);
}

// A load that fails leaves the page shown, its file and its page as they were.
TEST(MemoryImage, FailedLoadsKeepThePage) {
  TTempDir dir;
  const std::string name = ThreePageTiff(dir);
  TMemoryImage image;
  image.LoadImage(name, 2);
  const std::string broken = dir.File("broken.bmp");
  {
    TFileStream file(broken, TFileMode::fmCreate);
    file.WriteBuffer("BMnonsense", 10);
  }
  EXPECT_THROW(image.LoadImage(broken, 0), Exception);
  EXPECT_THROW(image.LoadImage(dir.File("missing.bmp"), 0), Exception);
  EXPECT_TRUE(image.IsValid());
  EXPECT_EQ(image.HorzSize(), 30);
  EXPECT_EQ(image.FileName(), name);
  EXPECT_EQ(image.Page(), 2);

  // The file is replaced by a one-page file: asking for another page fails and keeps the page.
  WhitePage(5, 5, pt1bit)->SaveTIFF(name, false, 0, 16);
  EXPECT_THROW(image.SetPage(1), Exception);
  EXPECT_EQ(image.HorzSize(), 30);
  EXPECT_EQ(image.Page(), 2);
}

TEST(MemoryImage, SavesReadBack) {
  TTempDir dir;
  TMemoryImage image;
  image.SetImageHandle(CallersBlock(40, 30, pt8bit, 150, 150));
  image.DIB().SetPixel(3, 4, 0);
  image.SaveImageAsTiff(dir.File("a.tif"), false);
  image.SaveImageAsTiff(dir.File("a.tif"), true);
  image.SaveImageAsBitmap(dir.File("a.bmp"));
  image.SaveImageAsJpeg(dir.File("a.jpg"));
  EXPECT_EQ(TDIB::PageCount(dir.File("a.tif")), 2);
  for (const char* file : {"a.tif", "a.bmp", "a.jpg"}) {
    TMemoryImage back;
    back.LoadImage(dir.File(file), 0);
    EXPECT_EQ(back.HorzSize(), 40) << file;
    EXPECT_EQ(back.VertSize(), 30) << file;
    EXPECT_EQ(back.HorzResolution(), 150) << file;
  }
  TMemoryImage back;  // 8-bit TIFF pages are JPEG-compressed: only the bitmap is exact
  back.LoadImage(dir.File("a.bmp"), 0);
  EXPECT_EQ(back.DIB().GetPixel(3, 4), 0);
  EXPECT_EQ(back.DIB().GetPixel(4, 4), 255);
}

TEST(MemoryImage, CropKeepsTheRectangle) {
  TMemoryImage image;
  image.SetImageHandle(CallersBlock(40, 30, pt8bit));
  image.DIB().SetPixel(10, 5, 0);
  image.Crop({10, 5, 19, 24});
  EXPECT_EQ(image.HorzSize(), 10);
  EXPECT_EQ(image.VertSize(), 20);
  EXPECT_EQ(image.DIB().GetPixel(0, 0), 0);
}

// The clipboard holds the rectangle's pixels, right and bottom inclusive, with the resolution.
TEST(MemoryImage, ClipboardHoldsThePage) {
  TMemoryImage image;
  image.SetImageHandle(CallersBlock(40, 30, pt24bit, 300, 300));
  image.DIB().SetPixel(5, 6, 0x0000FF);    // red
  image.DIB().SetPixel(14, 15, 0xFF0000);  // blue
  image.CopyToClipboard({5, 6, 14, 15});
  const QImage held = QGuiApplication::clipboard()->image();
  ASSERT_EQ(held.size(), QSize(10, 10));
  EXPECT_EQ(held.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(held.pixel(9, 9), qRgb(0, 0, 255));
  EXPECT_EQ(held.pixel(5, 5), qRgb(255, 255, 255));
  EXPECT_NEAR(held.dotsPerMeterX(), 300 * 39.37, 1);
  EXPECT_EQ(image.HorzSize(), 40);  // the page itself is unchanged
}

}  // namespace
