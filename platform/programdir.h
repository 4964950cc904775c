// Where the running program lives.
#pragma once

#include <string>

// The directory of the program's executable file, links resolved, without a trailing '/'.
// Empty when the system cannot tell.
std::string ProgramDirectory();
