// The format table: Bitmap, PCX and Targa, in that order.
#include "bitmapfmt_formats.h"

namespace bitmapfmt {

namespace {

const TFormatSteps kFormats[kFormatCount] = {
    {{"Bitmap", "OS/2 1.1, 1.2, 2.0 / Windows 3.0 bitmap", "BMP VGA BGA RLE DIB RL4 RL8", 0xff},
     bmp::ReadHeader,
     bmp::ReadPalette,
     bmp::CheckData,
     bmp::ReadData,
     bmp::WriteImage},
    {{"PCX", "ZSoft PC Paintbrush Image format", "PCX PCC", 0xff},
     pcx::ReadHeader,
     pcx::ReadPalette,
     pcx::CheckData,
     pcx::ReadData,
     pcx::WriteImage},
    {{"Targa", "Truevision Targa/Vista bitmap", "TGA VST AFI", 0xcc},
     tga::ReadHeader,
     tga::ReadPalette,
     tga::CheckData,
     tga::ReadData,
     tga::WriteImage},
};

}  // namespace

const TFormatSteps& Format(int index) {
  return kFormats[index];
}

}  // namespace bitmapfmt
