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

#include "DSLog.h"
#include "ScanClientUnit.h"
#include "boundaryguard.h"
#include "floattext.h"
#include "registry.h"
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
  FConnected = true;
  try {
    Connect();
  } catch (...) {
    FConnected = false;
    ButtonScan->setEnabled(false);
    Message("Unable to create driver connection !\n\r" + QString::fromStdString(FailureText()),
            win32::MB_OK | win32::MB_ICONERROR);
    if (OnCloseRequest) Guard("Close request", [&] { OnCloseRequest(); });
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
  FRequest.PixelType = RadioButtonMono->isChecked() ? 0 : RadioButtonGray->isChecked() ? 1 : 2;
  FRequest.Dithering = CheckBoxDithering->isChecked();
  FRequest.XResolution = SpinEditXResolution->value();
  FRequest.YResolution = SpinEditYResolution->value();
  FRequest.AutoBrightness = CheckBoxAutoBrightness->isChecked();
  FRequest.ADF = CheckBoxADF->isChecked();
  FRequest.Duplex = CheckBoxDuplex->isChecked();
  FRequest.Contrast = TrackBarContrast->value() * 10;
  FRequest.Brightness = TrackBarBrightness->value() * 10;
  FRequest.Threshold = TrackBarThreshold->value();
  // A size box that does not read as a number keeps the previous size.
  double width = FRequest.PageWidth, height = FRequest.PageHeight;
  TryStrToFloat(EditWidth->text(), width);
  TryStrToFloat(EditHeight->text(), height);
  FRequest.PageWidth = width;
  FRequest.PageHeight = height;
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

void TFormSource::StartScanning() {
  SettingsFromControls();
  if (FClient != nullptr) FClient->SendSettings(FRequest);
  FPageAnnounced = false;
  FFetching = false;
  FPage->FreeImage();
  FetchNextPage(true);
}

bool TFormSource::FetchNextPage(bool UserRequest) {
  FFetching = true;
  win32::HGLOBAL handle = nullptr;
  try {
    if (FClient != nullptr) handle = FClient->RequestPage();
  } catch (...) {
    DSLog("Fetching a page failed: " + FailureText());
  }
  FFetching = false;
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
  if (UserRequest && isVisible()) Message("Unable to scan next page !", win32::MB_OK);
  return false;
}

int32_t TFormSource::PendingTransfers() {
  if (FPage->Empty()) FetchNextPage(false);
  return FPage->Empty() ? 0 : -1;
}

void TFormSource::PageDone() {
  ++FPagesDone;
  FPage->FreeImage();
}

win32::HGLOBAL TFormSource::FetchOriginalPage() {
  win32::HGLOBAL handle = nullptr;
  try {
    if (FClient != nullptr) handle = FClient->RequestOriginal();
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
