#include "dibworkspace.h"

#include "dibunit_workspace.h"

namespace {

template <class T>
size_t BytesOf(const std::vector<T>& Buffer) {
  return Buffer.capacity() * sizeof(T);
}

size_t BytesOf(const TExtremeBuffers& Buffers) {
  return BytesOf(Buffers.Ring) + BytesOf(Buffers.Ahead) + BytesOf(Buffers.Out) +
         BytesOf(Buffers.Runs[0]) + BytesOf(Buffers.Runs[1]);
}

size_t BytesOf(const TSkewBuffers& Buffers) {
  return BytesOf(Buffers.Bits) + BytesOf(Buffers.Narrow) + BytesOf(Buffers.Wide) +
         BytesOf(Buffers.Lines[0]) + BytesOf(Buffers.Lines[1]) + BytesOf(Buffers.Bins[0]) +
         BytesOf(Buffers.Bins[1]) + BytesOf(Buffers.Levels);
}

}  // namespace

TDIBWorkspace::TDIBWorkspace() = default;

TDIBWorkspace::~TDIBWorkspace() = default;

TDIBWorkspace::TDIBWorkspace(const TDIBWorkspace&) : TDIBWorkspace() {}

TDIBWorkspace::TParts& TDIBWorkspace::Parts() {
  if (!FParts) FParts = std::make_unique<TParts>();
  return *FParts;
}

size_t TDIBWorkspace::Capacity() const {
  if (!FParts) return 0;
  const TComponentSearch& c = FParts->Components;
  const TLocalStatsBuffers& l = FParts->LocalStats;
  return BytesOf(c.Runs) + BytesOf(c.Edges) + BytesOf(c.LineStart) + BytesOf(c.Parent) +
         BytesOf(c.Index) + BytesOf(c.Counts) + BytesOf(c.Components) + BytesOf(FParts->Minimum) +
         BytesOf(FParts->Maximum) + BytesOf(l.Values) + BytesOf(l.Squares) + BytesOf(l.First) +
         BytesOf(l.End) + BytesOf(l.Inverse) + BytesOf(l.PrefixValues) + BytesOf(l.PrefixSquares) +
         BytesOf(FParts->LocalStatsResult) + BytesOf(FParts->Skew);
}
