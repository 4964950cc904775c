// Loading a shared library at run time and finding its exports, under the names of the calls
// the system was designed on.
//
// A name without a '/' is looked for as the system looks for a library: first among the
// libraries already loaded into the process (by their soname), then on the loader's search
// path, then in the Windows directory. So a module that loads "TWAIN_32.DLL" by name reaches
// the very instance that its host loaded from a full path, never a second copy.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

using HMODULE = void*;

// Returns nullptr when the library cannot be loaded; LastLibraryError() then tells why. Every
// successful call must be matched by FreeLibrary.
HMODULE LoadLibrary(const std::string& name);
// Undoes one LoadLibrary; the library stays while another load holds it. True on success.
bool FreeLibrary(HMODULE module);
// The address of the export of that name, or nullptr.
void* GetProcAddress(HMODULE module, const char* name);
// The address of the export with that ordinal, or nullptr. Our libraries export by name only;
// ordinal 1 is the Source Manager's entry "DSM_Entry".
void* GetProcAddress(HMODULE module, uint16_t ordinal);
// Why the last LoadLibrary or GetProcAddress of this thread failed.
std::string LastLibraryError();

}  // namespace win32
