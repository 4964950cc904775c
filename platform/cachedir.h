// The directory of the control panel's page cache.
#pragma once

#include <string>

// The cache directory for a program in ProgramDir, created when missing; no trailing '/'.
//   $CLARIVO_CACHE_DIR when it is set and not empty;
//   else "cache" beside the program, when the program lies outside the source and build trees
//   and that directory is writable or can be made there;
//   else the user's cache directory, $XDG_CACHE_HOME (else ~/.cache) +
//   "/Dovantic Technologies/Clarivo".
// So a user's pages never land in the project's own trees nor in a read-only installation.
// Raises Exception when the chosen directory cannot be made.
std::string CacheDirectory(const std::string& ProgramDir);
// The same for the running program.
std::string CacheDirectory();
