// The chunk classes, their registry, and the chunk list of an image.
#include <cmath>
#include <cstring>
#include <ctime>

#include "gfx_png.h"
#include "gfx_png_raise.h"
#include "rounding.h"

namespace {

uint8_t RoundByte(double Value) {
  return static_cast<uint8_t>(Round(Value));
}

constexpr double kMetresPerInch = 0.0254;

}  // namespace

// ---- TChunk ----

TChunk::TChunk(TChunkList& Owner, TChunkClass Class) : FOwner(Owner), FClass(Class) {
  int32_t registered = ChunkClasses().IndexOfClass(Class);
  if (registered >= 0) FType = ChunkClasses().Item(registered).Type;
}

std::unique_ptr<TChunk> TChunk::New(TChunkList& Owner) {
  return std::make_unique<TChunk>(Owner);
}

TPNGImage& TChunk::Image() const {
  return FOwner.Owner();
}

void TChunk::Assign(const TChunk& Source) {
  FType = Source.FType;
  FData = TMemoryStream(Source.FData.Bytes());
}

void TChunk::SaveToStream(TStream& Stream) {
  auto length = static_cast<uint32_t>(DataSize());
  uint32_t field = ByteSwap32(length);
  Stream.WriteBuffer(&field, 4);
  Stream.WriteBuffer(FType.data(), 4);
  Stream.WriteBuffer(FData.Bytes().data(), length);
  field = ByteSwap32(ChunkCRC(FType, FData.Bytes().data(), length));
  Stream.WriteBuffer(&field, 4);
}

void TChunk::CheckDataSize(int64_t Size) const {
  if (DataSize() != Size) RaiseCorrupted();
}

uint8_t TChunk::GetByte(int64_t Offset) const {
  if (Offset + 1 > DataSize()) RaiseCorrupted();
  return FData.Bytes()[Offset];
}

uint16_t TChunk::GetBE16(int64_t Offset) const {
  return static_cast<uint16_t>(GetByte(Offset) << 8 | GetByte(Offset + 1));
}

uint32_t TChunk::GetBE32(int64_t Offset) const {
  if (Offset + 4 > DataSize()) RaiseCorrupted();
  uint32_t value;
  std::memcpy(&value, FData.Bytes().data() + Offset, 4);
  return ByteSwap32(value);
}

void TChunk::SetByte(int64_t Offset, uint8_t Value) {
  if (Offset + 1 > DataSize()) FData.SetSize(Offset + 1);
  FData.Memory()[Offset] = Value;
}

void TChunk::SetBE16(int64_t Offset, uint16_t Value) {
  SetByte(Offset, static_cast<uint8_t>(Value >> 8));
  SetByte(Offset + 1, static_cast<uint8_t>(Value));
}

void TChunk::SetBE32(int64_t Offset, uint32_t Value) {
  if (Offset + 4 > DataSize()) FData.SetSize(Offset + 4);
  uint32_t field = ByteSwap32(Value);
  std::memcpy(FData.Memory() + Offset, &field, 4);
}

// ---- TChunkIHDR ----

TChunkIHDR::TChunkIHDR(TChunkList& Owner) : TChunk(Owner, &New) {
  Data().SetSize(13);
  SetBitDepth(2);
  SetColorType(3);
}

std::unique_ptr<TChunk> TChunkIHDR::New(TChunkList& Owner) {
  return std::make_unique<TChunkIHDR>(Owner);
}

void TChunkIHDR::SetWidth(uint32_t Value) {
  SetBE32(0, Value);
  Image().SetSize(static_cast<int32_t>(Value), Image().Height());
}

void TChunkIHDR::SetHeight(uint32_t Value) {
  SetBE32(4, Value);
  Image().SetSize(Image().Width(), static_cast<int32_t>(Value));
}

void TChunkIHDR::SaveToStream(TStream& Stream) {
  TPNGImage& image = Image();
  uint8_t format = image.PixelFormat();
  bool paletted = format == pf1bit || format == pf4bit || format == pf8bit;
  if (!paletted) image.ConvertTo24Bits();
  Data().SetSize(13);
  SetBE32(0, static_cast<uint32_t>(image.Width()));
  SetBE32(4, static_cast<uint32_t>(image.Height()));
  SetBitDepth(format == pf1bit ? 1 : format == pf4bit ? 4 : 8);
  SetColorType(paletted ? 3 : 2);
  SetByte(10, 0);
  SetByte(11, 0);
  SetByte(12, 0);
  TChunk::SaveToStream(Stream);
}

// ---- TChunkPLTE ----

std::unique_ptr<TChunk> TChunkPLTE::New(TChunkList& Owner) {
  return std::make_unique<TChunkPLTE>(Owner);
}

std::vector<TPNGColor> TChunkPLTE::Entries() const {
  int64_t size = DataSize();
  if (size == 0 || size % 3 != 0 || size > 3 * 256) {
    throw EPNGImageException(EPngInvalidPalette);
  }
  std::vector<TPNGColor> entries(static_cast<size_t>(size / 3));
  const uint8_t* bytes = Data().Bytes().data();
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  }
  return entries;
}

void TChunkPLTE::SaveToStream(TStream& Stream) {
  const TPNGImage& image = Image();
  if (image.Palette().empty()) return;
  size_t count = image.Palette().size();
  uint8_t format = image.PixelFormat();
  if (format == pf1bit || format == pf4bit) {
    count = std::min<size_t>(count, format == pf1bit ? 2 : 16);
  }
  const TChunkGAMA* gama = Owner().First<TChunkGAMA>();
  const TChunkGAMA::TGammaTable& inverse =
      gama != nullptr ? gama->InverseTable() : TChunkGAMA::IdentityTable();
  std::vector<uint8_t> bytes(3 * count);
  for (size_t i = 0; i < count; ++i) {
    const TPNGColor& c = image.Palette()[i];
    bytes[3 * i] = inverse[c.Red];
    bytes[3 * i + 1] = inverse[c.Green];
    bytes[3 * i + 2] = inverse[c.Blue];
  }
  Data() = TMemoryStream(std::move(bytes));
  TChunk::SaveToStream(Stream);
}

// ---- TChunkIDAT, TChunkIEND ----

std::unique_ptr<TChunk> TChunkIDAT::New(TChunkList& Owner) {
  return std::make_unique<TChunkIDAT>(Owner);
}

std::unique_ptr<TChunk> TChunkIEND::New(TChunkList& Owner) {
  return std::make_unique<TChunkIEND>(Owner);
}

// ---- TChunkGAMA ----

TChunkGAMA::TChunkGAMA(TChunkList& Owner)
    : TChunk(Owner, &New), FGammaTable(IdentityTable()), FInverseTable(IdentityTable()) {
  SetGamma(1);
}

const TChunkGAMA::TGammaTable& TChunkGAMA::IdentityTable() {
  static const TGammaTable identity = [] {
    TGammaTable t;
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    return t;
  }();
  return identity;
}

std::unique_ptr<TChunk> TChunkGAMA::New(TChunkList& Owner) {
  return std::make_unique<TChunkGAMA>(Owner);
}

void TChunkGAMA::Decode() {
  CheckDataSize(4);
  uint32_t stored = Gamma();
  if (stored == 0) RaiseCorrupted();
  double exponent = 1.0 / (stored / 100000.0 * 2.2);
  std::array<bool, 256> reached{};
  for (int i = 0; i < 256; ++i) {
    FGammaTable[i] = RoundByte(std::pow(i / 255.0, exponent) * 255.0);
    FInverseTable[FGammaTable[i]] = static_cast<uint8_t>(i);
    reached[FGammaTable[i]] = true;
  }
  // A value the table never gives (a pixel set after decoding, or decoded before the chunk)
  // is undone like the nearest one below it that the table gives, never as black.
  for (int v = 1; v < 256; ++v) {
    if (!reached[v]) FInverseTable[v] = FInverseTable[v - 1];
  }
}

void TChunkGAMA::Assign(const TChunk& Source) {
  TChunk::Assign(Source);
  if (const auto* gama = dynamic_cast<const TChunkGAMA*>(&Source)) {
    FGammaTable = gama->FGammaTable;
    FInverseTable = gama->FInverseTable;
  }
}

// ---- TChunkPHYS ----

TChunkPHYS::TChunkPHYS(TChunkList& Owner) : TChunk(Owner, &New) {
  SetBE32(0, 3780);
  SetBE32(4, 3780);
  SetByte(8, 1);
}

std::unique_ptr<TChunk> TChunkPHYS::New(TChunkList& Owner) {
  return std::make_unique<TChunkPHYS>(Owner);
}

int32_t TChunkPHYS::XDPI() const {
  if (DataSize() != 9) throw EPNGImageException(EPngInvalidPHYs);
  return Round(GetBE32(0) * kMetresPerInch);
}

int32_t TChunkPHYS::YDPI() const {
  if (DataSize() != 9) throw EPNGImageException(EPngInvalidPHYs);
  return Round(GetBE32(4) * kMetresPerInch);
}

void TChunkPHYS::SetXDPI(int32_t DPI) {
  if (DataSize() != 9) throw EPNGImageException(EPngInvalidPHYs);
  SetBE32(0, static_cast<uint32_t>(Round(DPI / kMetresPerInch)));
  SetByte(8, 1);
}

void TChunkPHYS::SetYDPI(int32_t DPI) {
  if (DataSize() != 9) throw EPNGImageException(EPngInvalidPHYs);
  SetBE32(4, static_cast<uint32_t>(Round(DPI / kMetresPerInch)));
  SetByte(8, 1);
}

// ---- TChunkTIME, TChunkTEXT ----

TChunkTIME::TChunkTIME(TChunkList& Owner) : TChunk(Owner, &New) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  SetBE16(0, static_cast<uint16_t>(local.tm_year + 1900));
  SetByte(2, static_cast<uint8_t>(local.tm_mon + 1));
  SetByte(3, static_cast<uint8_t>(local.tm_mday));
  SetByte(4, static_cast<uint8_t>(local.tm_hour));
  SetByte(5, static_cast<uint8_t>(local.tm_min));
  SetByte(6, static_cast<uint8_t>(local.tm_sec));
}

std::unique_ptr<TChunk> TChunkTIME::New(TChunkList& Owner) {
  return std::make_unique<TChunkTIME>(Owner);
}

TChunkTEXT::TChunkTEXT(TChunkList& Owner) : TChunk(Owner, &New) {
  Data().SetSize(2);
}

std::unique_ptr<TChunk> TChunkTEXT::New(TChunkList& Owner) {
  return std::make_unique<TChunkTEXT>(Owner);
}

// ---- TChunkTRNS ----

std::unique_ptr<TChunk> TChunkTRNS::New(TChunkList& Owner) {
  return std::make_unique<TChunkTRNS>(Owner);
}

uint32_t TChunkTRNS::TransparentColor() const {
  CheckDataSize(6);
  const TChunkIHDR* ihdr = Owner().First<TChunkIHDR>();
  int shift = ihdr != nullptr && ihdr->BitDepth() == 16 ? 8 : 0;
  uint32_t red = (GetBE16(0) >> shift) & 0xFF;
  uint32_t green = (GetBE16(2) >> shift) & 0xFF;
  uint32_t blue = (GetBE16(4) >> shift) & 0xFF;
  return red | green << 8 | blue << 16;
}

void TChunkTRNS::SetTransparentColor(uint32_t Color) {
  Data().SetSize(6);
  SetBE16(0, Color & 0xFF);
  SetBE16(2, (Color >> 8) & 0xFF);
  SetBE16(4, (Color >> 16) & 0xFF);
}

void TChunkTRNS::SaveToStream(TStream& Stream) {
  const TChunkIHDR* ihdr = Owner().First<TChunkIHDR>();
  if (ihdr == nullptr || ihdr->ColorType() != 2) return;
  SetTransparentColor(Image().TransparentColor());
  TChunk::SaveToStream(Stream);
}

// ---- TChunkClasses ----

const TChunkClassEntry& TChunkClasses::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EPNGImageException(EPngClassOutOfRange);
  return FItems[Index];
}

int32_t TChunkClasses::IndexOfClass(TChunkClass Class) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (FItems[i].Class == Class) return i;
  }
  return -1;
}

int32_t TChunkClasses::IndexOfType(const TChunkType& Type) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (FItems[i].Type == Type) return i;
  }
  return -1;
}

void TChunkClasses::Add(const TChunkType& Type, TChunkClass Class) {
  FItems.push_back({Type, Class});
}

TChunkClasses& ChunkClasses() {
  static TChunkClasses registry = [] {
    TChunkClasses r;
    r.Add({'I', 'E', 'N', 'D'}, &TChunkIEND::New);
    r.Add({'I', 'H', 'D', 'R'}, &TChunkIHDR::New);
    r.Add({'g', 'A', 'M', 'A'}, &TChunkGAMA::New);
    r.Add({'I', 'D', 'A', 'T'}, &TChunkIDAT::New);
    r.Add({'P', 'L', 'T', 'E'}, &TChunkPLTE::New);
    r.Add({'t', 'E', 'X', 't'}, &TChunkTEXT::New);
    r.Add({'t', 'R', 'N', 'S'}, &TChunkTRNS::New);
    r.Add({'t', 'I', 'M', 'E'}, &TChunkTIME::New);
    r.Add({'p', 'H', 'Y', 's'}, &TChunkPHYS::New);
    return r;
  }();
  return registry;
}

// ---- TChunkList ----

TChunk& TChunkList::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EPNGImageException(EPngOutOfRange);
  return *FItems[Index];
}

TChunk& TChunkList::Add(std::unique_ptr<TChunk> Chunk) {
  FItems.push_back(std::move(Chunk));
  return *FItems.back();
}

TChunk& TChunkList::AddNew(TChunkClass Class) {
  return Add(Class(*this));
}

int32_t TChunkList::IndexOfClass(TChunkClass Class) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (FItems[i]->ClassType() == Class) return i;
  }
  return -1;
}

int32_t TChunkList::IndexOf(const TChunk& Chunk) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (FItems[i].get() == &Chunk) return i;
  }
  return -1;
}

void TChunkList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex < 0 || CurIndex >= Count() || NewIndex < 0 || NewIndex >= Count()) {
    throw EPNGImageException(EPngOutOfRange);
  }
  std::unique_ptr<TChunk> chunk = std::move(FItems[CurIndex]);
  FItems.erase(FItems.begin() + CurIndex);
  FItems.insert(FItems.begin() + NewIndex, std::move(chunk));
}

void TChunkList::Remove(TChunk& Chunk) {
  int32_t index = IndexOf(Chunk);
  if (index < 0) throw EPNGImageException(EPngChunkNotInList);
  if (&Chunk == FReadIDAT) FReadIDAT = nullptr;
  FItems.erase(FItems.begin() + index);
}

void TChunkList::Clear() {
  FReadIDAT = nullptr;
  while (!FItems.empty()) FItems.pop_back();
}

TChunk& TChunkList::ReadChunk(TStream& Stream) {
  uint8_t head[8];
  if (Stream.Read(head, 8) != 8) RaiseCorrupted();
  uint32_t length;
  std::memcpy(&length, head, 4);
  length = ByteSwap32(length);
  TChunkType type;
  std::memcpy(type.data(), head + 4, 4);
  int32_t registered = ChunkClasses().IndexOfType(type);
  bool critical = (type[0] & 0x20) == 0;
  if (registered < 0 && critical) throw EPNGImageException(EPngUnknownCriticalChunk);
  // Lengths are checked against the stream before anything is allocated for them.
  if (length > 0x7FFFFFFFu || int64_t{length} + 4 > Stream.Remaining()) RaiseCorrupted();
  std::vector<uint8_t> data(length);
  Stream.ReadBuffer(data.data(), length);
  uint32_t crc;
  Stream.ReadBuffer(&crc, 4);
  if (ByteSwap32(crc) != ChunkCRC(type, data.data(), length)) RaiseCorrupted();

  TChunkClass chunkClass = registered < 0 ? &TChunk::New : ChunkClasses().Item(registered).Class;
  if (chunkClass == &TChunkIDAT::New) {
    if (FReadIDAT == nullptr) FReadIDAT = First<TChunkIDAT>();
    if (FReadIDAT != nullptr) {
      FReadIDAT->Data().Seek(0, TSeekOrigin::soEnd);
      FReadIDAT->Data().WriteBuffer(data.data(), length);
      return *FReadIDAT;
    }
  }
  TChunk& chunk = AddNew(chunkClass);
  chunk.SetType(type);
  chunk.Data() = TMemoryStream(std::move(data));
  if (chunkClass == &TChunkIDAT::New) FReadIDAT = static_cast<TChunkIDAT*>(&chunk);
  return chunk;
}
