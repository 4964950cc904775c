// Reading the process environment.
#pragma once

#include <cstdlib>
#include <string>

// The value of the environment variable; empty when it is not set.
inline std::string EnvValue(const char* Variable) {
  const char* value = std::getenv(Variable);
  return value != nullptr ? value : "";
}
