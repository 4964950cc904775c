#include "AnnotationsUnit.h"

#include <cstring>
#include <unordered_set>

#include "exception.h"
#include "rounding.h"

namespace annotations {

namespace {

[[noreturn]] void Fail(const char* Message) {
  throw Exception(Message);
}

int32_t LE32(const uint8_t* P) {
  return static_cast<int32_t>(uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 |
                              uint32_t{P[3]} << 24);
}

// The zero-terminated text at the start of a block; a text without its zero inside the block
// runs past it.
std::string BlockText(const uint8_t* Data, int32_t Size) {
  const void* End = std::memchr(Data, 0, static_cast<size_t>(Size));
  if (End == nullptr) Fail("Invalid annotation data");
  return std::string(reinterpret_cast<const char*>(Data), static_cast<const uint8_t*>(End) - Data);
}

// A whole decimal integer of 32 bits, or 0.
int32_t DecimalOrZero(const std::string& Text) {
  size_t I = 0;
  bool Negative = false;
  if (I < Text.size() && (Text[I] == '-' || Text[I] == '+')) Negative = Text[I++] == '-';
  if (I == Text.size()) return 0;
  int64_t Value = 0;
  for (; I < Text.size(); ++I) {
    if (Text[I] < '0' || Text[I] > '9') return 0;
    Value = Value * 10 + (Text[I] - '0');
    if (Value > int64_t{1} << 31) return 0;
  }
  if (Negative) Value = -Value;
  if (Value > INT32_MAX || Value < INT32_MIN) return 0;
  return static_cast<int32_t>(Value);
}

std::unique_ptr<TGenericAnnotation> MakeAnnotation(uint8_t Kind) {
  switch (Kind) {
    case akImageEmbedded:
      return std::make_unique<TAnnotationImageEmbedded>();
    case akImageReference:
      return std::make_unique<TAnnotationImageReference>();
    case akStraightLine:
      return std::make_unique<TAnnotationStraightLine>();
    case akFreeHandLine:
      return std::make_unique<TAnnotationFreeHandLine>();
    case akHollowRectangle:
      return std::make_unique<TAnnotationHollowRectangle>();
    case akFilledRectangle:
      return std::make_unique<TAnnotationFilledRectangle>();
    case akTypedRectangle:
      return std::make_unique<TAnnotationTypedRectangle>();
    case akTextFromFile:
      return std::make_unique<TAnnotationTextFromFile>();
    case akTextStamp:
      return std::make_unique<TAnnotationTextStamp>();
    case akAttachANote:
      return std::make_unique<TAnnotationAttachANote>();
    case akForm:
      return std::make_unique<TAnnotationForm>();
    case akOCRRegion:
      return std::make_unique<TAnnotationatOCRRegion>();
    default:
      Fail("Unsupported annotation type");
  }
}

constexpr int64_t kRecordHeader = 8;
constexpr int32_t kAttributeSize = 164;
constexpr int32_t kBlockHeader = 12;

// Block names, padded with zeros to their eight bytes.
const std::string kOiGroup("OiGroup\0", 8);
const std::string kOiIndex("OiIndex\0", 8);
const std::string kOiAnoDat("OiAnoDat", 8);
const std::string kOiAnText("OiAnText", 8);
const std::string kOiDIB("OiDIB\0\0\0", 8);
const std::string kOiFilNam("OiFilNam", 8);

// The blocks that belong to one annotation and have no meaning for the whole list.
bool IsAnnotationOnly(const std::string& Name) {
  return Name == kOiAnoDat || Name == kOiAnText || Name == kOiDIB || Name == kOiFilNam;
}

}  // namespace

// ---- the twelve kinds ----

TAnnotationImageEmbedded::~TAnnotationImageEmbedded() {
  SetDib(nullptr);
}

void TAnnotationImageEmbedded::SetDib(win32::HGLOBAL Block) {
  if (FDib != nullptr) win32::GlobalFree(FDib);
  FDib = Block;
}

void TGenericLineAnnotation::AddPoint(TPoint Point) {
  FX.push_back(Point.X);
  FY.push_back(Point.Y);
}

void TAnnotationStraightLine::AddPoint(TPoint Point) {
  if (PointCount() >= 2) Fail("Only 2 points allowed for line annotation");
  TGenericLineAnnotation::AddPoint(Point);
}

// ---- TTiffDecoder ----

TTiffDecoder::TTiffDecoder(TStream& Stream) : FStream(Stream), FBase(Stream.Position()) {
  uint8_t Header[8] = {};
  if (FStream.Read(Header, 8) != 8) return;
  FByteOrder = static_cast<uint16_t>(Header[0] | Header[1] << 8);
  FBigEndian = FByteOrder == 0x4D4D;
  FVersion = Read16From(Header + 2);
  FFirstIFD = static_cast<int32_t>(Read32From(Header + 4));
}

uint16_t TTiffDecoder::Read16From(const uint8_t* P) const {
  return FBigEndian ? static_cast<uint16_t>(P[0] << 8 | P[1])
                    : static_cast<uint16_t>(P[0] | P[1] << 8);
}

uint32_t TTiffDecoder::Read32From(const uint8_t* P) const {
  return FBigEndian ? uint32_t{P[0]} << 24 | uint32_t{P[1]} << 16 | uint32_t{P[2]} << 8 | P[3]
                    : uint32_t{P[3]} << 24 | uint32_t{P[2]} << 16 | uint32_t{P[1]} << 8 | P[0];
}

bool TTiffDecoder::IsValid() const {
  return FByteOrder == 0x4949 || FByteOrder == 0x4D4D;
}

void TTiffDecoder::ReadAt(int64_t Offset, void* Buffer, int64_t Count) {
  if (FBase + Offset + Count > FStream.Size()) Fail("Invalid TIFF Data");
  FStream.SetPosition(FBase + Offset);
  FStream.ReadBuffer(Buffer, Count);
}

void TTiffDecoder::SelectPage(int32_t Page) {
  FEntries.clear();
  int64_t Offset = FFirstIFD;
  std::unordered_set<int64_t> Visited;
  for (int32_t I = 0; Offset > 0 && I < kMaxDirectories; ++I) {
    Visited.insert(Offset);
    uint8_t Bytes[4];
    ReadAt(Offset, Bytes, 2);
    const uint16_t N = Read16From(Bytes);
    if (I == Page) {
      std::vector<uint8_t> Table(size_t{N} * 12);
      ReadAt(Offset + 2, Table.data(), static_cast<int64_t>(Table.size()));
      for (size_t E = 0; E < N; ++E) {
        const uint8_t* P = Table.data() + E * 12;
        FEntries.push_back(
            {Read16From(P), Read16From(P + 2), Read32From(P + 4), Read32From(P + 8)});
      }
      break;
    }
    ReadAt(Offset + 2 + int64_t{N} * 12, Bytes, 4);
    const int64_t Next = static_cast<int32_t>(Read32From(Bytes));
    Offset = Visited.count(Next) != 0 ? 0 : Next;
  }
  if (FEntries.empty()) Fail("Invalid TIFF Page Number");
}

int32_t TTiffDecoder::FindTag(uint16_t Tag) const {
  for (size_t I = 0; I < FEntries.size(); ++I) {
    if (FEntries[I].Tag == Tag) return static_cast<int32_t>(I);
  }
  return -1;
}

uint32_t TTiffDecoder::TagDataSize(uint16_t Tag) const {
  const int32_t I = FindTag(Tag);
  return I < 0 ? 0 : FEntries[I].Count;
}

uint32_t TTiffDecoder::ReadTagData(uint16_t Tag, void* Buffer) {
  const int32_t I = FindTag(Tag);
  if (I < 0) throw Exception("TIFF Tag Not Found: " + std::to_string(Tag));
  const TEntry& Entry = FEntries[I];
  if (FBase + int64_t{Entry.Value} + Entry.Count > FStream.Size()) Fail("Invalid TIFF Data");
  FStream.SetPosition(FBase + Entry.Value);
  if (Buffer != nullptr) FStream.ReadBuffer(Buffer, Entry.Count);
  return Entry.Count;
}

// ---- TAnnotations ----

void TAnnotations::LoadFromTiffFile(const std::string& FileName, int32_t Page) {
  Clear();
  TFileStream Stream(FileName, TFileMode::fmOpenRead);
  LoadFromTiffStream(Stream, Page);
}

void TAnnotations::LoadFromTiffStream(TStream& Stream, int32_t Page) {
  Clear();
  TTiffDecoder Decoder(Stream);
  if (!Decoder.IsValid()) Fail("Invalid TIFF Data");
  Decoder.SelectPage(Page);
  const uint32_t Size = Decoder.TagDataSize(kAnnotationTag);
  if (Size == 0) return;
  Decoder.ReadTagData(kAnnotationTag, nullptr);  // refuses bytes beyond the stream
  std::vector<uint8_t> Buffer(Size);
  Decoder.ReadTagData(kAnnotationTag, Buffer.data());
  LoadFromBuffer(Buffer.data(), Size);
}

void TAnnotations::LoadFromBuffer(const void* Data, int64_t Size) {
  Clear();
  FRawData.WriteBuffer(Data, Size);
  ParseAnnotationData();
}

TGenericAnnotation* TAnnotations::AddAnnotation(uint8_t Kind) {
  std::unique_ptr<TGenericAnnotation> Anno = MakeAnnotation(Kind);
  Anno->Kind = Kind;
  Anno->Group = DefaultGroup;
  Anno->Index = Count() + 1;
  FItems.push_back(std::move(Anno));
  return FItems.back().get();
}

void TAnnotations::Clear() {
  FRawData.Clear();
  FCurrent = nullptr;
  while (!FItems.empty()) FItems.pop_back();
}

void TAnnotations::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count())
    throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
  if (FItems[Index].get() == FCurrent) FCurrent = nullptr;
  FItems.erase(FItems.begin() + Index);
}

void TAnnotations::ParseAnnotationData() {
  FCurrent = nullptr;
  const int64_t Size = FRawData.Size();
  const uint8_t* Raw = FRawData.Memory();
  if (Size < kRecordHeader) Fail("Invalid annotation data");
  if (LE32(Raw + 4) != 1) Fail("Old 16 bit annotation data");
  int64_t Position = kRecordHeader;
  while (Position < Size - 1) {
    const int64_t Start = Position;
    if (Start + kRecordHeader > Size) Fail("Invalid annotation data");
    const int32_t DataType = LE32(Raw + Start);
    const int32_t DataSize = LE32(Raw + Start + 4);
    switch (DataType) {
      case 5:
        ReadAttributes(Start, DataSize);
        Position = Start + kRecordHeader + DataSize;
        break;
      case 2:
      case 6:
        ReadNamedBlock(DataType, Start, DataSize);
        Position = Start + kRecordHeader + DataSize + LE32(Raw + Start + 16);
        break;
      default:
        Fail("Invalid annotation data");
    }
  }
  FRawData.SetPosition(Position);
}

// The record must hold the whole attribute table within the payload.
void TAnnotations::ReadAttributes(int64_t Start, int32_t DataSize) {
  if (DataSize < kAttributeSize || Start + kRecordHeader + DataSize > FRawData.Size()) {
    Fail("Invalid annotation data");
  }
  const uint8_t* R = FRawData.Memory() + Start + kRecordHeader;
  TGenericAnnotation* Anno = AddAnnotation(static_cast<uint8_t>(LE32(R) & 0xFF));
  Anno->Bounds = {LE32(R + 4), LE32(R + 8), LE32(R + 12), LE32(R + 16)};
  std::memcpy(&Anno->Color1, R + 20, 4);
  std::memcpy(&Anno->Color2, R + 24, 4);
  Anno->Highlighting = LE32(R + 28) != 0;
  Anno->Transparent = LE32(R + 32) != 0;
  Anno->LineSize = LE32(R + 36);
  const uint8_t* F = R + 48;
  TLogFont& Font = Anno->Font;
  Font.Height = LE32(F);
  Font.Width = LE32(F + 4);
  Font.Escapement = LE32(F + 8);
  Font.Orientation = LE32(F + 12);
  Font.Weight = LE32(F + 16);
  Font.Italic = F[20];
  Font.Underline = F[21];
  Font.StrikeOut = F[22];
  Font.CharSet = F[23];
  Font.OutPrecision = F[24];
  Font.ClipPrecision = F[25];
  Font.Quality = F[26];
  Font.PitchAndFamily = F[27];
  std::memcpy(Font.FaceName.data(), F + 28, 32);
  Anno->Time = LE32(R + 112);
  Anno->Visible = LE32(R + 116) != 0;
  FCurrent = Anno;
}

// The block header lies within the record and the block data, right after the header, within
// the payload; the record ends within the payload too.
void TAnnotations::ReadNamedBlock(int32_t DataType, int64_t Start, int32_t DataSize) {
  const int64_t Payload = FRawData.Size();
  if (DataSize < kBlockHeader || Start + kRecordHeader + DataSize > Payload) {
    Fail("Invalid annotation data");
  }
  const uint8_t* Header = FRawData.Memory() + Start + kRecordHeader;
  const int32_t Size = LE32(Header + 8);
  if (Size < 0 || Start + kRecordHeader + kBlockHeader + Size > Payload ||
      Start + kRecordHeader + DataSize + Size > Payload) {
    Fail("Invalid annotation data");
  }
  const std::string Name(reinterpret_cast<const char*>(Header), 8);
  const uint8_t* Data = Header + kBlockHeader;
  if (DataType == 2) {
    ApplyDefaultBlock(Name, Data, Size);
  } else if (FCurrent != nullptr) {
    ApplyOwnBlock(*FCurrent, Name, Data, Size);
  } else if (IsAnnotationOnly(Name)) {
    Fail("Invalid default named block type");
  }
}

void TAnnotations::ApplyDefaultBlock(const std::string& Name, const uint8_t* Data, int32_t Size) {
  if (Name == kOiGroup) {
    DefaultGroup = BlockText(Data, Size);
  } else if (Name == kOiIndex) {
    DefaultIndex = BlockText(Data, Size);
  } else if (IsAnnotationOnly(Name)) {
    Fail("Invalid default named block type");
  }
}

void TAnnotations::ApplyOwnBlock(TGenericAnnotation& Anno, const std::string& Name,
                                 const uint8_t* Data, int32_t Size) {
  if (Name == kOiGroup) {
    Anno.Group = BlockText(Data, Size);
  } else if (Name == kOiIndex) {
    Anno.Index = DecimalOrZero(BlockText(Data, Size));
  } else if (Name == kOiAnoDat) {
    ReadAnoDat(Anno, Data, Size);
  } else if (Name == kOiAnText) {
    ReadAnText(Anno, Data, Size);
  } else if (Name == kOiDIB) {
    if (auto* Embedded = dynamic_cast<TAnnotationImageEmbedded*>(&Anno))
      ReadDib(*Embedded, Data, Size);
  } else if (Name == kOiFilNam) {
    auto* Image = dynamic_cast<TGenericImageAnnotation*>(&Anno);
    if (Image == nullptr) Fail("Invalid named block type");
    Image->FileName = BlockText(Data, Size);
  }
}

// Points of a line (a count at offset 4, the pairs from offset 8), or the image's placement.
void TAnnotations::ReadAnoDat(TGenericAnnotation& Anno, const uint8_t* Data, int32_t Size) {
  if (auto* Line = dynamic_cast<TGenericLineAnnotation*>(&Anno)) {
    if (Size < 8) Fail("Invalid annotation data");
    const int32_t N = LE32(Data + 4);
    if (N < 0 || int64_t{N} * 8 > int64_t{Size} - 8) Fail("Invalid annotation data");
    for (int32_t I = 0; I < N; ++I) {
      Line->AddPoint({LE32(Data + 8 + I * 8), LE32(Data + 12 + I * 8)});
    }
  } else if (auto* Image = dynamic_cast<TGenericImageAnnotation*>(&Anno)) {
    if (Size < 24) Fail("Invalid annotation data");
    Image->Rotation = LE32(Data);
    Image->Scale = LE32(Data + 4);
    Image->OrigHorzResolution = LE32(Data + 16);
    Image->OrigVertResolution = LE32(Data + 20);
  } else {
    Fail("Invalid named block type");
  }
}

// A scale at offset 8, a length at 12 and that many bytes of text from 16.
void TAnnotations::ReadAnText(TGenericAnnotation& Anno, const uint8_t* Data, int32_t Size) {
  auto* Text = dynamic_cast<TGenericTextAnnotation*>(&Anno);
  if (Text == nullptr) Fail("Invalid named block type");
  if (Size < 16) Fail("Invalid annotation data");
  const int32_t Scale = LE32(Data + 8);
  const int32_t Length = LE32(Data + 12);
  if (Length < 0 || Length > Size - 16) Fail("Invalid annotation data");
  Text->CreationDpi = Scale == 0 ? 96 : Round(72000.0 / Scale);
  Text->Text.append(reinterpret_cast<const char*>(Data + 16), static_cast<size_t>(Length));
}

// The packed DIB goes into a movable, zeroed global block of the block's size.
void TAnnotations::ReadDib(TAnnotationImageEmbedded& Anno, const uint8_t* Data, int32_t Size) {
  win32::HGLOBAL Block = win32::GlobalAlloc(win32::GHND, static_cast<size_t>(Size));
  if (Block == nullptr) win32::RaiseLastError();
  std::memcpy(win32::GlobalLock(Block), Data, static_cast<size_t>(Size));
  win32::GlobalUnlock(Block);
  Anno.SetDib(Block);
}

}  // namespace annotations
