// The raw host as a 2.x application: entry points, callbacks, and blocks through the
// manager's memory functions.
#include <algorithm>
#include <chrono>

#include "globalmem.h"
#include "rawhost.h"

namespace {

// The 2.x hosts of the process by their application Id, for the callbacks: the manager names
// the application as the callback's destination.
std::mutex hostsLock;
std::vector<TRawHost*> hosts;

}  // namespace

TW_UINT16 TRawHost::OpenTwain2DSM() {
  TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr);
  if (rc != TWRC_SUCCESS || (FIdentity.SupportedGroups & DF_DSM2) == 0) return rc;
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  if (Call(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry) == TWRC_SUCCESS)
    FEntryPoints = entry;
  std::lock_guard guard(hostsLock);
  if (std::find(hosts.begin(), hosts.end(), this) == hosts.end()) hosts.push_back(this);
  return rc;
}

void TRawHost::ForgetCallbacks() {
  std::lock_guard guard(hostsLock);
  std::erase(hosts, this);
}

TW_UINT16 TRawHost::RegisterCallback(TW_IDENTITY& Source) {
  TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&TRawHost::CallBack),
                        reinterpret_cast<uintptr_t>(this), 0};
  return Call(&Source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback);
}

TW_UINT16 TRawHost::CallBack(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32, TW_UINT16,
                             TW_UINT16 MSG, TW_MEMREF) {
  if (pOrigin == nullptr || pDest == nullptr) return TWRC_FAILURE;
  std::lock_guard guard(hostsLock);
  auto it = std::find_if(hosts.begin(), hosts.end(),
                         [&](TRawHost* h) { return h->FIdentity.Id == pDest->Id; });
  if (it == hosts.end()) return TWRC_FAILURE;
  TRawHost& host = **it;
  {
    std::lock_guard pumped(host.FPumpedLock);
    host.FPumped.push_back({pOrigin->Id, MSG});
  }
  host.FPumpedChanged.notify_all();
  return TWRC_SUCCESS;
}

std::vector<TNotification> TRawHost::WaitForCallbacks(int TimeoutMs) {
  std::unique_lock lock(FPumpedLock);
  FPumpedChanged.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                          [&] { return !FPumped.empty(); });
  std::vector<TNotification> pumped = std::move(FPumped);
  FPumped.clear();
  return pumped;
}

TW_HANDLE TRawHost::Allocate(TW_UINT32 Bytes) {
  return Twain2() ? FEntryPoints.DSM_MemAllocate(Bytes) : win32::GlobalAlloc(win32::GHND, Bytes);
}
void* TRawHost::Lock(TW_HANDLE Handle) {
  return Twain2() ? FEntryPoints.DSM_MemLock(Handle) : win32::GlobalLock(Handle);
}
void TRawHost::Unlock(TW_HANDLE Handle) {
  if (Twain2())
    FEntryPoints.DSM_MemUnlock(Handle);
  else
    win32::GlobalUnlock(Handle);
}
void TRawHost::Free(TW_HANDLE Handle) {
  if (Twain2())
    FEntryPoints.DSM_MemFree(Handle);
  else
    win32::GlobalFree(Handle);
}
