// Small generated pages of every depth, for tests that hold a fast operation against a plain
// reference version of it, and the byte-for-byte comparison of two pages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "dibunit.h"
#include "pagegen.h"

// A skewed page of text strokes, specks and a dark frame; Width 601 leaves a partly used last
// byte in 1-bit lines and padding after 8-bit and 24-bit lines. Narrower pages are cut from a
// page 600 wide; SpecksOnly leaves out the text. 4-bit pages take the 8-bit page's values divided
// by 16.
inline std::unique_ptr<TDIB> SmallPage(uint8_t Type, int32_t Width = 600, int32_t Height = 400,
                                       uint32_t Seed = 1, bool SpecksOnly = false) {
  TPageOptions o;
  o.Width = std::max(Width, 600);
  o.Height = Height;
  o.PixelType = Type == pt4bit ? pt8bit : Type;
  o.SkewDegrees = 1.5;
  o.FrameLeft = o.FrameTop = o.FrameRight = o.FrameBottom = 12;
  o.Speckles = SpecksOnly ? 3000 : 300;
  o.Margin = SpecksOnly ? o.Width / 2 : 30;  // margins that meet leave no room for text
  o.Seed = Seed;
  std::unique_ptr<TDIB> page = MakeReferencePage(o);
  if (Width < o.Width) page->Crop({0, 0, Width - 1, Height - 1});
  if (Type != pt4bit) return page;
  auto four = std::make_unique<TDIB>();
  four->NewImage(Width, Height, pt4bit, 300, 300);
  for (int32_t y = 0; y < Height; ++y) {
    for (int32_t x = 0; x < Width; ++x) four->SetPixel(x, y, page->GetPixel(x, y) / 16);
  }
  return four;
}

// The two pages have the same layout and every byte of their blocks is equal.
inline void ExpectSameBlock(const TDIB& Actual, const TDIB& Expected) {
  ASSERT_EQ(Actual.Width(), Expected.Width());
  ASSERT_EQ(Actual.Height(), Expected.Height());
  ASSERT_EQ(Actual.BlockSize(), Expected.BlockSize());
  const auto* a = static_cast<const uint8_t*>(Actual.Memory());
  const auto* e = static_cast<const uint8_t*>(Expected.Memory());
  size_t first = 0;
  while (first < static_cast<size_t>(Actual.BlockSize()) && a[first] == e[first]) ++first;
  EXPECT_EQ(first, static_cast<size_t>(Actual.BlockSize())) << "first differing byte";
}

// Into gets a copy of Source whose rows stand Gap bytes after the palette's end, as a loaded file
// may keep them, with bfOffBits telling where they are.
inline void CopyWithGapBeforeRows(const TDIB& Source, size_t Gap, TDIB& Into) {
  const auto* memory = static_cast<const uint8_t*>(Source.Memory());
  const auto rowsAt = static_cast<size_t>(Source.Bits() - memory);
  win32::HGLOBAL block = win32::GlobalAlloc(win32::GHND, Source.BlockSize() + Gap);
  auto* data = static_cast<uint8_t*>(win32::GlobalLock(block));
  std::memcpy(data, memory, rowsAt);
  std::memcpy(data + rowsAt + Gap, Source.Bits(), Source.BlockSize() - rowsAt);
  win32::GlobalUnlock(block);
  Into.SetHandle(block);
  Into.FileHeader().bfOffBits = static_cast<uint32_t>(14 + rowsAt + Gap);
  Into.ParseHeader();
  Into.BuildLineTable();
}
