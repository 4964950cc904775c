// Arbitrary bytes decoded as a PNG page, and a decoded image encoded and decoded again: a clear
// exception or a sound page, nothing else.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dibunit.h"
#include "gfx_png.h"

namespace {

// Mutated files nearly always break a CRC; most inputs get theirs mended so that the fuzzer
// reaches the chunks behind the check.
void MendCRCs(std::vector<uint8_t>& Bytes) {
  for (size_t at = 8; at + 12 <= Bytes.size();) {
    uint32_t length = uint32_t{Bytes[at]} << 24 | uint32_t{Bytes[at + 1]} << 16 |
                      uint32_t{Bytes[at + 2]} << 8 | Bytes[at + 3];
    if (length > Bytes.size() - at - 12) return;
    uint32_t crc = static_cast<uint32_t>(crc32(0, &Bytes[at + 4], length + 4));
    for (int i = 0; i < 4; ++i)
      Bytes[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (size % 8 != 7) MendCRCs(bytes);
  TMemoryStream stream(bytes);
  TDIB dib;
  try {
    dib.LoadPNG(stream);
    dib.GetPixel(dib.Width() - 1, dib.Height() - 1);
  } catch (const Exception&) {
  }
  try {
    stream.SetPosition(0);
    TPNGImage png;
    png.LoadFromStream(stream);
    if (int64_t{png.Width()} * png.Height() <= 1 << 16) {
      TMemoryStream out;
      png.SaveToStream(out);
      out.SetPosition(0);
      TPNGImage back;
      back.LoadFromStream(out);
    }
  } catch (const Exception&) {
  }
  return 0;
}
