// TNorvaneImage: the zoom and its fitting modes, the layout of the panel in the client area
// with scroll bars shown and hidden by code, new pages, turns and crops.
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "AnnotationsEditor.h"
#include "NewObjImage.h"
#include "boundaryguard.h"

namespace {

constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 10000;
// A notch of the wheel zooms by this factor with Ctrl, and scrolls by this many steps.
constexpr double kWheelZoomStep = 1.25;
constexpr int kWheelLines = 6;
// An arrow key scrolls by this many steps.
constexpr int kKeyLines = 4;

// A panel side of Size pixels at Percent per cent, within what a widget can be.
int ZoomedSide(double Size, double Percent) {
  return static_cast<int>(std::min(std::trunc(Size * Percent / 100), double{QWIDGETSIZE_MAX}));
}

void Report(const char* What) {
  qWarning("%s: %s", What, FailureText().c_str());
}

void FillWith(QWidget& Widget, const QColor& Color) {
  QPalette palette = Widget.palette();
  palette.setColor(QPalette::Window, Color);
  Widget.setPalette(palette);
  Widget.setAutoFillBackground(true);
}

}  // namespace

TNorvaneImage::TNorvaneImage(QWidget* Parent)
    : QWidget(Parent),
      FClient(new QWidget(this)),
      FPanel(new TDisplayPanel(*this, FClient)),
      FHorz(new QScrollBar(Qt::Horizontal, this)),
      FVert(new QScrollBar(Qt::Vertical, this)) {
  FillWith(*this, FColor);
  FillWith(*FClient, FColor);
  FPanel->setGeometry(0, 0, 100, 100);
  FHorz->hide();
  FVert->hide();
  setFocusPolicy(Qt::StrongFocus);
  for (QScrollBar* bar : {FHorz, FVert}) {
    bar->setSingleStep(8);
    connect(bar, &QScrollBar::valueChanged, this,
            [this] { Guarded([&] { LayoutPanel(-1, -1); }, [] { Report("Scrolling failed"); }); });
  }
  auto editor = std::make_unique<TAnnotationsEditor>();
  editor->SetVisible(false);
  editor->SetReadOnly(true);
  editor->SetSurface(FPanel);
  editor->SetViewRect({0, 0, 100, 100});
  editor->SetZoom(100);
  editor->SetResolution(200);
  SetAnnotationsEditor(std::move(editor));
}

TNorvaneImage::~TNorvaneImage() {
  FEditor.reset();
  delete FPanel;
  FPanel = nullptr;
}

void TNorvaneImage::SetAnnotationsEditor(std::unique_ptr<IAnnotationsEditor> Editor) {
  FEditor = std::move(Editor);
  if (FEditor) {
    FEditor->SetMarkHandlers([this](QObject* Mark) { MarkClicked(Mark); },
                             [this](QObject* Mark) { MarkDoubleClicked(Mark); });
  }
}

void TNorvaneImage::MarkClicked(QObject* Mark) {
  if (FEditor) FEditor->SelectOnly(Mark);
}

void TNorvaneImage::MarkDoubleClicked(QObject* Mark) {
  MarkClicked(Mark);
  ShowMarkProperties();
}

void TNorvaneImage::ShowMarkProperties() {
  if (FEditor) FEditor->ShowMarkProperties(this);
}

int TNorvaneImage::ScrollBarSize() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FVert);
}

QRect TNorvaneImage::ClientRect() const {
  const int bar = ScrollBarSize();
  return QRect(0, 0, width() - (FVertShown ? bar : 0), height() - (FHorzShown ? bar : 0));
}

void TNorvaneImage::SetColor(const QColor& Color) {
  FColor = Color;
  FillWith(*this, Color);
  FillWith(*FClient, Color);
  FPanel->update();
}

// ---- Zoom ----

void TNorvaneImage::SetZoom(double Percent) {
  const double z = std::clamp(Percent, kMinZoom, kMaxZoom);
  const bool zoomChanged = z != FZoom;
  FZoom = z;
  const int width = ZoomedSide(FImage.HorzSize(), z);
  const int height = ZoomedSide(FImage.VertSizeCorrected(), z);
  const bool changed =
      FPanel->size() == QSize(width, height) ? zoomChanged : LayoutPanel(width, height);
  RefreshView(FForce || changed);
  FForce = false;
  if (FEditor) {
    FEditor->SetZoom(FZoom);
    FEditor->SetViewRect({0, 0, FPanel->width(), FPanel->height()});
  }
  if (OnScale) OnScale(this);
}

void TNorvaneImage::SetZoomMode(TZoomMode Mode) {
  FZoomMode = Mode;
  if (Mode != TZoomMode::zmCustom) SetZoom(ZoomForMode(Mode));
}

double TNorvaneImage::ZoomForMode(TZoomMode Mode) const {
  switch (Mode) {
    case TZoomMode::zmFitToWidth:
      return FitToWidthZoom();
    case TZoomMode::zmFitToHeight:
      return FitToHeightZoom();
    case TZoomMode::zmFitToPage:
      return FitToPageZoom();
    case TZoomMode::zmCustom:
    case TZoomMode::zmFitToOriginal:
      break;
  }
  return FZoom;
}

// The fitting zooms measure the view as it is without scroll bars, and take a bar off only
// where the fitted page will need the other one, so that fitting never flips the bars.
double TNorvaneImage::FitToWidthZoom() const {
  const double w = FImage.HorzSize(), h = FImage.VertSizeCorrected();
  if (w <= 0) return 100;
  double z = width() / w * 100;
  if (height() < std::trunc(h * z / 100)) z = (width() - ScrollBarSize()) / w * 100;
  return z;
}

double TNorvaneImage::FitToHeightZoom() const {
  const double w = FImage.HorzSize(), h = FImage.VertSizeCorrected();
  if (h <= 0) return 100;
  double z = height() / h * 100;
  if (width() < std::trunc(w * z / 100)) z = (height() - ScrollBarSize()) / h * 100;
  return z;
}

double TNorvaneImage::FitToPageZoom() const {
  if (!FImage.IsValid()) return 1;
  const double w = FImage.HorzSize(), h = FImage.VertSizeCorrected();
  const double byHeight = h > 0 ? height() / h * 100 : 100;
  const double byWidth = w > 0 ? width() / w * 100 : 100;
  return std::min(byHeight, byWidth);
}

void TNorvaneImage::resizeEvent(QResizeEvent* Event) {
  Guarded(
      [&] {
        if (FZoomMode != TZoomMode::zmCustom) {
          SetZoom(ZoomForMode(FZoomMode));
        } else {
          RefreshView(false);
        }
      },
      [] { Report("Laying out the page failed"); });
  QWidget::resizeEvent(Event);
}

// ---- Layout ----

// The bars follow from the panel's size: a bar is needed where the panel is larger than the
// client area, which the other bar narrows. The panel is centred from the client area the
// layout ends with, so it does not move when a bar goes.
bool TNorvaneImage::LayoutPanel(int Width, int Height) {
  if (FLayoutBusy) return false;
  FLayoutBusy = true;
  struct TBusy {
    bool& Flag;
    ~TBusy() { Flag = false; }
  } busy{FLayoutBusy};

  if (Width == -1) Width = FPanel->width();
  if (Height == -1) Height = FPanel->height();
  const int bar = ScrollBarSize();
  bool horizontal = false, vertical = false;
  for (int pass = 0; pass < 2; ++pass) {
    horizontal = Width > this->width() - (vertical ? bar : 0);
    vertical = Height > this->height() - (horizontal ? bar : 0);
  }
  ShowScrollBars(horizontal, vertical, Width, Height);
  const QRect client = ClientRect();
  FClient->setGeometry(client);

  const int left = horizontal                            ? -FHorz->value()
                   : FCentered && Width < client.width() ? (client.width() - Width) / 2
                                                         : 0;
  const int top = vertical                                ? -FVert->value()
                  : FCentered && Height < client.height() ? (client.height() - Height) / 2
                                                          : 0;
  const QRect bounds(left, top, Width, Height);
  if (bounds == FPanel->geometry()) return false;
  FPanel->setGeometry(bounds);
  return true;
}

void TNorvaneImage::ShowScrollBars(bool Horizontal, bool Vertical, int PanelWidth,
                                   int PanelHeight) {
  FHorzShown = Horizontal;
  FVertShown = Vertical;
  const QRect client = ClientRect();
  const int bar = ScrollBarSize();
  FHorz->setGeometry(0, client.height(), client.width(), bar);
  FVert->setGeometry(client.width(), 0, bar, client.height());
  FHorz->setRange(0, Horizontal ? PanelWidth - client.width() : 0);
  FHorz->setPageStep(client.width());
  FVert->setRange(0, Vertical ? PanelHeight - client.height() : 0);
  FVert->setPageStep(client.height());
  FHorz->setVisible(Horizontal);
  FVert->setVisible(Vertical);
}

void TNorvaneImage::SetCentered(bool Value) {
  FCentered = Value;
  RefreshView(false);
}

void TNorvaneImage::RefreshView(bool Force) {
  if (LayoutPanel(-1, -1) || Force) {
    FPanel->Repaint();
    if (FEditor) FEditor->RepaintMarks();
  }
}

// ---- Antialiasing ----

void TNorvaneImage::SetAntialiasing(TAntialiasing Mode) {
  FAntialiasing = Mode;
  FPanel->Repaint();
}

void TNorvaneImage::SetAntialiasingThreshold(int32_t N) {
  FAntialiasingThreshold = std::clamp(N, 0, 100);
  FPanel->Repaint();
}

// ---- New pages, turns and crops ----

void TNorvaneImage::ShowAgain() {
  FForce = true;
  SetZoom(FZoom);
}

void TNorvaneImage::SetImageHandle(win32::HGLOBAL Handle) {
  try {
    FImage.SetImageHandle(Handle);
  } catch (...) {
    ShowAgain();
    throw;
  }
  ShowAgain();
}

void TNorvaneImage::SetPage(int32_t N) {
  FImage.SetPage(N);
  if (FEditor) {
    std::error_code error;
    const std::string& name = FImage.FileName();
    const bool exists = !name.empty() && std::filesystem::is_regular_file(name, error);
    try {
      FEditor->LoadMarks(exists ? name : std::string(), FImage.Page());
    } catch (...) {
      // Annotations are best-effort: the page shows without marks.
    }
    FEditor->SetResolution(FImage.VertResolution());
    FEditor->SetZoom(FZoom);
  }
  ShowAgain();
}

void TNorvaneImage::Rotate(double Angle) {
  const int32_t width = FImage.HorzSize(), height = FImage.VertSize();
  FImage.Rotate(Angle);
  if (FEditor) FEditor->RotateMarks(Trunc(Angle), width, height);
  ShowAgain();
}

// The content at the rectangle's corner (or at the page's, for a corner before it) becomes
// the page's corner: the marks move with it.
void TNorvaneImage::Crop(const TRect& Rect) {
  const bool cropped = FImage.IsValid() && Rect.Right >= Rect.Left && Rect.Bottom >= Rect.Top;
  FImage.Crop(Rect);
  if (FEditor && cropped) {
    FEditor->ShiftMarks(-std::max(Rect.Left, 0), -std::max(Rect.Top, 0), FImage.HorzSize(),
                        FImage.VertSize());
  }
  ShowAgain();
}

// ---- Wheel and keys ----

// The wheel scrolls the page (sideways with Shift or a sideways wheel); with Ctrl it zooms, a
// notch by a quarter, keeping the page's point under the mouse where it is.
void TNorvaneImage::wheelEvent(QWheelEvent* Event) {
  const QPoint delta = Event->angleDelta();
  if (Event->modifiers().testFlag(Qt::ControlModifier)) {
    const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
    if (notches != 0) ZoomAround(FZoom * std::pow(kWheelZoomStep, notches), Event->position());
    Event->accept();
    return;
  }
  const bool sideways = Event->modifiers().testFlag(Qt::ShiftModifier) || delta.y() == 0;
  QScrollBar& bar = sideways ? *FHorz : *FVert;
  const int step = delta.y() != 0 ? delta.y() : delta.x();
  bar.setValue(bar.value() - step * bar.singleStep() * kWheelLines / 120);
  Event->accept();
}

void TNorvaneImage::ZoomAround(double Percent, const QPointF& At) {
  const QPointF onPanel = At - QPointF(FPanel->pos()) - QPointF(FClient->pos());
  const double before = FZoom;
  FZoomMode = TZoomMode::zmCustom;
  SetZoom(Percent);
  const double ratio = FZoom / before;
  FHorz->setValue(static_cast<int>(std::lround(onPanel.x() * ratio - (At.x() - FClient->x()))));
  FVert->setValue(static_cast<int>(std::lround(onPanel.y() * ratio - (At.y() - FClient->y()))));
}

// Arrows scroll by a few steps, Page Up and Page Down by a screen, Home and End to the top and
// the bottom (with Ctrl, to the left and the right as well).
void TNorvaneImage::keyPressEvent(QKeyEvent* Event) {
  const auto steps = [](QScrollBar& bar, int count) {
    bar.setValue(bar.value() + count * bar.singleStep());
  };
  const auto pages = [](QScrollBar& bar, int count) {
    bar.setValue(bar.value() + count * bar.pageStep());
  };
  switch (Event->key()) {
    case Qt::Key_Left:
      steps(*FHorz, -kKeyLines);
      break;
    case Qt::Key_Right:
      steps(*FHorz, kKeyLines);
      break;
    case Qt::Key_Up:
      steps(*FVert, -kKeyLines);
      break;
    case Qt::Key_Down:
      steps(*FVert, kKeyLines);
      break;
    case Qt::Key_PageUp:
      pages(*FVert, -1);
      break;
    case Qt::Key_PageDown:
      pages(*FVert, 1);
      break;
    case Qt::Key_Home:
      FVert->setValue(FVert->minimum());
      if (Event->modifiers().testFlag(Qt::ControlModifier)) FHorz->setValue(FHorz->minimum());
      break;
    case Qt::Key_End:
      FVert->setValue(FVert->maximum());
      if (Event->modifiers().testFlag(Qt::ControlModifier)) FHorz->setValue(FHorz->maximum());
      break;
    default:
      QWidget::keyPressEvent(Event);
      return;
  }
  Event->accept();
}
