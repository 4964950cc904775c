// TFormSource: creation and destruction, the settings, the scan flow and the frame.
#include "uDSUserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <tuple>

#include "ConnectionWords.h"
#include "DSLog.h"
#include "RunResponsive.h"
#include "ScanClientUnit.h"
#include "boundaryguard.h"
#include "floattext.h"
#include "registry.h"
#include "tcpsocket.h"
#include "userprompt.h"

const QString TFormSource::RegistryKey = "Software\\Dovantic Technologies\\Clarivo";

namespace {

const QString kCaption = QString::fromUtf8("Clarivo® - TWAIN Data Source");
const char* const kSection = "User Interface";

// A page size as the registry holds it; text that does not read keeps Value.
void ReadSize(const TRegIniFile& Reg, const char* Ident, double& Value) {
  const QString text = Reg.ReadString(kSection, Ident, FloatToStr(Value));
  if (!TryStrToFloat(text, Value)) {
    DSLog(std::string("The registry value \"") + Ident + "\" \"" + text.toStdString() +
          "\" is no number; the previous value stays");
  }
}

}  // namespace

TFormSource::TFormSource(QWidget* Owner, TAddDialogHandle AddDialogHandle)
    : QDialog(Owner), FPage(std::make_unique<TDIB>()) {
  setWindowTitle(kCaption);
  BuildControls();
  ConnectHandlers();
  Guard("Reading the settings", [&] { ReadSettings(); });
  FRequest.ImageCount = -1;
  if (AddDialogHandle) {
    Guard("Listing the dialog windows", [&] {
      AddDialogHandle(this);
      AddDialogHandle(Panel1);
    });
  }
  // Without a connection the data source is not opened: its owner answers the failure.
  FConnected = true;
  try {
    Connect();
  } catch (...) {
    FConnected = false;
    ButtonScan->setEnabled(false);
    const std::string why = ConnectFailureText();
    DSLog("Unable to connect to the control panel: " + FailureText());
    Message(QString::fromStdString("Unable to create driver connection !\n\r" + why + "\n\r" +
                                   HowToStartThePanel(FHost, FPort)),
            win32::MB_OK | win32::MB_ICONERROR);
  }
  MsgBtn->setGeometry(0, 0, 0, 0);
  MsgBtn->setVisible(true);
  FCapabilityList = nullptr;
  // A scan started without the dialog takes its settings from the controls: they hold the
  // stored settings from the start.
  Guard("Filling the controls", [&] { ControlsFromSettings(); });
}

TFormSource::~TFormSource() {
  FPage.reset();
  Guard("Disconnecting", [&] { Disconnect(); });
  Guard("Saving the settings", [&] {
    SettingsFromControls();
    WriteSettings();
  });
}

void TFormSource::Message(const QString& Text, unsigned Type) {
  try {
    win32::MessageBox(this, Text, kCaption, Type);
  } catch (...) {
    DSLog("A message could not be shown: " + Text.toStdString());
  }
}

// ---- Settings ----

void TFormSource::ReadSettings() {
  TRegIniFile reg(RegistryKey);
  const bool local = reg.ReadBool("Server", "Local", true);
  // The control panel listens on its "Local Port"; "Port" is where it finds a remote panel.
  if (local) {
    FHost = "127.0.0.1";
    FPort = reg.ReadInteger("Server", "Local Port", 7098);
  } else {
    FHost = reg.ReadString("Server", "IP", "127.0.0.1").trimmed().toStdString();
    FPort = reg.ReadInteger("Server", "Port", 7098);
  }
  FScannerTimeout = reg.ReadInteger("Scanner", "Timeout", 20);
  FRequest.PixelType = reg.ReadInteger(kSection, "Image Type", 0);
  FRequest.Dithering = reg.ReadBool(kSection, "Dithering", false);
  FRequest.Brightness = reg.ReadInteger(kSection, "Brightness", 0);
  FRequest.AutoBrightness = reg.ReadBool(kSection, "Auto Brightness", false);
  FRequest.Contrast = reg.ReadInteger(kSection, "Contrast", 0);
  FRequest.Threshold = reg.ReadInteger(kSection, "Threshold", 128);
  FRequest.AutoThreshold = reg.ReadBool(kSection, "Auto Threshold", false);
  FRequest.XResolution = reg.ReadInteger(kSection, "X Resolution", 200);
  FRequest.YResolution = reg.ReadInteger(kSection, "Y Resolution", 200);
  double width = 8.5, height = 11;
  ReadSize(reg, "Page Width", width);
  ReadSize(reg, "Page Height", height);
  FRequest.PageWidth = width;
  FRequest.PageHeight = height;
  // A stored size that the control panel refuses would fail every scan: the default holds.
  if (const QString fault = RefusedSize(FRequest); !fault.isEmpty()) {
    DSLog("The registry's page size is refused (" + fault.toStdString() +
          "); the page size is 8.5 x 11 inches");
    FRequest.PageWidth = 8.5;
    FRequest.PageHeight = 11;
  }
  FRequest.ADF = reg.ReadBool(kSection, "ADF", false);
  FRequest.Duplex = reg.ReadBool(kSection, "Duplex", false);
}

void TFormSource::WriteSettings() {
  TRegIniFile reg(RegistryKey);
  reg.WriteInteger(kSection, "Image Type", FRequest.PixelType);
  reg.WriteBool(kSection, "Dithering", FRequest.Dithering != 0);
  reg.WriteInteger(kSection, "Brightness", FRequest.Brightness);
  reg.WriteBool(kSection, "Auto Brightness", FRequest.AutoBrightness != 0);
  reg.WriteInteger(kSection, "Contrast", FRequest.Contrast);
  reg.WriteInteger(kSection, "Threshold", FRequest.Threshold);
  reg.WriteBool(kSection, "Auto Threshold", FRequest.AutoThreshold != 0);
  reg.WriteInteger(kSection, "X Resolution", FRequest.XResolution);
  reg.WriteInteger(kSection, "Y Resolution", FRequest.YResolution);
  reg.WriteString(kSection, "Page Width", FloatToStr(FRequest.PageWidth));
  reg.WriteString(kSection, "Page Height", FloatToStr(FRequest.PageHeight));
  reg.WriteBool(kSection, "ADF", FRequest.ADF != 0);
  reg.WriteBool(kSection, "Duplex", FRequest.Duplex != 0);
  reg.UpdateFile();
}

void TFormSource::ControlsFromSettings() {
  const int32_t type = FRequest.PixelType;
  if (type == 0) RadioButtonMono->setChecked(true);
  if (type == 1) RadioButtonGray->setChecked(true);
  if (type == 2) RadioButtonColor->setChecked(true);
  CheckBoxDithering->setChecked(FRequest.Dithering != 0);
  SpinEditXResolution->setValue(FRequest.XResolution);
  SpinEditYResolution->setValue(FRequest.YResolution);
  CheckBoxAutoBrightness->setChecked(FRequest.AutoBrightness != 0);
  CheckBoxADF->setChecked(FRequest.ADF != 0);
  CheckBoxDuplex->setChecked(FRequest.Duplex != 0);
  TrackBarContrast->setValue(FRequest.Contrast / 10);
  TrackBarBrightness->setValue(FRequest.Brightness / 10);
  TrackBarThreshold->setValue(FRequest.Threshold);
  const double width = FRequest.PageWidth, height = FRequest.PageHeight;
  EditWidth->setText(FloatToStr(width));
  EditHeight->setText(FloatToStr(height));
  std::string name;
  if (PaperNameBySize(width, height, name)) {
    ComboBoxSize->setCurrentIndex(ComboBoxSize->findText(QString::fromStdString(name)));
  } else {
    ComboBoxSize->setCurrentIndex(0);
  }
}

void TFormSource::SettingsFromControls() {
  TakeControls();
}

QString TFormSource::TakeControls() {
  TScanRequest request = FRequest;
  request.PixelType = RadioButtonMono->isChecked() ? 0 : RadioButtonGray->isChecked() ? 1 : 2;
  request.Dithering = CheckBoxDithering->isChecked();
  request.XResolution = SpinEditXResolution->value();
  request.YResolution = SpinEditYResolution->value();
  request.AutoBrightness = CheckBoxAutoBrightness->isChecked();
  request.ADF = CheckBoxADF->isChecked();
  request.Duplex = CheckBoxDuplex->isChecked();
  request.Contrast = TrackBarContrast->value() * 10;
  request.Brightness = TrackBarBrightness->value() * 10;
  request.Threshold = TrackBarThreshold->value();
  // A size box that does not read as a number keeps the previous size of its side.
  QString fault;
  double width = FRequest.PageWidth, height = FRequest.PageHeight;
  for (auto [box, field, side] : {std::tuple{EditWidth, "Width (In)", &width},
                                  std::tuple{EditHeight, "Height (In)", &height}}) {
    if (!TryStrToFloat(box->text(), *side) && fault.isEmpty()) {
      fault = QString("The \"%1\" \"%2\" is no number").arg(field, box->text());
    }
  }
  request.PageWidth = width;
  request.PageHeight = height;
  // A size that the control panel would refuse is never kept: it would fail every later scan.
  if (QString refused = RefusedSize(request); !refused.isEmpty()) {
    request.PageWidth = FRequest.PageWidth;
    request.PageHeight = FRequest.PageHeight;
    fault = refused;
  }
  if (!fault.isEmpty()) DSLog(fault.toStdString() + "; the previous page size stays");
  FRequest = request;
  return fault;
}

// ---- The connection and the scan flow ----

void TFormSource::Connect() {
  FClient.reset();
  auto client = std::make_unique<TScanClient>();
  client->SetReplyTimeout(FScannerTimeout * 1000 + TScanClient::kReplyMarginMs);
  client->FetchOriginal = [this] { return FetchOriginalPage(); };
  client->Open(static_cast<uintptr_t>(winId()), FHost, FPort);
  FClient = std::move(client);
}

bool TFormSource::Reconnect() {
  if (FClient != nullptr && FClient->Connected()) return true;
  try {
    Connect();
    FConnected = true;
  } catch (...) {
    FConnected = false;
    DSLog("Unable to reach the control panel again: " + FailureText());
  }
  return FConnected;
}

void TFormSource::Disconnect() {
  if (FClient == nullptr) return;
  FClient->Close();
  FClient.reset();
}

void TFormSource::ShowInterface(bool Show) {
  Guard("Showing the dialog", [&] {
    ControlsFromSettings();
    if (Show) {
      // A form closed by its window button comes back whole.
      for (QWidget* control : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(StatusBar)}) {
        control->setEnabled(true);
        control->setVisible(true);
      }
    }
    if (Show != isVisible()) setVisible(Show);
  });
}

bool TFormSource::StartWithoutInterface() {
  bool held = false;
  Guard("Starting a scan", [&] {
    StartScanning();
    held = !FPage->Empty();
  });
  return held;
}

// Every scan is a session of its own, sent with the settings as they are now.
void TFormSource::StartScanning() {
  // A page size the control panel would refuse is neither sent nor kept.
  if (const QString fault = TakeControls(); !fault.isEmpty()) {
    if (isVisible()) Message(fault, win32::MB_OK | win32::MB_ICONERROR);
    return;
  }
  FPageAnnounced = false;
  FFetching = false;
  FPage->FreeImage();
  if (Reconnect()) {
    // A request that cannot be written is said by the fetch that follows.
    try {
      FClient->SendSettings(FRequest);
    } catch (...) {
      DSLog("Sending the scan request failed: " + FailureText());
    }
  }
  FetchNextPage(true);
}

bool TFormSource::FetchNextPage(bool UserRequest) {
  FFetching = true;
  win32::HGLOBAL handle = nullptr;
  std::string raised;
  try {
    if (FClient != nullptr) handle = FClient->RequestPage();
  } catch (...) {
    raised = FailureText();
    DSLog("Fetching a page failed: " + raised);
  }
  FFetching = false;
  FPageLost = handle == nullptr && (FClient == nullptr || !FClient->Connected());
  FPage->FreeImage();
  FPage->SetOwnsHandle(true);
  if (handle != nullptr) {
    try {
      FPage->SetHandle(handle);
    } catch (...) {
      DSLog("The page of the control panel is no bitmap: " + FailureText());
      win32::GlobalFree(handle);
    }
  }
  if (!FPage->Empty()) {
    if (OnTransferReady && !FPageAnnounced) Guard("Transfer ready", [&] { OnTransferReady(); });
    FPageAnnounced = true;
    return true;
  }
  if (UserRequest && isVisible()) {
    Message("Unable to scan next page !\n\r" + QString::fromStdString(NoPageReason(raised)),
            win32::MB_OK);
  }
  return false;
}

std::string TFormSource::NoPageReason(const std::string& Raised) {
  if (FClient == nullptr) {
    return "There is no connection to the control panel. " + HowToStartThePanel(FHost, FPort);
  }
  std::string why;
  try {
    why = FClient->FailureReason();
  } catch (...) {
    DSLog("Asking the control panel why failed: " + FailureText());
  }
  if (why.empty()) why = Raised.empty() ? "The control panel sent no page." : Raised;
  return why;
}

std::string TFormSource::ConnectFailureText() {
  try {
    throw;
  } catch (const ESocketError& e) {
    return ConnectionFailureWords(e.Error(), FHost, FPort);
  } catch (...) {
    return FailureText();
  }
}

int32_t TFormSource::PendingTransfers() {
  if (FPage->Empty()) FetchNextPage(false);
  return FPage->Empty() ? 0 : -1;
}

void TFormSource::PageDone() {
  ++FPagesDone;
  FPage->FreeImage();
}

// The windows go on painting and taking input while the panel answers.
win32::HGLOBAL TFormSource::FetchOriginalPage() {
  win32::HGLOBAL handle = nullptr;
  try {
    if (FClient != nullptr) RunResponsive([&] { handle = FClient->RequestOriginal(); });
  } catch (...) {
    DSLog("Fetching the original failed: " + FailureText());
  }
  if (handle == nullptr && isVisible()) {
    Message("Unable to rescan virtually last page !", win32::MB_OK);
  }
  return handle;
}

void TFormSource::EndScanSession() {
  if (FClient != nullptr) FClient->EndSession();
}

void TFormSource::ResetFrame(TFrame& Rect) {
  FFrame = TFrame{0, 0, MaxFrameWidth, MaxFrameHeight};
  Rect = FFrame;
}

void TFormSource::SetAppIdentity(const TW_IDENTITY& Identity) {
  FAppIdentity = Identity;
}
