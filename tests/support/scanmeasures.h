// Measures of a page that the tests of deskew and border removal hold the library's results
// against, made from the pixels alone and without the library's own detection code: the ink
// of a page, its letter-like components and the angle of its text lines by a brute-force
// projection-profile search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dibunit.h"

// The ink of a page, for every pixel type: pixels whose gray value lies below the level and
// clearly below that of the paper around them.
struct TInkMap {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Dark;  // one byte a pixel, line by line from the top
  bool At(int32_t X, int32_t Y) const { return Dark[static_cast<size_t>(Y) * Width + X] != 0; }
};
TInkMap InkOf(const TDIB& Page, int32_t Level = 128);

// The level below which a page's gray values are ink or a dark surround: 128, or on paper
// darker than 192 (old, browned print) 64 below the paper's gray, so that the paper itself is
// not read as dark. The paper's gray is the one that 95 in a hundred pixels of the middle half
// of the page lie at or below. A black-and-white page has 128.
int32_t InkLevel(const TDIB& Page);

// A connected set of dark pixels (8-neighbourhood) with its bounding box (inclusive).
struct TInkBlob {
  int32_t Left, Top, Right, Bottom;
  int64_t Pixels;
  int32_t Width() const { return Right - Left + 1; }
  int32_t Height() const { return Bottom - Top + 1; }
};

// The ink components that look like letters or words of a line of text at the resolution:
// between 0.6 and 8 mm high, at most 25 mm wide, neither a solid block nor touching a side of
// the page. Runs holds, for each, its pixels as runs (line, first x, last x).
struct TInkRun {
  int32_t Y, X0, X1;
};
struct TLetters {
  std::vector<TInkBlob> Blobs;
  std::vector<TInkRun> Runs;  // the runs of all letters
};
TLetters LettersOf(const TInkMap& Ink, int32_t DPI);

// Every ink component, as LettersOf gives letters: for a projection of all the ink, the long
// lines of a score's staves or of a form among it.
TLetters AllInkOf(const TInkMap& Ink);

// The letters that lie in the text area: those with at least two other letters of a similar
// height beside them on their line. Specks, stray marks and the striped edges of a book are
// not in it.
std::vector<TInkBlob> TextLetters(const std::vector<TInkBlob>& Letters);

// The angle of the text lines in degrees (the sign as DetectSkew gives it: rotating the page
// by it straightens the lines): the angle up to MaxAngle of the highest score of the
// projection of the letters' pixels on lines of that angle, the squared differences of
// neighbouring lines. The projection is smoothed so that the score changes little with a
// small change of angle; the angles are tried on a grid of 0.1 degrees and, from the three
// best peaks of the grid, in steps down to 0.005 degrees. Sure is set false when the page has
// too few letters to tell.
double ProjectionSkew(const TLetters& Letters, double MaxAngle, bool* Sure = nullptr);

// The angle that straightens the text lines best taken together, for a page whose lines lie
// at different slopes: the text letters are gathered into lines along the page's
// ProjectionSkew, the angle of each line is the mean of the median slopes of its letters' tops
// and of their bottoms, and the angles are averaged, each weighed by the length of its line
// (lines of at least five letters). About 0.15 degrees from the truth on a printed page.
double LineWeightedSkew(const TLetters& Letters, double MaxAngle);

// The dark pixels (gray below the page's InkLevel) of a surround left on the page: those of
// the connected dark sets that touch a side of the page and reach further than 25 mm along or
// across it, more than any letter or word that LettersOf takes.
int64_t SurroundLeft(const TDIB& Page, int32_t DPI);

// Saves the page as PNG (8-bit gray, or colour for a 24-bit page) for a person to look at.
void SavePagePNG(const TDIB& Page, const std::string& FileName);
