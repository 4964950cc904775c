#include "TFinestraPrincipale.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <cstdio>

#include "ScanServer.h"
#include "THelpWindow.h"
#include "TRadioGroup.h"
#include "boundaryguard.h"
#include "cachedir.h"
#include "userprompt.h"
#include "vekTWAIN.h"

const QString TFinestraPrincipale::RegistryKey = "Software\\Dovantic Technologies\\Clarivo";
const QString TFinestraPrincipale::TestScannerName = "[Test Scanner]";

namespace {

const QString kApplicationTitle = "Clarivo Control Panel";
// The system's own data source, which the control panel never drives.
const QString kOwnDataSource = "Clarivo®";

}  // namespace

TFinestraPrincipale::TFinestraPrincipale(TControlPanelServices Services, QWidget* Parent)
    : QWidget(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      FServices(std::move(Services)) {
  setObjectName("FinestraPrincipale");
  setWindowTitle("Clarivo® Control Panel");
  CreatePages();
  CreateTray();
  CreateScanner();
  ConnectEnablingRules();
  FormCreate();
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TFinestraPrincipale::~TFinestraPrincipale() {
  FormDestroy();
}

void TFinestraPrincipale::FormCreate() {
  Exiting = false;
  AskOnClose = true;
  UpdateTrayIcon(0);
  FillScannerList();
  const QString programDir =
      (FServices.ProgramDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                      : QDir(FServices.ProgramDir).absolutePath()) +
      "/";
  TestDir = programDir + "test/";
  QDir().mkpath(TestDir);
  if (ComboBoxScanners->currentIndex() < 0) ComboBoxScanners->setCurrentIndex(0);
  ReadSettings();
  CacheDir = QString::fromStdString(CacheDirectory(programDir.toStdString())) + "/";
  PageCache.Dir = CacheDir.toStdString();
  if (FServices.Serve) OpenServer();
  AggiornaUserInterface();
}

void TFinestraPrincipale::FillScannerList() {
  std::vector<QString> names;
  if (FServices.SourceNames) {
    names = FServices.SourceNames();
  } else {
    std::vector<std::string> installed;
    vekTWAIN1->GetSourceNames(installed);
    for (const std::string& name : installed) names.push_back(QString::fromStdString(name));
  }
  for (const QString& name : names) {
    if (name != kOwnDataSource) ComboBoxScanners->addItem(name);
  }
  ComboBoxScanners->addItem(TestScannerName);
}

// Every step runs even when one before it fails: the settings are saved however the
// server ends.
void TFinestraPrincipale::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  FClosing = true;
  Guarded([&] { FServerSocket.reset(); }, [] {});
  Guarded([&] { vekTWAIN1.reset(); }, [] {});
  if (TrayIcon != nullptr) TrayIcon->hide();
  Guarded([&] { SaveSettings(); },
          [] { std::fprintf(stderr, "clarivo: %s\n", FailureText().c_str()); });
  ClearCache();
}

void TFinestraPrincipale::ConnectEnablingRules() {
  auto rules = [this] { AggiornaUserInterface(); };
  for (QAbstractButton* button :
       std::initializer_list<QAbstractButton*>{CheckBoxBlackBackground,
                                               CheckBoxShareLocalScanner,
                                               RadioButtonLocalScanner,
                                               RadioButtonNetworkScanner,
                                               CheckBoxDeskew,
                                               CheckBoxDespeckle,
                                               CheckBoxBlackBorderRemoval,
                                               CheckBoxAutoCrop,
                                               CheckBoxThresholding,
                                               CheckBoxQC,
                                               RadioButtonDriverPage,
                                               RadioButtonCustomPage,
                                               RadioButtonDriverMode,
                                               RadioButtonMono,
                                               RadioButtonGray,
                                               RadioButtonColor,
                                               CheckBoxMultiStream,
                                               RadioButtonDriverResolution,
                                               RadioButtonCustomResolution,
                                               RadioButtonDriverLight,
                                               RadioButtonCustomLight,
                                               CheckBoxAutoBrightness}) {
    connect(button, &QAbstractButton::toggled, this, rules);
  }
  connect(RadioGroupDuplex, &TRadioGroup::Clicked, this, rules);
  connect(SpinEditLum, &QSpinBox::valueChanged, this, rules);

  connect(ButtonOK, &QPushButton::clicked, this, [this] { Handle([&] { ButtonOKClick(); }); });
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });
  connect(ButtonApply, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonApplyClick(); }); });
  connect(ButtonHelp, &QPushButton::clicked, this, [this] { Handle([&] { ButtonHelpClick(); }); });
  connect(ButtonDeskew, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonDeskewClick(); }); });
  connect(ButtonDespeckle, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonDespeckleClick(); }); });
  connect(ButtonAutoCrop, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonAutoCropClick(); }); });
  connect(ButtonBlackBorderRemoval, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonBlackBorderRemovalClick(); }); });
  connect(ButtonThresholding, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonThresholdingClick(); }); });
  connect(ButtonQualityControl, &QPushButton::clicked, this,
          [this] { Handle([&] { ButtonQualityControlClick(); }); });
}

void TFinestraPrincipale::AggiornaUserInterface() {
  // Unchecking "Mirafold(tm)" below comes back here; one pass does all.
  QSignalBlocker blockMultiStream(CheckBoxMultiStream);
  bool haveScanners = ComboBoxScanners->count() > 0;
  CheckBoxBlackBackground->setEnabled(haveScanners);
  SpinEditTimeout->setEnabled(haveScanners);
  CheckBoxShareLocalScanner->setEnabled(haveScanners);
  RadioButtonLocalScanner->setEnabled(haveScanners);
  if (!haveScanners) RadioButtonNetworkScanner->setChecked(true);

  EditIP->setEnabled(RadioButtonNetworkScanner->isChecked());
  SpinEditServerPort->setEnabled(RadioButtonNetworkScanner->isChecked());
  SpinEditLocalPort->setEnabled(CheckBoxShareLocalScanner->isChecked());

  if (RadioButtonMono->isChecked()) CheckBoxMultiStream->setChecked(false);
  RadioButtonMono->setEnabled(!CheckBoxMultiStream->isChecked());
  RadioButtonDriverMode->setEnabled(!CheckBoxMultiStream->isChecked());
  CheckBoxMultiStream->setEnabled(!RadioButtonMono->isChecked() &&
                                  !RadioButtonDriverMode->isChecked());

  SpinEditResolution->setEnabled(RadioButtonCustomResolution->isChecked());
  ComboBoxPagina->setEnabled(RadioButtonCustomPage->isChecked());

  bool customLight = RadioButtonCustomLight->isChecked();
  SpinEditLum->setEnabled(customLight && !CheckBoxAutoBrightness->isChecked());
  SpinEditCon->setEnabled(customLight);
  SpinEditThreshold->setEnabled(customLight);
  CheckBoxAutoBrightness->setEnabled(customLight);

  ButtonDeskew->setEnabled(CheckBoxDeskew->isChecked());
  ButtonDespeckle->setEnabled(CheckBoxDespeckle->isChecked());
  ButtonBlackBorderRemoval->setEnabled(CheckBoxBlackBorderRemoval->isChecked());
  ButtonAutoCrop->setEnabled(CheckBoxAutoCrop->isChecked());
  ButtonThresholding->setEnabled(CheckBoxThresholding->isChecked());
  ButtonQualityControl->setEnabled(CheckBoxQC->isChecked());
}

void TFinestraPrincipale::ProcessPage(TDIB& Page, uint8_t TargetType, int32_t TargetXDPI,
                                      int32_t TargetYDPI) {
  Pipeline.Checks = {CheckBoxDeskew->isChecked(),    CheckBoxThresholding->isChecked(),
                     CheckBoxDespeckle->isChecked(), CheckBoxBlackBorderRemoval->isChecked(),
                     CheckBoxAutoCrop->isChecked(),  CheckBoxQC->isChecked()};
  Pipeline.Log = [this](const std::string& Text) { Log(QString::fromStdString(Text)); };
  Pipeline.ProcessPage(Page, TargetType, TargetXDPI, TargetYDPI);
}

bool TFinestraPrincipale::QualityCheck(const TDIB& Page) {
  Pipeline.Checks.QC = CheckBoxQC->isChecked();
  Pipeline.Log = [this](const std::string& Text) { Log(QString::fromStdString(Text)); };
  return Pipeline.QualityCheck(Page);
}

void TFinestraPrincipale::ButtonOKClick() {
  SaveSettings();
  HideWindow();
}

void TFinestraPrincipale::ButtonApplyClick() {
  SaveSettings();
}

void TFinestraPrincipale::ButtonCancelClick() {
  HideWindow();
}

// The help is built into the program, so there is always one to show.
void TFinestraPrincipale::ButtonHelpClick() {
  if (HelpWindow == nullptr) HelpWindow = new THelpWindow(this);
  HelpWindow->show();
  HelpWindow->raise();
  HelpWindow->activateWindow();
}

void TFinestraPrincipale::CommandParametersClick() {
  ShowWindow();
}

void TFinestraPrincipale::CommandCloseClick() {
  Exiting = true;
  close();
}

void TFinestraPrincipale::WMQueryEndSession() {
  AskOnClose = false;
}

bool TFinestraPrincipale::FormCloseQuery() {
  if (!AskOnClose) return true;
  return win32::MessageBox(this, "Do you really want to shutdown Clarivo® ?", "Confirm",
                           win32::MB_YESNO | win32::MB_ICONQUESTION) == win32::IDYES;
}

void TFinestraPrincipale::closeEvent(QCloseEvent* Event) {
  if (!FormCloseQuery()) {
    Event->ignore();
    return;
  }
  Event->accept();
  FClosing = true;
  emit Closed();
}

void TFinestraPrincipale::keyPressEvent(QKeyEvent* Event) {
  if (Event->key() != Qt::Key_Return && Event->key() != Qt::Key_Enter) {
    QWidget::keyPressEvent(Event);
    return;
  }
  auto* focused = qobject_cast<QPushButton*>(focusWidget());
  QPushButton* button = focused != nullptr && focused->isEnabled() ? focused : ButtonOK;
  button->click();
}

void TFinestraPrincipale::Handle(const std::function<void()>& Handler) {
  Guarded(Handler, [this] {
    win32::MessageBox(this, QString::fromStdString(FailureText()), kApplicationTitle,
                      win32::MB_OK | win32::MB_ICONERROR);
  });
}
