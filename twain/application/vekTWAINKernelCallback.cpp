// The kernel with a 2.x Source Manager: its entry points, and the callback that keeps the
// source's notifications for the message hook.
#include <algorithm>
#include <vector>

#include "vekTWAINKernel.h"

namespace {

// The kernels with a callback registered, found by their application Id: the manager names
// the application as the callback's destination.
std::mutex kernelsLock;
std::vector<TvekTWAINKernel*> kernels;

}  // namespace

void TvekTWAINKernel::StartTwain2() {
  FTwain2 = false;
  if ((FAppIdentity.SupportedGroups & DF_DSM2) == 0) return;
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  if (CallDSM(&FAppIdentity, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry) != TWRC_SUCCESS)
    return;
  FEntryPoints = entry;
  FTwain2 = true;
  std::lock_guard guard(kernelsLock);
  if (std::find(kernels.begin(), kernels.end(), this) == kernels.end()) kernels.push_back(this);
}

void TvekTWAINKernel::StopTwain2() {
  {
    std::lock_guard guard(kernelsLock);
    std::erase(kernels, this);
  }
  FTwain2 = false;
  FEntryPoints = {};
  // The manager answers DF_DSM2 into the identity again at the next opening.
  FAppIdentity.SupportedGroups &= ~DF_DSM2;
  std::lock_guard guard(FNotificationsLock);
  FNotifications.clear();
}

// A manager that refuses the callback leaves the kernel polling with MSG_PROCESSEVENT.
void TvekTWAINKernel::RegisterCallback() {
  {
    std::lock_guard guard(FNotificationsLock);
    FNotifications.clear();
  }
  TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&TvekTWAINKernel::CallBack),
                        reinterpret_cast<uintptr_t>(this), 0};
  if (CallDSM(&FAppIdentity, &FSourceIdentity, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK,
              &callback) != TWRC_SUCCESS)
    FTwain2 = false;
}

TW_UINT16 TvekTWAINKernel::TakeNotification() {
  std::lock_guard guard(FNotificationsLock);
  if (FNotifications.empty()) return MSG_NULL;
  TW_UINT16 message = FNotifications.front();
  FNotifications.pop_front();
  return message;
}

// May come from any thread, also from inside a call the kernel is making: it only keeps the
// notification and wakes the message loop.
TW_UINT16 TvekTWAINKernel::CallBack(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32, TW_UINT16,
                                    TW_UINT16 MSG, TW_MEMREF) {
  if (pOrigin == nullptr || pDest == nullptr) return TWRC_FAILURE;
  std::lock_guard guard(kernelsLock);
  auto it = std::find_if(kernels.begin(), kernels.end(), [&](TvekTWAINKernel* k) {
    return k->FAppIdentity.Id == pDest->Id && k->FSourceIdentity.Id == pOrigin->Id;
  });
  if (it == kernels.end()) return TWRC_FAILURE;
  TvekTWAINKernel& kernel = **it;
  {
    std::lock_guard kept(kernel.FNotificationsLock);
    kernel.FNotifications.push_back(MSG);
  }
  win32::PostMessage(kernel.FParentWindow, win32::WM_NULL, 0, 0);
  return TWRC_SUCCESS;
}
