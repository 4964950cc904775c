#include "dsmdefault.h"

#include <algorithm>
#include <cstdlib>

#include "dsmhelper.h"

namespace {

constexpr int kSettingsTimeoutMs = 5000;

bool HasDisplay() {
  auto set = [](const char* Name) {
    const char* value = std::getenv(Name);
    return value != nullptr && *value != '\0';
  };
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && std::string(platform) == "offscreen") return false;
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

const TListedSource* DefaultSource(const std::vector<TListedSource>& Listing, TDefaultMemo& Memo) {
  if (Listing.empty()) return nullptr;
  THelperRun run = RunHelper({"default"}, kSettingsTimeoutMs);
  if (run.Finished) {
    std::lock_guard guard(Memo.Lock);
    Memo.Path = run.Output;
    Memo.Known = true;
  }
  auto it = std::find_if(Listing.begin(), Listing.end(), [&](const TListedSource& s) {
    return run.Finished && s.Path == run.Output;
  });
  return it != Listing.end() ? &*it : &Listing.front();
}

void RememberDefaultSource(const std::string& Path, TDefaultMemo& Memo) {
  {
    std::lock_guard guard(Memo.Lock);
    if (Memo.Known && Memo.Path == Path) return;
  }
  if (!RunHelper({"remember", Path}, kSettingsTimeoutMs).Finished) return;
  std::lock_guard guard(Memo.Lock);
  Memo.Path = Path;
  Memo.Known = true;
}

int ChooseSource(const std::vector<TListedSource>& Listing, TDefaultMemo& Memo) {
  const TListedSource* fallback = DefaultSource(Listing, Memo);
  if (fallback == nullptr) return -1;
  const int row = static_cast<int>(fallback - Listing.data());
  if (!HasDisplay()) return row;
  std::vector<std::string> arguments{"select", std::to_string(row)};
  for (const TListedSource& source : Listing) arguments.push_back(source.Identity.ProductName);
  THelperRun run = RunHelper(arguments, -1);
  if (!run.Finished) return -1;
  const int chosen = std::atoi(run.Output.c_str());
  return chosen >= 0 && chosen < static_cast<int>(Listing.size()) ? chosen : -1;
}
