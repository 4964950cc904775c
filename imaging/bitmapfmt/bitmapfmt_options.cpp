// Parsing of the option string.
#include "bitmapfmt_options.h"

#include <strings.h>

#include <cstring>
#include <string>

namespace bitmapfmt {

namespace {

struct TOptionWord {
  const char* Word;
  unsigned Flag;
};

constexpr TOptionWord kWords[] = {
    {"trunc", kOptTrunc},     {"16", kOpt16},       {"24", kOpt24},     {"32", kOpt32},
    {"yup", kOptYup},         {"ydown", kOptYdown}, {"1.1", kOpt11},    {"win", kOptWin},
    {"2.0", kOpt20},          {"inv", kOptInv},     {"invb", kOptInvb}, {"darkfg", kOptDarkfg},
    {"lightfg", kOptLightfg},
};

unsigned FlagOf(const std::string& word) {
  for (const TOptionWord& w : kWords)
    if (strcasecmp(w.Word, word.c_str()) == 0) return w.Flag;
  return 0;
}

}  // namespace

unsigned ParseOptions(const char* options) {
  if (options == nullptr) return 0;
  constexpr const char* kSeparators = " \t,";
  unsigned flags = 0;
  const char* p = options;
  while (*p != '\0') {
    const size_t gap = std::strspn(p, kSeparators);
    p += gap;
    const size_t length = std::strcspn(p, kSeparators);
    if (length > 0) flags |= FlagOf(std::string(p, length));
    p += length;
  }
  return flags;
}

}  // namespace bitmapfmt
