// TvekTWAIN: the TWAIN client component an application holds to scan. Its published
// properties set up the application's identity, the transfer and the source's user interface;
// its events (std::function members, inherited with the lower layers) deliver images,
// failures and the source's notifications; a few calls open and close the Source Manager and a
// source, acquire in one call, list sources, read and set the image layout, and read and set
// the common capabilities. It needs no window: the source's notifications arrive through the
// application's message loop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exception.h"
#include "vekTWAINIntf.h"

// Acquiring without an event that takes the images.
class EImageReadyError : public Exception {
 public:
  using Exception::Exception;
};

// The image layout in the source's current units.
struct TTwnImageLayout {
  double Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t DocumentNumber = 0, PageNumber = 0, FrameNumber = 0;
};

class TvekTWAIN : public TvekTWAINIntf {
 public:
  explicit TvekTWAIN(QObject* Owner = nullptr);
  ~TvekTWAIN() override;

  // Capability calls for a capability the source does not list send nothing and answer -1.
  using TvekTWAINIntf::GetCapability;
  int16_t GetCapability(uint16_t Cap, int16_t Msg, TTwnContainer*& Container) override;
  int16_t SetCapability(int16_t Msg, int32_t AsOneValue, TTwnContainer* Container) override;

  // Each says what happened: true when the Source Manager or the source is open (Open…) or
  // was closed by this call (CloseSource; false when none was open or it refused, and when a
  // source broke down while closing, which leaves it closed all the same).
  bool OpenSourceMgr();
  bool CloseSourceMgr();
  // An empty name keeps the current selection (the default source when there is none). False
  // also when the source opened but no transfer could be agreed on: it is closed again.
  bool OpenSource(const std::string& Name);
  bool CloseSource();
  // Raises EImageReadyError, after closing everything, when neither OnImageReady nor
  // OnMemXferBuffer is assigned.
  bool EnableSource(bool ShowUI);
  void DisableSource();
  // Opens what is needed and enables the source; the images arrive later through the events.
  bool Acquire(const std::string& Name);
  void GetSourceNames(std::vector<std::string>& List);

  void GetImageLayout(TTwnImageLayout& Layout);
  uint16_t SetImageLayout(const TTwnImageLayout& Layout);

  int32_t GetBitOrder() { return GetIntegerCap(ICAP_BITORDER); }
  void SetBitOrder(int32_t Value) { SetIntegerCap(ICAP_BITORDER, Value); }
  int32_t GetPlanarChunky() { return GetIntegerCap(ICAP_PLANARCHUNKY); }
  void SetPlanarChunky(int32_t Value) { SetIntegerCap(ICAP_PLANARCHUNKY, Value); }
  double GetBrightness() { return GetFloatCap(ICAP_BRIGHTNESS); }
  void SetBrightness(double Value) { SetIntegerCap(ICAP_BRIGHTNESS, Value); }
  double GetContrast() { return GetFloatCap(ICAP_CONTRAST); }
  void SetContrast(double Value) { SetIntegerCap(ICAP_CONTRAST, Value); }
  double GetXResolution() { return GetFloatCap(ICAP_XRESOLUTION); }
  void SetXResolution(double Value) { SetIntegerCap(ICAP_XRESOLUTION, Value); }
  double GetYResolution() { return GetFloatCap(ICAP_YRESOLUTION); }
  void SetYResolution(double Value) { SetIntegerCap(ICAP_YRESOLUTION, Value); }
  double GetPhysicalWidth() { return GetFloatCap(ICAP_PHYSICALWIDTH); }
  double GetPhysicalHeight() { return GetFloatCap(ICAP_PHYSICALHEIGHT); }
  // The number of images to transfer, sent as a TWTY_UINT16 one value (-1: all the source
  // has). Kept when no source is open and sent when one opens, before OnNegotiation; true
  // when an open source accepted it.
  bool SetXferCount(int16_t Count);

  // Published properties.
  TvekCountry Country() const;
  void SetCountry(TvekCountry Value);
  TvekLanguage Language() const;
  void SetLanguage(TvekLanguage Value);
  bool DisableAfterAcquire() const { return FDisableAfterAcquire; }
  void SetDisableAfterAcquire(bool Value) { FDisableAfterAcquire = Value; }
  uint8_t FileFormat() const { return FFileFormat; }
  void SetFileFormat(uint8_t Value);
  TTwnFileFmts FileFormats() const { return FFileFormats; }
  void SetFileFormats(TTwnFileFmts Value);
  const std::string& Filename() const { return FFilename; }
  void SetFilename(const std::string& Value);
  std::string LogFilename() const { return ""; }
  void SetLogFilename(const std::string&) {}
  bool LogToFile() const { return FLogToFile; }
  void SetLogToFile(bool Value) { FLogToFile = Value; }
  TTwnErrorLevel MessageLevel() const { return FMessageLevel; }
  void SetMessageLevel(TTwnErrorLevel Value) { FMessageLevel = Value; }
  std::string Manufacturer() const;
  void SetManufacturer(const std::string& Value);
  std::string ProductFamily() const;
  void SetProductFamily(const std::string& Value);
  std::string ProductName() const;
  void SetProductName(const std::string& Value);
  bool ReturnHandle() const { return FReturnHandle; }
  void SetReturnHandle(bool Value) { FReturnHandle = Value && FFileFormat == TWFF_BMP; }
  // The default source's product name, which reading also selects; empty while a source is
  // open or when there is none.
  std::string DefaultSource();

  TNotifyEvent OnNegotiation;

 private:
  double GetFloatCap(uint16_t Cap);
  bool SendXferCount();

  bool FDisableAfterAcquire = true;
  std::optional<int16_t> FXferCount;
};
