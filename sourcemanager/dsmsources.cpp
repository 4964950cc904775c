#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "dsmhelper.h"
#include "dsmtable.h"
#include "identityhex.h"
#include "windowsdir.h"

namespace fs = std::filesystem;

namespace {

// How long a source may take to load and tell its identity.
constexpr int kIdentityTimeoutMs = 5000;
// The helper's exit status for a library that is no data source or answered no identity.
constexpr int kHelperNoAnswer = 3;

bool HasDataSourceExtension(const fs::path& Path) {
  std::string ext = Path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".ds";
}

// The canonical paths of the files, in the order of their paths in the folder; a library
// reached twice (through links) counts once.
std::vector<std::string> DataSourceFiles() {
  std::vector<std::pair<std::string, std::string>> found;  // path in the folder, canonical
  fs::path folder = fs::path(win32::GetWindowsDirectory()) / "twain_32";
  std::error_code error;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file(error) || !HasDataSourceExtension(it->path())) continue;
    fs::path canonical = fs::canonical(it->path(), error);
    if (!error) found.emplace_back(it->path().string(), canonical.string());
    error.clear();
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> files;
  for (const auto& [path, canonical] : found)
    if (std::find(files.begin(), files.end(), canonical) == files.end()) files.push_back(canonical);
  return files;
}

// The helper asks the source in a process of its own: a source that crashes, hangs or raises
// while it loads or answers is left out, and said so once on the standard error.
TAnsweredIdentity AskIdentity(const std::string& Path, const TW_IDENTITY& Asker) {
  TAnsweredIdentity answer;
  THelperRun run = RunHelper({"identity", Path, IdentityToHex(Asker)}, kIdentityTimeoutMs);
  if (run.Finished && run.Output.size() == sizeof(TW_IDENTITY)) {
    std::memcpy(&answer.Identity, run.Output.data(), sizeof(TW_IDENTITY));
    answer.Listed = true;
  } else {
    if (run.Finished || run.ExitStatus == kHelperNoAnswer) run.Why = "it gave no identity";
    std::fprintf(stderr, "TWAIN_32.DLL: the data source %s is left out: %s\n", Path.c_str(),
                 run.Why.c_str());
  }
  return answer;
}

// The identity a source answered, asked again only when its file changed.
bool Identity(const std::string& Path, const TW_IDENTITY& Asker, TIdentityCache& Cache,
              TW_IDENTITY& Identity) {
  std::error_code error;
  std::uintmax_t size = fs::file_size(Path, error);
  fs::file_time_type modified = fs::last_write_time(Path, error);
  if (error) return false;
  {
    std::lock_guard guard(Cache.Lock);
    auto known = Cache.Answered.find(Path);
    if (known != Cache.Answered.end() && known->second.Size == size &&
        known->second.Modified == modified) {
      Identity = known->second.Identity;
      return known->second.Listed;
    }
  }
  TAnsweredIdentity answer = AskIdentity(Path, Asker);
  answer.Size = size;
  answer.Modified = modified;
  std::lock_guard guard(Cache.Lock);
  Cache.Answered[Path] = answer;
  Identity = answer.Identity;
  return answer.Listed;
}

// A product name that an earlier source of the listing has already is told apart by a
// number, as the application opens a source by its name.
void MakeNameDistinct(std::vector<TListedSource>& Listed, TListedSource& Source) {
  auto taken = [&](const char* Name) {
    return std::any_of(Listed.begin(), Listed.end(), [&](const TListedSource& s) {
      return std::strncmp(s.Identity.ProductName, Name, sizeof(TW_STR32)) == 0;
    });
  };
  const std::string name = Source.Identity.ProductName;
  for (int n = 2; taken(Source.Identity.ProductName); ++n) {
    std::string suffix = " (" + std::to_string(n) + ")";
    std::string distinct = name.substr(0, sizeof(TW_STR32) - 1 - suffix.size()) + suffix;
    std::snprintf(Source.Identity.ProductName, sizeof(TW_STR32), "%s", distinct.c_str());
  }
}

}  // namespace

std::vector<TListedSource> ScanSources(TW_IDENTITY& Asker, const std::vector<TLoadedSource>& Loaded,
                                       TIdentityCache& Cache) {
  std::vector<TListedSource> listed;
  for (const std::string& path : DataSourceFiles()) {
    TListedSource source;
    source.Path = path;
    auto loaded = std::find_if(Loaded.begin(), Loaded.end(),
                               [&](const TLoadedSource& s) { return s.Path == path; });
    if (loaded != Loaded.end()) {
      source.Identity = loaded->Identity;
    } else {
      if (!Identity(path, Asker, Cache, source.Identity)) continue;
      source.Identity.Id = 0;
      source.Identity.ProductName[sizeof(TW_STR32) - 1] = '\0';
      MakeNameDistinct(listed, source);
    }
    listed.push_back(source);
  }
  return listed;
}
