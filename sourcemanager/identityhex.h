// A TW_IDENTITY as text of two hexadecimal digits per byte, for handing it to the helper
// program on its command line.
#pragma once

#include <cstring>
#include <string>

#include "twain.h"

inline std::string IdentityToHex(const TW_IDENTITY& Identity) {
  static constexpr char kDigits[] = "0123456789abcdef";
  unsigned char bytes[sizeof(TW_IDENTITY)];
  std::memcpy(bytes, &Identity, sizeof bytes);
  std::string text;
  for (unsigned char b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

// False, leaving Identity alone, unless Text is exactly one identity's digits.
inline bool IdentityFromHex(const std::string& Text, TW_IDENTITY& Identity) {
  if (Text.size() != 2 * sizeof(TW_IDENTITY)) return false;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  unsigned char bytes[sizeof(TW_IDENTITY)];
  for (size_t i = 0; i < sizeof bytes; ++i) {
    int high = digit(Text[2 * i]), low = digit(Text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<unsigned char>(high << 4 | low);
  }
  std::memcpy(&Identity, bytes, sizeof bytes);
  return true;
}
