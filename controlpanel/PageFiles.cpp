#include "PageFiles.h"

#include <unistd.h>

#include <algorithm>

TPageFiles::TPageFiles(TClock::duration Keep, size_t PerConnection)
    : FKeep(Keep), FPerConnection(PerConnection), FSweeper([this] { Sweep(); }) {}

TPageFiles::~TPageFiles() {
  {
    std::lock_guard lock(FLock);
    FEnding = true;
  }
  FChanged.notify_all();
  FSweeper.join();
  for (const TFile& file : FFiles) ::unlink(file.Path.c_str());
}

void TPageFiles::Add(uint64_t Owner, const std::string& Path) {
  {
    std::lock_guard lock(FLock);
    FFiles.push_back({Owner, Path, TClock::now() + FKeep});
    auto owned = [Owner](const TFile& f) { return f.Owner == Owner; };
    if (static_cast<size_t>(std::count_if(FFiles.begin(), FFiles.end(), owned)) > FPerConnection) {
      auto oldest = std::find_if(FFiles.begin(), FFiles.end(), owned);
      ::unlink(oldest->Path.c_str());
      FFiles.erase(oldest);
    }
  }
  FChanged.notify_all();
}

void TPageFiles::Drop(const std::string& Path) {
  std::lock_guard lock(FLock);
  ::unlink(Path.c_str());
  std::erase_if(FFiles, [&](const TFile& f) { return f.Path == Path; });
}

size_t TPageFiles::Count() {
  std::lock_guard lock(FLock);
  return FFiles.size();
}

// A file that its client took is gone already; unlinking it again does nothing.
void TPageFiles::DeleteDue(TClock::time_point Now) {
  while (!FFiles.empty() && FFiles.front().Due <= Now) {
    ::unlink(FFiles.front().Path.c_str());
    FFiles.pop_front();
  }
}

void TPageFiles::Sweep() {
  std::unique_lock lock(FLock);
  while (!FEnding) {
    if (FFiles.empty()) {
      FChanged.wait(lock);
    } else {
      FChanged.wait_until(lock, FFiles.front().Due);
    }
    DeleteDue(TClock::now());
  }
}
