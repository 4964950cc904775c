// Pages handed over as handles, taken back for checks.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "dibunit.h"

// A page that owns the block of Handle (nullptr: none).
inline std::unique_ptr<TDIB> Adopted(win32::HGLOBAL Handle) {
  if (Handle == nullptr) return nullptr;
  auto page = std::make_unique<TDIB>();
  page->SetHandle(Handle);
  return page;
}

// Same size, type and pixels, row by row.
inline ::testing::AssertionResult SamePixels(const TDIB& A, const TDIB& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelType() != B.PixelType()) {
    return ::testing::AssertionFailure()
           << A.Width() << " x " << A.Height() << " type " << int(A.PixelType()) << " against "
           << B.Width() << " x " << B.Height() << " type " << int(B.PixelType());
  }
  for (int32_t y = 0; y < A.Height(); ++y) {
    if (std::memcmp(A.Lines(y), B.Lines(y), A.LineBytes()) != 0) {
      return ::testing::AssertionFailure() << "row " << y << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}
