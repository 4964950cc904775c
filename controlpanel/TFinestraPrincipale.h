// The control panel's main window: the settings pages that choose the scanner, the panel's
// own scanning overrides and the clean-up steps, the log, and the tray icon through which
// the window is reached while it is hidden. Member families by file:
//   TFinestraPrincipale.cpp          creation, enabling rules, buttons, closing, destruction
//   TFinestraPrincipale_pages.cpp    the five pages and their controls
//   TFinestraPrincipale_settings.cpp ReadSettings, SaveSettings
//   TFinestraPrincipale_params.cpp   the parameter buttons and their dialogs
//   TFinestraPrincipale_tray.cpp     the tray icon, its menu, Timer1
//   TFinestraPrincipale_log.cpp      Log
//   TFinestraPrincipale_scan.cpp     StartScan, StopScan, WaitForPage, PendingCount, ClearCache
//   TFinestraPrincipale_twain.cpp    the scanner component and its handlers
//   TFinestraPrincipale_serve.cpp    NextProcessedPage, OriginalPage
//   TFinestraPrincipale_server.cpp   the scan server and what it reads of the window
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "PageCache.h"
#include "ProcessingPipeline.h"
#include "ServerWindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class THelpWindow;
class TLogView;
class TRadioGroup;
class TScanServer;
class TvekTWAIN;
class QEventLoop;
class QObject;
namespace win32 {
struct BITMAPINFO;
}

// What the window takes from the rest of the program.
struct TControlPanelServices {
  // The product names of the installed TWAIN sources; none: the scanner component's
  // GetSourceNames.
  std::function<std::vector<QString>()> SourceNames;
  // Whether the window runs the scan server on "Local Port".
  bool Serve = false;
  // The folder that holds the "cache" and "test" folders; empty: the program's own.
  QString ProgramDir;
};

class TFinestraPrincipale : public QWidget, public TServerWindow {
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
  void Log(const char* Message) { Log(QString(Message)); }
  // What the operator must see: logged, shown in the status line below the pages and, when
  // there is a notification area, as a message of the tray icon.
  void Alert(const QString& Message);

  // The scan server's operations (main thread only).
  void StartScan(const TScanRequest& Request) override;
  void StopScan() override;
  win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed, TServedPage& Served) override;
  win32::HGLOBAL NextProcessedPage(uint8_t& QCFailed) {
    TServedPage served;
    return NextProcessedPage(QCFailed, served);
  }
  void ReturnPage(const TServedPage& Served) override;
  win32::HGLOBAL OriginalPage() override;
  int32_t PendingCount() override;
  void Log(const std::string& Text) override;
  bool ShareLocalScanner() override;
  int32_t LocalPort() override;
  // Returns once a page is pending, no source is enabled any more, the "Timeout" has passed
  // or the window closes; the event loop runs meanwhile (the scanner's pages arrive then).
  void WaitForPage();
  void ClearCache();
  // The port the scan server listens on; 0 when it does not run.
  uint16_t ServerPort() const;

  // The scanner component's handlers.
  void vekTWAIN1Negotiation(QObject* Sender);
  void vekTWAIN1ImageReady(QObject* Sender, void* pBmp, win32::BITMAPINFO* pBmpInfo, void* hImage,
                           const std::string& FilePath);

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
  // The "test" folder of the test scanner, with a trailing path delimiter.
  QString TestDir;
  // PendingPages and LastServedFile in the cache directory.
  TPageCache PageCache;
  // The scanner component; its events go to the handlers above.
  std::unique_ptr<TvekTWAIN> vekTWAIN1;

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
  TLogView* MemoLog;
  // Below the pages
  QLabel* LabelStatus;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;
  QPushButton* ButtonHelp;
  // The help window that "?" opens; made at the first "?".
  QPointer<THelpWindow> HelpWindow;
  // Not shown
  QSystemTrayIcon* TrayIcon = nullptr;
  QMenu* PopupMenu1;
  QTimer* Timer1;

 signals:
  // The window was closed: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* Event) override;
  // Enter presses the focused button, else "OK", as in a dialog.
  void keyPressEvent(QKeyEvent* Event) override;

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
  QWidget* CreateStatusLine();
  QWidget* CreateButtons();
  void ClearStatusLine();
  void ConnectEnablingRules();
  void FillScannerList();
  void ReadSettings();
  void CreateTray();
  void Timer1Timer();
  void CreateScanner();
  void OpenServer();
  bool TestScannerChosen() const;
  // The request with the panel's own page size, resolution and mode in place of the
  // request's where the panel overrides them.
  TScanRequest EffectiveRequest(const TScanRequest& Request) const;
  void ScanIdleTimeout();
  void StartTestScanner(const TScanRequest& Effective);
  // False when the scanner does not start.
  bool StartRealScanner(const TScanRequest& Request);
  // One step of a wait: window messages run for a moment, or until the wait is ended.
  void WaitStep();
  // The oldest page processed and checked; raises what loading or processing raises.
  win32::HGLOBAL ServeFirstPage(uint8_t& QCFailed, TServedPage& Served);
  bool MirafoldMode() const;
  void ShowWindow();
  void HideWindow();
  // Runs a handler; an exception it raises is shown in a message box, as the user's answer.
  void Handle(const std::function<void()>& Handler);

  TControlPanelServices FServices;
  std::unique_ptr<TScanServer> FServerSocket;
  QPointer<QWidget> FSplash;
  // The event loop of WaitForPage while it waits, so that a page that arrives ends the wait.
  QEventLoop* FWaitLoop = nullptr;
  // While a scan runs: the "Timeout" from the end of the client's last request. When no
  // request comes within it (the client went away without STOP), the "Hardware" page is
  // enabled again; the scanner and the pending pages are left as they are.
  QTimer* FScanIdle = nullptr;
  friend class TClientRequest;
  bool FClosing = false;
  bool FDestroyed = false;
};
