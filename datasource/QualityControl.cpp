#include "QualityControl.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "DSLog.h"
#include "DlgWait.h"
#include "NewObjImage.h"
#include "boundaryguard.h"
#include "userprompt.h"

namespace {

const QString kCaption = QString::fromUtf8("Clarivo® - Quality Control & Virtual Rescanning");

QSlider* Slider(int Minimum, int Maximum, QWidget* Parent) {
  auto* slider = new QSlider(Qt::Horizontal, Parent);
  slider->setRange(Minimum, Maximum);
  slider->setValue(0);
  slider->setTickPosition(QSlider::TicksBelow);
  return slider;
}

bool IsEmpty(const TRect& Rect) {
  return Rect.Right <= Rect.Left || Rect.Bottom <= Rect.Top;
}

// The cursor is the hourglass while the object lives.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

}  // namespace

TFormQC::TFormQC(TFetchOriginal FetchOriginal, QWidget* Owner, TWhyNoOriginal WhyNoOriginal)
    : QDialog(Owner),
      FFetchOriginal(std::move(FetchOriginal)),
      FWhyNoOriginal(std::move(WhyNoOriginal)) {
  setWindowTitle(kCaption);
  resize(900, 640);
  BuildControls();
  BuildMenu();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TFormQC::~TFormQC() = default;

void TFormQC::BuildControls() {
  ImageObject = new TNorvaneImage(this);
  ImageObject->SetColor(QColor(128, 128, 128));
  ImageObject->SetCentered(true);
  ImageObject->SetZoomMode(TZoomMode::zmCustom);
  ImageObject->SetZoom(100);
  ImageObject->SetAntialiasing(TAntialiasing::aaScaleToGray);
  ImageObject->SetAntialiasingThreshold(50);
  ImageObject->SetPage(0);

  Panel1 = new QWidget(this);
  Panel1->setFixedWidth(240);
  LabelFlagged = new QLabel(Panel1);
  LabelFlagged->setWordWrap(true);
  auto* group = new QGroupBox("ReScan Virtually", Panel1);
  auto* grid = new QGridLayout(group);
  LabelContrast = new QLabel("Contrast", group);
  TrackBarContrast = Slider(-10, 10, group);
  LabelBrightness = new QLabel("Brightness", group);
  TrackBarBrightness = Slider(-10, 10, group);
  LabelThreshold = new QLabel("Threshold", group);
  TrackBarThresholdContrast = Slider(-10, 10, group);
  TrackBarThresholdContrast->setToolTip("Threshold Contrast");
  TrackBarThresholdArea = Slider(-10, 10, group);
  TrackBarThresholdArea->setToolTip("Threshold Area");
  RadioButtonManual = new QRadioButton("Linear", group);
  RadioButtonManual->setChecked(true);
  RadioButtonDynamic = new QRadioButton("Dynamic", group);
  RadioButtonAdvanced = new QRadioButton("Advanced", group);
  LabelDeskew = new QLabel("Deskew", group);
  TrackBarDeskew = Slider(-10, 10, group);
  LabelDespeckle = new QLabel("Despeckle", group);
  TrackBarDespeckle = Slider(0, 20, group);
  ComboBoxRotation = new QComboBox(group);
  ComboBoxRotation->addItems({"0", "90", "180", "270"});
  ButtonCrop = new QPushButton("Crop", group);
  ButtonCrop->setEnabled(false);
  LabelFromOriginal = new QLabel(
      "A rescan starts again from the unprocessed original: the panel's deskew, border "
      "removal and crop are not in it. A crop is kept by later rescans.",
      group);
  LabelFromOriginal->setWordWrap(true);

  // Each slider with its position at its right; the deskew's direction beside its caption.
  auto value = [group] {
    auto* label = new QLabel("0", group);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("-10") + 2);
    return label;
  };
  ValueContrast = value();
  ValueBrightness = value();
  ValueThresholdContrast = value();
  ValueThresholdArea = value();
  ValueDespeckle = value();
  int row = 0;
  auto sliderRow = [&](QSlider* Slider, QLabel* Value) {
    grid->addWidget(Slider, row, 0, 1, 2);
    grid->addWidget(Value, row++, 2);
  };
  grid->addWidget(LabelContrast, row++, 0, 1, 3);
  sliderRow(TrackBarContrast, ValueContrast);
  grid->addWidget(LabelBrightness, row++, 0, 1, 3);
  sliderRow(TrackBarBrightness, ValueBrightness);
  grid->addWidget(LabelThreshold, row++, 0, 1, 3);
  sliderRow(TrackBarThresholdContrast, ValueThresholdContrast);
  sliderRow(TrackBarThresholdArea, ValueThresholdArea);
  auto* methods = new QVBoxLayout;
  methods->setSpacing(2);
  for (QRadioButton* method : {RadioButtonManual, RadioButtonDynamic, RadioButtonAdvanced}) {
    methods->addWidget(method);
  }
  grid->addLayout(methods, row++, 0, 1, 3);
  ValueDeskew = new QLabel(DeskewText(0), group);
  ValueDeskew->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* deskewCaption = new QHBoxLayout;
  deskewCaption->addWidget(LabelDeskew);
  deskewCaption->addWidget(ValueDeskew, 1);
  grid->addLayout(deskewCaption, row++, 0, 1, 3);
  grid->addWidget(TrackBarDeskew, row++, 0, 1, 3);
  grid->addWidget(LabelDespeckle, row++, 0, 1, 3);
  sliderRow(TrackBarDespeckle, ValueDespeckle);
  grid->addWidget(new QLabel("Rotate", group), row, 0);
  grid->addWidget(ComboBoxRotation, row++, 1, 1, 2);
  grid->addWidget(ButtonCrop, row++, 0, 1, 3);
  grid->addWidget(LabelFromOriginal, row++, 0, 1, 3);

  ButtonOK = new QPushButton("Continue", Panel1);
  ButtonOK->setDefault(true);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->addWidget(LabelFlagged);
  panelLayout->addWidget(group);
  panelLayout->addStretch(1);
  panelLayout->addWidget(ButtonOK);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  auto* body = new QHBoxLayout;
  body->addWidget(ImageObject, 1);
  body->addWidget(Panel1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(body, 1);
  layout->addWidget(StatusBar1);

  TimerRescan = new QTimer(this);
  TimerRescan->setInterval(500);
  TimerRescan->setSingleShot(false);
  connect(TimerRescan, &QTimer::timeout, this, [this] { RescanVirtually(); });
  for (QSlider* slider : {TrackBarContrast, TrackBarBrightness, TrackBarThresholdContrast,
                          TrackBarThresholdArea, TrackBarDeskew, TrackBarDespeckle}) {
    connect(slider, &QSlider::valueChanged, this, [this] {
      ShowValues();
      StartRescanTimer();
    });
  }
  for (QRadioButton* button : {RadioButtonManual, RadioButtonDynamic, RadioButtonAdvanced}) {
    connect(button, &QRadioButton::clicked, this, [this] { StartRescanTimer(); });
  }
  connect(ComboBoxRotation, &QComboBox::currentIndexChanged, this,
          [this] { ComboBoxRotationChange(); });
  connect(ButtonCrop, &QPushButton::clicked, this, [this] { ButtonCropClick(); });
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

  ImageObject->SetOnImageMouseDown([this](QObject*, Qt::MouseButton Button, Qt::KeyboardModifiers,
                                          int X,
                                          int Y) { ImageObjectImageMouseDown(Button, X, Y); });
  ImageObject->SetOnImageMouseMove(
      [this](QObject*, Qt::KeyboardModifiers, int X, int Y) { ImageObjectImageMouseMove(X, Y); });
  ImageObject->SetOnImageMouseUp([this](QObject*, Qt::MouseButton Button, Qt::KeyboardModifiers,
                                        int X, int Y) { ImageObjectImageMouseUp(Button, X, Y); });
  ImageObject->OnPaint = [this](QObject*) { ImageObjectPaint(); };
}

void TFormQC::BuildMenu() {
  PopupMenu1 = new QMenu(this);
  auto zoom = [this](const char* Text, TZoomMode Mode) {
    return PopupMenu1->addAction(Text, this, [this, Mode] {
      Guard("Zoom", [&] {
        if (Mode == TZoomMode::zmCustom) ImageObject->SetZoom(100);
        ImageObject->SetZoomMode(Mode);
      });
    });
  };
  FittoPage1 = zoom("Fit to Page", TZoomMode::zmFitToPage);
  FittoWidth1 = zoom("Fit to Width", TZoomMode::zmFitToWidth);
  FittoHeight1 = zoom("Fit to Height", TZoomMode::zmFitToHeight);
  OriginalSize1 = zoom("Original Size", TZoomMode::zmFitToOriginal);
  NoScaling1 = zoom("No Scaling", TZoomMode::zmCustom);
  PopupMenu1->addSeparator();
  Antialiasing1 = PopupMenu1->addAction("Antialiasing");
  Antialiasing1->setCheckable(true);
  Antialiasing1->setChecked(true);  // the view starts with scale-to-gray
  connect(Antialiasing1, &QAction::triggered, this, [this] {
    Guard("Antialiasing", [&] {
      ImageObject->SetAntialiasing(Antialiasing1->isChecked() ? TAntialiasing::aaScaleToGray
                                                              : TAntialiasing::aaNone);
    });
  });
  PopupMenu1->addSeparator();
  Info1 = PopupMenu1->addAction("Info...", this, [this] { Info1Click(); });
  ImageObject->setContextMenuPolicy(Qt::CustomContextMenu);
  ImageObject->DisplayPanel().setContextMenuPolicy(Qt::CustomContextMenu);
  auto popup = [this](QWidget* From) {
    connect(From, &QWidget::customContextMenuRequested, this,
            [this, From](const QPoint& At) { PopupMenu1->popup(From->mapToGlobal(At)); });
  };
  popup(ImageObject);
  popup(&ImageObject->DisplayPanel());
}

template <class Body>
void TFormQC::Guard(const char* What, Body&& Fn) {
  try {
    Fn();
  } catch (...) {
    const std::string text = FailureText();
    DSLog(std::string(What) + ": " + text);
    win32::MessageBox(this, QString::fromStdString(text), kCaption,
                      win32::MB_OK | win32::MB_ICONERROR);
  }
}

void TFormQC::ShowPage(const TDIB& Page, const TQualityLimits& Limits) {
  LabelFlagged->setText(FlaggedText(Page, Limits));
  std::unique_ptr<TDIB> copy = Page.Duplicate();
  ImageObject->SetImageHandle(copy->GetHandle());
  copy->SetOwnsHandle(false);  // the view's image owns the block now
}

int32_t TFormQC::ThresholdMethod() const {
  if (RadioButtonManual->isChecked()) return 0;
  if (RadioButtonDynamic->isChecked()) return 1;
  if (RadioButtonAdvanced->isChecked()) return 2;
  return 3;
}

void TFormQC::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  FormShow();
}

void TFormQC::ShowValues() {
  for (auto [slider, label] :
       {std::pair{TrackBarContrast, ValueContrast}, std::pair{TrackBarBrightness, ValueBrightness},
        std::pair{TrackBarThresholdContrast, ValueThresholdContrast},
        std::pair{TrackBarThresholdArea, ValueThresholdArea},
        std::pair{TrackBarDespeckle, ValueDespeckle}}) {
    label->setText(QString::number(slider->value()));
  }
  ValueDeskew->setText(DeskewText(TrackBarDeskew->value()));
}

void TFormQC::FormShow() {
  const bool bilevel = ImageObject->Image().Depth() == 1;
  for (QWidget* control : std::initializer_list<QWidget*>{
           TrackBarThresholdContrast, TrackBarThresholdArea, LabelThreshold, RadioButtonManual,
           RadioButtonDynamic, RadioButtonAdvanced}) {
    control->setEnabled(bilevel);
  }
  raise();
  activateWindow();
  setFocus();
}

void TFormQC::StartRescanTimer() {
  TimerRescan->stop();
  TimerRescan->start();
}

TRescanSettings TFormQC::Positions() const {
  TRescanSettings now;
  now.Contrast = TrackBarContrast->value();
  now.Brightness = TrackBarBrightness->value();
  now.ThresholdContrast = TrackBarThresholdContrast->value();
  now.ThresholdArea = TrackBarThresholdArea->value();
  now.Deskew = TrackBarDeskew->value();
  now.Despeckle = TrackBarDespeckle->value();
  now.Method = ThresholdMethod();
  return now;
}

TRescanTarget TFormQC::ViewTarget() const {
  const TMemoryImage& image = ImageObject->Image();
  return {image.Depth(), image.HorzResolution(), image.VertResolution()};
}

void TFormQC::SetStatus(const QString& Text) {
  StatusBar1->showMessage(Text);
  StatusBar1->repaint();
}

// A tick while a rescan waits for the original does nothing: the rescan running takes the
// newest positions once the original is in.
void TFormQC::RescanVirtually() {
  TimerRescan->stop();
  if (FRescanning) return;
  FRescanning = true;
  Guard("Virtual rescan", [&] { Rescan(); });
  FRescanning = false;
}

void TFormQC::FetchOriginalOnce() {
  if (FOriginalAsked) return;
  FOriginalAsked = true;
  const QString retrieving = "Retrieving Original Image...";
  SetStatus(retrieving);
  TDialogoWait wait(this);
  wait.ShowOperation(retrieving);
  win32::HGLOBAL handle = FFetchOriginal ? FFetchOriginal() : nullptr;
  wait.hide();
  if (handle == nullptr) {
    std::string why = FWhyNoOriginal ? FWhyNoOriginal() : std::string();
    if (why.empty()) why = "the control panel sent none.";
    SetStatus("No original to rescan from: " + QString::fromStdString(why));
  } else {
    auto original = std::make_unique<TDIB>();
    try {
      original->SetHandle(handle);
    } catch (...) {
      win32::GlobalFree(handle);
      throw;
    }
    FOriginal = std::move(original);
  }
  EnableForOriginal();
}

// Without an original no slider can rescan. The threshold makes a black-and-white page only:
// on a gray or colour page it has nothing to do.
void TFormQC::EnableForOriginal() {
  const bool original = FOriginal != nullptr;
  const bool bilevelOriginal = original && FOriginal->PixelType() == pt1bit;
  const int32_t depth = ImageObject->Image().Depth();
  for (QWidget* control : std::initializer_list<QWidget*>{
           LabelThreshold, TrackBarThresholdContrast, TrackBarThresholdArea, RadioButtonManual,
           RadioButtonDynamic, RadioButtonAdvanced}) {
    control->setEnabled(original && !bilevelOriginal && depth == 1);
  }
  for (QWidget* control : std::initializer_list<QWidget*>{LabelBrightness, TrackBarBrightness,
                                                          LabelContrast, TrackBarContrast}) {
    control->setEnabled(original && (!bilevelOriginal || depth == 8));
  }
  LabelDespeckle->setEnabled(original && depth == 1);
  TrackBarDespeckle->setEnabled(original && depth == 1);
  LabelDeskew->setEnabled(original);
  TrackBarDeskew->setEnabled(original);
}

void TFormQC::Rescan() {
  TBusyCursor busy;
  FetchOriginalOnce();
  // Closed while the original came: the operator's cancel holds, nothing more runs.
  if (!isVisible()) return;
  if (FOriginal == nullptr) {
    DSLog("Virtual rescan without an original: nothing to reprocess");
    return;  // the status bar says why
  }
  SetStatus("Processing Image...");
  const TRescanSettings now = Positions();
  if (now != FApplied) {
    FApplied = now;
    const int32_t rotation = std::max(ComboBoxRotation->currentIndex(), 0);
    std::unique_ptr<TDIB> work = ReprocessOriginal(*FOriginal, now, rotation, ViewTarget());
    CropAsKept(*work, rotation);
    FLastRotation = rotation;
    ++FReprocessings;
    ShowWork(std::move(work));
  }
  if (std::exchange(FPanelPageCropped, false)) {
    SetStatus("Ready: rescanned from the original, without the crop of the panel's page");
  } else {
    SetStatus("Ready");
  }
}

void TFormQC::CropAsKept(TDIB& Work, int32_t Rotation) const {
  if (!FCrop) return;
  const bool across = Rotation % 2 == 1;  // the unturned page lies across the turned one
  Work.Crop(TurnRect(*FCrop, Rotation, across ? Work.Height() : Work.Width(),
                     across ? Work.Width() : Work.Height()));
}

// The shown image is the rescan, cropped as kept, turned by LastRotation: the area goes back
// to the unturned rescan.
void TFormQC::KeepCrop(const TRect& Area) {
  if (FReprocessings == 0) {
    FPanelPageCropped = true;
    return;
  }
  const TDIB& shown = ImageObject->Image().DIB();
  TRect area = TurnRect(Area, (4 - FLastRotation) % 4, shown.Width(), shown.Height());
  if (FCrop) {
    area.Left += FCrop->Left;
    area.Right += FCrop->Left;
    area.Top += FCrop->Top;
    area.Bottom += FCrop->Top;
  }
  FCrop = area;
}

void TFormQC::ShowWork(std::unique_ptr<TDIB> Work) {
  TDIB& shown = ImageObject->Image().DIB();
  if (!IsEmpty(FSelection) && shown.Width() == Work->Width() && shown.Height() == Work->Height() &&
      shown.PixelType() == Work->PixelType()) {
    const TRect& s = FSelection;  // clipped to the page when it was made
    const int32_t bytesPerPixel = Work->BitCount() / 8;
    for (int32_t y = s.Top; y <= s.Bottom; ++y) {
      if (bytesPerPixel > 0) {
        std::copy_n(Work->Lines(y) + s.Left * bytesPerPixel, (s.Right - s.Left + 1) * bytesPerPixel,
                    shown.Lines(y) + s.Left * bytesPerPixel);
      } else {
        for (int32_t x = s.Left; x <= s.Right; ++x) shown.SetPixel(x, y, Work->GetPixel(x, y));
      }
    }
    ImageObject->RefreshView(true);
    return;
  }
  ImageObject->SetImageHandle(Work->GetHandle());
  Work->SetOwnsHandle(false);  // the view's image owns the block now
  ImageObject->RefreshView(true);
}

void TFormQC::ComboBoxRotationChange() {
  Guard("Rotation", [&] {
    const int32_t n = std::max(ComboBoxRotation->currentIndex(), 0);
    const int32_t turn = (n - FLastRotation + 4) % 4;
    if (turn != 0) ImageObject->Rotate(turn * 90.0);
    FLastRotation = n;
    ImageObject->RefreshView(true);
  });
}

void TFormQC::ButtonCropClick() {
  if (IsEmpty(FSelection)) {
    win32::MessageBox(this,
                      "Please select the area to cropo on the image before to use this button...",
                      kCaption, win32::MB_OK | win32::MB_ICONINFORMATION);
    return;
  }
  Guard("Crop", [&] {
    const TRect area = FSelection;
    FSelection = TRect{};
    ButtonCrop->setEnabled(false);
    KeepCrop(area);
    ImageObject->Crop(area);
    ImageObject->RefreshView(true);
  });
}

void TFormQC::ImageObjectImageMouseDown(Qt::MouseButton Button, int X, int Y) {
  if (Button != Qt::LeftButton || FSelecting) return;
  FSelection = TRect{X, Y, X, Y};
  FSelecting = true;
  ImageObject->DisplayPanel().update();
}

void TFormQC::ImageObjectImageMouseMove(int X, int Y) {
  if (!FSelecting) return;
  const QWidget& surface = ImageObject->DisplayPanel();
  FSelection.Right = std::clamp(X, 0, std::max(surface.width() - 1, 0));
  FSelection.Bottom = std::clamp(Y, 0, std::max(surface.height() - 1, 0));
  ImageObject->DisplayPanel().update();
}

void TFormQC::ImageObjectImageMouseUp(Qt::MouseButton Button, int X, int Y) {
  if (Button != Qt::LeftButton || !FSelecting) return;
  ImageObjectImageMouseMove(X, Y);
  FSelecting = false;
  Guard("Selection", [&] {
    const double zoom = ImageObject->Zoom();
    const TMemoryImage& image = ImageObject->Image();
    const int32_t lastX = std::max(image.HorzSize() - 1, 0);
    const int32_t lastY = std::max(image.VertSize() - 1, 0);
    auto toImage = [zoom](int32_t C, int32_t Last) {
      return std::clamp(Round(C * 100.0 / zoom), 0, Last);
    };
    FSelection = TRect{toImage(FSelection.Left, lastX), toImage(FSelection.Top, lastY),
                       toImage(FSelection.Right, lastX), toImage(FSelection.Bottom, lastY)};
  });
  ImageObject->RefreshView(true);
  ButtonCrop->setEnabled(!IsEmpty(FSelection));
}

QRect TFormQC::DisplaySelection() const {
  if (FSelecting)
    return QRect(QPoint(FSelection.Left, FSelection.Top),
                 QPoint(FSelection.Right, FSelection.Bottom));
  const double zoom = ImageObject->Zoom();
  auto toDisplay = [zoom](int32_t C) { return Round(C * zoom / 100.0); };
  return QRect(QPoint(toDisplay(FSelection.Left), toDisplay(FSelection.Top)),
               QPoint(toDisplay(FSelection.Right), toDisplay(FSelection.Bottom)));
}

void TFormQC::ImageObjectPaint() {
  if (IsEmpty(FSelection)) return;
  // Black dashes over a white line: seen on black, white and gray alike.
  QPainter painter(&ImageObject->DisplayPanel());
  painter.setBrush(Qt::NoBrush);
  const QRect area = DisplaySelection().normalized();
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(area);
  painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
  painter.drawRect(area);
}

QString TFormQC::InfoText() const {
  const TDIB& page = ImageObject->Image().DIB();
  const TMemoryImage& image = ImageObject->Image();
  std::string paper;
  const double xdpi = image.HorzResolution(), ydpi = image.VertResolution();
  // The size in inches to two decimals, as the paper table gives its sizes.
  auto inches = [](int32_t Pixels, double DPI) { return Round(Pixels * 100.0 / DPI) / 100.0; };
  if (!PaperNameBySize(inches(page.Width(), xdpi), inches(page.Height(), ydpi), paper)) {
    paper = "Custom";
  }
  const int32_t brightness = Round(page.MeasureBrightness());
  int32_t contrast;
  if (page.PixelType() == pt1bit) {
    std::unique_ptr<TDIB> gray = page.ScaleToGray(256, 25);
    contrast = gray == nullptr ? 0 : Round(gray->MeasureContrast(false, -1, 0));
  } else {
    contrast = Round(page.MeasureContrast(false, -1, 0));
  }
  return QString(
             "Size in Pixel: %1 x %2\nBits per Pixel: %3\nResolution: %4 x %5\n"
             "Paper Format: %6\nContrast: %7\nBrightness: %8")
      .arg(page.Width())
      .arg(page.Height())
      .arg(page.BitCount())
      .arg(page.XResolution())
      .arg(page.YResolution())
      .arg(QString::fromStdString(paper))
      .arg(contrast)
      .arg(brightness);
}

void TFormQC::Info1Click() {
  Guard("Info", [&] {
    if (!ImageObject->Image().IsValid()) return;
    win32::MessageBox(this, InfoText(), kCaption, win32::MB_OK | win32::MB_ICONINFORMATION);
  });
}

void ReviewFlaggedPage(TDIB& Page, const TFormQC::TFetchOriginal& FetchOriginal,
                       const TFormQC::TWhyNoOriginal& WhyNoOriginal) {
  TFormQC form(FetchOriginal, nullptr, WhyNoOriginal);
  form.ShowPage(Page, ReadQualityLimits());
  form.ImageObject->SetZoomMode(TZoomMode::zmFitToPage);
  if (form.exec() != QDialog::Accepted || !form.ImageObject->Image().IsValid()) return;
  Page.SetOwnsHandle(true);
  Page.TakeImage(form.ImageObject->Image().DIB());
  Page.SetOwnsHandle(false);
}
