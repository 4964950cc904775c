// The option words of the bitmap format module, as flags.
#pragma once

namespace bitmapfmt {

enum : unsigned {
  kOptTrunc = 1u << 0,  // PCX reading: a run ends at the end of a line
  kOpt16 = 1u << 1,     // Targa writing: stored depth of a 24-bit image
  kOpt24 = 1u << 2,
  kOpt32 = 1u << 3,
  kOptYup = 1u << 4,       // Targa writing: rows bottom-up
  kOptYdown = 1u << 5,     // Targa writing: rows top-down
  kOpt11 = 1u << 6,        // BMP writing: the 12-byte header
  kOptWin = 1u << 7,       // BMP writing: the 40-byte header
  kOpt20 = 1u << 8,        // BMP writing: the 40-byte header
  kOptInv = 1u << 9,       // BMP 1-bit: keep the two palette entries in place
  kOptInvb = 1u << 10,     // BMP 1-bit: invert the pixel bits
  kOptDarkfg = 1u << 11,   // BMP writing: invert once more when entry 0 is the darker
  kOptLightfg = 1u << 12,  // BMP writing: invert once more when entry 0 is not the darker
};

// The flags of the known words in a string of words separated by blanks, tabs or commas,
// compared without regard to case. Other words are ignored; null means no options.
unsigned ParseOptions(const char* options);

// True when more than one of the flags in group is set.
inline bool Conflict(unsigned options, unsigned group) {
  const unsigned set = options & group;
  return (set & (set - 1)) != 0;
}

}  // namespace bitmapfmt
