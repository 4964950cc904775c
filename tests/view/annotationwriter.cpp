#include "annotationwriter.h"

#include <tiffio.h>

#include <cstring>
#include <stdexcept>

namespace annotest {

namespace {

const TIFFFieldInfo kAnnotationField = {32932,
                                        TIFF_VARIABLE2,
                                        TIFF_VARIABLE2,
                                        TIFF_BYTE,
                                        FIELD_CUSTOM,
                                        1,
                                        1,
                                        const_cast<char*>("Annotation")};

TIFFExtendProc ParentExtender = nullptr;

void AnnotationExtender(TIFF* Tiff) {
  TIFFMergeFieldInfo(Tiff, &kAnnotationField, 1);
  if (ParentExtender != nullptr) ParentExtender(Tiff);
}

void RegisterTag() {
  static const bool Registered = [] {
    ParentExtender = TIFFSetTagExtender(AnnotationExtender);
    return true;
  }();
  (void)Registered;
}

}  // namespace

TAttributes Kind(int32_t Type, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  TAttributes A;
  A.Type = Type;
  A.Left = Left;
  A.Top = Top;
  A.Right = Right;
  A.Bottom = Bottom;
  return A;
}

void PutInt(TBytes& Bytes, int32_t Value) {
  const auto U = static_cast<uint32_t>(Value);
  for (int Shift = 0; Shift < 32; Shift += 8) Bytes.push_back(static_cast<uint8_t>(U >> Shift));
}

TPayloadWriter::TPayloadWriter(int32_t Version) {
  PutInt(FBytes, 0);
  PutInt(FBytes, Version);
}

TPayloadWriter& TPayloadWriter::Attributes(const TAttributes& A, int32_t DataSize) {
  PutInt(FBytes, 5);
  PutInt(FBytes, DataSize);
  TBytes R;
  PutInt(R, A.Type);
  for (int32_t V : {A.Left, A.Top, A.Right, A.Bottom}) PutInt(R, V);
  R.insert(R.end(), A.Color1, A.Color1 + 4);
  R.insert(R.end(), A.Color2, A.Color2 + 4);
  PutInt(R, A.Highlighting);
  PutInt(R, A.Transparent);
  PutInt(R, A.LineSize);
  PutInt(R, 0x55555555);  // 40..47 not read
  PutInt(R, 0x55555555);
  for (int32_t V : {A.FontHeight, 0, 0, 0, A.FontWeight}) PutInt(R, V);
  for (uint8_t B : {A.FontItalic, uint8_t{0}, uint8_t{0}, uint8_t{1}, uint8_t{0}, uint8_t{0},
                    uint8_t{0}, uint8_t{0}}) {
    R.push_back(B);
  }
  char Face[32] = {};
  std::strncpy(Face, A.FaceName.c_str(), 31);
  R.insert(R.end(), Face, Face + 32);
  PutInt(R, 0x55555555);  // 108 not read
  PutInt(R, A.Time);
  PutInt(R, A.Visible);
  R.resize(164, 0x55);  // 120..163 not read
  FBytes.insert(FBytes.end(), R.begin(), R.end());
  return *this;
}

TPayloadWriter& TPayloadWriter::Block(int32_t DataType, const std::string& Name, const TBytes& Data,
                                      int32_t DataSize) {
  PutInt(FBytes, DataType);
  PutInt(FBytes, DataSize);
  char Padded[8] = {};
  std::memcpy(Padded, Name.data(), std::min<size_t>(8, Name.size()));
  FBytes.insert(FBytes.end(), Padded, Padded + 8);
  PutInt(FBytes, static_cast<int32_t>(Data.size()));
  FBytes.insert(FBytes.end(), Data.begin(), Data.end());
  return *this;
}

TPayloadWriter& TPayloadWriter::Text(int32_t DataType, const std::string& Name,
                                     const std::string& Text) {
  TBytes Data(Text.begin(), Text.end());
  Data.push_back(0);
  return Block(DataType, Name, Data);
}

TPayloadWriter& TPayloadWriter::Points(const std::vector<std::pair<int32_t, int32_t>>& Points) {
  TBytes Data;
  PutInt(Data, 0);
  PutInt(Data, static_cast<int32_t>(Points.size()));
  for (auto [X, Y] : Points) {
    PutInt(Data, X);
    PutInt(Data, Y);
  }
  return Block(6, "OiAnoDat", Data);
}

TPayloadWriter& TPayloadWriter::AnText(int32_t Scale, const std::string& Text) {
  TBytes Data;
  PutInt(Data, 0);
  PutInt(Data, 0);
  PutInt(Data, Scale);
  PutInt(Data, static_cast<int32_t>(Text.size()));
  Data.insert(Data.end(), Text.begin(), Text.end());
  return Block(6, "OiAnText", Data);
}

TPayloadWriter& TPayloadWriter::Raw(const TBytes& Bytes) {
  FBytes.insert(FBytes.end(), Bytes.begin(), Bytes.end());
  return *this;
}

TPayloadWriter& TPayloadWriter::Int(int32_t Value) {
  PutInt(FBytes, Value);
  return *this;
}

TBytes PackedDib(int32_t Width, int32_t Height, uint8_t Gray) {
  TBytes D;
  const int32_t Stride = (Width + 3) / 4 * 4;
  for (int32_t V : {40, Width, Height}) PutInt(D, V);
  D.push_back(1);
  D.push_back(0);
  D.push_back(8);
  D.push_back(0);
  for (int32_t V : {0, Stride * Height, 3780, 3780, 256, 0}) PutInt(D, V);
  for (int I = 0; I < 256; ++I) {
    for (int C = 0; C < 3; ++C) D.push_back(static_cast<uint8_t>(I));
    D.push_back(0);
  }
  D.insert(D.end(), static_cast<size_t>(Stride * Height), Gray);
  return D;
}

void WriteTiff(const std::string& FileName, const std::vector<TTiffPage>& Pages, bool BigEndian) {
  RegisterTag();
  TIFF* Tiff = TIFFOpen(FileName.c_str(), BigEndian ? "wb" : "wl");
  if (Tiff == nullptr) throw std::runtime_error("cannot write " + FileName);
  for (const TTiffPage& Page : Pages) {
    const uint32_t W = 16, H = 8;
    TIFFSetField(Tiff, TIFFTAG_IMAGEWIDTH, W);
    TIFFSetField(Tiff, TIFFTAG_IMAGELENGTH, H);
    TIFFSetField(Tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(Tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(Tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(Tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(Tiff, TIFFTAG_ROWSPERSTRIP, H);
    if (!Page.Payload.empty()) {
      TIFFSetField(Tiff, 32932, static_cast<uint32_t>(Page.Payload.size()), Page.Payload.data());
    }
    std::vector<uint8_t> Row(W, 200);
    for (uint32_t Y = 0; Y < H; ++Y) TIFFWriteScanline(Tiff, Row.data(), Y, 0);
    TIFFWriteDirectory(Tiff);
  }
  TIFFClose(Tiff);
}

}  // namespace annotest
