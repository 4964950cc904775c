#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

#include "dibunit.h"
#include "pagegen.h"
#include "source_pages.h"

namespace {

struct TurnCase {
  uint8_t type;
  int32_t width;
  int32_t height;
};

std::string TurnCaseName(const ::testing::TestParamInfo<TurnCase>& info) {
  return "type" + std::to_string(info.param.type) + "_" + std::to_string(info.param.width) + "x" +
         std::to_string(info.param.height);
}

class QuarterTurn : public ::testing::TestWithParam<TurnCase> {};

// The turned page pixel by pixel through the generic getter and setter: source (x, y) goes to
// Place(x, y) of a page of the given size.
std::unique_ptr<TDIB> TurnedByPixels(const TDIB& page, int32_t width, int32_t height,
                                     std::function<std::pair<int, int>(int, int)> place) {
  auto turned = std::make_unique<TDIB>();
  turned->NewImage(width, height, page.PixelType(), 1, 1);
  for (int32_t y = 0; y < page.Height(); ++y) {
    for (int32_t x = 0; x < page.Width(); ++x) {
      auto [tx, ty] = place(x, y);
      turned->SetPixel(tx, ty, page.GetPixel(x, y));
    }
  }
  return turned;
}

// Rows (padding included), header apart from the size, palette and handle are as expected.
void ExpectTurnedPage(const TDIB& page, const TDIB& before, const TDIB& expected,
                      win32::HGLOBAL handle) {
  ASSERT_EQ(page.Width(), expected.Width());
  ASSERT_EQ(page.Height(), expected.Height());
  EXPECT_EQ(page.Handle(), handle);
  EXPECT_EQ(page.LockCount(), 1);
  EXPECT_EQ(page.PixelType(), before.PixelType());
  EXPECT_EQ(page.BlockSize(), expected.BlockSize());
  EXPECT_EQ(win32::GlobalSize(page.Handle()), static_cast<size_t>(expected.BlockSize()));
  EXPECT_EQ(page.Header()->biXPelsPerMeter, before.Header()->biXPelsPerMeter);
  EXPECT_EQ(page.Header()->biYPelsPerMeter, before.Header()->biYPelsPerMeter);
  EXPECT_EQ(page.Header()->biSizeImage, expected.Header()->biSizeImage);
  EXPECT_EQ(std::memcmp(page.Palette(), before.Palette(), 4 * before.ColorCount()), 0);
  for (int32_t y = 0; y < page.Height(); ++y) {
    ASSERT_EQ(std::memcmp(page.Lines(y), expected.Lines(y), page.Stride()), 0) << "line " << y;
  }
}

TEST_P(QuarterTurn, EveryTypeMatchesThePixelByPixelTurn) {
  const TurnCase& c = GetParam();
  const int32_t w = c.width, h = c.height;
  struct Turn {
    const char* name;
    void (TDIB::*turn)();
    bool swapsSides;
    std::function<std::pair<int, int>(int, int)> place;
  } turns[] = {
      {"Rotate90", &TDIB::Rotate90, true,
       [h](int x, int y) {
         return std::pair{h - 1 - y, x};
       }},
      {"Rotate180", &TDIB::Rotate180, false,
       [w, h](int x, int y) {
         return std::pair{w - 1 - x, h - 1 - y};
       }},
      {"Rotate270", &TDIB::Rotate270, true,
       [w](int x, int y) {
         return std::pair{y, w - 1 - x};
       }},
  };
  for (const Turn& t : turns) {
    SCOPED_TRACE(t.name);
    auto before = PatternPage(w, h, c.type);
    auto page = before->Duplicate();
    win32::HGLOBAL handle = page->Handle();
    auto expected = TurnedByPixels(*before, t.swapsSides ? h : w, t.swapsSides ? w : h, t.place);
    size_t live = win32::GlobalLiveBytes() - page->BlockSize();
    (page.get()->*t.turn)();
    ExpectTurnedPage(*page, *before, *expected, handle);
    // The scratch page is gone: only the page's block has changed its size.
    EXPECT_EQ(win32::GlobalLiveBytes(), live + page->BlockSize());
  }
}

TEST_P(QuarterTurn, FourTurnsAndOppositeTurnsGiveBackThePage) {
  const TurnCase& c = GetParam();
  auto before = PatternPage(c.width, c.height, c.type);
  auto page = before->Duplicate();
  for (int i = 0; i < 4; ++i) page->Rotate90();
  ASSERT_EQ(page->BlockSize(), before->BlockSize());
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), before->BlockSize()), 0);
  for (int i = 0; i < 4; ++i) page->Rotate270();
  page->Rotate90();
  page->Rotate270();
  page->Rotate180();
  page->Rotate180();
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), before->BlockSize()), 0);
}

INSTANTIATE_TEST_SUITE_P(TypesAndOddSizes, QuarterTurn,
                         ::testing::Values(TurnCase{pt1bit, 37, 11}, TurnCase{pt1bit, 1, 9},
                                           TurnCase{pt4bit, 13, 6}, TurnCase{pt4bit, 5, 1},
                                           TurnCase{pt8bit, 7, 5}, TurnCase{pt8bit, 1, 1},
                                           TurnCase{pt24bit, 5, 9}, TurnCase{pt24bit, 1, 6}),
                         TurnCaseName);

TEST(QuarterTurns, OneColumnBecomesOneLine) {
  auto page = PatternPage(1, 40, pt8bit);
  auto before = page->Duplicate();
  page->Rotate90();
  ASSERT_EQ(page->Width(), 40);
  ASSERT_EQ(page->Height(), 1);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(page->GetPixel(x, 0), before->GetPixel(0, 39 - x));
}

// A block adopted with a bit count that has no pixel methods.
std::unique_ptr<TDIB> SixteenBitPage() {
  TDIB maker;
  maker.NewImage(20, 10, pt8bit, 300, 300);
  maker.Header()->biBitCount = 16;
  auto page = std::make_unique<TDIB>();
  page->TakeImage(maker);
  return page;
}

TEST(QuarterTurns, DepthWithoutPixelMethodsRaisesAndKeepsThePage) {
  auto page = SixteenBitPage();
  std::vector<uint8_t> before(BlockBytes(*page), BlockBytes(*page) + page->BlockSize());
  size_t live = win32::GlobalLiveBytes();
  for (auto turn : {&TDIB::Rotate90, &TDIB::Rotate180, &TDIB::Rotate270}) {
    EXPECT_THROW((page.get()->*turn)(), Exception);
  }
  EXPECT_THROW(page->RotateByAngle(true, 0, 10), Exception);
  EXPECT_EQ(win32::GlobalLiveBytes(), live);
  EXPECT_EQ(page->Width(), 20);
  EXPECT_EQ(std::memcmp(BlockBytes(*page), before.data(), before.size()), 0);
}

TEST(QuarterTurns, EmptyPageStaysEmpty) {
  TDIB page;
  page.Rotate90();
  page.Rotate180();
  page.RotateByAngle(true, 0, 30);
  EXPECT_TRUE(page.Empty());
}

// The turn by any angle, pixel by pixel through the generic getter and setter.
std::unique_ptr<TDIB> TurnedByAngle(const TDIB& page, int32_t width, int32_t height, int32_t fill,
                                    double angle) {
  auto turned = std::make_unique<TDIB>();
  turned->NewImage(width, height, page.PixelType(), 1, 1);
  double t = -angle * std::numbers::pi / 180;
  double s = std::sin(t), c = std::cos(t);
  int32_t cx = page.Width() / 2, cy = page.Height() / 2, rcx = width / 2, rcy = height / 2;
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      int32_t x = Round((j - rcx) * c + (cx - (i - rcy) * s));
      int32_t y = Round((j - rcx) * s + (cy + (i - rcy) * c));
      bool inside = x >= 0 && x < page.Width() && y >= 0 && y < page.Height();
      turned->SetPixel(j, i, inside ? page.GetPixel(x, y) : fill);
    }
  }
  return turned;
}

class TurnByAngle : public ::testing::TestWithParam<TurnCase> {};

TEST_P(TurnByAngle, EveryTypeMatchesThePixelByPixelTurn) {
  const TurnCase& c = GetParam();
  struct {
    double angle;
    bool enlarge;
  } turns[] = {{3, false}, {-3, false}, {30, true}, {-57.5, true}, {200, true}};
  int32_t fill = c.type == pt24bit ? 0x123456 : 1;
  for (auto t : turns) {
    SCOPED_TRACE(testing::Message() << t.angle << (t.enlarge ? " enlarged" : ""));
    auto before = PatternPage(c.width, c.height, c.type);
    auto page = before->Duplicate();
    win32::HGLOBAL handle = page->Handle();
    size_t live = win32::GlobalLiveBytes() - page->BlockSize();
    page->RotateByAngle(t.enlarge, fill, t.angle);
    int32_t w = t.enlarge ? page->Width() : c.width;
    int32_t h = t.enlarge ? page->Height() : c.height;
    ExpectTurnedPage(*page, *before, *TurnedByAngle(*before, w, h, fill, t.angle), handle);
    EXPECT_EQ(win32::GlobalLiveBytes(), live + page->BlockSize());
  }
}

INSTANTIATE_TEST_SUITE_P(TypesAndOddSizes, TurnByAngle,
                         ::testing::Values(TurnCase{pt1bit, 45, 31}, TurnCase{pt4bit, 23, 40},
                                           TurnCase{pt8bit, 41, 27}, TurnCase{pt24bit, 30, 33}),
                         TurnCaseName);

TEST(RotateByAngle, EnlargedSizes) {
  struct {
    int32_t w, h;
    double angle;
    int32_t newWidth, newHeight;
  } cases[] = {
      {100, 100, 45, 141, 141},  {5, 3, 90, 3, 5},  {6, 4, 90, 4, 6}, {200, 100, 30, 223, 186},
      {200, 100, -30, 223, 186}, {7, 7, 180, 7, 7}, {9, 4, 0, 9, 4},
  };
  for (auto c : cases) {
    auto page = PatternPage(c.w, c.h, pt8bit);
    page->RotateByAngle(true, 0, c.angle);
    EXPECT_EQ(page->Width(), c.newWidth) << c.w << "x" << c.h << " by " << c.angle;
    EXPECT_EQ(page->Height(), c.newHeight) << c.w << "x" << c.h << " by " << c.angle;
  }
}

TEST(RotateByAngle, QuarterTurnOfAnOddPageIsRotate90) {
  for (uint8_t type : {pt1bit, pt4bit, pt8bit, pt24bit}) {
    auto page = PatternPage(5, 3, type);
    auto turned = page->Duplicate();
    page->RotateByAngle(true, 0, 90);
    turned->Rotate90();
    ASSERT_EQ(page->BlockSize(), turned->BlockSize());
    EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*turned), page->BlockSize()), 0) << +type;
  }
}

TEST(RotateByAngle, QuarterTurnOfAnEvenPageIsOnePixelOff) {
  // 6 x 4 by 90 degrees: result column j, line i comes from (i, 4 - j), so column 0 lies
  // outside the page and takes the fill.
  auto page = PatternPage(6, 4, pt8bit);
  auto before = page->Duplicate();
  page->RotateByAngle(true, 99, 90);
  ASSERT_EQ(page->Width(), 4);
  ASSERT_EQ(page->Height(), 6);
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(page->GetPixel(0, i), 99);
    for (int32_t j = 1; j < 4; ++j) EXPECT_EQ(page->GetPixel(j, i), before->GetPixel(i, 4 - j));
  }
}

TEST(RotateByAngle, ZeroDegreesKeepsThePageAndCornersTakeTheFill) {
  auto page = PatternPage(31, 17, pt24bit);
  auto before = page->Duplicate();
  page->RotateByAngle(false, 0, 0);
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), page->BlockSize()), 0);

  page->RotateByAngle(true, 0xABCDEF, 45);
  EXPECT_EQ(page->GetPixel(0, 0), 0xABCDEF);
  EXPECT_EQ(page->GetPixel(page->Width() - 1, page->Height() - 1), 0xABCDEF);
  EXPECT_EQ(page->GetPixel(page->Width() / 2, page->Height() / 2), before->GetPixel(15, 8));
}

TEST(RotateByAngle, AngleThatIsNoNumberRaisesAndKeepsThePage) {
  auto page = PatternPage(8, 8, pt8bit);
  auto before = page->Duplicate();
  EXPECT_THROW(page->RotateByAngle(true, 0, std::nan("")), Exception);
  EXPECT_THROW(page->RotateByAngle(false, 0, INFINITY), Exception);
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), page->BlockSize()), 0);
}

// A small skewed page: text lines rising to the right by Skew degrees.
std::unique_ptr<TDIB> SkewedPage(uint8_t type, double skew) {
  TPageOptions o;
  o.Width = 1240;
  o.Height = 900;
  o.DPI = 150;
  o.Margin = 80;
  o.PixelType = type;
  o.SkewDegrees = skew;
  return MakeReferencePage(o);
}

TEST(AutoDeskew, DetectsTheSkewAndTurnsByItWithTheGivenFlags) {
  struct {
    uint8_t type;
    double skew;
    bool fillWhite, useTypeVariants;
  } cases[] = {{pt8bit, 2.5, true, true},
               {pt8bit, -1.5, false, false},
               {pt1bit, 3, false, true},
               {pt24bit, -3, true, false}};
  for (auto c : cases) {
    SCOPED_TRACE(testing::Message() << +c.type << " at " << c.skew);
    auto page = SkewedPage(c.type, c.skew);
    auto byHand = page->Duplicate();
    double angle = page->AutoDeskew(c.fillWhite, c.useTypeVariants, 5);
    EXPECT_NEAR(angle, c.skew, 0.15);
    EXPECT_EQ(angle, byHand->DetectSkew(0, 0.1, 5));
    byHand->Rotate(c.fillWhite, c.useTypeVariants, angle, angle, false);
    ASSERT_EQ(page->BlockSize(), byHand->BlockSize());
    EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*byHand), page->BlockSize()), 0);
    EXPECT_LT(std::fabs(page->DetectSkew(0, 0.1, 5)), 0.15);
  }
}

TEST(AutoDeskew, MaximumAngleBelowTheStepAndEmptyPageChangeNothing) {
  auto page = SkewedPage(pt8bit, 2);
  auto before = page->Duplicate();
  EXPECT_EQ(page->AutoDeskew(true, true, 0.05), 0);
  EXPECT_EQ(std::memcmp(BlockBytes(*page), BlockBytes(*before), page->BlockSize()), 0);
  TDIB empty;
  EXPECT_EQ(empty.AutoDeskew(true, true, 5), 0);
  EXPECT_TRUE(empty.Empty());
}

}  // namespace
