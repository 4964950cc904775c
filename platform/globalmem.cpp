#include "globalmem.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "exception.h"

namespace win32 {
namespace {

constexpr uint32_t kHandleMagic = 0x4D4C4248;  // "HBLM"
constexpr uint32_t kFreedMagic = 0x44454546;   // "FEED"

// The record a handle points to.
struct BlockRecord {
  uint32_t magic;
  uint32_t locks;
  size_t size;
  unsigned char* data;  // points just past the prefix of its allocation
};

// Stored just before the data, so that GlobalHandle finds the record from an address.
struct alignas(std::max_align_t) DataPrefix {
  BlockRecord* owner;
  uint32_t magic;
};

thread_local uint32_t lastError = ERROR_SUCCESS;
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

void CountAlloc(size_t bytes) {
  size_t now = liveBytes.fetch_add(bytes) + bytes;
  size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

void CountFree(size_t bytes) {
  liveBytes.fetch_sub(bytes);
}

BlockRecord* RecordOf(HGLOBAL handle) {
  auto* record = static_cast<BlockRecord*>(handle);
  if (record == nullptr || record->magic != kHandleMagic) {
    lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  return record;
}

DataPrefix* PrefixOf(unsigned char* data) {
  return reinterpret_cast<DataPrefix*>(data) - 1;
}

unsigned char* AllocateData(BlockRecord* owner, size_t bytes, bool zero) {
  if (bytes > SIZE_MAX - sizeof(DataPrefix)) return nullptr;
  size_t total = sizeof(DataPrefix) + bytes;
  void* raw = zero ? std::calloc(1, total) : std::malloc(total);
  if (raw == nullptr) return nullptr;
  auto* prefix = static_cast<DataPrefix*>(raw);
  prefix->owner = owner;
  prefix->magic = kHandleMagic;
  return reinterpret_cast<unsigned char*>(prefix + 1);
}

}  // namespace

HGLOBAL GlobalAlloc(unsigned flags, size_t bytes) {
  auto* record = static_cast<BlockRecord*>(std::malloc(sizeof(BlockRecord)));
  if (record == nullptr) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  record->data = AllocateData(record, bytes, (flags & GMEM_ZEROINIT) != 0);
  if (record->data == nullptr) {
    std::free(record);
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  record->magic = kHandleMagic;
  record->locks = 0;
  record->size = bytes;
  CountAlloc(bytes);
  return record;
}

void* GlobalLock(HGLOBAL handle) {
  BlockRecord* record = RecordOf(handle);
  if (record == nullptr) return nullptr;
  ++record->locks;
  return record->data;
}

bool GlobalUnlock(HGLOBAL handle) {
  BlockRecord* record = RecordOf(handle);
  if (record == nullptr) return false;
  if (record->locks == 0) {
    lastError = ERROR_NOT_LOCKED;
    return false;
  }
  --record->locks;
  if (record->locks == 0) lastError = ERROR_SUCCESS;
  return record->locks > 0;
}

size_t GlobalSize(HGLOBAL handle) {
  BlockRecord* record = RecordOf(handle);
  return record == nullptr ? 0 : record->size;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, unsigned flags) {
  BlockRecord* record = RecordOf(handle);
  if (record == nullptr) return nullptr;
  if (bytes > SIZE_MAX - sizeof(DataPrefix)) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  void* raw = std::realloc(PrefixOf(record->data), sizeof(DataPrefix) + bytes);
  if (raw == nullptr) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  unsigned char* data = reinterpret_cast<unsigned char*>(static_cast<DataPrefix*>(raw) + 1);
  if ((flags & GMEM_ZEROINIT) != 0 && bytes > record->size) {
    std::memset(data + record->size, 0, bytes - record->size);
  }
  if (bytes >= record->size) {
    CountAlloc(bytes - record->size);
  } else {
    CountFree(record->size - bytes);
  }
  record->data = data;
  record->size = bytes;
  return record;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  BlockRecord* record = RecordOf(handle);
  if (record == nullptr) return handle;
  DataPrefix* prefix = PrefixOf(record->data);
  prefix->magic = kFreedMagic;
  CountFree(record->size);
  std::free(prefix);
  record->magic = kFreedMagic;
  std::free(record);
  return nullptr;
}

HGLOBAL GlobalHandle(const void* memory) {
  if (memory == nullptr) {
    lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  const DataPrefix* prefix = reinterpret_cast<const DataPrefix*>(memory) - 1;
  if (prefix->magic != kHandleMagic || prefix->owner->data != memory) {
    lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  return prefix->owner;
}

unsigned GlobalLockCount(HGLOBAL handle) {
  BlockRecord* record = RecordOf(handle);
  return record == nullptr ? 0 : record->locks;
}

uint32_t GetLastError() {
  return lastError;
}
void SetLastError(uint32_t code) {
  lastError = code;
}

const char* ErrorText(uint32_t code) {
  switch (code) {
    case ERROR_SUCCESS:
      return "The operation completed successfully.";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "Not enough storage is available to process this command.";
    case ERROR_NOT_LOCKED:
      return "The segment is already unlocked.";
    default:
      return "Unknown error.";
  }
}

void RaiseLastError() {
  throw Exception(ErrorText(GetLastError()));
}

size_t GlobalLiveBytes() {
  return liveBytes.load();
}
size_t GlobalPeakBytes() {
  return peakBytes.load();
}
void GlobalResetPeak() {
  peakBytes.store(liveBytes.load());
}

}  // namespace win32
