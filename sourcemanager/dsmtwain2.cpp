// What the Source Manager adds for TWAIN 2 peers: the entry points, the callbacks, and the
// Ids that listing gives.
#include <algorithm>

#include "boundaryguard.h"
#include "globalmem.h"
#include "sourcemanager.h"

namespace {

// The memory functions of the entry points: the blocks are win32::Global* blocks, which any
// module of ours locks and frees as well, whoever made them.
TW_HANDLE MemAllocate(TW_UINT32 Size) {
  return win32::GlobalAlloc(win32::GHND, Size);
}
void MemFree(TW_HANDLE Handle) {
  win32::GlobalFree(Handle);
}
TW_MEMREF MemLock(TW_HANDLE Handle) {
  return win32::GlobalLock(Handle);
}
void MemUnlock(TW_HANDLE Handle) {
  win32::GlobalUnlock(Handle);
}

}  // namespace

extern "C" TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                               TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);

namespace {

TW_ENTRYPOINT ManagerEntryPoints() {
  return {sizeof(TW_ENTRYPOINT), DSM_Entry, MemAllocate, MemFree, MemLock, MemUnlock};
}

}  // namespace

TW_UINT16 TSourceManager::EntryPoints(TLock&, TApplicationRecord& App, TW_UINT16 MSG,
                                      TW_MEMREF pData) {
  if (MSG != MSG_GET) return Fail(&App, TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(&App, TWCC_BADVALUE);
  *static_cast<TW_ENTRYPOINT*>(pData) = ManagerEntryPoints();
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::RegisterCallback(TLock&, TApplicationRecord& App, TOpenPair& Pair,
                                           TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  if (MSG != MSG_REGISTER_CALLBACK) return Fail(&App, TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(&App, TWCC_BADVALUE);
  if (DAT == DAT_CALLBACK) {
    const auto& callback = *static_cast<const TW_CALLBACK*>(pData);
    Pair.Callback = reinterpret_cast<TWAINCALLBACKPROC>(callback.CallBackProc);
    Pair.RefCon = callback.RefCon;
  } else {
    const auto& callback = *static_cast<const TW_CALLBACK2*>(pData);
    Pair.Callback = reinterpret_cast<TWAINCALLBACKPROC>(callback.CallBackProc);
    Pair.RefCon = callback.RefCon;
  }
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::GiveEntryPoints(TLock& Lock, const TLoadedSource& Source,
                                          TW_IDENTITY& App) {
  if ((Source.Identity.SupportedGroups & DF_DS2) == 0) return TWRC_SUCCESS;
  TW_ENTRYPOINT entry = ManagerEntryPoints();
  return CallSource(Lock, Source.Entry, App, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry,
                    Source.Identity.Id);
}

bool TSourceManager::CallBack(TLock& Lock, TOpenPair& Pair, TW_IDENTITY& Source, TW_IDENTITY& App,
                              TW_UINT16 MSG) {
  TWAINCALLBACKPROC callback = Pair.Callback;
  if (callback == nullptr) return false;
  auto refCon = reinterpret_cast<TW_MEMREF>(Pair.RefCon);
  Lock.unlock();
  Guarded([&] { return callback(&Source, &App, DG_CONTROL, DAT_NULL, MSG, refCon); },
          [] { return TWRC_FAILURE; });
  Lock.lock();
  return true;
}

TW_UINT32 TSourceManager::ListedId(const std::string& Path) {
  auto it = std::find_if(FListedIds.begin(), FListedIds.end(),
                         [&](const auto& listed) { return listed.first == Path; });
  if (it != FListedIds.end()) return it->second;
  FListedIds.emplace_back(Path, NewId());
  return FListedIds.back().second;
}
