#include "globalmem.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace win32;

TEST(GlobalMemory, AllocZeroLockAndSize) {
  HGLOBAL h = GlobalAlloc(GHND, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 100u);
  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(GlobalLock(h), p);
  EXPECT_EQ(GlobalLockCount(h), 2u);
  EXPECT_TRUE(GlobalUnlock(h));
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(GlobalLockCount(h), 0u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, HandleOfLockedAddress) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
  void* p = GlobalLock(h);
  EXPECT_EQ(GlobalHandle(p), h);
  EXPECT_EQ(GlobalHandle(nullptr), nullptr);
  GlobalUnlock(h);
  GlobalFree(h);
}

TEST(GlobalMemory, ReAllocKeepsDataAndZeroesGrowth) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
  std::memset(GlobalLock(h), 0xAB, 8);
  GlobalUnlock(h);
  ASSERT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_ZEROINIT), h);
  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  EXPECT_EQ(GlobalSize(h), size_t{1} << 20);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], 0xAB);
  for (int i = 8; i < (1 << 20); i += 4099) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(GlobalHandle(p), h);
  GlobalUnlock(h);
  ASSERT_EQ(GlobalReAlloc(h, 4, 0), h);
  EXPECT_EQ(GlobalSize(h), 4u);
  GlobalFree(h);
}

TEST(GlobalMemory, CountsLiveAndPeakBytes) {
  size_t before = GlobalLiveBytes();
  GlobalResetPeak();
  HGLOBAL a = GlobalAlloc(GHND, 1000);
  HGLOBAL b = GlobalAlloc(GHND, 500);
  EXPECT_EQ(GlobalLiveBytes(), before + 1500);
  GlobalFree(a);
  EXPECT_EQ(GlobalLiveBytes(), before + 500);
  EXPECT_EQ(GlobalPeakBytes(), before + 1500);
  GlobalReAlloc(b, 2000, 0);
  EXPECT_EQ(GlobalLiveBytes(), before + 2000);
  GlobalFree(b);
  EXPECT_EQ(GlobalLiveBytes(), before);
}

TEST(GlobalMemory, BadHandlesFailWithError) {
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalSize(nullptr), 0u);
  HGLOBAL h = GlobalAlloc(GHND, 4);
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  GlobalFree(h);
}

// A block made in one module is locked and freed in another, and the other way round.
TEST(GlobalMemory, BlocksCrossModules) {
  void* module = dlopen(GLOBALMEM_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto alloc = reinterpret_cast<HGLOBAL (*)(size_t, int)>(dlsym(module, "ModuleAllocFilled"));
  auto release = reinterpret_cast<int (*)(HGLOBAL)>(dlsym(module, "ModuleFree"));
  ASSERT_NE(alloc, nullptr);
  ASSERT_NE(release, nullptr);

  HGLOBAL theirs = alloc(64, 0x5A);
  auto* p = static_cast<unsigned char*>(GlobalLock(theirs));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[63], 0x5A);
  EXPECT_EQ(GlobalHandle(p), theirs);
  GlobalUnlock(theirs);
  ASSERT_EQ(GlobalReAlloc(theirs, 128, GMEM_ZEROINIT), theirs);
  EXPECT_EQ(GlobalFree(theirs), nullptr);

  HGLOBAL ours = GlobalAlloc(GHND, 32);
  EXPECT_EQ(release(ours), 1);
  dlclose(module);
}
