// The pseudo-scanner "[Test Scanner]": instead of a device it draws a test page of the size,
// resolution and type that a scan asks for, saves it in the test directory (with its back
// side for a duplex scan) and serves the bitmaps found there.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dibunit.h"

struct TTestPageSpec {
  double WidthInches = 0, HeightInches = 0;
  int32_t XDPI = 0, YDPI = 0;
  int32_t PixelType = 0;  // 0 black and white (1 bit), 1 gray (8 bits), else colour (24 bits)
  bool Duplex = false;
};

// White, with a black frame of a twentieth of each side and, in the framed middle third, a
// cross (1 bit), a ramp of the 256 gray levels (8 bits) or bands of red, green and blue.
// Raises: TDIB::NewImage's texts for a size no page can have.
std::unique_ptr<TDIB> MakeTestPage(const TTestPageSpec& Spec);

// Saves the test page as "front.bmp" in Dir (and upside down as "back.bmp" for a duplex
// scan), and returns the pages to serve: "front.bmp", "back.bmp" only in a duplex scan, then
// every other bitmap of Dir by name. Raises what making or saving the page raises.
std::vector<std::string> BuildTestPages(const std::string& Dir, const TTestPageSpec& Spec);
