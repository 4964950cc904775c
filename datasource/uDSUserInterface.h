// TFormSource, "Clarivo® - TWAIN Data Source": the data source's dialog and the holder of
// everything a scan needs: the scan settings (the TScanRequest block sent to the control panel
// unchanged), the connection to the control panel, the page held for transfer, the image frame
// and the settings of the registry section "User Interface".
//
// What the TWAIN face does with it:
//   - makes it at MSG_OPENDS (new TFormSource(Owner, AddDialogHandle)): it reads the settings,
//     connects, and hands its two dialog windows to AddDialogHandle;
//   - SetAppIdentity; sets OnCloseRequest, OnTransferReady, OnDeviceEvent, OnInitCapability;
//   - MSG_ENABLEDS: ShowInterface(true) (modeless) or StartWithoutInterface(); MSG_DISABLEDS:
//     ShowInterface(false);
//   - transfers: PendingTransfers() fetches a page when none is held; Page() holds it (a page
//     handed to the application natively is lent first with Page().SetOwnsHandle(false));
//     PageDone() drops it;
//   - MSG_CLOSEDS: SetCloseAction(2) and close(): the form ends the scan session and deletes
//     itself later (WA_DeleteOnClose); or close() and delete it at once.
// Nothing raises out of these calls or the form's events: failures become the dialog's
// messages or log lines.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

#include "DSLog.h"
#include "UnitSharedParam.h"
#include "boundaryguard.h"
#include "dibunit.h"
#include "globalmem.h"
#include "twain.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class TScanClient;
class TTwnContainerList;

// The image frame: left, top, right, bottom.
struct TFrame {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TFrame&, const TFrame&) = default;
};

class TFormSource : public QDialog {
 public:
  static const QString RegistryKey;
  static constexpr int32_t MaxFrameWidth = 0x7FFF;
  static constexpr int32_t MaxFrameHeight = 0x7FFF;

  using TNotify = std::function<void()>;
  using TAddDialogHandle = std::function<void(QWidget* Window)>;
  // Rebuilds the container of Cap from the settings (the face's InitCapability); answers a
  // condition code.
  using TInitCapability = std::function<int(TTwnContainerList& List, uint16_t Cap)>;

  explicit TFormSource(QWidget* Owner = nullptr, TAddDialogHandle AddDialogHandle = {});
  // Writes the "User Interface" settings and disconnects.
  ~TFormSource() override;

  // ---- For the data-source object ----
  void SetAppIdentity(const TW_IDENTITY& Identity);
  const TW_IDENTITY& AppIdentity() const { return FAppIdentity; }
  void ShowInterface(bool Show);
  // Starts a scan with the settings as the controls hold them; true when a page is held.
  bool StartWithoutInterface();
  // Fetches a page when none is held; -1 when a page is held, else 0.
  int32_t PendingTransfers();
  void PageDone();
  // The unprocessed original of the last page served, or nullptr; the caller owns the block.
  win32::HGLOBAL FetchOriginalPage();
  void SetFrame(const TFrame& Rect) { FFrame = Rect; }
  void GetFrame(TFrame& Rect) const { Rect = FFrame; }
  // The frame becomes (0, 0, MaxFrameWidth, MaxFrameHeight), and so does Rect.
  void ResetFrame(TFrame& Rect);
  void ControlsFromSettings();
  // Takes the controls into the settings; a page size that the control panel would refuse, or
  // a size box that holds no number, keeps the previous size.
  void SettingsFromControls();
  // Why the control panel would refuse the page size of Request, naming the dialog's field at
  // fault; empty when it takes it.
  static QString RefusedSize(const TScanRequest& Request);
  // Converts the values of the resolution capability Cap from OldUnit to NewUnit (TWUN_*).
  void ConvertUnits(int32_t OldUnit, int32_t NewUnit, TTwnContainerList& List, uint16_t Cap);
  // A resolution value v in OldUnit as the same resolution in NewUnit: 1 for pixels; unchanged
  // for a unit this conversion does not know (above TWUN_PIXELS).
  static double ConvertValue(double Value, int32_t OldUnit, int32_t NewUnit);

  TDIB& Page() { return *FPage; }
  TScanRequest& Request() { return FRequest; }
  const TScanRequest& Request() const { return FRequest; }
  int32_t XferMech() const { return FXferMech; }
  void SetXferMech(int32_t Value) { FXferMech = Value; }
  int32_t Units() const { return FUnits; }
  void SetUnits(int32_t Value) { FUnits = Value; }
  bool Indicators() const { return FIndicators; }
  void SetIndicators(bool Value) { FIndicators = Value; }
  uint8_t CloseAction() const { return FCloseAction; }
  void SetCloseAction(uint8_t Value) { FCloseAction = Value; }
  TTwnContainerList* CapabilityList() const { return FCapabilityList; }
  void SetCapabilityList(TTwnContainerList* List) { FCapabilityList = List; }
  int32_t PagesDone() const { return FPagesDone; }
  bool Connected() const { return FConnected; }
  // The last fetch found no page because the control panel could not be reached, ended the
  // connection or did not answer in time.
  bool PageLost() const { return FPageLost; }
  bool Fetching() const { return FFetching; }
  bool PageAnnounced() const { return FPageAnnounced; }
  const std::string& Host() const { return FHost; }
  int32_t Port() const { return FPort; }
  TScanClient* Client() const { return FClient.get(); }

  TNotify OnCloseRequest;
  TNotify OnTransferReady;
  TNotify OnDeviceEvent;  // set by the face; the dialog never raises it
  TInitCapability OnInitCapability;

  // ---- Event handlers; none of them raises ----
  void SpinEditXResolutionChange();
  void CheckBoxLockResolutionClick();
  void CheckBoxAutoBrightnessClick();
  void TrackBarContrastChange();
  void TrackBarBrightnessChange();
  void TrackBarThresholdChange();
  void ComboBoxSizeChange();
  // True when the key may go into Box: a backspace, a digit, or the locale's decimal
  // separator when Box holds none yet.
  static bool FilterDouble(const QLineEdit& Box, const QString& Key);
  void CheckImageType();
  void ButtonScanClick();
  void ButtonCloseClick();
  void FormShow();
  void FormClose();

  // ---- Components ----
  QPushButton* MsgBtn;
  QWidget* Panel1;
  QPushButton *ButtonScan, *ButtonClose;
  QSpinBox *SpinEditXResolution, *SpinEditYResolution;
  QCheckBox* CheckBoxLockResolution;
  QSlider *TrackBarContrast, *TrackBarBrightness, *TrackBarThreshold;
  QLabel *LabelContrast, *LabelBrightness, *LabelThreshold;
  QCheckBox* CheckBoxAutoBrightness;
  QComboBox* ComboBoxSize;
  QLineEdit *EditWidth, *EditHeight;
  QCheckBox *CheckBoxADF, *CheckBoxDuplex;
  QRadioButton *RadioButtonMono, *RadioButtonGray, *RadioButtonColor;
  QCheckBox* CheckBoxDithering;
  QStatusBar* StatusBar;

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  // Escape asks the application to close the source, as "Cancel" does; the form stays.
  void reject() override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  QGroupBox* BuildResolutionGroup();
  QGroupBox* BuildSizeGroup();
  QGroupBox* BuildTypeGroup();
  void ConnectHandlers();
  // SettingsFromControls; answers why the page size was kept, or an empty text.
  QString TakeControls();
  void ReadSettings();
  void WriteSettings();
  void Connect();
  // Connects again when the connection was lost (a control panel that ended or did not answer
  // in time); true when connected.
  bool Reconnect();
  void Disconnect();
  void StartScanning();
  void EndScanSession();
  bool FetchNextPage(bool UserRequest);
  // Why the last fetch brought no page, in words for the operator; Raised: the text of what
  // the fetch raised, if it did.
  std::string NoPageReason(const std::string& Raised);
  // Inside a handler: the failure of Connect in words.
  std::string ConnectFailureText();
  void Message(const QString& Text, unsigned Type);
  // Runs Body for an event; a failure is logged and the form stays usable.
  template <class Body>
  void Guard(const char* What, Body&& Fn) noexcept;

  TW_IDENTITY FAppIdentity{};
  TTwnContainerList* FCapabilityList = nullptr;
  std::unique_ptr<TScanClient> FClient;
  bool FConnected = false;
  std::unique_ptr<TDIB> FPage;
  TScanRequest FRequest{};
  int32_t FXferMech = 0;
  int32_t FUnits = 0;
  bool FIndicators = false;
  uint8_t FCloseAction = 0;
  TFrame FFrame;
  int32_t FPagesDone = 0;
  std::string FHost;
  int32_t FPort = 0;
  bool FPageAnnounced = false;
  bool FFetching = false;
  bool FPageLost = false;
  int32_t FScannerTimeout = 20;
};

template <class Body>
void TFormSource::Guard(const char* What, Body&& Fn) noexcept {
  try {
    Fn();
  } catch (...) {
    DSLog(std::string(What) + ": " + FailureText());
  }
}
