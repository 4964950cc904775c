// Small TIFF files for the tests: built byte by byte (any tag set, or left out) or written
// with libtiff over a memory stream (tiles, codecs).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "dibunit.h"
#include "tiffstream.h"

// A little-endian classic TIFF with one directory and the pixels in one strip right after
// the header. StripOffsets and StripByteCounts are added unless a test sets them itself.
struct TTiffBytes {
  struct TEntry {
    uint16_t Tag;
    uint16_t Type;
    uint32_t Count;
    std::vector<uint8_t> Data;
  };
  std::vector<TEntry> Entries;
  std::vector<uint8_t> Pixels;

  TTiffBytes& Short(uint16_t Tag, std::vector<uint16_t> Values) {
    return Add(Tag, 3, Values.size(), Values.data(), Values.size() * 2);
  }
  TTiffBytes& Long(uint16_t Tag, std::vector<uint32_t> Values) {
    return Add(Tag, 4, Values.size(), Values.data(), Values.size() * 4);
  }
  TTiffBytes& Rational(uint16_t Tag, uint32_t Numerator, uint32_t Denominator) {
    uint32_t v[2] = {Numerator, Denominator};
    return Add(Tag, 5, 1, v, 8);
  }
  TTiffBytes& Without(uint16_t Tag) {
    std::erase_if(Entries, [Tag](const TEntry& e) { return e.Tag == Tag; });
    return *this;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<TEntry> entries = Entries;
    auto has = [&](uint16_t tag) {
      return std::any_of(entries.begin(), entries.end(), [tag](auto& e) { return e.Tag == tag; });
    };
    if (!has(273)) entries.push_back(LongEntry(273, 8));
    if (!has(279)) entries.push_back(LongEntry(279, static_cast<uint32_t>(Pixels.size())));
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.Tag < b.Tag; });

    std::vector<uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    if (out.size() % 2 != 0) out.push_back(0);
    std::vector<uint32_t> offsets;
    for (const TEntry& e : entries) {  // values that do not fit in an entry
      offsets.push_back(static_cast<uint32_t>(out.size()));
      if (e.Data.size() > 4) out.insert(out.end(), e.Data.begin(), e.Data.end());
      if (out.size() % 2 != 0) out.push_back(0);
    }
    Put32(out, 4, static_cast<uint32_t>(out.size()));
    Append16(out, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      const TEntry& e = entries[i];
      Append16(out, e.Tag);
      Append16(out, e.Type);
      Append32(out, e.Count);
      uint8_t value[4] = {};
      if (e.Data.size() <= 4) {
        std::memcpy(value, e.Data.data(), e.Data.size());
      } else {
        std::memcpy(value, &offsets[i], 4);
      }
      out.insert(out.end(), value, value + 4);
    }
    Append32(out, 0);
    return out;
  }

  TMemoryStream Stream() const { return TMemoryStream(Bytes()); }

 private:
  TTiffBytes& Add(uint16_t Tag, uint16_t Type, size_t Count, const void* Data, size_t Size) {
    Without(Tag);
    const auto* bytes = static_cast<const uint8_t*>(Data);
    Entries.push_back({Tag, Type, static_cast<uint32_t>(Count), {bytes, bytes + Size}});
    return *this;
  }
  static TEntry LongEntry(uint16_t Tag, uint32_t Value) {
    TEntry e{Tag, 4, 1, std::vector<uint8_t>(4)};
    std::memcpy(e.Data.data(), &Value, 4);
    return e;
  }
  static void Put32(std::vector<uint8_t>& Out, size_t At, uint32_t Value) {
    std::memcpy(Out.data() + At, &Value, 4);
  }
  static void Append16(std::vector<uint8_t>& Out, uint16_t Value) {
    Out.push_back(static_cast<uint8_t>(Value));
    Out.push_back(static_cast<uint8_t>(Value >> 8));
  }
  static void Append32(std::vector<uint8_t>& Out, uint32_t Value) {
    Append16(Out, static_cast<uint16_t>(Value));
    Append16(Out, static_cast<uint16_t>(Value >> 16));
  }
};

// An uncompressed page of Width x Height with the given layout; row r, byte i of the strip
// is RawByte(r, i).
inline uint8_t RawByte(int32_t Row, int32_t Index) {
  return static_cast<uint8_t>(Row * 37 + Index * 11 + 5);
}

inline TTiffBytes RawPage(uint32_t Width, uint32_t Height, uint16_t Bits, uint16_t Samples,
                          uint16_t Photometric, uint32_t ScanlineBytes) {
  TTiffBytes t;
  t.Long(256, {Width}).Long(257, {Height}).Short(258, std::vector<uint16_t>(Samples, Bits));
  t.Short(259, {1}).Short(262, {Photometric}).Short(277, {Samples}).Long(278, {Height});
  for (uint32_t r = 0; r < Height; ++r) {
    for (uint32_t i = 0; i < ScanlineBytes; ++i) {
      t.Pixels.push_back(RawByte(static_cast<int32_t>(r), static_cast<int32_t>(i)));
    }
  }
  return t;
}

// A TIFF written by libtiff into a memory stream: Setup sets the tags, then Write the data.
inline TMemoryStream LibtiffFile(const std::function<void(TIFF*)>& Setup,
                                 const std::function<void(TIFF*)>& Write) {
  TMemoryStream s;
  {
    tiffstream::TTIFFHandle tif = tiffstream::TIFFStreamOpen(s, tiffstream::tmWrite);
    Setup(tif.get());
    Write(tif.get());
  }
  s.SetPosition(0);
  return s;
}
