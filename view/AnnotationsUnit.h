// The annotations stored with a TIFF page in tag 32932: a small reader of the TIFF header and
// its directory chain (TTiffDecoder), the twelve kinds of annotation, and the list that parses
// the tag's payload into them (TAnnotations). The payload is only read, never written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "globalmem.h"
#include "streams.h"

namespace annotations {

// The tag that carries a page's annotations.
inline constexpr uint16_t kAnnotationTag = 32932;

struct TAnnoRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// A colour as a Windows RGBQUAD stores it.
struct TRGBQuad {
  uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
};

// A Windows LOGFONTA, 60 bytes, kept as read.
struct TLogFont {
  int32_t Height = 0, Width = 0, Escapement = 0, Orientation = 0, Weight = 0;
  uint8_t Italic = 0, Underline = 0, StrikeOut = 0, CharSet = 0, OutPrecision = 0,
          ClipPrecision = 0, Quality = 0, PitchAndFamily = 0;
  std::array<char, 32> FaceName{};
};
static_assert(sizeof(TLogFont) == 60);

// The kind codes of the mark attribute record.
enum TAnnotationKind : uint8_t {
  akImageEmbedded = 1,
  akImageReference = 2,
  akStraightLine = 3,
  akFreeHandLine = 4,
  akHollowRectangle = 5,
  akFilledRectangle = 6,
  akTypedRectangle = 7,
  akTextFromFile = 8,
  akTextStamp = 9,
  akAttachANote = 10,
  akForm = 11,
  akOCRRegion = 12,
};

class TGenericAnnotation {
 public:
  virtual ~TGenericAnnotation() = default;
  TGenericAnnotation() = default;
  TGenericAnnotation(const TGenericAnnotation&) = delete;
  TGenericAnnotation& operator=(const TGenericAnnotation&) = delete;

  uint8_t Kind = 0;
  int32_t Index = 0;
  TAnnoRect Bounds;
  TRGBQuad Color1, Color2;
  bool Highlighting = false, Transparent = false, Visible = false;
  int32_t LineSize = 0;
  TLogFont Font;
  int32_t Time = 0;
  std::string Group;
};

class TGenericImageAnnotation : public TGenericAnnotation {
 public:
  std::string FileName;
  int32_t Rotation = 0, Scale = 0, OrigHorzResolution = 0, OrigVertResolution = 0;
};

// Owns the packed DIB of its "OiDIB" block, a movable global memory block; 0 when there is none.
class TAnnotationImageEmbedded : public TGenericImageAnnotation {
 public:
  ~TAnnotationImageEmbedded() override;
  win32::HGLOBAL Dib() const { return FDib; }
  // Takes the block over, freeing the one held before.
  void SetDib(win32::HGLOBAL Block);

 private:
  win32::HGLOBAL FDib = nullptr;
};

class TAnnotationImageReference : public TGenericImageAnnotation {};
class TAnnotationForm : public TGenericImageAnnotation {};

class TGenericLineAnnotation : public TGenericAnnotation {
 public:
  struct TPoint {
    int32_t X = 0, Y = 0;
  };
  virtual void AddPoint(TPoint Point);
  int32_t PointCount() const { return static_cast<int32_t>(FX.size()); }
  TPoint Points(int32_t Index) const { return {FX.at(Index), FY.at(Index)}; }

 private:
  std::vector<int32_t> FX, FY;
};

// At most two points; a third raises "Only 2 points allowed for line annotation".
class TAnnotationStraightLine : public TGenericLineAnnotation {
 public:
  void AddPoint(TPoint Point) override;
};
class TAnnotationFreeHandLine : public TGenericLineAnnotation {};

class TAnnotationHollowRectangle : public TGenericAnnotation {};
class TAnnotationFilledRectangle : public TGenericAnnotation {};

class TGenericTextAnnotation : public TGenericAnnotation {
 public:
  std::string Text;
  int32_t CreationDpi = 0;
};
class TAnnotationTypedRectangle : public TGenericTextAnnotation {};
class TAnnotationTextStamp : public TGenericTextAnnotation {};
class TAnnotationAttachANote : public TGenericTextAnnotation {};
class TAnnotationTextFromFile : public TGenericTextAnnotation {};
class TAnnotationatOCRRegion : public TGenericTextAnnotation {};

// Finds a tag in the directory of one page of a TIFF stream. Every offset of the file is taken
// from the stream's position at creation.
class TTiffDecoder {
 public:
  // Reads the 8-byte header at the stream's position; a shorter stream leaves it invalid.
  explicit TTiffDecoder(TStream& Stream);

  bool IsValid() const;
  bool BigEndian() const { return FBigEndian; }
  // Loads the entries of page Page (from 0); raises "Invalid TIFF Page Number" when the chain
  // has no such directory. A chain that comes back to a directory ends there.
  void SelectPage(int32_t Page);
  // Index of the first entry with the tag, or -1.
  int32_t FindTag(uint16_t Tag) const;
  // The count of the tag's entry, as bytes; 0 when it is absent.
  uint32_t TagDataSize(uint16_t Tag) const;
  // Seeks to the tag's bytes and, with a buffer, reads them; returns their count. Raises
  // "TIFF Tag Not Found: N" when the tag is absent and "Invalid TIFF Data" when its bytes lie
  // beyond the stream.
  uint32_t ReadTagData(uint16_t Tag, void* Buffer);

  // The most directories a walk visits.
  static constexpr int32_t kMaxDirectories = 65536;

 private:
  struct TEntry {
    uint16_t Tag, Type;
    uint32_t Count, Value;
  };
  uint16_t Read16From(const uint8_t* P) const;
  uint32_t Read32From(const uint8_t* P) const;
  // Reads Count bytes at a TIFF offset; raises "Invalid TIFF Data" past the stream's end.
  void ReadAt(int64_t Offset, void* Buffer, int64_t Count);

  uint16_t FByteOrder = 0, FVersion = 0;
  int32_t FFirstIFD = 0;
  TStream& FStream;
  int64_t FBase = 0;
  bool FBigEndian = false;
  std::vector<TEntry> FEntries;
};

class TAnnotations {
 public:
  TAnnotations() = default;
  ~TAnnotations() { Clear(); }
  TAnnotations(const TAnnotations&) = delete;
  TAnnotations& operator=(const TAnnotations&) = delete;

  // A failed loading keeps the annotations read before the failure.
  void LoadFromTiffFile(const std::string& FileName, int32_t Page);
  void LoadFromTiffStream(TStream& Stream, int32_t Page);
  void LoadFromBuffer(const void* Data, int64_t Size);
  void ParseAnnotationData();

  // Raises "Unsupported annotation type" for a kind outside 1..12.
  TGenericAnnotation* AddAnnotation(uint8_t Kind);
  // Empties the raw data and the list; the default group and index stay.
  void Clear();
  void Delete(int32_t Index);
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TGenericAnnotation* Items(int32_t Index) const { return FItems.at(Index).get(); }

  const TMemoryStream& RawData() const { return FRawData; }
  std::string DefaultGroup = "[Senza Nome]";
  std::string DefaultIndex = "1";

 private:
  void ReadAttributes(int64_t Start, int32_t DataSize);
  void ReadNamedBlock(int32_t DataType, int64_t Start, int32_t DataSize);
  void ApplyDefaultBlock(const std::string& Name, const uint8_t* Data, int32_t Size);
  void ApplyOwnBlock(TGenericAnnotation& Anno, const std::string& Name, const uint8_t* Data,
                     int32_t Size);
  void ReadAnoDat(TGenericAnnotation& Anno, const uint8_t* Data, int32_t Size);
  void ReadAnText(TGenericAnnotation& Anno, const uint8_t* Data, int32_t Size);
  void ReadDib(TAnnotationImageEmbedded& Anno, const uint8_t* Data, int32_t Size);

  TMemoryStream FRawData;
  std::vector<std::unique_ptr<TGenericAnnotation>> FItems;
  TGenericAnnotation* FCurrent = nullptr;
};

}  // namespace annotations
