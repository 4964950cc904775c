// The data source this user chose or opened last, kept in the user's settings (the registry
// layer's key Software\Dovantic Technologies\TWAIN_32, value "Path" of section
// "Default Source"): the library's path.
#pragma once

#include <string>

std::string ReadDefaultSource();
// False when the settings cannot be written.
bool RememberDefaultSource(const std::string& Path);
