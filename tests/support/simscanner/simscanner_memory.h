// The blocks the simulated scanner hands across or is handed: through the memory functions a
// 2.x manager gave it, else (a 1.x source) win32::Global*. A 2.x source without them has no
// memory at all, as such a driver fails for want of them.
#pragma once

#include <cstddef>

#include "twain.h"

class TSimMemory {
 public:
  explicit TSimMemory(bool Twain2) : FTwain2(Twain2) {}

  // DAT_ENTRYPOINT MSG_SET; false for a record that is too short or lacks a function.
  bool SetEntryPoints(const TW_ENTRYPOINT& Entry);
  // The manager's entry for notifications: the given one, else none (a 2.x source).
  DSMENTRYPROC ManagerEntry() const { return FEntry.DSM_Entry; }
  bool Twain2() const { return FTwain2; }

  TW_HANDLE Allocate(size_t Bytes) const;
  void* Lock(TW_HANDLE Handle) const;
  void Unlock(TW_HANDLE Handle) const;
  void Free(TW_HANDLE Handle) const;
  // The size of a block, where the allocator tells it; else Declared, what its contents claim.
  size_t Size(TW_HANDLE Handle, size_t Declared) const;
  // A new block holding a copy of the bytes, or 0.
  TW_HANDLE Copy(const void* Bytes, size_t Count) const;

 private:
  bool FTwain2;
  TW_ENTRYPOINT FEntry{};
};
