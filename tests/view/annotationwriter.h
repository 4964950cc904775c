// Writes annotation payloads field by field, and real TIFF files that carry them in tag 32932,
// so that the reader is checked against the layout it reads and against files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace annotest {

using TBytes = std::vector<uint8_t>;

// The fields of one mark attribute record.
struct TAttributes {
  int32_t Type = 5;
  int32_t Left = 10, Top = 20, Right = 110, Bottom = 70;
  uint8_t Color1[4] = {0, 0, 255, 0};  // blue, green, red, reserved
  uint8_t Color2[4] = {255, 0, 0, 0};
  int32_t Highlighting = 0, Transparent = 0, LineSize = 3;
  int32_t FontHeight = -16, FontWeight = 700;
  uint8_t FontItalic = 1;
  std::string FaceName = "Arial";
  int32_t Time = 123456, Visible = 1;
};

// The default attributes with another kind and rectangle.
TAttributes Kind(int32_t Type, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);

class TPayloadWriter {
 public:
  // The 8-byte header; Version 1 marks 32-bit data.
  explicit TPayloadWriter(int32_t Version = 1);

  TPayloadWriter& Attributes(const TAttributes& A, int32_t DataSize = 164);
  // A named block of DataType 2 (default) or 6 (of the current annotation).
  TPayloadWriter& Block(int32_t DataType, const std::string& Name, const TBytes& Data,
                        int32_t DataSize = 12);
  TPayloadWriter& Text(int32_t DataType, const std::string& Name, const std::string& Text);
  // "OiAnoDat" of a line: count at 4, points from 8.
  TPayloadWriter& Points(const std::vector<std::pair<int32_t, int32_t>>& Points);
  // "OiAnText": scale at 8, length at 12, text from 16.
  TPayloadWriter& AnText(int32_t Scale, const std::string& Text);
  TPayloadWriter& Raw(const TBytes& Bytes);
  TPayloadWriter& Int(int32_t Value);

  const TBytes& Bytes() const { return FBytes; }

 private:
  TBytes FBytes;
};

void PutInt(TBytes& Bytes, int32_t Value);

// A packed 8-bit DIB of a small page, as an "OiDIB" block holds it.
TBytes PackedDib(int32_t Width, int32_t Height, uint8_t Gray);

struct TTiffPage {
  TBytes Payload;  // empty: the page has no tag 32932
};

// Writes a TIFF file of small 8-bit pages with libtiff, big-endian when asked.
void WriteTiff(const std::string& FileName, const std::vector<TTiffPage>& Pages, bool BigEndian);

}  // namespace annotest
