// JPEG files whose entropy data end early, whatever their coding: refused, so that no page is
// made of the zeros put in place of missing data.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdio>
#include <vector>

#include "dibunit.h"
#include "load_error.h"

namespace {

// A gray JPEG written by the library into memory.
std::vector<uint8_t> Encoded(uint32_t W, uint32_t H, bool Arithmetic, bool Progressive) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = W;
  c.image_height = H;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  if (Progressive) jpeg_simple_progression(&c);
  c.arith_code = Arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(W);
  for (uint32_t y = 0; y < H; ++y) {
    for (uint32_t x = 0; x < W; ++x) row[x] = static_cast<uint8_t>((x * 3) ^ (y * 5));
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

// The file with each scan's entropy data dropped: every SOS header followed by the next marker.
std::vector<uint8_t> WithoutEntropyData(const std::vector<uint8_t>& In) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i + 1 < In.size()) {
    if (In[i] == 0xFF && In[i + 1] == 0xDA) {
      size_t header = 2 + (In[i + 2] << 8 | In[i + 3]);
      out.insert(out.end(), In.begin() + i, In.begin() + i + header);
      i += header;
      while (i + 1 < In.size() &&
             !(In[i] == 0xFF && In[i + 1] != 0 && (In[i + 1] < 0xD0 || In[i + 1] > 0xD7)))
        ++i;
    } else {
      out.push_back(In[i++]);
    }
  }
  out.insert(out.end(), In.begin() + i, In.end());
  return out;
}

std::string LoadError(const std::vector<uint8_t>& Bytes) {
  TMemoryStream s(Bytes);
  return ::LoadError(s);
}

TEST(JPEGHostile, DataThatEndEarlyAreRefusedWhateverTheCoding) {
  for (bool arithmetic : {false, true}) {
    for (bool progressive : {false, true}) {
      std::vector<uint8_t> whole = Encoded(512, 512, arithmetic, progressive);
      EXPECT_EQ(LoadError(whole), "loaded") << arithmetic << progressive;
      EXPECT_NE(LoadError(WithoutEntropyData(whole)), "loaded") << arithmetic << progressive;
    }
  }
}

}  // namespace
