// The pages the benchmarks run on, made once per program, and the loop that times an operation
// on fresh copies of a page.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>

#include "pagegen.h"

// The A4 300 dpi reference page of a pixel type; the 4-bit page is the 8-bit one converted.
inline const TDIB& ReferencePage(uint8_t Type) {
  static std::unique_ptr<TDIB> pages[7];
  std::unique_ptr<TDIB>& page = pages[Type];
  if (!page) {
    page = MakeReferencePage(ReferencePageOptions(Type == pt4bit ? pt8bit : Type));
    if (Type == pt4bit) page->ConvertPixelType(pt4bit);
  }
  return *page;
}

// Runs Operation on a fresh copy of the page each time; making and freeing the copy is not
// timed.
template <class TOperation>
void OnCopies(benchmark::State& state, const TDIB& Page, TOperation&& Operation) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<TDIB> copy = Page.Duplicate();
    state.ResumeTiming();
    Operation(*copy);
    benchmark::ClobberMemory();
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
}
