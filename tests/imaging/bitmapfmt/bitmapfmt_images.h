// Images and whole readings for the bitmap format module's tests.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmapfmt.h"
#include "bitmapfmt_memfiles.h"

struct TImage {
  bitmapfmt::TBitmapDesc Desc;
  std::vector<bitmapfmt::TRgb> Palette;
  std::vector<uint8_t> Data;
};

// A deterministic pattern with zero row padding and a palette of distinct entries.
inline TImage Pattern(int w, int h, int bpp) {
  TImage image;
  image.Desc.W = w;
  image.Desc.H = h;
  image.Desc.Bpp = bpp;
  const int64_t stride = bitmapfmt::RowBytes(w, bpp);
  const int64_t used = (static_cast<int64_t>(w) * bpp + 7) / 8;
  image.Data.assign(static_cast<size_t>(stride * h), 0);
  for (int y = 0; y < h; ++y)
    for (int64_t i = 0; i < used; ++i)
      image.Data[y * stride + i] = static_cast<uint8_t>((y * 37 + i * 11 + (i * i) / 3) ^ (y >> 1));
  if (bpp == 1 || bpp == 4) {  // clear the bits beyond the last pixel of each row
    const int rest = (w * bpp) % 8;
    if (rest != 0)
      for (int y = 0; y < h; ++y)
        image.Data[y * stride + used - 1] &= static_cast<uint8_t>(0xff00 >> rest);
  }
  if (bpp <= 8) {
    for (int i = 0; i < (1 << bpp); ++i)
      image.Palette.push_back({static_cast<uint8_t>(i * 7 + 1), static_cast<uint8_t>(255 - i),
                               static_cast<uint8_t>(i * 13 + 5)});
  }
  return image;
}

// Writes the image into a new memory file; returns the code, the bytes in *bytes.
inline int WriteTo(TMemFiles& files, int index, const TImage& image, const char* options,
                   std::vector<uint8_t>* bytes) {
  const int handle = files.Add();
  const int code =
      bitmapfmt::WriteImage("image", handle, index, &image.Desc,
                            image.Palette.empty() ? nullptr : &image.Palette, &image.Data, options);
  *bytes = files.Bytes(handle);
  return code;
}

struct TReading {
  int Code = -1;
  TImage Image;
};

// Header, palette and data of a file, up to the first step that fails.
inline TReading ReadAll(int handle, int index, const char* options = "") {
  TReading r;
  r.Code = bitmapfmt::ReadHeader("image", handle, index, &r.Image.Desc, options);
  if (r.Code == 0) r.Code = bitmapfmt::ReadPalette(handle, index, &r.Image.Desc, &r.Image.Palette);
  if (r.Code == 0) r.Code = bitmapfmt::ReadData(handle, index, &r.Image.Desc, &r.Image.Data);
  return r;
}

inline TReading ReadBytes(TMemFiles& files, std::vector<uint8_t> bytes, int index,
                          const char* options = "") {
  return ReadAll(files.Add(std::move(bytes)), index, options);
}

// The image with the bits of every pixel inverted (1 bit per pixel).
inline std::vector<uint8_t> InvertedBits(const TImage& image) {
  std::vector<uint8_t> data = image.Data;
  const int64_t stride = bitmapfmt::RowBytes(image.Desc.W, 1);
  for (int y = 0; y < image.Desc.H; ++y)
    for (int x = 0; x < image.Desc.W; ++x)
      data[y * stride + x / 8] ^= static_cast<uint8_t>(0x80 >> (x % 8));
  return data;
}

constexpr int kBmp = 0;
constexpr int kPcx = 1;
constexpr int kTga = 2;
