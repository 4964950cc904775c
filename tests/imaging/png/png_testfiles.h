// Hand-made PNG files for the codec's tests: chunks with their CRC computed by zlib, pixel data
// compressed by zlib, so that the files do not depend on the codec under test.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "streams.h"

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& Raw) {
  uLongf size = compressBound(static_cast<uLong>(Raw.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, Raw.data(), static_cast<uLong>(Raw.size()), 6);
  out.resize(size);
  return out;
}

inline void PutBE32(std::vector<uint8_t>& Out, uint32_t Value) {
  for (int shift = 24; shift >= 0; shift -= 8) Out.push_back(static_cast<uint8_t>(Value >> shift));
}

inline uint32_t GetBE32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct TPngFile {
  std::vector<uint8_t> Bytes{137, 80, 78, 71, 13, 10, 26, 10};

  // A chunk whose length field may lie about its data.
  TPngFile& RawChunk(const std::string& Type, const std::vector<uint8_t>& Data, uint32_t Length) {
    PutBE32(Bytes, Length);
    std::vector<uint8_t> body(Type.begin(), Type.end());
    body.insert(body.end(), Data.begin(), Data.end());
    Bytes.insert(Bytes.end(), body.begin(), body.end());
    PutBE32(Bytes, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    return *this;
  }
  TPngFile& Chunk(const std::string& Type, const std::vector<uint8_t>& Data) {
    return RawChunk(Type, Data, static_cast<uint32_t>(Data.size()));
  }
  TPngFile& IHDR(uint32_t Width, uint32_t Height, uint8_t Depth, uint8_t ColorType,
                 uint8_t Interlace = 0) {
    std::vector<uint8_t> d;
    PutBE32(d, Width);
    PutBE32(d, Height);
    d.insert(d.end(), {Depth, ColorType, 0, 0, Interlace});
    return Chunk("IHDR", d);
  }
  // Rows given with their filter type bytes.
  TPngFile& IDAT(const std::vector<uint8_t>& FilteredRows) {
    return Chunk("IDAT", Zlib(FilteredRows));
  }
  TPngFile& IEND() { return Chunk("IEND", {}); }

  TMemoryStream Stream() const { return TMemoryStream(Bytes); }
};

// The chunk types of a PNG file in order.
inline std::vector<std::string> ChunkTypes(const std::vector<uint8_t>& File) {
  std::vector<std::string> types;
  for (size_t at = 8; at + 12 <= File.size();) {
    uint32_t length = GetBE32(&File[at]);
    types.emplace_back(reinterpret_cast<const char*>(&File[at + 4]), 4);
    at += 12 + length;
  }
  return types;
}

// The data of the first chunk of a type.
inline std::vector<uint8_t> ChunkData(const std::vector<uint8_t>& File, const std::string& Type) {
  for (size_t at = 8; at + 12 <= File.size();) {
    uint32_t length = GetBE32(&File[at]);
    if (std::memcmp(&File[at + 4], Type.data(), 4) == 0) {
      return {File.begin() + at + 8, File.begin() + at + 8 + length};
    }
    at += 12 + length;
  }
  return {};
}

// The filtered rows of a file: its IDAT data inflated.
inline std::vector<uint8_t> Inflated(const std::vector<uint8_t>& File, size_t Expected) {
  std::vector<uint8_t> data = ChunkData(File, "IDAT");
  std::vector<uint8_t> out(Expected);
  uLongf size = static_cast<uLongf>(Expected);
  uncompress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
  out.resize(size);
  return out;
}
