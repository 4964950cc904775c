#include "dibunit.h"
#include "small_pages.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct LayoutCase {
  int32_t width;
  uint8_t type;
  int32_t stride;
  int32_t lineBytes;
  int32_t headerAndPalette;
};

class DIBLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DIBLayout, StrideLineBytesAndBlock) {
  const LayoutCase& c = GetParam();
  TDIB dib;
  dib.NewImage(c.width, 7, c.type, 300, 200);
  EXPECT_EQ(dib.Stride(), c.stride);
  EXPECT_EQ(dib.LineBytes(), c.lineBytes);
  EXPECT_EQ(dib.BlockSize(), c.headerAndPalette + 7 * c.stride);
  EXPECT_EQ(win32::GlobalSize(dib.Handle()), static_cast<size_t>(dib.BlockSize()));
  EXPECT_EQ(dib.PixelType(), c.type);
  EXPECT_EQ(uint32_t{dib.FileHeader().bfOffBits}, static_cast<uint32_t>(14 + c.headerAndPalette));
  EXPECT_EQ(dib.Header()->biSizeImage, static_cast<uint32_t>(7 * c.stride));
  EXPECT_EQ(dib.Header()->biClrUsed, static_cast<uint32_t>(dib.ColorCount()));
  EXPECT_EQ(dib.Lines(0), dib.Bits() + 6 * c.stride);
  EXPECT_EQ(dib.Lines(6), dib.Bits());
  EXPECT_EQ(dib.LockCount(), 1);
  TDIBLayout layout;
  TDIB::LayoutForType(c.width, 7, c.type, layout);
  EXPECT_EQ(layout.BlockSize, dib.BlockSize());
  EXPECT_EQ(layout.Stride, c.stride);
  EXPECT_EQ(layout.LineBytes, c.lineBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, DIBLayout,
    ::testing::Values(LayoutCase{1, pt1bit, 4, 1, 48}, LayoutCase{33, pt1bit, 8, 5, 48},
                      LayoutCase{32, pt1bit, 4, 4, 48}, LayoutCase{1, pt4bit, 4, 1, 104},
                      LayoutCase{9, pt4bit, 8, 5, 104}, LayoutCase{5, pt8bit, 8, 5, 1064},
                      LayoutCase{100, pt8bit, 100, 100, 1064}, LayoutCase{1, pt24bit, 4, 3, 40},
                      LayoutCase{5, pt24bit, 16, 15, 40}),
    [](const auto& info) {
      return "type" + std::to_string(info.param.type) + "_width" + std::to_string(info.param.width);
    });

TEST(DIB, NewImageHeaderResolutionAndPalettes) {
  TDIB dib;
  dib.NewImage(100, 50, pt8bit, 300, 200);
  EXPECT_EQ(dib.BlockSize(), 6064);
  EXPECT_EQ(dib.Header()->biXPelsPerMeter, 11811);
  EXPECT_EQ(dib.Header()->biYPelsPerMeter, 7874);
  EXPECT_EQ(dib.XResolution(), 300);
  EXPECT_EQ(dib.YResolution(), 200);
  EXPECT_EQ(dib.GetPaletteEntry(17), 0x111111u);
  EXPECT_EQ(dib.GetPaletteEntry(255), 0xFFFFFFu);
  EXPECT_TRUE(dib.HasGrayPalette());
  dib.SetXResolution(72);
  EXPECT_EQ(dib.Header()->biXPelsPerMeter, 2835);

  dib.NewImage(3, 3, pt4bit, 0, 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(dib.GetPaletteEntry(i), 0x101010u * i);
  dib.NewImage(3, 3, pt1bit, 0, 0);
  EXPECT_EQ(dib.GetPaletteEntry(0), 0u);
  EXPECT_EQ(dib.GetPaletteEntry(1), 0xFFFFFFu);
  EXPECT_FALSE(dib.HasGrayPalette());
  EXPECT_EQ(dib.GetPixel(2, 2), 0);
}

TEST(DIB, EmptyObject) {
  TDIB dib;
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_EQ(dib.Height(), 0);
  EXPECT_EQ(dib.PixelType(), pt8bit);
  EXPECT_EQ(dib.GetHandle(), nullptr);
  EXPECT_TRUE(dib.OwnsHandle());
  dib.SetHandle(nullptr);
  EXPECT_TRUE(dib.Empty());
  EXPECT_EQ(dib.Header(), nullptr);
  EXPECT_THROW(dib.GetPixel(0, 0), Exception);
  EXPECT_THROW(dib.Duplicate(), Exception);
}

TEST(DIB, RefusedNewImagesLeaveTheObjectEmpty) {
  struct Case {
    int32_t w, h;
    uint8_t type;
    const char* text;
  } cases[] = {
      {10, 10, 4, "Bit depht not allowed"},         {10, 10, 24, "Bit depht not allowed"},
      {65536, 1, pt1bit, "Image size not allowed"}, {1, 70000, pt1bit, "Image size not allowed"},
      {-1, 5, pt8bit, "Image size not allowed"},    {60000, 60000, pt24bit, "Image too large"},
  };
  for (const Case& c : cases) {
    TDIB dib;
    dib.NewImage(4, 4, pt8bit, 0, 0);
    size_t live = win32::GlobalLiveBytes();
    try {
      dib.NewImage(c.w, c.h, c.type, 300, 300);
      ADD_FAILURE() << c.w << "x" << c.h;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
    }
    EXPECT_TRUE(dib.Empty());
    EXPECT_LT(win32::GlobalLiveBytes(), live);
  }
}

TEST(DIB, PixelSettersAndGetters) {
  TDIB dib;
  dib.NewImage(17, 3, pt1bit, 0, 0);
  struct {
    int32_t value, expected;
  } ones[] = {{-5, 0}, {0, 0}, {1, 1}, {7, 1}};
  for (auto c : ones) {
    dib.SetPixel1(9, 1, c.value);
    EXPECT_EQ(dib.GetPixel1(9, 1), c.expected) << c.value;
    EXPECT_EQ(dib.Lines(1)[1], c.expected ? 0x40 : 0);
  }

  dib.NewImage(3, 2, pt4bit, 0, 0);
  dib.SetPixel4(0, 0, 0x1A);
  dib.SetPixel4(1, 0, 0x2B);
  EXPECT_EQ(dib.Lines(0)[0], 0xAB);
  EXPECT_EQ(dib.GetPixel(0, 0), 0xA);
  EXPECT_EQ(dib.GetPixel(1, 0), 0xB);

  dib.NewImage(3, 2, pt8bit, 0, 0);
  dib.SetPixel(2, 1, 0x1FF);
  EXPECT_EQ(dib.GetPixel8(2, 1), 0xFF);

  dib.NewImage(2, 2, pt24bit, 0, 0);
  dib.SetPixel24(1, 0, 255);
  EXPECT_EQ(dib.GetPixel24(1, 0), 255);
  const uint8_t* p = dib.Lines(0) + 3;
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
  dib.SetPixel(0, 1, 0x123456);
  EXPECT_EQ(dib.Lines(1)[0], 0x12);
  EXPECT_EQ(dib.GetPixel(0, 1), 0x123456);
}

TEST(DIB, FillCoversPaddingAndInvertLeavesIt) {
  TDIB dib;
  dib.NewImage(5, 2, pt8bit, 0, 0);
  dib.Clear();
  EXPECT_EQ(dib.Bits()[7], 255);
  dib.Fill(0x0F);
  dib.InvertBits();
  EXPECT_EQ(dib.Lines(0)[4], 0xF0);
  EXPECT_EQ(dib.Lines(0)[5], 0x0F);  // padding untouched
}

TEST(DIB, WhiteAndBlackIndex) {
  TDIB dib;
  dib.NewImage(8, 1, pt1bit, 0, 0);
  EXPECT_EQ(dib.WhiteIndex(), 1);
  EXPECT_EQ(dib.BlackIndex(), 0);
  dib.ReversePalette();
  EXPECT_EQ(dib.WhiteIndex(), 0);
  EXPECT_EQ(dib.BlackIndex(), 1);
  dib.SetPaletteEntry(0, 0x808080);
  dib.SetPaletteEntry(1, 0x404040);
  EXPECT_EQ(dib.WhiteIndex(), 0);
  EXPECT_EQ(dib.BlackIndex(), 1);

  dib.NewImage(2, 2, pt8bit, 0, 0);
  EXPECT_EQ(dib.WhiteIndex(), 255);
  dib.SetPaletteEntry(255, 0x7F7F7F);
  EXPECT_EQ(dib.WhiteIndex(), 255);
  EXPECT_FALSE(dib.HasGrayPalette());
  dib.NewImage(2, 2, pt24bit, 0, 0);
  EXPECT_EQ(dib.WhiteIndex(), 16777215);
  EXPECT_EQ(dib.BlackIndex(), 0);
  dib.NewImage(2, 2, pt4bit, 0, 0);
  EXPECT_EQ(dib.WhiteIndex(), 0);  // the 4-bit gray ramp tops at 240
  EXPECT_EQ(dib.BlackIndex(), 0);
}

TEST(DIB, ReversePaletteKeepsThePicture) {
  TDIB dib;
  dib.NewImage(10, 3, pt1bit, 0, 0);
  dib.SetPixel(3, 1, 1);
  dib.ReversePalette();
  EXPECT_EQ(dib.GetPaletteEntry(0), 0xFFFFFFu);
  EXPECT_EQ(dib.GetPaletteEntry(1), 0u);
  EXPECT_EQ(dib.GetPixel(3, 1), 0);
  EXPECT_EQ(dib.GetPixel(4, 1), 1);
  EXPECT_TRUE(dib.HasGrayPalette());

  dib.NewImage(4, 1, pt8bit, 0, 0);
  dib.SetPixel(0, 0, 10);
  dib.ReversePalette();
  EXPECT_EQ(dib.GetPixel(0, 0), 245);
  EXPECT_EQ(dib.GetPaletteEntry(245) & 0xFF, 10u);
}

TEST(DIB, SetPaletteFromLog) {
  TDIB dib;
  dib.NewImage(2, 2, pt1bit, 0, 0);
  win32::LOGPALETTE log{};
  log.palVersion = 0x300;
  log.palNumEntries = 2;
  log.palPalEntry[0] = {10, 20, 30, 0};
  log.palPalEntry[1] = {40, 50, 60, 0};
  dib.SetPaletteFromLog(log);
  EXPECT_EQ(dib.GetPaletteEntry(0), 0x0A141Eu);
  log.palNumEntries = 3;
  EXPECT_THROW(dib.SetPaletteFromLog(log), Exception);
}

TEST(DIB, DuplicateIsDeepAndExact) {
  TDIB dib;
  dib.NewImage(13, 5, pt4bit, 300, 300);
  dib.Header()->biXPelsPerMeter = 11800;  // not a whole DPI: the copy keeps the header as is
  dib.SetPixel(12, 4, 9);
  dib.SetPaletteEntry(3, 0x123456);
  auto copy = dib.Duplicate();
  ASSERT_EQ(copy->BlockSize(), dib.BlockSize());
  EXPECT_EQ(std::memcmp(copy->Memory(), dib.Memory(), dib.BlockSize()), 0);
  EXPECT_NE(copy->Handle(), dib.Handle());
  EXPECT_EQ(copy->GetPixel(12, 4), 9);
  copy->SetPixel(12, 4, 1);
  EXPECT_EQ(dib.GetPixel(12, 4), 9);
  EXPECT_EQ(copy->LockCount(), 1);
  EXPECT_EQ(dib.LockCount(), 1);
}

// Builds a packed block of the given bit count by hand, as a scanner driver would hand it over.
win32::HGLOBAL ForeignBlock(int32_t w, int32_t h, uint16_t bits, size_t extra = 0) {
  int32_t colors = bits <= 8 ? 1 << bits : 0;
  int32_t stride = ((w * bits + 31) / 32) * 4;
  size_t size = 40 + 4 * colors + h * stride + extra;
  win32::HGLOBAL handle = win32::GlobalAlloc(win32::GHND, size);
  auto* info = static_cast<win32::BITMAPINFOHEADER*>(win32::GlobalLock(handle));
  info->biSize = 40;
  info->biWidth = w;
  info->biHeight = h;
  info->biPlanes = 1;
  info->biBitCount = bits;
  win32::GlobalUnlock(handle);
  return handle;
}

TEST(DIB, AdoptAndGiveAwayBlocks) {
  win32::HGLOBAL block = ForeignBlock(10, 4, 24);
  {
    TDIB dib;
    dib.SetHandle(block);
    EXPECT_EQ(dib.PixelType(), pt24bit);
    EXPECT_EQ(dib.Width(), 10);
    EXPECT_EQ(dib.Stride(), 32);
    EXPECT_EQ(win32::GlobalLockCount(block), 1u);
    dib.SetOwnsHandle(false);
    EXPECT_EQ(dib.GetHandle(), block);
  }
  // Given away: still valid and unlocked.
  EXPECT_EQ(win32::GlobalLockCount(block), 0u);
  EXPECT_EQ(win32::GlobalSize(block), 40u + 4 * 32);

  size_t live = win32::GlobalLiveBytes();
  {
    TDIB dib;
    dib.SetHandle(block);  // owns it by default: freed with the object
  }
  EXPECT_EQ(win32::GlobalLiveBytes(), live - (40 + 4 * 32));
}

TEST(DIB, UnmappedBitCountsKeepTheTypeButRefusePixels) {
  win32::HGLOBAL block = ForeignBlock(10, 10, 16);
  TDIB dib;
  dib.SetHandle(block);
  EXPECT_EQ(dib.PixelType(), pt8bit);
  EXPECT_EQ(dib.BlockSize(), 240);
  EXPECT_THROW(dib.GetPixel(0, 0), Exception);
  EXPECT_THROW(dib.SetPixel(0, 0, 1), Exception);
  try {
    dib.Duplicate();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "DIB Duplicate error !");
  }
}

TEST(DIB, AdoptedBlocksTooSmallForTheirHeaderAreRefused) {
  TDIB dib;
  win32::HGLOBAL tiny = win32::GlobalAlloc(win32::GHND, 20);
  EXPECT_THROW(dib.SetHandle(tiny), Exception);
  EXPECT_TRUE(dib.Empty());
  EXPECT_EQ(win32::GlobalLockCount(tiny), 0u);
  win32::GlobalFree(tiny);

  win32::HGLOBAL shortRows = ForeignBlock(100, 100, 8);
  win32::GlobalReAlloc(shortRows, 2000, 0);
  EXPECT_THROW(dib.SetHandle(shortRows), Exception);
  EXPECT_TRUE(dib.Empty());
  EXPECT_NE(win32::GlobalSize(shortRows), 0u);  // still the caller's
  win32::GlobalFree(shortRows);
}

TEST(DIB, EmptiedPagesRefusePixelAccess) {
  TDIB dib;
  dib.NewImage(4, 4, pt8bit, 300, 300);
  dib.FreeImage();
  try {
    dib.GetPixel(0, 0);
    ADD_FAILURE() << "an emptied page gave a pixel";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Pixel access on an empty bitmap");
  }
  EXPECT_THROW(dib.SetPixel(0, 0, 1), Exception);
}

// A page whose every pixel differs from its neighbours, so that a moved block shows.
void Pattern(TDIB& Page) {
  for (int32_t y = 0; y < Page.Height(); ++y) {
    for (int32_t x = 0; x < Page.Width(); ++x) Page.SetPixel(x, y, (x * 7 + y * 13) & 0xFF);
  }
}

TEST(TakeImage, MovesTheBlockAndItsOwnership) {
  size_t live = win32::GlobalLiveBytes();
  {
    TDIB source;
    source.NewImage(30, 20, pt8bit, 200, 300);
    Pattern(source);
    win32::HGLOBAL block = source.Handle();
    TDIB page;
    page.NewImage(50, 50, pt24bit, 100, 100);  // its own block goes
    const size_t withOld = win32::GlobalLiveBytes();
    const size_t oldBytes = win32::GlobalSize(page.Handle());

    page.TakeImage(source);
    EXPECT_EQ(win32::GlobalLiveBytes(), withOld - oldBytes);
    EXPECT_EQ(page.Handle(), block);
    EXPECT_TRUE(page.OwnsHandle());
    EXPECT_EQ(page.LockCount(), 1);
    EXPECT_EQ(win32::GlobalLockCount(block), 1u);
    EXPECT_EQ(page.PixelType(), pt8bit);
    ASSERT_EQ(page.Width(), 30);
    ASSERT_EQ(page.Height(), 20);
    EXPECT_EQ(page.XResolution(), 200);
    EXPECT_EQ(page.YResolution(), 300);
    EXPECT_EQ(page.GetPixel(29, 19), (29 * 7 + 19 * 13) & 0xFF);
    EXPECT_EQ(page.GetPixel(3, 1), 3 * 7 + 13);

    EXPECT_TRUE(source.Empty());
    EXPECT_EQ(source.Header(), nullptr);
    EXPECT_EQ(source.LockCount(), 0);
    EXPECT_TRUE(source.OwnsHandle());
    EXPECT_THROW(source.GetPixel(0, 0), Exception);
    source.NewImage(4, 4, pt1bit, 300, 300);  // the emptied source makes pages again
  }
  EXPECT_EQ(win32::GlobalLiveBytes(), live);  // each block freed once, by its last holder
}

TEST(TakeImage, ABorrowedBlockStaysBorrowed) {
  win32::HGLOBAL block = ForeignBlock(10, 4, 8);
  {
    TDIB lender;
    lender.SetHandle(block);
    lender.SetOwnsHandle(false);
    TDIB page;
    page.TakeImage(lender);
    EXPECT_EQ(page.Handle(), block);
    EXPECT_FALSE(page.OwnsHandle());
    EXPECT_TRUE(lender.Empty());
    EXPECT_TRUE(lender.OwnsHandle());
    EXPECT_EQ(win32::GlobalLockCount(block), 1u);
  }
  EXPECT_EQ(win32::GlobalLockCount(block), 0u);
  EXPECT_EQ(win32::GlobalSize(block), 40u + 1024 + 4 * 12);  // still the caller's
  win32::GlobalFree(block);
}

TEST(TakeImage, EmptySourceAndSelf) {
  TDIB page;
  page.NewImage(8, 8, pt8bit, 300, 300);
  win32::HGLOBAL block = page.Handle();
  page.TakeImage(page);
  EXPECT_EQ(page.Handle(), block);
  EXPECT_EQ(page.LockCount(), 1);

  size_t live = win32::GlobalLiveBytes();
  TDIB empty;
  page.TakeImage(empty);
  EXPECT_TRUE(page.Empty());
  EXPECT_TRUE(page.OwnsHandle());
  EXPECT_LT(win32::GlobalLiveBytes(), live);  // the page's old block was freed
}

TEST(TakeImage, RowsAfterAGapStayWhereTheyAre) {
  TDIB source;
  source.NewImage(5, 3, pt8bit, 300, 300);
  Pattern(source);
  const size_t rowsAt = 40 + 1024, gap = 12;
  TDIB loaded;
  CopyWithGapBeforeRows(source, gap, loaded);

  TDIB page;
  page.TakeImage(loaded);
  EXPECT_EQ(uint32_t{page.FileHeader().bfOffBits}, 14 + rowsAt + gap);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(page.GetPixel(x, y), source.GetPixel(x, y));
  }
}

TEST(TakeImage, ARefusedBlockStaysWithTheSource) {
  TDIB source;
  source.NewImage(10, 10, pt8bit, 300, 300);
  win32::HGLOBAL block = source.Handle();
  source.Header()->biHeight = 100000;  // more rows than the block holds
  TDIB page;
  page.NewImage(4, 4, pt8bit, 300, 300);
  EXPECT_THROW(page.TakeImage(source), Exception);
  EXPECT_TRUE(page.Empty());
  EXPECT_EQ(source.Handle(), block);
  EXPECT_TRUE(source.OwnsHandle());
  EXPECT_EQ(source.LockCount(), 1);
  EXPECT_EQ(win32::GlobalLockCount(block), 1u);
}

TEST(DIB, SmallFunctions) {
  EXPECT_EQ(IntMax(-3, 2), 2);
  EXPECT_EQ(IntMin(-3, 2), -3);
  EXPECT_EQ(IntPower(2, 10), 1024);
  EXPECT_EQ(IntPower(7, 0), 1);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_THROW(Round(1e12), Exception);
}

}  // namespace
