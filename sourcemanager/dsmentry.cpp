// The exported entry of TWAIN_32.DLL: the guard, the trace, and the routing of each triplet
// to the manager's own answer or to the open source it is meant for.
#include "boundaryguard.h"
#include "dsmtrace.h"
#include "sourcemanager.h"

TSourceManager& TSourceManager::Instance() {
  static TSourceManager manager;
  return manager;
}

TW_UINT16 TSourceManager::Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  TLock lock(FLock);
  if (DG == DG_CONTROL && DAT == DAT_NULL) return SourceCallback(lock, pOrigin, pDest, MSG);
  if (pDest == nullptr) return ManagerTriplet(lock, pOrigin, DG, DAT, MSG, pData);
  if (FindApplication(pOrigin) == nullptr) return Fail(nullptr, TWCC_SEQERROR);
  return SourceTriplet(lock, *pOrigin, *pDest, DG, DAT, MSG, pData);
}

TW_UINT16 TSourceManager::ManagerTriplet(TLock& Lock, TW_IDENTITY* pOrigin, TW_UINT32 DG,
                                         TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  if (pOrigin == nullptr) return Fail(nullptr, TWCC_BADVALUE);
  if (DG == DG_CONTROL && DAT == DAT_STATUS) return Status(Lock, pOrigin, MSG, pData);
  if (DG == DG_CONTROL && DAT == DAT_PARENT) {
    if (MSG == MSG_OPENDSM) return OpenDSM(Lock, *pOrigin, pData);
    if (MSG == MSG_CLOSEDSM) return CloseDSM(Lock, *pOrigin);
    return Fail(FindApplication(pOrigin), TWCC_BADPROTOCOL);
  }
  TApplicationRecord* app = FindApplication(pOrigin);
  if (app == nullptr) return Fail(nullptr, TWCC_SEQERROR);
  app->Condition = TWCC_SUCCESS;
  if (DG == DG_CONTROL && DAT == DAT_ENTRYPOINT) return EntryPoints(Lock, *app, MSG, pData);
  if (DG != DG_CONTROL || DAT != DAT_IDENTITY) return Fail(app, TWCC_BADDEST);
  switch (MSG) {
    case MSG_GETFIRST:
      return GetFirst(Lock, *pOrigin, pData);
    case MSG_GETNEXT:
      return GetNext(Lock, *pOrigin, pData);
    case MSG_GETDEFAULT:
      return GetDefault(Lock, *pOrigin, pData);
    case MSG_USERSELECT:
      return UserSelect(Lock, *pOrigin, pData);
    case MSG_OPENDS:
      return OpenDS(Lock, *pOrigin, pData);
    case MSG_CLOSEDS:
      return CloseDS(Lock, *pOrigin, pData);
    default:
      return Fail(app, TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSourceManager::SourceTriplet(TLock& Lock, TW_IDENTITY& App, TW_IDENTITY& Source,
                                        TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                        TW_MEMREF pData) {
  TOpenPair* pair = FindPair(App.Id, Source.Id);
  bool status = DG == DG_CONTROL && DAT == DAT_STATUS;
  // The status of a triplet the manager refused for want of an open source is its own.
  if (pair == nullptr)
    return status ? Status(Lock, &App, MSG, pData) : Fail(FindApplication(&App), TWCC_BADDEST);
  if (status && pair->PendingCondition != TWCC_SUCCESS && MSG == MSG_GET && pData != nullptr) {
    *static_cast<TW_STATUS*>(pData) = {pair->PendingCondition, 0};
    pair->PendingCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (DG == DG_CONTROL && DAT == DAT_EVENT && MSG == MSG_PROCESSEVENT)
    return ProcessEvent(Lock, App, Source, pData);
  if (DG == DG_CONTROL && (DAT == DAT_CALLBACK || DAT == DAT_CALLBACK2))
    return RegisterCallback(Lock, *FindApplication(&App), *pair, DAT, MSG, pData);
  return CallSource(Lock, FindLoaded(Source.Id)->Entry, App, DG, DAT, MSG, pData, Source.Id);
}

TW_UINT16 TSourceManager::CallSource(TLock& Lock, DSENTRYPROC Entry, TW_IDENTITY& App, TW_UINT32 DG,
                                     TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData,
                                     TW_UINT32 SourceId) {
  bool raised = false;
  Lock.unlock();
  TW_UINT16 rc = Guarded([&] { return Entry(&App, DG, DAT, MSG, pData); },
                         [&] {
                           raised = true;
                           return TWRC_FAILURE;
                         });
  Lock.lock();
  if (!raised && rc <= TWRC_DATANOTAVAILABLE) return rc;
  if (TOpenPair* pair = FindPair(App.Id, SourceId))
    pair->PendingCondition = TWCC_BUMMER;
  else
    Fail(FindApplication(&App), TWCC_BUMMER);
  return TWRC_FAILURE;
}

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin,
                                                                      TW_IDENTITY* pDest,
                                                                      TW_UINT32 DG, TW_UINT16 DAT,
                                                                      TW_UINT16 MSG,
                                                                      TW_MEMREF pData) {
  return Guarded(
      [&] {
        TW_UINT16 rc = TSourceManager::Instance().Entry(pOrigin, pDest, DG, DAT, MSG, pData);
        TraceTriplet(pOrigin, pDest, DG, DAT, MSG, rc);
        return rc;
      },
      [] { return TWRC_FAILURE; });
}
