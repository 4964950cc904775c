// A device context of the graphics interface, free of any window system: the stretch mode, the
// brush origin and the viewport origin it keeps, its device capabilities, and StretchDIBits,
// which scales a packed DIB onto the device with our own row-based code. A concrete context
// (a window, an image in memory, a printer page) only reports its capabilities and its clip box
// and puts blocks of finished 32-bit pixels on its surface.
#pragma once

#include <cstdint>

#include "wingdi.h"

namespace win32 {

struct POINT {
  int32_t x = 0;
  int32_t y = 0;
};

// A rectangle in device pixels; right and bottom are outside it.
struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Stretch modes: how lines and columns that a shrinking drops are combined.
inline constexpr int32_t BLACKONWHITE = 1;  // keeps the darkest of them (per channel)
inline constexpr int32_t WHITEONBLACK = 2;  // keeps the lightest of them (per channel)
inline constexpr int32_t COLORONCOLOR = 3;  // drops them: nearest sample
inline constexpr int32_t HALFTONE = 4;      // averages them

// Device capabilities.
inline constexpr int32_t HORZRES = 8;
inline constexpr int32_t VERTRES = 10;
inline constexpr int32_t LOGPIXELSX = 88;
inline constexpr int32_t LOGPIXELSY = 90;
inline constexpr int32_t PHYSICALOFFSETX = 112;
inline constexpr int32_t PHYSICALOFFSETY = 113;

}  // namespace win32

class TDeviceContext {
 public:
  virtual ~TDeviceContext() = default;

  // The value of a device capability (win32::HORZRES ...); 0 for one the device lacks.
  virtual int32_t GetDeviceCaps(int32_t Index) const = 0;

  int32_t GetStretchBltMode() const { return FStretchMode; }
  // Returns the previous mode; a mode outside 1..4 is refused with 0 and changes nothing.
  int32_t SetStretchBltMode(int32_t Mode);
  win32::POINT SetBrushOrgEx(win32::POINT Origin);
  win32::POINT BrushOrg() const { return FBrushOrigin; }
  // Logical point (0, 0) lands on device point Origin; returns the previous origin.
  win32::POINT SetViewportOrgEx(win32::POINT Origin);
  win32::POINT ViewportOrg() const { return FViewportOrigin; }

  // Scales the source rectangle of a packed DIB (the header, followed by a full palette of
  // 2^bits entries for 1, 4 and 8 bits, and the rows at Bits) onto the destination rectangle
  // (logical coordinates), by the stretch mode. Source coordinates count lines from the top of
  // the picture, for bottom-up and top-down DIBs alike. Only the part of the destination inside
  // the clip box is computed, band by band, never the whole page at once. Answers the number of
  // destination lines drawn: 0 when nothing is visible, a size is not positive, the source
  // rectangle reaches outside the picture, or the format is not 1, 4, 8 or 24 bits BI_RGB.
  int32_t StretchDIBits(int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight,
                        int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight,
                        const void* Bits, const win32::BITMAPINFOHEADER& Info);

 protected:
  // The part of the device that may be painted, in device pixels.
  virtual win32::RECT ClipBox() const = 0;
  // Puts Width x Height pixels (0xFFRRGGBB, rows Stride pixels apart) at device point (X, Y).
  virtual void PutPixels(int32_t X, int32_t Y, int32_t Width, int32_t Height,
                         const uint32_t* Pixels, int32_t Stride) = 0;

 private:
  int32_t FStretchMode = win32::BLACKONWHITE;
  win32::POINT FBrushOrigin;
  win32::POINT FViewportOrigin;
};
