// Pixel encoding into the IDAT data: each row is filtered with the filter of the image's set
// that scores best, and the rows go through zlib at its default level.
#include <zlib.h>

#include <array>
#include <cstring>

#include "gfx_png.h"
#include "gfx_png_filters.h"
#include "gfx_png_raise.h"

namespace {

// Compresses what it is given into one zlib stream.
class TDeflater {
 public:
  TDeflater() {
    if (deflateInit(&FStream, Z_DEFAULT_COMPRESSION) != Z_OK) RaiseCorrupted();
  }
  ~TDeflater() { deflateEnd(&FStream); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  void Write(const uint8_t* Data, size_t Count) { Run(Data, Count, Z_NO_FLUSH); }
  std::vector<uint8_t> Finish() {
    Run(nullptr, 0, Z_FINISH);
    return std::move(FOut);
  }

 private:
  void Run(const uint8_t* Data, size_t Count, int Flush) {
    FStream.next_in = const_cast<Bytef*>(Data);
    FStream.avail_in = static_cast<uInt>(Count);
    int result;
    do {
      uint8_t buffer[1 << 16];
      FStream.next_out = buffer;
      FStream.avail_out = sizeof buffer;
      result = deflate(&FStream, Flush);
      FOut.insert(FOut.end(), buffer, buffer + (sizeof buffer - FStream.avail_out));
    } while (FStream.avail_out == 0 || (Flush == Z_FINISH && result != Z_STREAM_END));
  }

  z_stream FStream{};
  std::vector<uint8_t> FOut;
};

// The filter type whose candidate row scores highest; ties go to the earlier type.
uint8_t ChooseFilter(uint8_t Filters, const uint8_t* Raw, const uint8_t* Up,
                     std::array<std::vector<uint8_t>, 5>& Candidates, size_t Count,
                     size_t PixelBytes) {
  if (Filters == pfNone) return kFilterNone;
  uint8_t best = kFilterNone;
  int32_t bestScore = FilterScore(Raw, Count);
  for (uint8_t type = kFilterSub; type <= kFilterPaeth; ++type) {
    if ((Filters & (1 << type)) == 0) continue;
    FilterRow(type, Raw, Up, Candidates[type].data(), Count, PixelBytes);
    int32_t score = FilterScore(Candidates[type].data(), Count);
    if (score > bestScore) {
      best = type;
      bestScore = score;
    }
  }
  return best;
}

// Row Y as the file holds it: palette indices as stored, 24-bit pixels as red, green, blue
// through the inverse gamma table.
void RawRow(const TPNGImage& Image, int32_t Y, const TChunkGAMA::TGammaTable& Inverse, uint8_t* Raw,
            size_t Count) {
  const uint8_t* row = Image.ScanLine(Y);
  if (Image.PixelFormat() != pf24bit) {
    std::memcpy(Raw, row, Count);
    return;
  }
  for (size_t i = 0; i < Count; i += 3) {
    Raw[i] = Inverse[row[i + 2]];
    Raw[i + 1] = Inverse[row[i + 1]];
    Raw[i + 2] = Inverse[row[i]];
  }
}

}  // namespace

void TChunkIDAT::SaveToStream(TStream& Stream) {
  TPNGImage& image = Image();
  image.ConvertTo24Bits();
  int32_t bits = image.PixelFormat() == pf1bit   ? 1
                 : image.PixelFormat() == pf4bit ? 4
                 : image.PixelFormat() == pf8bit ? 8
                                                 : 24;
  size_t count = (size_t(image.Width()) * bits + 7) / 8;
  size_t pixelBytes = bits == 24 ? 3 : 1;
  const TChunkGAMA* gama = Owner().First<TChunkGAMA>();
  const TChunkGAMA::TGammaTable& inverse =
      gama != nullptr ? gama->InverseTable() : TChunkGAMA::IdentityTable();

  std::vector<uint8_t> raw(count), previous(count, 0);
  std::array<std::vector<uint8_t>, 5> candidates;
  for (auto& c : candidates) c.resize(count);
  TDeflater deflater;
  for (int32_t y = 0; y < image.Height(); ++y) {
    RawRow(image, y, inverse, raw.data(), count);
    uint8_t type =
        ChooseFilter(image.Filters(), raw.data(), previous.data(), candidates, count, pixelBytes);
    deflater.Write(&type, 1);
    deflater.Write(type == kFilterNone ? raw.data() : candidates[type].data(), count);
    raw.swap(previous);
  }
  Data() = TMemoryStream(deflater.Finish());
  TChunk::SaveToStream(Stream);
}
