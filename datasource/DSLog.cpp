#include "DSLog.h"

#include <cstdio>

void DSLog(const std::string& Text) noexcept {
  std::fprintf(stderr, "Clarivo.ds: %s\n", Text.c_str());
}
