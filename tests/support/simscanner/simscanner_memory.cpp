#include "simscanner_memory.h"

#include <cstring>

#include "globalmem.h"

bool TSimMemory::SetEntryPoints(const TW_ENTRYPOINT& Entry) {
  if (Entry.Size < sizeof(TW_ENTRYPOINT) || Entry.DSM_Entry == nullptr ||
      Entry.DSM_MemAllocate == nullptr || Entry.DSM_MemFree == nullptr ||
      Entry.DSM_MemLock == nullptr || Entry.DSM_MemUnlock == nullptr)
    return false;
  FEntry = Entry;
  return true;
}

TW_HANDLE TSimMemory::Allocate(size_t Bytes) const {
  if (!FTwain2) return win32::GlobalAlloc(win32::GHND, Bytes);
  if (FEntry.DSM_MemAllocate == nullptr || Bytes > UINT32_MAX) return nullptr;
  return FEntry.DSM_MemAllocate(static_cast<TW_UINT32>(Bytes));
}

void* TSimMemory::Lock(TW_HANDLE Handle) const {
  if (!FTwain2) return win32::GlobalLock(Handle);
  return FEntry.DSM_MemLock != nullptr && Handle != nullptr ? FEntry.DSM_MemLock(Handle) : nullptr;
}

void TSimMemory::Unlock(TW_HANDLE Handle) const {
  if (!FTwain2)
    win32::GlobalUnlock(Handle);
  else if (FEntry.DSM_MemUnlock != nullptr)
    FEntry.DSM_MemUnlock(Handle);
}

void TSimMemory::Free(TW_HANDLE Handle) const {
  if (!FTwain2)
    win32::GlobalFree(Handle);
  else if (FEntry.DSM_MemFree != nullptr)
    FEntry.DSM_MemFree(Handle);
}

size_t TSimMemory::Size(TW_HANDLE Handle, size_t Declared) const {
  return FTwain2 ? Declared : win32::GlobalSize(Handle);
}

TW_HANDLE TSimMemory::Copy(const void* Bytes, size_t Count) const {
  TW_HANDLE block = Allocate(Count);
  void* m = Lock(block);
  if (m == nullptr) {
    if (block != nullptr) Free(block);
    return nullptr;
  }
  std::memcpy(m, Bytes, Count);
  Unlock(block);
  return block;
}
