#include <gtest/gtest.h>

#include <cstring>

#include "UnitSharedParam.h"

// The record as the data source sends it, field by field at its byte offsets.
TEST(ScanRequest, WireLayoutAndWholeCopy) {
  uint8_t wire[333] = {};
  auto put32 = [&](int offset, int32_t v) { std::memcpy(wire + offset, &v, 4); };
  auto putDouble = [&](int offset, double v) { std::memcpy(wire + offset, &v, 8); };
  put32(256, -1);
  put32(260, 300);
  put32(264, 200);
  put32(268, 100);
  put32(272, 100);
  putDouble(292, 8.27);
  putDouble(300, 11.69);
  put32(308, -1000);
  put32(312, 1000);
  wire[316] = 1;
  put32(317, 0x1234580);
  wire[321] = 1;
  put32(322, 2);
  wire[326] = 1;
  put32(327, 24);
  wire[331] = 1;
  wire[332] = 1;

  TScanRequest request;
  std::memcpy(&request, wire, sizeof request);
  TScanRequest copy = request;
  EXPECT_EQ(std::memcmp(&copy, wire, 333), 0);
  EXPECT_EQ(+copy.ImageCount, -1);
  EXPECT_EQ(static_cast<int16_t>(+copy.ImageCount & 0xFFFF), -1);
  EXPECT_EQ(+copy.XResolution, 300);
  EXPECT_EQ(+copy.YResolution, 200);
  EXPECT_EQ(+copy.PageWidth, 8.27);
  EXPECT_EQ(+copy.PageHeight, 11.69);
  EXPECT_EQ(+copy.Contrast, -1000);
  EXPECT_EQ(+copy.Brightness, 1000);
  EXPECT_EQ(copy.Threshold & 0xFF, 0x80);
  EXPECT_EQ(+copy.PixelType, 2);
  EXPECT_EQ(+copy.Dithering, 1);
  EXPECT_EQ(+copy.BitDepth, 24);
  EXPECT_EQ(+copy.ADF, 1);
  EXPECT_EQ(+copy.Duplex, 1);
}
