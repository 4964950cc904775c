// A page received by memory transfer: the strips the source writes, top row first, laid into
// a page of the size and depth its image information announced.
#pragma once

#include <cstdint>
#include <memory>

#include "dibunit.h"
#include "twain.h"

class TMemoryPage {
 public:
  // 1, 8 (gray or palette) and 24-bit RGB pages; raises Exception for any other kind, and for
  // sizes the page object refuses.
  explicit TMemoryPage(const TW_IMAGEINFO& Info);

  // Copies one strip in; raises Exception for a strip whose rows are shorter than the page's
  // rows, that holds fewer bytes than it claims, or that reaches below the last row.
  void Take(const TW_IMAGEMEMXFER& Strip, const uint8_t* Buffer, uint32_t Length);
  int32_t RowsTaken() const { return FRows; }
  // The palette of a TWPT_PALETTE page, as DAT_PALETTE8 gave it (red in Channel1).
  void SetPalette(const TW_PALETTE8& Palette);
  // The page, red and blue back in the page's own order; the object is empty afterwards.
  std::unique_ptr<TDIB> Finish();

 private:
  std::unique_ptr<TDIB> FPage;
  int32_t FRows = 0;
};
