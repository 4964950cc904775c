// Small files that claim large pages: refusing one costs at most 64 times its size and 64 MiB
// beside, whatever it claims. The files are made here byte by byte: a progressive gray JPEG
// whose scans are all runs of empty blocks (a few hundred bytes cover a huge page each time),
// alone and inside a TIFF, and JPEG-in-TIFF pages without any data.
#include <gtest/gtest.h>

#include <vector>

#include "../peak_memory.h"
#include "dibunit.h"
#include "load_error.h"
#include "tiff_fixture.h"

namespace {

using TBytes = std::vector<uint8_t>;

void Put16(TBytes& Out, uint32_t Value) {
  Out.push_back(static_cast<uint8_t>(Value >> 8));
  Out.push_back(static_cast<uint8_t>(Value));
}

void Segment(TBytes& Out, uint8_t Marker, const TBytes& Data) {
  Out.push_back(0xFF);
  Out.push_back(Marker);
  Put16(Out, static_cast<uint32_t>(Data.size() + 2));
  Out.insert(Out.end(), Data.begin(), Data.end());
}

// Entropy data of one AC scan over Blocks blocks: runs of 32767 empty blocks (the only
// Huffman code, one bit, then fourteen bits of run), padded with ones, bytes 0xFF stuffed.
TBytes EmptyBlockRuns(int64_t Blocks) {
  TBytes out;
  uint32_t bits = 0;
  int count = 0;
  const auto put = [&](uint32_t Value, int Length) {
    for (int i = Length - 1; i >= 0; --i) {
      bits = bits << 1 | ((Value >> i) & 1);
      if (++count == 8) {
        out.push_back(static_cast<uint8_t>(bits));
        if ((bits & 0xFF) == 0xFF) out.push_back(0);
        bits = 0;
        count = 0;
      }
    }
  };
  for (int64_t done = 0; done < Blocks; done += 32767) {
    put(0, 1);
    put(0x3FFF, 14);
  }
  while (count != 0) put(1, 1);
  return out;
}

// A progressive gray JPEG of Width x Height with Scans AC scans of empty blocks.
TBytes EmptyProgressiveJpeg(uint16_t Width, uint16_t Height, int Scans) {
  TBytes out = {0xFF, 0xD8};
  TBytes quant = {0};
  quant.insert(quant.end(), 64, 1);
  Segment(out, 0xDB, quant);
  TBytes frame = {8};
  Put16(frame, Height);
  Put16(frame, Width);
  frame.insert(frame.end(), {1, 1, 0x11, 0});
  Segment(out, 0xC2, frame);
  TBytes table = {0x10, 1};  // AC table 0: one code of one bit, for EOB14
  table.insert(table.end(), 15, 0);
  table.push_back(0xE0);
  Segment(out, 0xC4, table);
  const TBytes runs = EmptyBlockRuns(int64_t{(Width + 7) / 8} * ((Height + 7) / 8));
  for (int i = 0; i < Scans; ++i) {
    Segment(out, 0xDA, {1, 1, 0x00, 1, 63, 0});
    out.insert(out.end(), runs.begin(), runs.end());
  }
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// A one-strip JPEG-in-TIFF page of Width x Height with the given strip data.
TTiffBytes JpegInTiff(uint32_t Width, uint32_t Height, uint16_t Samples, const TBytes& Strip) {
  TTiffBytes t;
  t.Long(256, {Width}).Long(257, {Height}).Short(258, std::vector<uint16_t>(Samples, 8));
  t.Short(259, {7}).Short(262, {static_cast<uint16_t>(Samples == 1 ? 1 : 2)});
  t.Short(277, {Samples}).Long(278, {Height});
  t.Pixels = Strip;
  return t;
}

// What refusing the file may cost.
int64_t Allowance(int64_t FileSize) {
  return 64 * FileSize + (int64_t{64} << 20);
}

TEST(CostlyFiles, RefusingCostsLittleWhateverThePageClaims) {
  const TBytes tiny = {0xFF, 0xD8, 0xFF, 0xD9};
  const struct {
    const char* What;
    TBytes File;
  } cases[] = {
      {"a progressive JPEG of 16000 x 16000 with 499 scans",
       EmptyProgressiveJpeg(16000, 16000, 499)},
      {"the same with 40 scans", EmptyProgressiveJpeg(16000, 16000, 40)},
      {"a JPEG-in-TIFF page with 400 progressive scans",
       JpegInTiff(8000, 8000, 1, EmptyProgressiveJpeg(8000, 8000, 400)).Bytes()},
      {"a JPEG-in-TIFF page with 40 progressive scans",
       JpegInTiff(8000, 8000, 1, EmptyProgressiveJpeg(8000, 8000, 40)).Bytes()},
      {"a colour JPEG-in-TIFF page without data", JpegInTiff(8000, 8000, 3, {}).Bytes()},
      {"a gray JPEG-in-TIFF page without data", JpegInTiff(8000, 8000, 1, {}).Bytes()},
      {"a colour JPEG-in-TIFF page of an empty image", JpegInTiff(8000, 8000, 3, tiny).Bytes()},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.File);
    TPeakMemory peak;
    EXPECT_NE(LoadError(s), "loaded") << c.What;
    if (peak.Available()) {
      EXPECT_LT(peak.Growth(), Allowance(static_cast<int64_t>(c.File.size())))
          << c.What << ", " << c.File.size() << " bytes";
    }
  }
}

// Scans are counted in a JPEG inside a TIFF as in a plain one.
TEST(CostlyFiles, ScansBeyondTheLimitAreRefusedInATiffAsAlone) {
  const TBytes many = EmptyProgressiveJpeg(64, 64, 65);
  TMemoryStream alone(many);
  EXPECT_EQ(LoadError(alone), "JPEG image has more than 64 scans");
  TMemoryStream inside(JpegInTiff(64, 64, 1, many).Stream());
  EXPECT_EQ(LoadError(inside), "JPEG image has more than 64 scans");
}

}  // namespace
