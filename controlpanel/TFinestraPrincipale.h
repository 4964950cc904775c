// The control panel's main window: the settings pages that choose the scanner, the panel's
// own scanning overrides and the clean-up steps, the log, and the tray icon through which
// the window is reached while it is hidden. Member families by file:
//   TFinestraPrincipale.cpp          creation, enabling rules, buttons, closing, destruction
//   TFinestraPrincipale_pages.cpp    the five pages and their controls
//   TFinestraPrincipale_settings.cpp ReadSettings, SaveSettings
//   TFinestraPrincipale_params.cpp   the parameter buttons and their dialogs
//   TFinestraPrincipale_tray.cpp     the tray icon, its menu, Timer1
//   TFinestraPrincipale_log.cpp      Log
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ProcessingPipeline.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class TRadioGroup;

// The scan server on the window's "Local Port"; it stops listening when destroyed.
class TServerSocket {
 public:
  virtual ~TServerSocket() = default;
};

// What the window takes from the rest of the program.
struct TControlPanelServices {
  // The product names of the installed TWAIN sources (the toolkit's GetSourceNames).
  std::function<std::vector<QString>()> SourceNames;
  // Opens the scan server on the port; none: the window serves nothing.
  std::function<std::unique_ptr<TServerSocket>(int Port)> OpenServer;
};

class TFinestraPrincipale : public QWidget {
  Q_OBJECT

 public:
  explicit TFinestraPrincipale(TControlPanelServices Services, QWidget* Parent = nullptr);
  ~TFinestraPrincipale() override;

  // The settings key of the control panel (and of the data source's sections).
  static const QString RegistryKey;
  // The pseudo-scanner that is always listed last.
  static const QString TestScannerName;

  void SaveSettings();
  void AggiornaUserInterface();
  // Appends "<Message> - <date> <time>" to the log page; main thread only.
  void Log(const QString& Message);

  // The clean-up pipeline with the window's check boxes as they are now.
  void ProcessPage(TDIB& Page, uint8_t TargetType, int32_t TargetXDPI, int32_t TargetYDPI);
  bool QualityCheck(const TDIB& Page);

  // The user's session ends: closing asks nothing from now on.
  void WMQueryEndSession();
  // The tray icon was clicked (QSystemTrayIcon::ActivationReason).
  void TrayMessage(int Reason);
  void UpdateTrayIcon(int IconIndex);
  // The splash window that Timer1 waits for before it hides the window.
  void SetSplash(QWidget* Splash) { FSplash = Splash; }

  void ButtonOKClick();
  void ButtonApplyClick();
  void ButtonCancelClick();
  void ButtonHelpClick();
  void ButtonDeskewClick();
  void ButtonDespeckleClick();
  void ButtonAutoCropClick();
  void ButtonBlackBorderRemovalClick();
  void ButtonThresholdingClick();
  void ButtonQualityControlClick();
  void CommandParametersClick();
  void CommandCloseClick();

  bool AskOnClose = true;
  bool Exiting = false;
  QString CacheDir;

  // The processing parameters that the parameter dialogs edit; the pipeline reads the
  // others, "Angle Resolution" and "Smart" are only edited and stored.
  TProcessingPipeline Pipeline;
  double AngleResolution = 0.25;
  bool DespeckleSmart = false;

  QTabWidget* PageControl1;
  QWidget* TabSheetScanner;
  QWidget* TabSheetProcessing;
  QWidget* TabSheetParameters;
  QWidget* TabSheetLog;
  QWidget* TabSheetInfo;
  // "Hardware"
  QComboBox* ComboBoxScanners;
  QCheckBox* CheckBoxBlackBackground;
  QSpinBox* SpinEditTimeout;
  QCheckBox* CheckBoxShareLocalScanner;
  QSpinBox* SpinEditLocalPort;
  QRadioButton* RadioButtonLocalScanner;
  QRadioButton* RadioButtonNetworkScanner;
  QLineEdit* EditIP;
  QSpinBox* SpinEditServerPort;
  // "Processing"
  QCheckBox* CheckBoxDeskew;
  QCheckBox* CheckBoxDespeckle;
  QCheckBox* CheckBoxBlackBorderRemoval;
  QCheckBox* CheckBoxAutoCrop;
  QCheckBox* CheckBoxThresholding;
  QCheckBox* CheckBoxQC;
  QPushButton* ButtonDeskew;
  QPushButton* ButtonDespeckle;
  QPushButton* ButtonBlackBorderRemoval;
  QPushButton* ButtonAutoCrop;
  QPushButton* ButtonThresholding;
  QPushButton* ButtonQualityControl;
  // "Scanner Parameters"
  QRadioButton* RadioButtonDriverPage;
  QRadioButton* RadioButtonCustomPage;
  QComboBox* ComboBoxPagina;
  TRadioGroup* RadioGroupADF;
  TRadioGroup* RadioGroupDuplex;
  QRadioButton* RadioButtonDriverMode;
  QRadioButton* RadioButtonMono;
  QRadioButton* RadioButtonGray;
  QRadioButton* RadioButtonColor;
  QCheckBox* CheckBoxMultiStream;
  QRadioButton* RadioButtonDriverResolution;
  QRadioButton* RadioButtonCustomResolution;
  QSpinBox* SpinEditResolution;
  QRadioButton* RadioButtonDriverLight;
  QRadioButton* RadioButtonCustomLight;
  QSpinBox* SpinEditLum;
  QSpinBox* SpinEditCon;
  QSpinBox* SpinEditThreshold;
  QCheckBox* CheckBoxAutoBrightness;
  // "Log"
  QPlainTextEdit* MemoLog;
  // Below the pages
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;
  QPushButton* ButtonHelp;
  // Not shown
  QSystemTrayIcon* TrayIcon = nullptr;
  QMenu* PopupMenu1;
  QTimer* Timer1;

 signals:
  // The window was closed: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void FormCreate();
  void FormDestroy();
  bool FormCloseQuery();
  void CreatePages();
  QWidget* CreateHardwarePage();
  QWidget* CreateProcessingPage();
  QWidget* CreateScannerParametersPage();
  QWidget* CreateLogPage();
  QWidget* CreateInfoPage();
  QWidget* CreateButtons();
  void ConnectEnablingRules();
  void FillScannerList();
  void ReadSettings();
  void CreateTray();
  void Timer1Timer();
  void ClearCache();
  void ShowWindow();
  void HideWindow();
  // Runs a handler; an exception it raises is shown in a message box, as the user's answer.
  void Handle(const std::function<void()>& Handler);

  TControlPanelServices FServices;
  std::unique_ptr<TServerSocket> FServerSocket;
  QPointer<QWidget> FSplash;
  bool FDestroyed = false;
};
