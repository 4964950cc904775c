#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "TFinestraPrincipale.h"
#include "TLogView.h"
#include "TRadioGroup.h"

namespace {

template <class W>
W* Named(W* Widget, const char* Name) {
  Widget->setObjectName(Name);
  return Widget;
}

QSpinBox* SpinEdit(const char* Name, int Min, int Max, QWidget* Parent) {
  auto* spin = Named(new QSpinBox(Parent), Name);
  spin->setRange(Min, Max);
  return spin;
}

QLabel* Label(const QString& Text, QWidget* Buddy, QWidget* Parent) {
  auto* label = new QLabel(Text, Parent);
  label->setBuddy(Buddy);
  return label;
}

const QStringList kDriverEnabledDisabled = {"Driver Setting", "Enabled", "Disabled"};

}  // namespace

void TFinestraPrincipale::CreatePages() {
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  TabSheetScanner = Named(CreateHardwarePage(), "TabSheetScanner");
  TabSheetProcessing = Named(CreateProcessingPage(), "TabSheetProcessing");
  TabSheetParameters = Named(CreateScannerParametersPage(), "TabSheetParameters");
  TabSheetLog = Named(CreateLogPage(), "TabSheetLog");
  TabSheetInfo = Named(CreateInfoPage(), "TabSheetInfo");
  PageControl1->addTab(TabSheetScanner, "Hardware");
  PageControl1->addTab(TabSheetProcessing, "Processing");
  PageControl1->addTab(TabSheetParameters, "Scanner Parameters");
  PageControl1->addTab(TabSheetLog, "Log");
  PageControl1->addTab(TabSheetInfo, "Info");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addWidget(CreateStatusLine());
  layout->addWidget(CreateButtons());
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TFinestraPrincipale::CreateHardwarePage() {
  auto* page = new QWidget;
  auto* local = Named(new QGroupBox("Local Scanner", page), "GroupBoxLocalScanner");
  ComboBoxScanners = Named(new QComboBox(local), "ComboBoxScanners");
  CheckBoxBlackBackground =
      Named(new QCheckBox("Scanner with black background (no paper = black image)", local),
            "CheckBoxBlackBackground");
  SpinEditTimeout = SpinEdit("SpinEditTimeout", 1, 99, local);
  CheckBoxShareLocalScanner =
      Named(new QCheckBox("Share Local Scanner", local), "CheckBoxShareLocalScanner");
  SpinEditLocalPort = SpinEdit("SpinEditLocalPort", 1, 65535, local);
  auto* localGrid = new QGridLayout(local);
  localGrid->addWidget(ComboBoxScanners, 0, 0, 1, 4);
  localGrid->addWidget(CheckBoxBlackBackground, 1, 0, 1, 4);
  localGrid->addWidget(Label("Timeout", SpinEditTimeout, local), 2, 0);
  localGrid->addWidget(SpinEditTimeout, 2, 1);
  localGrid->addWidget(new QLabel("sec.", local), 2, 2);
  localGrid->addWidget(CheckBoxShareLocalScanner, 3, 0, 1, 2);
  auto* localPort = new QHBoxLayout;
  localPort->addWidget(Label("Port", SpinEditLocalPort, local));
  localPort->addWidget(SpinEditLocalPort);
  localPort->addStretch(1);
  localGrid->addLayout(localPort, 3, 2, 1, 2);
  localGrid->setColumnStretch(3, 1);

  auto* driver = Named(new QGroupBox("Driver Settings", page), "GroupBoxDriverSettings");
  RadioButtonLocalScanner =
      Named(new QRadioButton("Use Local Scanner", driver), "RadioButtonLocalScanner");
  RadioButtonNetworkScanner = Named(new QRadioButton("Use Scanner on Remote Computer:", driver),
                                    "RadioButtonNetworkScanner");
  EditIP = Named(new QLineEdit(driver), "EditIP");
  SpinEditServerPort = SpinEdit("SpinEditServerPort", 1, 65535, driver);
  auto* driverGrid = new QGridLayout(driver);
  driverGrid->addWidget(RadioButtonLocalScanner, 0, 0, 1, 4);
  driverGrid->addWidget(RadioButtonNetworkScanner, 1, 0, 1, 4);
  driverGrid->addWidget(Label("IP", EditIP, driver), 2, 0);
  driverGrid->addWidget(EditIP, 2, 1);
  driverGrid->addWidget(Label("Port", SpinEditServerPort, driver), 2, 2);
  driverGrid->addWidget(SpinEditServerPort, 2, 3);
  driverGrid->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(local);
  layout->addWidget(driver);
  layout->addStretch(1);
  return page;
}

QWidget* TFinestraPrincipale::CreateProcessingPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  struct Step {
    const char* Caption;
    const char* GroupName;
    QCheckBox*& Enabled;
    const char* EnabledName;
    QPushButton*& Button;
    const char* ButtonName;
  };
  const Step steps[] = {
      {"Deskew", "GroupBoxDeskew", CheckBoxDeskew, "CheckBoxDeskew", ButtonDeskew, "ButtonDeskew"},
      {"Despeckle", "GroupBoxDespeckle", CheckBoxDespeckle, "CheckBoxDespeckle", ButtonDespeckle,
       "ButtonDespeckle"},
      {"Black Border Removal", "GroupBoxBlackBorderRemoval", CheckBoxBlackBorderRemoval,
       "CheckBoxBlackBorderRemoval", ButtonBlackBorderRemoval, "ButtonBlackBorderRemoval"},
      {"Auto Crop", "GroupBoxAutoCrop", CheckBoxAutoCrop, "CheckBoxAutoCrop", ButtonAutoCrop,
       "ButtonAutoCrop"},
      {"Dynamic Thresholding", "GroupBoxThresholding", CheckBoxThresholding, "CheckBoxThresholding",
       ButtonThresholding, "ButtonThresholding"},
      {"Quality Control", "GroupBoxQC", CheckBoxQC, "CheckBoxQC", ButtonQualityControl,
       "ButtonQualityControl"},
  };
  int index = 0;
  for (const Step& step : steps) {
    auto* group = Named(new QGroupBox(step.Caption, page), step.GroupName);
    step.Enabled = Named(new QCheckBox("Enabled", group), step.EnabledName);
    step.Button = Named(new QPushButton("Parameters...", group), step.ButtonName);
    auto* row = new QHBoxLayout(group);
    row->addWidget(step.Enabled);
    row->addStretch(1);
    row->addWidget(step.Button);
    grid->addWidget(group, index / 2, index % 2);
    ++index;
  }
  grid->setRowStretch(3, 1);
  return page;
}

QWidget* TFinestraPrincipale::CreateScannerParametersPage() {
  auto* page = new QWidget;

  auto* size = Named(new QGroupBox("Page Size", page), "GroupBoxPageSize");
  RadioButtonDriverPage = Named(new QRadioButton("Driver Setting", size), "RadioButtonDriverPage");
  RadioButtonCustomPage = Named(new QRadioButton("Custom:", size), "RadioButtonCustomPage");
  ComboBoxPagina = Named(new QComboBox(size), "ComboBoxPagina");
  ComboBoxPagina->addItems({"Max", "A5", "A4", "A3", "Statement", "Letter", "Legal", "Ledger"});
  auto* sizeGrid = new QGridLayout(size);
  sizeGrid->addWidget(RadioButtonDriverPage, 0, 0, 1, 2);
  sizeGrid->addWidget(RadioButtonCustomPage, 1, 0);
  sizeGrid->addWidget(ComboBoxPagina, 1, 1);
  sizeGrid->setColumnStretch(1, 1);

  RadioGroupADF = Named(new TRadioGroup("ADF", kDriverEnabledDisabled, 3, page), "RadioGroupADF");
  RadioGroupDuplex =
      Named(new TRadioGroup("Duplex", kDriverEnabledDisabled, 3, page), "RadioGroupDuplex");

  auto* mode = Named(new QGroupBox("Mode", page), "GroupBoxMode");
  RadioButtonDriverMode = Named(new QRadioButton("Driver Setting", mode), "RadioButtonDriverMode");
  RadioButtonMono = Named(new QRadioButton("Mono", mode), "RadioButtonMono");
  RadioButtonGray = Named(new QRadioButton("Gray", mode), "RadioButtonGray");
  RadioButtonColor = Named(new QRadioButton("Color", mode), "RadioButtonColor");
  CheckBoxMultiStream = Named(new QCheckBox("Mirafold(tm)", mode), "CheckBoxMultiStream");
  auto* modeGrid = new QGridLayout(mode);
  modeGrid->addWidget(RadioButtonDriverMode, 0, 0);
  modeGrid->addWidget(RadioButtonMono, 0, 1);
  modeGrid->addWidget(RadioButtonGray, 1, 0);
  modeGrid->addWidget(RadioButtonColor, 1, 1);
  modeGrid->addWidget(CheckBoxMultiStream, 2, 0, 1, 2);

  auto* resolution = Named(new QGroupBox("Resolution", page), "GroupBoxResolution");
  RadioButtonDriverResolution =
      Named(new QRadioButton("Driver Setting", resolution), "RadioButtonDriverResolution");
  RadioButtonCustomResolution =
      Named(new QRadioButton("Custom:", resolution), "RadioButtonCustomResolution");
  SpinEditResolution = SpinEdit("SpinEditResolution", 100, 1200, resolution);
  auto* resolutionGrid = new QGridLayout(resolution);
  resolutionGrid->addWidget(RadioButtonDriverResolution, 0, 0, 1, 2);
  resolutionGrid->addWidget(RadioButtonCustomResolution, 1, 0);
  resolutionGrid->addWidget(SpinEditResolution, 1, 1);
  resolutionGrid->setColumnStretch(1, 1);

  auto* light = Named(new QGroupBox("Light Regulation", page), "GroupBoxLightRegulation");
  RadioButtonDriverLight =
      Named(new QRadioButton("Driver Setting", light), "RadioButtonDriverLight");
  RadioButtonCustomLight = Named(new QRadioButton("Custom:", light), "RadioButtonCustomLight");
  SpinEditLum = SpinEdit("SpinEditLum", -1000, 1000, light);
  SpinEditCon = SpinEdit("SpinEditCon", -1000, 1000, light);
  SpinEditThreshold = SpinEdit("SpinEditThreshold", 0, 255, light);
  CheckBoxAutoBrightness = Named(new QCheckBox("Auto Brightness", light), "CheckBoxAutoBrightness");
  auto* lightGrid = new QGridLayout(light);
  lightGrid->addWidget(RadioButtonDriverLight, 0, 0, 1, 2);
  lightGrid->addWidget(RadioButtonCustomLight, 1, 0, 1, 2);
  lightGrid->addWidget(Label("Bright.", SpinEditLum, light), 2, 0);
  lightGrid->addWidget(SpinEditLum, 2, 1);
  lightGrid->addWidget(Label("Cont.", SpinEditCon, light), 3, 0);
  lightGrid->addWidget(SpinEditCon, 3, 1);
  lightGrid->addWidget(Label("Thres.", SpinEditThreshold, light), 4, 0);
  lightGrid->addWidget(SpinEditThreshold, 4, 1);
  lightGrid->addWidget(CheckBoxAutoBrightness, 5, 0, 1, 2);
  lightGrid->setColumnStretch(1, 1);

  RadioButtonDriverPage->setChecked(true);
  RadioGroupADF->SetItemIndex(0);
  RadioGroupDuplex->SetItemIndex(0);
  RadioButtonDriverMode->setChecked(true);
  RadioButtonDriverResolution->setChecked(true);
  RadioButtonDriverLight->setChecked(true);
  ComboBoxPagina->setCurrentIndex(0);

  auto* grid = new QGridLayout(page);
  grid->addWidget(size, 0, 0);
  grid->addWidget(RadioGroupADF, 1, 0);
  grid->addWidget(RadioGroupDuplex, 2, 0);
  grid->addWidget(mode, 3, 0);
  grid->addWidget(resolution, 0, 1);
  grid->addWidget(light, 1, 1, 3, 1);
  grid->setRowStretch(4, 1);
  return page;
}

QWidget* TFinestraPrincipale::CreateLogPage() {
  auto* page = new QWidget;
  MemoLog = Named(new TLogView(page), "MemoLog");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(MemoLog);
  return page;
}

QWidget* TFinestraPrincipale::CreateInfoPage() {
  auto* page = new QWidget;
  auto* product = Named(new QLabel("Clarivo®", page), "LabelProduct");
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 2.5);
  big.setBold(true);
  product->setFont(big);
  auto* version = Named(new QLabel("Version 1.1", page), "LabelVersion");
  auto* layout = new QVBoxLayout(page);
  layout->addStretch(1);
  layout->addWidget(product, 0, Qt::AlignHCenter);
  layout->addWidget(version, 0, Qt::AlignHCenter);
  layout->addStretch(2);
  return page;
}

// Empty and hidden until there is something the operator must see; a long message makes the
// window taller, never wider.
QWidget* TFinestraPrincipale::CreateStatusLine() {
  LabelStatus = Named(new QLabel(this), "LabelStatus");
  LabelStatus->setTextFormat(Qt::PlainText);
  LabelStatus->setWordWrap(true);
  LabelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  QPalette alert = LabelStatus->palette();
  alert.setColor(QPalette::WindowText, Qt::darkRed);
  LabelStatus->setPalette(alert);
  LabelStatus->hide();
  return LabelStatus;
}

QWidget* TFinestraPrincipale::CreateButtons() {
  auto* bar = new QWidget(this);
  ButtonOK = Named(new QPushButton("OK", bar), "ButtonOK");
  ButtonCancel = Named(new QPushButton("Cancel", bar), "ButtonCancel");
  ButtonApply = Named(new QPushButton("Apply", bar), "ButtonApply");
  ButtonHelp = Named(new QPushButton("?", bar), "ButtonHelp");
  ButtonOK->setDefault(true);
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(1);
  layout->addWidget(ButtonOK);
  layout->addWidget(ButtonCancel);
  layout->addWidget(ButtonApply);
  layout->addWidget(ButtonHelp);
  return bar;
}
