#include <algorithm>

#include "sourcemanager.h"

TApplicationRecord* TSourceManager::FindApplication(const TW_IDENTITY* App) {
  if (App == nullptr || App->Id == 0) return nullptr;
  auto it = std::find_if(FApplications.begin(), FApplications.end(),
                         [&](const TApplicationRecord& a) { return a.Id == App->Id; });
  return it != FApplications.end() ? &*it : nullptr;
}

TLoadedSource* TSourceManager::FindLoaded(TW_UINT32 SourceId) {
  auto it = std::find_if(FLoaded.begin(), FLoaded.end(),
                         [&](const TLoadedSource& s) { return s.Identity.Id == SourceId; });
  return it != FLoaded.end() ? &*it : nullptr;
}

std::vector<TListedSource> TSourceManager::List(TLock& Lock, TW_IDENTITY& App) {
  std::vector<TLoadedSource> loaded = FLoaded;
  Lock.unlock();
  std::vector<TListedSource> listing = ScanSources(App, loaded, FIdentities);
  Lock.lock();
  for (TListedSource& listed : listing) listed.Identity.Id = ListedId(listed.Path);
  return listing;
}

TLoadedSource* TSourceManager::LoadSource(TLock& Lock, const TListedSource& Listed) {
  auto loaded = [&] {
    return std::find_if(FLoaded.begin(), FLoaded.end(),
                        [&](const TLoadedSource& s) { return s.Path == Listed.Path; });
  };
  if (loaded() != FLoaded.end()) return &*loaded();
  TLoadedSource source;
  source.Path = Listed.Path;
  // The library's start-up runs without the lock: it may call the manager.
  Lock.unlock();
  source.Module = win32::LoadLibrary(Listed.Path);
  void* entry = win32::GetProcAddress(source.Module, "DS_Entry");
  Lock.lock();
  if (entry == nullptr || loaded() != FLoaded.end()) win32::FreeLibrary(source.Module);
  if (loaded() != FLoaded.end()) return &*loaded();
  if (entry == nullptr) return nullptr;
  source.Entry = reinterpret_cast<DSENTRYPROC>(entry);
  source.Identity = Listed.Identity;
  FLoaded.push_back(source);
  return &FLoaded.back();
}

TOpenPair* TSourceManager::FindPair(TW_UINT32 AppId, TW_UINT32 SourceId) {
  auto it = std::find_if(FPairs.begin(), FPairs.end(), [&](const TOpenPair& p) {
    return p.AppId == AppId && p.SourceId == SourceId;
  });
  return it != FPairs.end() ? &*it : nullptr;
}

void TSourceManager::RemovePair(TW_UINT32 AppId, TW_UINT32 SourceId) {
  std::erase_if(FPairs,
                [&](const TOpenPair& p) { return p.AppId == AppId && p.SourceId == SourceId; });
}

bool TSourceManager::HasPairs(TW_UINT32 AppId) const {
  return std::any_of(FPairs.begin(), FPairs.end(),
                     [&](const TOpenPair& p) { return p.AppId == AppId; });
}

TW_UINT16 TSourceManager::Fail(TApplicationRecord* App, TW_UINT16 Condition) {
  (App != nullptr ? App->Condition : FStrayCondition) = Condition;
  return TWRC_FAILURE;
}

// An application that gave no window is woken through the application object's own.
void TSourceManager::Wake(TApplicationRecord& App) {
  if (App.WakePending) return;
  win32::HWND window = App.Parent != nullptr ? App.Parent : Application().Handle();
  App.WakePending = win32::PostMessage(window, win32::WM_NULL, 0, 0);
}

// Made and ended with the lock held.
TSourceManager::TOpening::TOpening(TSourceManager& Manager, TW_UINT32 AppId)
    : FManager(Manager), FAppId(AppId) {
  for (TApplicationRecord& app : FManager.FApplications)
    if (app.Id == FAppId) ++app.OpeningSources;
}

TSourceManager::TOpening::~TOpening() {
  for (TApplicationRecord& app : FManager.FApplications)
    if (app.Id == FAppId) --app.OpeningSources;
}
