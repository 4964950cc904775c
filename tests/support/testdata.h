// Where the outside test files are, for tests that skip when they are absent.
#pragma once

#include <string>
#include <vector>

// The folder ../shared/testdata beside the project, or "" when it is not there.
std::string TestDataDir();
// Every regular file below TestDataDir()/sub, sorted; empty when the folder is absent.
std::vector<std::string> TestDataFiles(const std::string& sub);
// The whole file as bytes.
std::vector<unsigned char> ReadFileBytes(const std::string& path);
