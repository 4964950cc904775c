// Movable global memory blocks, as the page image, TWAIN and the clipboard exchange them.
//
// A handle is a small record that owns the data pointer, so the data may move on re-size while
// the handle stays. The layer keeps no table of blocks: everything it needs is in the record
// and in a prefix before the data, so a block made in one module can be locked, re-sized and
// freed in another one that links its own copy of this layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win32 {

using HGLOBAL = void*;

inline constexpr unsigned GMEM_FIXED = 0x0000;
inline constexpr unsigned GMEM_MOVEABLE = 0x0002;
inline constexpr unsigned GMEM_ZEROINIT = 0x0040;
inline constexpr unsigned GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr unsigned GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Error codes left by a failing call, read with GetLastError.
inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_LOCKED = 158;

// Returns 0 when the memory cannot be had.
HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
// Returns the data address and counts the lock; nullptr for a bad handle.
void* GlobalLock(HGLOBAL handle);
// Returns true while the block stays locked by someone.
bool GlobalUnlock(HGLOBAL handle);
size_t GlobalSize(HGLOBAL handle);
// Grows or shrinks the block; the data may move (the handle keeps it). With GMEM_ZEROINIT the
// bytes beyond the old size are zero. Returns the handle, or 0 with the block unchanged.
HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, unsigned flags);
// Returns 0 on success, the handle when it could not be freed.
HGLOBAL GlobalFree(HGLOBAL handle);
// The handle of the block whose data starts at the given locked address, or 0.
HGLOBAL GlobalHandle(const void* memory);
unsigned GlobalLockCount(HGLOBAL handle);

uint32_t GetLastError();
void SetLastError(uint32_t code);
// The text of an error code, as the system would show it.
const char* ErrorText(uint32_t code);
// Raises an Exception with the text of the last error, after a call of this layer failed.
[[noreturn]] void RaiseLastError();

// Bytes held by the live blocks of this module, and the most they ever were since the last
// reset; benchmarks read them to measure an operation's peak memory.
size_t GlobalLiveBytes();
size_t GlobalPeakBytes();
void GlobalResetPeak();

}  // namespace win32
