// The operations of the bitmap format module: they check their arguments, run a format's step
// and turn every failure into a result code.
#include "bitmapfmt.h"

#include <strings.h>

#include <cstring>
#include <mutex>
#include <new>

#include "bitmapfmt_bits.h"
#include "bitmapfmt_error.h"
#include "bitmapfmt_fileio.h"
#include "bitmapfmt_formats.h"
#include "bitmapfmt_options.h"
#include "boundaryguard.h"

namespace bitmapfmt {

namespace {

std::mutex& IoLock() {
  static std::mutex lock;
  return lock;
}

TBitmapIo& InstalledIo() {
  static TBitmapIo io = DefaultIo();
  return io;
}

// Runs body and answers its code: kOk, the code it raised, kNoMemory, or otherwise failure.
template <class F>
int Guarded(int failure, F body) {
  return ::Guarded(
      [&] {
        body();
        return static_cast<int>(kOk);
      },
      [failure] {
        try {
          throw;
        } catch (const EBitmapFormat& e) {
          return e.Code();
        } catch (const std::bad_alloc&) {
          return static_cast<int>(kNoMemory);
        } catch (...) {
          return failure;
        }
      });
}

bool ValidIndex(int index) {
  return index >= 0 && index < kFormatCount;
}

// The description must come from this format's ReadHeader, unchanged since.
bool FromHeader(const TBitmapDesc* desc, int index) {
  return desc != nullptr && desc->Private.Format == index && desc->W == desc->Private.W &&
         desc->H == desc->Private.H && desc->Bpp == desc->Private.Bpp;
}

int WriteFlag(int bpp) {
  switch (bpp) {
    case 1:
      return kWrite1;
    case 4:
      return kWrite4;
    case 8:
      return kWrite8;
    case 24:
      return kWrite24;
    default:
      return 0;
  }
}

// The checks of WriteImage's arguments that need no file.
int CheckImage(int index, const TBitmapDesc* desc, const std::vector<TRgb>* palette,
               const std::vector<uint8_t>* data) {
  if (!ValidIndex(index) || desc == nullptr || data == nullptr) return kBadArgument;
  const int flag = WriteFlag(desc->Bpp);
  if (flag == 0) return kBadArgument;
  if ((Format(index).Row.Flags & flag) == 0) return kNotSupported;
  if (desc->Bpp <= 8 && (palette == nullptr || palette->size() < (1u << desc->Bpp)))
    return kBadArgument;
  return Guarded(kBadArgument, [&] {
    CheckSize(desc->W, desc->H, desc->Bpp);
    if (data->size() < static_cast<size_t>(RowBytes(desc->W, desc->Bpp) * desc->H))
      Fail(kBadArgument);
  });
}

}  // namespace

// The callbacks are copied first and swapped in whole, so a failed copy leaves the installed
// set as it was.
int SetIo(const TBitmapIo& io) {
  return Guarded(kNoMemory, [&] {
    TBitmapIo next = DefaultIo();
    if (io.Open) next.Open = io.Open;
    if (io.Create) next.Create = io.Create;
    if (io.Close) next.Close = io.Close;
    if (io.Seek) next.Seek = io.Seek;
    if (io.Read) next.Read = io.Read;
    if (io.Write) next.Write = io.Write;
    std::lock_guard<std::mutex> lock(IoLock());
    std::swap(InstalledIo(), next);
  });
}

TBitmapIo CurrentIo() {
  std::lock_guard<std::mutex> lock(IoLock());
  return InstalledIo();
}

int FormatCount(int* count) {
  if (count == nullptr) return kBadArgument;
  *count = kFormatCount;
  return kOk;
}

int GuessFormat(const char* fileName, int* index) {
  if (fileName == nullptr || index == nullptr) return kBadArgument;
  return Guarded(kNotFound, [&] {
    const std::string name(fileName);
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) Fail(kNotFound);
    const std::string extension = name.substr(dot + 1);
    for (int i = 0; i < kFormatCount; ++i) {
      std::string extensions = Format(i).Row.Extensions;
      for (char* word = std::strtok(extensions.data(), " "); word != nullptr;
           word = std::strtok(nullptr, " ")) {
        if (strcasecmp(word, extension.c_str()) == 0) {
          *index = i;
          return;
        }
      }
    }
    Fail(kNotFound);
  });
}

int QueryFormat(int index, TBitmapFormat* format) {
  if (!ValidIndex(index) || format == nullptr) return kBadArgument;
  *format = Format(index).Row;
  return kOk;
}

int ReadHeader(const char* fileName, int handle, int index, TBitmapDesc* desc,
               const char* options) {
  if (fileName == nullptr || !ValidIndex(index) || desc == nullptr) return kBadArgument;
  return Guarded(kReadError, [&] {
    const TBitmapIo io = CurrentIo();
    TReadAhead in(io, handle);
    TBitmapDesc read;
    Format(index).ReadHeader(in, read);
    CheckSize(read.W, read.H, read.Bpp);
    read.Private.Format = index;
    read.Private.W = read.W;
    read.Private.H = read.H;
    read.Private.Bpp = read.Bpp;
    read.Private.Options = ParseOptions(options);
    *desc = read;
  });
}

int ReadPalette(int handle, int index, const TBitmapDesc* desc, std::vector<TRgb>* palette) {
  if (!ValidIndex(index) || !FromHeader(desc, index) || palette == nullptr) return kBadArgument;
  return Guarded(kReadError, [&] {
    std::vector<TRgb> entries;
    if (desc->Bpp <= 8) {
      const TBitmapIo io = CurrentIo();
      TReadAhead in(io, handle);
      entries.resize(size_t{1} << desc->Bpp);
      Format(index).ReadPalette(in, *desc, entries);
    }
    palette->swap(entries);
  });
}

int ReadData(int handle, int index, const TBitmapDesc* desc, std::vector<uint8_t>* data) {
  if (!ValidIndex(index) || !FromHeader(desc, index) || data == nullptr) return kBadArgument;
  return Guarded(kReadError, [&] {
    const TBitmapIo io = CurrentIo();
    TReadAhead in(io, handle);
    Format(index).CheckData(in, *desc);
    std::vector<uint8_t> pixels(static_cast<size_t>(RowBytes(desc->W, desc->Bpp) * desc->H));
    Format(index).ReadData(in, *desc, pixels.data());
    data->swap(pixels);
  });
}

int WriteImage(const char* fileName, int handle, int index, const TBitmapDesc* desc,
               const std::vector<TRgb>* palette, const std::vector<uint8_t>* data,
               const char* options) {
  if (fileName == nullptr) return kBadArgument;
  if (const int code = CheckImage(index, desc, palette, data); code != kOk) return code;
  return Guarded(kWriteError, [&] {
    const TBitmapIo io = CurrentIo();
    TWriteOut out(io, handle);
    const TRgb* entries = desc->Bpp <= 8 ? palette->data() : nullptr;
    Format(index).WriteImage(out, ParseOptions(options), *desc, entries, data->data());
    out.Flush();
  });
}

}  // namespace bitmapfmt
