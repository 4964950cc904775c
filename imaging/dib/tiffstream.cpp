#include "tiffstream.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "exception.h"

namespace tiffstream {

namespace {

TStream& StreamOf(thandle_t Client) {
  return *static_cast<TTIFFClient*>(Client)->Stream;
}

// The client procedures. A stream's exception must not cross libtiff's C frames: each one
// becomes libtiff's failure value.
tmsize_t StreamReadProc(thandle_t Client, void* Buffer, tmsize_t Count) {
  try {
    return static_cast<tmsize_t>(StreamOf(Client).Read(Buffer, Count));
  } catch (...) {
    return -1;
  }
}

tmsize_t StreamWriteProc(thandle_t Client, void* Buffer, tmsize_t Count) {
  try {
    return static_cast<tmsize_t>(StreamOf(Client).Write(Buffer, Count));
  } catch (...) {
    return -1;
  }
}

toff_t StreamSeekProc(thandle_t Client, toff_t Offset, int Whence) {
  TSeekOrigin origin = Whence == SEEK_CUR   ? TSeekOrigin::soCurrent
                       : Whence == SEEK_END ? TSeekOrigin::soEnd
                                            : TSeekOrigin::soBeginning;
  try {
    return static_cast<toff_t>(StreamOf(Client).Seek(static_cast<int64_t>(Offset), origin));
  } catch (...) {
    return static_cast<toff_t>(-1);
  }
}

int StreamCloseProc(thandle_t) {
  return 0;
}

toff_t StreamSizeProc(thandle_t Client) {
  try {
    return static_cast<toff_t>(StreamOf(Client).Size());
  } catch (...) {
    return 0;
  }
}

// The whole stream copied into memory, from its start; 0 (no mapping) when it is too large
// or cannot be read.
int StreamMapProc(thandle_t Handle, void** Base, toff_t* Size) {
  auto& client = *static_cast<TTIFFClient*>(Handle);
  try {
    int64_t size = client.Stream->Size();
    if (size <= 0 || size > kMaxMappedStream) return 0;
    int64_t position = client.Stream->Position();
    client.Mapped.resize(static_cast<size_t>(size));
    client.Stream->SetPosition(0);
    int64_t got = client.Stream->Read(client.Mapped.data(), size);
    client.Stream->SetPosition(position);
    if (got != size) return 0;
  } catch (...) {
    return 0;
  }
  *Base = client.Mapped.data();
  *Size = client.Mapped.size();
  return 1;
}

void StreamUnmapProc(thandle_t Handle, void*, toff_t) {
  auto& client = *static_cast<TTIFFClient*>(Handle);
  client.Mapped.clear();
  client.Mapped.shrink_to_fit();
}

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: libtiff prints nothing
}

// The JPEG library warns (through libtiff, as module "JPEGLib") when the entropy data of a
// strip or tile are corrupt or end before it does.
int WarningHandler(TIFF*, void* Client, const char* Module, const char*, va_list) {
  if (Module != nullptr && std::strcmp(Module, "JPEGLib") == 0) {
    static_cast<TTIFFClient*>(Client)->CorruptData = true;
  }
  return 1;
}

// The per-handle handlers cover every message about an open file; these cover the few that
// libtiff still sends to its process-wide handlers.
void SilenceProcessHandlers() {
  static const bool silenced = [] {
    ::TIFFSetErrorHandler(nullptr);
    ::TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

const char* ModeText(uint8_t Mode) {
  switch (Mode) {
    case tmRead:
      return "r";
    case tmWrite:
      return "w";
    case tmAppend:
      return "a";
    default:
      return nullptr;
  }
}

struct TOptionsFree {
  void operator()(TIFFOpenOptions* Options) const { ::TIFFOpenOptionsFree(Options); }
};

}  // namespace

TTIFFHandle TIFFStreamOpen(TStream& Stream, uint8_t Mode) {
  const char* mode = ModeText(Mode);
  if (mode == nullptr) return {};
  SilenceProcessHandlers();
  auto client = std::make_unique<TTIFFClient>();
  client->Stream = &Stream;
  std::unique_ptr<TIFFOpenOptions, TOptionsFree> options(::TIFFOpenOptionsAlloc());
  ::TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibtiffAlloc);
  ::TIFFOpenOptionsSetErrorHandlerExtR(options.get(), QuietHandler, nullptr);
  ::TIFFOpenOptionsSetWarningHandlerExtR(options.get(), WarningHandler, client.get());
  TIFF* tiff = ::TIFFClientOpenExt("", mode, client.get(), StreamReadProc, StreamWriteProc,
                                   StreamSeekProc, StreamCloseProc, StreamSizeProc, StreamMapProc,
                                   StreamUnmapProc, options.get());
  if (tiff == nullptr) return {};
  return TTIFFHandle(std::move(client), tiff);
}

TTIFFHandle& TTIFFHandle::operator=(TTIFFHandle&& Other) noexcept {
  if (this != &Other) {
    Close();
    FClient = std::move(Other.FClient);
    FTiff = std::exchange(Other.FTiff, nullptr);
  }
  return *this;
}

void TTIFFHandle::Close() {
  if (FTiff != nullptr) ::TIFFClose(FTiff);
  FTiff = nullptr;
  FClient.reset();
}

void RaiseTagError(const char* Function, uint32_t Tag) {
  throw Exception(std::string(Function) + ": Tag = " + std::to_string(Tag));
}

void TIFFGetField3(TIFF* Handle, uint32_t Tag, uint16_t** Out1, uint16_t** Out2, uint16_t** Out3) {
  if (::TIFFGetField(Handle, Tag, Out1, Out2, Out3) != 1) RaiseTagError("TIFFGetField3", Tag);
}

void TIFFSetIntField(TIFF* Handle, uint32_t Tag, int32_t Value) {
  if (::TIFFSetField(Handle, Tag, Value) != 1) RaiseTagError("TIFFSetIntField", Tag);
}

void TIFFSetFloatField(TIFF* Handle, uint32_t Tag, float Value) {
  if (::TIFFSetField(Handle, Tag, static_cast<double>(Value)) != 1) {
    RaiseTagError("TIFFSetFloatField", Tag);
  }
}

void TIFFSetField(TIFF* Handle, uint32_t Tag, const char* Value) {
  if (::TIFFSetField(Handle, Tag, Value) != 1) RaiseTagError("TIFFSetField", Tag);
}

int32_t TIFFPageCount(TIFF* Handle) {
  ::TIFFSetDirectory(Handle, 0);
  int32_t count = 1;
  while (::TIFFReadDirectory(Handle) == 1) ++count;
  return count;
}

}  // namespace tiffstream
