// TFormSource: the dialog's controls and their handlers.
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include "floattext.h"
#include "uDSUserInterface.h"

namespace {

QSlider* TrackBar(int Minimum, int Maximum, int Ticks, QWidget* Parent) {
  auto* slider = new QSlider(Qt::Horizontal, Parent);
  slider->setRange(Minimum, Maximum);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(Ticks);
  return slider;
}

// A group with a track bar between "-" and "+" and its value label below.
QGroupBox* TrackBarGroup(const char* Title, QSlider* Slider, QLabel* Value, QWidget* Extra,
                         QWidget* Parent) {
  auto* group = new QGroupBox(Title, Parent);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("-", group), 0, 0);
  grid->addWidget(Slider, 0, 1);
  grid->addWidget(new QLabel("+", group), 0, 2);
  Value->setAlignment(Qt::AlignCenter);
  grid->addWidget(Value, 1, 1);
  if (Extra != nullptr) grid->addWidget(Extra, 2, 0, 1, 3);
  return group;
}

}  // namespace

void TFormSource::BuildControls() {
  MsgBtn = new QPushButton(this);
  Panel1 = new QWidget(this);

  ButtonScan = new QPushButton("Scan !", Panel1);
  ButtonScan->setDefault(true);
  ButtonClose = new QPushButton("Cancel", Panel1);

  TrackBarContrast = TrackBar(-100, 100, 10, Panel1);
  LabelContrast = new QLabel("0", Panel1);
  TrackBarBrightness = TrackBar(-100, 100, 10, Panel1);
  LabelBrightness = new QLabel("0", Panel1);
  CheckBoxAutoBrightness = new QCheckBox("Auto-Brightness", Panel1);
  TrackBarThreshold = TrackBar(0, 255, 16, Panel1);
  LabelThreshold = new QLabel("0", Panel1);

  CheckBoxADF = new QCheckBox("ADF", Panel1);
  CheckBoxDuplex = new QCheckBox("Duplex", Panel1);
  auto* options = new QGroupBox("Options", Panel1);
  auto* optionsLayout = new QVBoxLayout(options);
  optionsLayout->addWidget(CheckBoxADF);
  optionsLayout->addWidget(CheckBoxDuplex);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ButtonScan);
  buttons->addWidget(ButtonClose);
  buttons->addStretch(1);

  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(6, 6, 6, 2);
  grid->addWidget(BuildResolutionGroup(), 0, 0);
  grid->addWidget(TrackBarGroup("Contrast", TrackBarContrast, LabelContrast, nullptr, Panel1), 0,
                  1);
  grid->addLayout(buttons, 0, 2);
  grid->addWidget(BuildSizeGroup(), 1, 0);
  grid->addWidget(TrackBarGroup("Brightness", TrackBarBrightness, LabelBrightness,
                                CheckBoxAutoBrightness, Panel1),
                  1, 1);
  grid->addWidget(options, 1, 2);
  grid->addWidget(BuildTypeGroup(), 2, 0);
  grid->addWidget(TrackBarGroup("Threshold", TrackBarThreshold, LabelThreshold, nullptr, Panel1), 2,
                  1, 1, 2);

  StatusBar = new QStatusBar(this);
  StatusBar->setSizeGripEnabled(false);
  StatusBar->showMessage(QString::fromUtf8("Clarivo® TWAIN Data Source - Dovantic Technologies"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel1, 1);
  layout->addWidget(StatusBar);
  setFixedSize(468, 336);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

QGroupBox* TFormSource::BuildResolutionGroup() {
  auto* group = new QGroupBox("Image Resolution", Panel1);
  SpinEditXResolution = new QSpinBox(group);
  SpinEditYResolution = new QSpinBox(group);
  for (QSpinBox* spin : {SpinEditXResolution, SpinEditYResolution}) {
    spin->setRange(75, 1200);
  }
  CheckBoxLockResolution = new QCheckBox("Lock", group);
  CheckBoxLockResolution->setChecked(true);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("X", group), 0, 0);
  grid->addWidget(SpinEditXResolution, 0, 1);
  grid->addWidget(CheckBoxLockResolution, 0, 2, 2, 1);
  grid->addWidget(new QLabel("Y", group), 1, 0);
  grid->addWidget(SpinEditYResolution, 1, 1);
  return group;
}

QGroupBox* TFormSource::BuildSizeGroup() {
  auto* group = new QGroupBox("Image Size", Panel1);
  ComboBoxSize = new QComboBox(group);
  ComboBoxSize->addItems({"Custom", "A5", "A4", "A3", "Statement", "Letter", "Legal", "Ledger"});
  ComboBoxSize->setCurrentIndex(0);
  EditWidth = new QLineEdit(group);
  EditHeight = new QLineEdit(group);
  auto* grid = new QGridLayout(group);
  grid->addWidget(ComboBoxSize, 0, 0, 1, 2);
  grid->addWidget(new QLabel("Width (In)", group), 1, 0);
  grid->addWidget(EditWidth, 1, 1);
  grid->addWidget(new QLabel("Height (In)", group), 2, 0);
  grid->addWidget(EditHeight, 2, 1);
  return group;
}

QGroupBox* TFormSource::BuildTypeGroup() {
  auto* group = new QGroupBox("Image Type", Panel1);
  RadioButtonMono = new QRadioButton("Monochrome (1 bit/pixel)", group);
  RadioButtonMono->setChecked(true);
  RadioButtonGray = new QRadioButton("Gray (8 bits/pixel)", group);
  RadioButtonColor = new QRadioButton("Color (24 bits/pixel)", group);
  CheckBoxDithering = new QCheckBox("Dithering", group);
  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(1);
  for (QWidget* control : std::initializer_list<QWidget*>{RadioButtonMono, RadioButtonGray,
                                                          RadioButtonColor, CheckBoxDithering}) {
    layout->addWidget(control);
  }
  return group;
}

void TFormSource::ConnectHandlers() {
  auto on = [this](const char* What, void (TFormSource::*Handler)()) {
    return [this, What, Handler] { Guard(What, [&] { (this->*Handler)(); }); };
  };
  connect(SpinEditXResolution, &QSpinBox::valueChanged, this,
          on("X resolution", &TFormSource::SpinEditXResolutionChange));
  connect(CheckBoxLockResolution, &QCheckBox::clicked, this,
          on("Lock", &TFormSource::CheckBoxLockResolutionClick));
  connect(CheckBoxAutoBrightness, &QCheckBox::clicked, this,
          on("Auto-Brightness", &TFormSource::CheckBoxAutoBrightnessClick));
  connect(TrackBarContrast, &QSlider::valueChanged, this,
          on("Contrast", &TFormSource::TrackBarContrastChange));
  connect(TrackBarBrightness, &QSlider::valueChanged, this,
          on("Brightness", &TFormSource::TrackBarBrightnessChange));
  connect(TrackBarThreshold, &QSlider::valueChanged, this,
          on("Threshold", &TFormSource::TrackBarThresholdChange));
  connect(ComboBoxSize, &QComboBox::currentIndexChanged, this,
          on("Image size", &TFormSource::ComboBoxSizeChange));
  for (QRadioButton* button : {RadioButtonMono, RadioButtonGray, RadioButtonColor}) {
    connect(button, &QRadioButton::clicked, this, on("Image type", &TFormSource::CheckImageType));
  }
  connect(ButtonScan, &QPushButton::clicked, this, on("Scan", &TFormSource::ButtonScanClick));
  connect(ButtonClose, &QPushButton::clicked, this, on("Cancel", &TFormSource::ButtonCloseClick));
  EditWidth->installEventFilter(this);
  EditHeight->installEventFilter(this);
}

bool TFormSource::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress && (Watched == EditWidth || Watched == EditHeight)) {
    auto* key = static_cast<QKeyEvent*>(Event);
    const QString text = key->key() == Qt::Key_Backspace ? QString("\b") : key->text();
    // Keys without text (arrows, Home, Delete) move or edit as usual.
    if (!text.isEmpty() && !FilterDouble(*static_cast<QLineEdit*>(Watched), text)) return true;
  }
  return QDialog::eventFilter(Watched, Event);
}

bool TFormSource::FilterDouble(const QLineEdit& Box, const QString& Key) {
  if (Key.size() != 1) return false;
  const QChar key = Key.front();
  if (key == QChar('\b') || (key >= QChar('0') && key <= QChar('9'))) return true;
  return key == DecimalSeparator() && !Box.text().contains(DecimalSeparator());
}

void TFormSource::SpinEditXResolutionChange() {
  if (CheckBoxLockResolution->isChecked()) {
    SpinEditYResolution->setValue(SpinEditXResolution->value());
  }
}

void TFormSource::CheckBoxLockResolutionClick() {
  SpinEditYResolution->setEnabled(!CheckBoxLockResolution->isChecked());
}

void TFormSource::CheckBoxAutoBrightnessClick() {
  TrackBarBrightness->setEnabled(!CheckBoxAutoBrightness->isChecked());
}

void TFormSource::TrackBarContrastChange() {
  LabelContrast->setText(QString::number(TrackBarContrast->value()));
}

void TFormSource::TrackBarBrightnessChange() {
  LabelBrightness->setText(QString::number(TrackBarBrightness->value()));
}

void TFormSource::TrackBarThresholdChange() {
  LabelThreshold->setText(QString::number(TrackBarThreshold->value()));
}

void TFormSource::ComboBoxSizeChange() {
  const bool custom = ComboBoxSize->currentIndex() == 0;
  EditWidth->setEnabled(custom);
  EditHeight->setEnabled(custom);
  double width = 0, height = 0;
  if (PaperSizeByName(ComboBoxSize->currentText().toStdString(), width, height)) {
    EditWidth->setText(FloatToStr(width));
    EditHeight->setText(FloatToStr(height));
  }
}

void TFormSource::CheckImageType() {
  const bool mono = RadioButtonMono->isChecked();
  CheckBoxDithering->setEnabled(mono);
  TrackBarThreshold->setEnabled(mono);
}

void TFormSource::ButtonScanClick() {
  StartScanning();
}

void TFormSource::ButtonCloseClick() {
  if (OnCloseRequest) OnCloseRequest();
}

void TFormSource::reject() {
  Guard("Cancel", [&] { ButtonCloseClick(); });
}

void TFormSource::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  Guard("Showing the dialog", [&] { FormShow(); });
}

void TFormSource::FormShow() {
  SpinEditYResolution->setEnabled(!CheckBoxLockResolution->isChecked());
  TrackBarBrightness->setEnabled(!CheckBoxAutoBrightness->isChecked());
  TrackBarContrastChange();
  TrackBarBrightnessChange();
  TrackBarThresholdChange();
  ComboBoxSizeChange();
  CheckImageType();
}

// The window's close button asks the application to close the source, as "Cancel" does, and
// the form stays until the application disables it; a close of the data source's own closes.
void TFormSource::closeEvent(QCloseEvent* Event) {
  if (Event->spontaneous()) {
    Event->ignore();
    Guard("Close request", [&] { ButtonCloseClick(); });
    return;
  }
  Guard("Closing the dialog", [&] { FormClose(); });
  Event->accept();  // not QDialog's, which would answer a close as Escape does
}

void TFormSource::FormClose() {
  for (QWidget* control :
       {static_cast<QWidget*>(MsgBtn), Panel1, static_cast<QWidget*>(StatusBar)}) {
    control->setEnabled(false);
    control->setVisible(false);
  }
  repaint();
  if (FCloseAction == 2) setAttribute(Qt::WA_DeleteOnClose);
  EndScanSession();
}
