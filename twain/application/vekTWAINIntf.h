// TvekTWAINIntf: the toolkit's middle layer over the kernel. It lists and selects sources,
// reads and sets capabilities through the containers (converting between their slot layout
// and TWAIN's packed container memory), settles the transfer mechanism and the file format
// when a source opens, reads device events, and runs the three transfer loops (native,
// memory, file) that hand every image to OnImageReady in the form DIBHandleType asks for.
//
// Ownership: a handle given to OnImageReady belongs to the application, which frees it
// (DeleteObject for a DIB section, GlobalFree for a block). The BITMAPINFO given with it lives
// only for the event. Without an OnImageReady handler the toolkit frees what it made.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dibsection.h"
#include "globalmem.h"
#include "variant.h"
#include "vekTWAINContainer.h"
#include "vekTWAINKernel.h"
#include "wingdi.h"

// The text of a fixed-size TWAIN text field, which need not end in a zero.
template <size_t N>
std::string TwainFieldText(const char (&Field)[N]) {
  return std::string(Field, strnlen(Field, N));
}

class TvekTWAINIntf : public TvekTWAINKernel {
 public:
  using TDeviceEvent =
      std::function<void(QObject* Sender, TTwnDeviceEvent Event, const std::string& DeviceName,
                         const Variant& A, const Variant& B, const Variant& C)>;
  // hImage is a DIB section (win32::HBITMAP) or a global memory block (win32::HGLOBAL), as
  // DIBHandleType says; nullptr for a cancelled or failed image.
  using TImageEvent = std::function<void(QObject* Sender, void* pBmp, win32::BITMAPINFO* pBmpInfo,
                                         void* hImage, const std::string& FilePath)>;
  using TMemXferBufEvent =
      std::function<void(QObject* Sender, win32::BITMAPINFO* pBmpInfo, int32_t BytesPerRow,
                         int32_t Rows, int32_t DataSize, void*& pData)>;
  using TMemXferSizeEvent = std::function<void(QObject* Sender, int32_t MinSize, int32_t MaxSize,
                                               int32_t& BufSize, win32::BITMAPINFO* pBmpInfo)>;
  using TXferNextEvent = std::function<void(QObject* Sender, int32_t& NumImages, bool& SkipNext)>;
  using TProgressEvent = std::function<void(QObject* Sender, uint16_t Percent)>;

  // The result of a capability call that sent nothing.
  static constexpr int16_t kNothingSent = -1;

  explicit TvekTWAINIntf(QObject* Owner = nullptr);
  ~TvekTWAINIntf() override;

  virtual void ClearCapabilities();
  virtual int16_t GetCapability(uint16_t Cap, int16_t Msg, TTwnContainer*& Container);
  virtual bool IsCapSupported(uint16_t Cap);
  virtual bool IsCapExtended(uint16_t Cap);
  virtual int16_t SetCapability(int16_t Msg, int32_t AsOneValue, TTwnContainer* Container);

  // GetCapability of Cap into the listed container (or a new one).
  int16_t GetCapability(uint16_t Cap, int16_t Msg);
  void ReadSupportedCaps();
  void ReadExtendedCaps();
  int16_t SetCapBool(uint16_t Cap, int16_t Msg, bool Value);
  int16_t SendShowIndicators();
  TTwnContainerList& Capabilities() { return FCapabilities; }

  uint16_t GetFirstSource(std::string& Name);
  uint16_t GetNextSource(std::string& Name);
  uint16_t GetDefaultSource(std::string& Name);
  uint16_t SelectSource(const std::string& Name);

  // The current values of ICAP_UNITS and ICAP_PIXELFLAVOR, -1 when they cannot be read.
  int32_t GetUnits();
  void SetUnits(int32_t Value);
  int32_t GetPixelFlavor();
  void SetPixelFlavor(int32_t Value);
  // ICAP_IMAGEFILEFORMAT's current value, TTwnFileFmtUnknown when it cannot be read.
  uint8_t GetImageFileFormat();
  int16_t SetImageFileFormat(uint8_t Format);
  // Settles the transfer mechanism and, for file transfers, the file format; 0 when settled.
  // Without a file format both sides accept it falls back to native once; a source that
  // still reads back a file transfer gives TWRC_FAILURE, reported through OnFailure.
  int16_t NegotiateXferMech();
  uint16_t SetupFileXfer(uint16_t Msg, std::string& Filename, uint8_t& Format);
  uint16_t DoImageLayout(TW_IMAGELAYOUT& Layout, uint16_t Msg);

  TTwnDeviceEvents DeviceEventTypes() const { return FDeviceEventTypes; }
  void SetDeviceEventTypes(TTwnDeviceEvents Events);

  bool SwapMemRGB() const { return FSwapMemRGB; }
  void SetSwapMemRGB(bool Value) { FSwapMemRGB = Value; }
  bool ShowUI() const { return FShowUI; }
  void SetShowUI(bool Value) { FShowUI = Value; }
  bool ShowIndicators() const { return FShowIndicators; }
  void SetShowIndicators(bool Value) { FShowIndicators = Value; }
  TTwnHdlType DIBHandleType() const { return FDIBHandleType; }
  void SetDIBHandleType(TTwnHdlType Value);
  TTwnXferType XferMech() const { return FXferMech; }
  void SetXferMech(TTwnXferType Value);
  int16_t PendingXferCount() const { return FPendingXferCount; }

  uint16_t PendingXfers(uint16_t Msg, int16_t& Count);
  uint16_t GetImageInfo(TW_IMAGEINFO& Info);
  uint16_t SetupMemXfer(TW_SETUPMEMXFER& Setup);
  uint16_t GetPalette(win32::RGBQUAD (&Palette)[256], uint16_t& PaletteType);

  TDeviceEvent OnDeviceEvent;
  TImageEvent OnImageReady;
  TMemXferBufEvent OnMemXferBuffer;
  TMemXferSizeEvent OnMemXferSize;
  TXferNextEvent OnXferNext;
  TProgressEvent OnXferProgress;

 protected:
  void ProcessDeviceEvent() override;
  uint16_t TransferImages() override;

  uint16_t NativeTransfer();
  uint16_t MemoryTransfer();
  uint16_t FileTransfer();
  void FireXferNext();

  // The listed container of Cap, or a new one listed; nullptr when none can be had.
  TTwnContainer* ListedContainer(uint16_t Cap);
  int32_t GetIntegerCap(uint16_t Cap);
  void SetIntegerCap(uint16_t Cap, const Variant& Value);

  bool FReturnHandle = false;

 private:
  int16_t NegotiateXferMech(bool MayFallBack);
  uint16_t DoCapability(uint16_t Cap, uint16_t Msg, TW_CAPABILITY& Capability);
  // The capability's answer as a block in slot layout; Kind is the answered container kind.
  uint16_t GetCapabilityData(uint16_t Cap, uint16_t Msg, uint16_t& Kind, TTwnBlock& Block);
  uint16_t SourceByMsg(uint16_t Msg, std::string& Name);
  int16_t SetUInt16Cap(uint16_t Cap, int32_t Value);

  // The transfer loops' closing steps.
  void EndOfImage();
  void FailedImage();
  void EndLoopImage();
  // Fires OnImageReady, or frees the image when nobody takes it.
  void HandOver(void* pBmp, win32::BITMAPINFO* pBmpInfo, void* hImage, bool IsSection,
                const std::string& FilePath);
  void HandOverNothing() { HandOver(nullptr, nullptr, nullptr, false, ""); }
  // A DIB section goes with its bits and header when DIBHandleType asks for them.
  void HandOverSection(win32::HBITMAP Section);
  // One native image as DIBHandleType asks; the block is the source's.
  void DeliverNative(win32::HGLOBAL Handle);
  void RefuseNative(win32::HGLOBAL Handle);
  // One memory image into its destination; false when nothing at all happened for it.
  bool MemoryImage();
  void AbandonImages();
  uint16_t MemoryStrips(uint8_t* Pixels, size_t Size, size_t Stride, int64_t Preferred);
  uint16_t MemPtrStrips(win32::BITMAPINFO* Info, int64_t Preferred);
  void DeliverFile();

  TTwnContainerList FCapabilities;
  TTwnContainer* FSupportedCaps = nullptr;
  TTwnContainer* FExtendedCaps = nullptr;
  int16_t FSupportedCount = 0;
  int16_t FExtendedCount = 0;
  TTwnDeviceEvents FDeviceEventTypes;
  bool FSwapMemRGB = true;
  bool FShowUI = true;
  bool FShowIndicators = true;
  TTwnHdlType FDIBHandleType = THDT_DIBHANDLE;
  TTwnXferType FXferMech = TWFX_NATIVE;
  int16_t FPendingXferCount = 0;
};
