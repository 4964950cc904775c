// The triplets the Source Manager answers itself, one function each.
#include <algorithm>
#include <cstring>

#include "dsmdefault.h"
#include "sourcemanager.h"

namespace {

const TListedSource* FindByName(const std::vector<TListedSource>& Listing, const char* Name) {
  auto it = std::find_if(Listing.begin(), Listing.end(), [&](const TListedSource& s) {
    return std::strncmp(s.Identity.ProductName, Name, sizeof(TW_STR32)) == 0;
  });
  return it != Listing.end() ? &*it : nullptr;
}

}  // namespace

TW_UINT16 TSourceManager::OpenDSM(TLock&, TW_IDENTITY& App, TW_MEMREF pData) {
  if (FindApplication(&App) != nullptr) return Fail(FindApplication(&App), TWCC_SEQERROR);
  bool twain2 = (App.SupportedGroups & DF_APP2) != 0;
  if (pData == nullptr && !twain2) return Fail(nullptr, TWCC_BADVALUE);
  TApplicationRecord record;
  record.Id = NewId();
  if (pData != nullptr) record.Parent = *static_cast<win32::HWND*>(pData);
  App.Id = record.Id;
  if (twain2) App.SupportedGroups |= DF_DSM2;
  FApplications.push_back(record);
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::CloseDSM(TLock&, TW_IDENTITY& App) {
  TApplicationRecord* app = FindApplication(&App);
  if (app == nullptr || HasPairs(app->Id) || app->OpeningSources > 0)
    return Fail(app, TWCC_SEQERROR);
  std::erase_if(FApplications, [&](const TApplicationRecord& a) { return a.Id == App.Id; });
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::GetFirst(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData) {
  if (pData == nullptr) return Fail(FindApplication(&App), TWCC_BADVALUE);
  std::vector<TListedSource> listing = List(Lock, App);
  TApplicationRecord* app = FindApplication(&App);
  if (app == nullptr) return Fail(nullptr, TWCC_SEQERROR);
  app->Listing = std::move(listing);
  app->NextListed = 0;
  if (app->Listing.empty()) return Fail(app, TWCC_NODS);
  return GetNext(Lock, App, pData);
}

TW_UINT16 TSourceManager::GetNext(TLock&, TW_IDENTITY& App, TW_MEMREF pData) {
  TApplicationRecord* app = FindApplication(&App);
  if (pData == nullptr) return Fail(app, TWCC_BADVALUE);
  if (app->NextListed >= app->Listing.size()) return TWRC_ENDOFLIST;
  *static_cast<TW_IDENTITY*>(pData) = app->Listing[app->NextListed++].Identity;
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::GetDefault(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData) {
  if (pData == nullptr) return Fail(FindApplication(&App), TWCC_BADVALUE);
  std::vector<TListedSource> listing = List(Lock, App);
  const TListedSource* source = Unlocked(Lock, [&] { return DefaultSource(listing, FDefault); });
  if (source == nullptr) return Fail(FindApplication(&App), TWCC_NODS);
  *static_cast<TW_IDENTITY*>(pData) = source->Identity;
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::UserSelect(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData) {
  if (pData == nullptr) return Fail(FindApplication(&App), TWCC_BADVALUE);
  std::vector<TListedSource> listing = List(Lock, App);
  if (listing.empty()) return Fail(FindApplication(&App), TWCC_NODS);
  int row = Unlocked(Lock, [&] { return ChooseSource(listing, FDefault); });
  if (row < 0) return TWRC_CANCEL;
  Unlocked(Lock, [&] { RememberDefaultSource(listing[row].Path, FDefault); });
  *static_cast<TW_IDENTITY*>(pData) = listing[row].Identity;
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::OpenDS(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData) {
  if (pData == nullptr) return Fail(FindApplication(&App), TWCC_BADVALUE);
  // The application stays while its OPENDS runs: a CLOSEDSM meanwhile is refused.
  TOpening opening(*this, App.Id);
  auto& wanted = *static_cast<TW_IDENTITY*>(pData);
  std::vector<TListedSource> listing = List(Lock, App);
  const TListedSource* listed =
      wanted.ProductName[0] == '\0'
          ? Unlocked(Lock, [&] { return DefaultSource(listing, FDefault); })
          : FindByName(listing, wanted.ProductName);
  if (listed == nullptr) return Fail(FindApplication(&App), TWCC_NODS);
  TLoadedSource* source = LoadSource(Lock, *listed);
  TApplicationRecord* app = FindApplication(&App);
  if (source == nullptr) return Fail(app, TWCC_BUMMER);
  if (FindPair(App.Id, source->Identity.Id) != nullptr) return Fail(app, TWCC_SEQERROR);
  TW_UINT32 sourceId = source->Identity.Id;
  DSENTRYPROC entry = source->Entry;
  wanted = source->Identity;
  if (GiveEntryPoints(Lock, *source, App) != TWRC_SUCCESS)
    return Fail(FindApplication(&App), TWCC_OPERATIONERROR);

  TW_UINT16 rc =
      CallSource(Lock, entry, App, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, pData, sourceId);
  if (rc == TWRC_SUCCESS) {
    TOpenPair pair;
    pair.AppId = App.Id;
    pair.SourceId = sourceId;
    FPairs.push_back(pair);
    Unlocked(Lock, [&] { RememberDefaultSource(listed->Path, FDefault); });
    return rc;
  }
  // The source's reason becomes the manager's answer, as the pair it refused does not exist.
  if (FindApplication(&App)->Condition == TWCC_SUCCESS)
    return FailAsSource(Lock, entry, App, sourceId);
  return TWRC_FAILURE;
}

TW_UINT16 TSourceManager::CloseDS(TLock& Lock, TW_IDENTITY& App, TW_MEMREF pData) {
  TApplicationRecord* app = FindApplication(&App);
  if (pData == nullptr) return Fail(app, TWCC_BADVALUE);
  TW_UINT32 sourceId = static_cast<TW_IDENTITY*>(pData)->Id;
  if (FindPair(App.Id, sourceId) == nullptr) return Fail(app, TWCC_BADDEST);
  DSENTRYPROC entry = FindLoaded(sourceId)->Entry;
  TW_UINT16 rc =
      CallSource(Lock, entry, App, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, pData, sourceId);
  TOpenPair* pair = FindPair(App.Id, sourceId);
  if (pair == nullptr) return rc;  // closed meanwhile, from another thread
  if (rc == TWRC_SUCCESS) {
    RemovePair(App.Id, sourceId);
    return rc;
  }
  // A source that broke down while closing is closed anyway: nothing more can be asked of
  // it, and its application must be able to close the manager.
  if (pair->PendingCondition != TWCC_SUCCESS) {
    RemovePair(App.Id, sourceId);
    return Fail(FindApplication(&App), TWCC_BUMMER);
  }
  return FailAsSource(Lock, entry, App, sourceId);
}

TW_UINT16 TSourceManager::FailAsSource(TLock& Lock, DSENTRYPROC Entry, TW_IDENTITY& App,
                                       TW_UINT32 SourceId) {
  TW_STATUS status{TWCC_BUMMER, 0};
  if (CallSource(Lock, Entry, App, DG_CONTROL, DAT_STATUS, MSG_GET, &status, SourceId) !=
      TWRC_SUCCESS)
    status.ConditionCode = TWCC_BUMMER;
  if (TOpenPair* pair = FindPair(App.Id, SourceId)) pair->PendingCondition = TWCC_SUCCESS;
  return Fail(FindApplication(&App), status.ConditionCode);
}

TW_UINT16 TSourceManager::Status(TLock&, TW_IDENTITY* App, TW_UINT16 MSG, TW_MEMREF pData) {
  TApplicationRecord* app = FindApplication(App);
  TW_UINT16& condition = app != nullptr ? app->Condition : FStrayCondition;
  if (MSG != MSG_GET) return Fail(app, TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(app, TWCC_BADVALUE);
  *static_cast<TW_STATUS*>(pData) = {condition, 0};
  condition = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::SourceCallback(TLock& Lock, TW_IDENTITY* Source, TW_IDENTITY* App,
                                         TW_UINT16 MSG) {
  if (Source == nullptr || App == nullptr) return Fail(nullptr, TWCC_BADVALUE);
  if (MSG != MSG_XFERREADY && MSG != MSG_CLOSEDSREQ && MSG != MSG_CLOSEDSOK &&
      MSG != MSG_DEVICEEVENT)
    return Fail(nullptr, TWCC_BADPROTOCOL);
  TOpenPair* pair = FindPair(App->Id, Source->Id);
  if (pair == nullptr) return Fail(nullptr, TWCC_BADDEST);
  if (CallBack(Lock, *pair, *Source, *App, MSG)) return TWRC_SUCCESS;
  if (pair->Notifications.size() >= kMaxQueuedNotifications) return Fail(nullptr, TWCC_BUMMER);
  pair->Notifications.push_back(MSG);
  Wake(*FindApplication(App));
  return TWRC_SUCCESS;
}

TW_UINT16 TSourceManager::ProcessEvent(TLock& Lock, TW_IDENTITY& App, TW_IDENTITY& Source,
                                       TW_MEMREF pData) {
  TW_UINT32 sourceId = Source.Id;
  FindApplication(&App)->WakePending = false;
  // Only what was queued before this call: a notification raised while the source handles
  // the event waits for the next one.
  size_t queued = FindPair(App.Id, sourceId)->Notifications.size();
  TW_UINT16 rc = CallSource(Lock, FindLoaded(sourceId)->Entry, App, DG_CONTROL, DAT_EVENT,
                            MSG_PROCESSEVENT, pData, sourceId);
  TOpenPair* pair = FindPair(App.Id, sourceId);
  TApplicationRecord* app = FindApplication(&App);
  if (pair == nullptr || app == nullptr || pData == nullptr) return rc;
  auto& event = *static_cast<TW_EVENT*>(pData);
  bool free = (rc == TWRC_DSEVENT || rc == TWRC_NOTDSEVENT) && event.TWMessage == MSG_NULL;
  if (free && queued > 0 && !pair->Notifications.empty()) {
    event.TWMessage = pair->Notifications.front();
    pair->Notifications.pop_front();
    rc = TWRC_DSEVENT;
  }
  // The one wake-up this call answered may have stood for another source's notifications too.
  if (std::any_of(FPairs.begin(), FPairs.end(), [&](const TOpenPair& p) {
        return p.AppId == App.Id && !p.Notifications.empty();
      }))
    Wake(*app);
  return rc;
}
