// The temporary directory and files with unique names in it.
#pragma once

#include <cstddef>
#include <string>

namespace win32 {

// $TMPDIR, else "/tmp", always with a trailing path delimiter.
std::string GetTempPath();

}  // namespace win32

// Creates a new file named Prefix + six unique characters + Suffix that only its owner may
// read or write, and writes Data into it; returns its name. Never replaces an existing file.
// Raises EFCreateError or EWriteError, leaving no file behind.
std::string WriteUniqueFile(const std::string& Prefix, const std::string& Suffix, const void* Data,
                            size_t Count);
