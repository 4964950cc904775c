#include "library.h"

#include <dlfcn.h>

#include "windowsdir.h"

namespace win32 {

namespace {

thread_local std::string LastError;

void NoteError() {
  const char* text = dlerror();
  LastError = text != nullptr ? text : "unknown loader error";
}

}  // namespace

HMODULE LoadLibrary(const std::string& name) {
  HMODULE module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr && name.find('/') == std::string::npos)
    module = dlopen((GetWindowsDirectory() + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) NoteError();
  return module;
}

bool FreeLibrary(HMODULE module) {
  return module != nullptr && dlclose(module) == 0;
}

void* GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  dlerror();
  void* address = dlsym(module, name);
  if (address == nullptr) NoteError();
  return address;
}

void* GetProcAddress(HMODULE module, uint16_t ordinal) {
  if (ordinal == 1) return GetProcAddress(module, "DSM_Entry");
  LastError = "no export with ordinal " + std::to_string(ordinal);
  return nullptr;
}

std::string LastLibraryError() {
  return LastError;
}

}  // namespace win32
