// Files in memory behind the bitmap format module's callbacks, for its tests. Installed for the
// life of the object; the default callbacks come back afterwards.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "bitmapfmt.h"

class TMemFiles {
 public:
  TMemFiles() { bitmapfmt::SetIo(Io()); }
  ~TMemFiles() { bitmapfmt::SetIo({}); }
  TMemFiles(const TMemFiles&) = delete;
  TMemFiles& operator=(const TMemFiles&) = delete;

  int Add(std::vector<uint8_t> bytes = {}) {
    FFiles[FNext].Bytes = std::move(bytes);
    return FNext++;
  }
  std::vector<uint8_t>& Bytes(int handle) { return FFiles.at(handle).Bytes; }
  // Writes beyond this many bytes of the file are refused.
  void LimitWrites(int handle, int64_t limit) { FFiles.at(handle).WriteLimit = limit; }

 private:
  struct TFile {
    std::vector<uint8_t> Bytes;
    int64_t Position = 0;
    int64_t WriteLimit = -1;
  };

  TFile* Find(int handle) {
    auto it = FFiles.find(handle);
    return it == FFiles.end() ? nullptr : &it->second;
  }

  bitmapfmt::TBitmapIo Io() {
    bitmapfmt::TBitmapIo io;
    io.Open = [](const std::string&) { return -1; };
    io.Create = [](const std::string&) { return -1; };
    io.Close = [this](int handle) { return FFiles.erase(handle) == 1 ? 0 : -1; };
    io.Seek = [this](int handle, int64_t offset, TSeekOrigin origin) -> int64_t {
      TFile* f = Find(handle);
      if (f == nullptr) return -1;
      const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                           : origin == TSeekOrigin::soCurrent
                               ? f->Position
                               : static_cast<int64_t>(f->Bytes.size());
      if (base + offset < 0) return -1;
      return f->Position = base + offset;
    };
    io.Read = [this](int handle, void* buffer, int64_t count) -> int64_t {
      TFile* f = Find(handle);
      if (f == nullptr) return -1;
      const int64_t size = static_cast<int64_t>(f->Bytes.size());
      const int64_t n = std::max<int64_t>(0, std::min(count, size - f->Position));
      if (n > 0) std::memcpy(buffer, f->Bytes.data() + f->Position, static_cast<size_t>(n));
      f->Position += n;
      return n;
    };
    io.Write = [this](int handle, const void* buffer, int64_t count) -> int64_t {
      TFile* f = Find(handle);
      if (f == nullptr) return -1;
      int64_t n = count;
      if (f->WriteLimit >= 0) n = std::max<int64_t>(0, std::min(n, f->WriteLimit - f->Position));
      if (f->Bytes.size() < static_cast<size_t>(f->Position + n)) f->Bytes.resize(f->Position + n);
      if (n > 0) std::memcpy(f->Bytes.data() + f->Position, buffer, static_cast<size_t>(n));
      f->Position += n;
      return n;
    };
    return io;
  }

  std::map<int, TFile> FFiles;
  int FNext = 100;
};
