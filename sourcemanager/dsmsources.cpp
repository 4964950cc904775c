#include <algorithm>
#include <filesystem>
#include <system_error>

#include "boundaryguard.h"
#include "dsmtable.h"
#include "windowsdir.h"

namespace fs = std::filesystem;

namespace {

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

// Loads the library for the one question and unloads it again.
bool AskIdentity(const std::string& Path, TW_IDENTITY& Asker, TW_IDENTITY& Identity) {
  win32::HMODULE module = win32::LoadLibrary(Path);
  if (module == nullptr) return false;
  auto entry = reinterpret_cast<DSENTRYPROC>(win32::GetProcAddress(module, "DS_Entry"));
  TW_UINT16 rc = TWRC_FAILURE;
  if (entry != nullptr)
    rc = Guarded([&] { return entry(&Asker, DG_CONTROL, DAT_IDENTITY, MSG_GET, &Identity); },
                 [] { return TWRC_FAILURE; });
  win32::FreeLibrary(module);
  return rc == TWRC_SUCCESS;
}

}  // namespace

std::vector<TListedSource> ScanSources(TW_IDENTITY& Asker,
                                       const std::vector<TLoadedSource>& Loaded) {
  std::vector<TListedSource> listed;
  for (const std::string& path : DataSourceFiles()) {
    TListedSource source;
    source.Path = path;
    auto loaded = std::find_if(Loaded.begin(), Loaded.end(),
                               [&](const TLoadedSource& s) { return s.Path == path; });
    if (loaded != Loaded.end())
      source.Identity = loaded->Identity;
    else if (!AskIdentity(path, Asker, source.Identity))
      continue;
    else
      source.Identity.Id = 0;
    source.Identity.ProductName[sizeof(TW_STR32) - 1] = '\0';
    listed.push_back(source);
  }
  return listed;
}
