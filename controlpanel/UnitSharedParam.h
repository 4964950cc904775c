// The scan request record that a data source sends to the control panel with the start of a
// scan: the data source's settings, copied whole, in this exact byte layout on both sides.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the scan request crosses the network in the machine's byte order");

#pragma pack(push, 1)
struct TScanRequest {
  uint8_t Reserved[256];
  int32_t ImageCount;  // -1: as many pages as the feeder holds
  int32_t XResolution;
  int32_t YResolution;
  int32_t XScaling;  // percent
  int32_t YScaling;
  uint8_t Reserved2[16];
  double PageWidth;  // inches
  double PageHeight;
  int32_t Contrast;    // -1000..1000
  int32_t Brightness;  // -1000..1000
  uint8_t AutoBrightness;
  int32_t Threshold;  // 0..255
  uint8_t AutoThreshold;
  int32_t PixelType;  // 0 black and white, 1 gray, 2 RGB colour
  uint8_t Dithering;
  int32_t BitDepth;  // 1, 8 or 24
  uint8_t ADF;
  uint8_t Duplex;
};
#pragma pack(pop)

static_assert(sizeof(TScanRequest) == 333);
static_assert(offsetof(TScanRequest, ImageCount) == 256);
static_assert(offsetof(TScanRequest, XResolution) == 260);
static_assert(offsetof(TScanRequest, YResolution) == 264);
static_assert(offsetof(TScanRequest, XScaling) == 268);
static_assert(offsetof(TScanRequest, YScaling) == 272);
static_assert(offsetof(TScanRequest, Reserved2) == 276);
static_assert(offsetof(TScanRequest, PageWidth) == 292);
static_assert(offsetof(TScanRequest, PageHeight) == 300);
static_assert(offsetof(TScanRequest, Contrast) == 308);
static_assert(offsetof(TScanRequest, Brightness) == 312);
static_assert(offsetof(TScanRequest, AutoBrightness) == 316);
static_assert(offsetof(TScanRequest, Threshold) == 317);
static_assert(offsetof(TScanRequest, AutoThreshold) == 321);
static_assert(offsetof(TScanRequest, PixelType) == 322);
static_assert(offsetof(TScanRequest, Dithering) == 326);
static_assert(offsetof(TScanRequest, BitDepth) == 327);
static_assert(offsetof(TScanRequest, ADF) == 331);
static_assert(offsetof(TScanRequest, Duplex) == 332);
