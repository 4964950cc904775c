// The level that decides plain paper in the local minimum/maximum threshold, place by place:
// where a shadow (a book's gutter, an uneven light) darkens the paper, the paper about it
// still comes out light, while a dark region far from any light paper stays dark.
#pragma once

#include <cstdint>
#include <vector>

#include "dibunit.h"

class TPaperLevels {
 public:
  // The levels of an 8-bit page, from tiles of about 8 mm (at its horizontal resolution, 300 dpi
  // when it states none). A tile's paper is the byte value that 95 per cent of its pixels lie
  // at or below (read on about 8 of its rows, every other pixel); its level lies a quarter of
  // the scale below that paper (at least half the paper's value), and between half the page's
  // AdaptiveGlobalLevel and that level: the paper about a place can only lower the page's
  // level, and never below half of it, so that a dark region far wider than a tile stays dark
  // where it is darker than that. Between the tiles' centres the level runs linearly, so that
  // it shows no seams.
  // Types: pt8bit.
  // Raises: "This operation requires 8 bit per pixel bitmap !" (also on an empty page).
  explicit TPaperLevels(const TDIB& Page);

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // The levels of line Y (0 .. Height - 1), one a column, into Width bytes at Levels.
  void Line(int32_t Y, uint8_t* Levels) const;
  // Whether line Y (1 .. Height - 1) has the levels of line Y - 1.
  bool SameAsAbove(int32_t Y) const;

 private:
  // The two tile rows about a line, Weight1 of 256 on Row1 by their centres' distance from it.
  struct TPlace {
    int32_t Row0, Row1, Weight1;
  };
  TPlace PlaceOf(int32_t Y) const;
  uint8_t Tile(int32_t Column, int32_t Row) const {
    return FTiles[static_cast<size_t>(Row) * FColumns + Column];
  }

  int32_t FWidth = 0, FHeight = 0;
  int32_t FSize = 1;  // of a tile's side, in pixels
  int32_t FColumns = 0, FRows = 0;
  std::vector<uint8_t> FTiles;     // the tiles' levels, row by row
  std::vector<uint8_t> FSameRows;  // per row of tiles: the next holds the same levels (or none)
};
