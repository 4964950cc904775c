#include "AnnotationsEditor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "boundaryguard.h"
#include "exception.h"
#include "rounding.h"

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kGray = 0xFF808080;
// Fonts are sized in points of a 96-dpi screen, whatever screen the view is on.
constexpr int kDotsPerMeter96 = 3780;
// The widget coordinates a mark is placed at: half a widget's largest side either way, so that
// its width and height stay what a widget can be.
constexpr double kMaxPlace = QWIDGETSIZE_MAX / 2;
// The largest font a file can give a mark; Windows knows none larger.
constexpr int64_t kMaxFontPoints = 16384;

// The value rounded into [-Limit, Limit]; what is no number counts as 0.
int64_t RoundWithin(double Value, double Limit) {
  if (std::isnan(Value)) return 0;
  return RoundHalfEven(std::clamp(Value, -Limit, Limit));
}

// The value rounded into 32 bits, taking the nearest end of them beyond.
int32_t Saturated(double Value) {
  return static_cast<int32_t>(RoundWithin(Value, std::numeric_limits<int32_t>::max()));
}

int32_t Saturated(int64_t Value) {
  return static_cast<int32_t>(std::clamp<int64_t>(Value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A page coordinate at Z (the zoom over 100) as a widget coordinate.
int Placed(double Value, double Z) {
  return static_cast<int>(RoundWithin(Value * Z, kMaxPlace));
}

TAnnotationsEditor& EditorOf(QObject* Owner) {
  auto* Editor = dynamic_cast<TAnnotationsEditor*>(Owner);
  if (Editor == nullptr) throw Exception("Invalid Parent for Mark");
  return *Editor;
}

[[noreturn]] void NotHere() {
  throw Exception("Non dovrebbe passare di qua...");
}

// A rectangle given by left, top, right and bottom with right and bottom outside it.
QRect Outer(int Left, int Top, int Right, int Bottom) {
  return QRect(QPoint(Left, Top), QPoint(Right - 1, Bottom - 1));
}

// The key colour of marks drawn in a colour: black for white ones, else white.
QRgb KeyFor(const QColor& Color) {
  return Color.rgb() == kWhite ? kBlack : kWhite;
}

// A painter on the bitmap of Part that draws in the mark's zoomed pixels.
class TPartPainter : public QPainter {
 public:
  TPartPainter(QImage& Bitmap, const QRect& Part) : QPainter(&Bitmap) {
    translate(-Part.topLeft());
  }
};

// The bitmap as it is drawn: the key colour left out (transparent), or, for a highlighter,
// made white so that the bitwise AND leaves the page as it is.
QImage Drawable(const TMarkBitmap& Bitmap, bool Highlighting) {
  if (!Bitmap.Transparent) return Bitmap.Image;
  const QRgb Key = *Bitmap.Transparent | 0xFF000000;
  QImage Image = Bitmap.Image.convertToFormat(QImage::Format_ARGB32);
  const QRgb Left = Highlighting ? kWhite : 0;
  for (int Y = 0; Y < Image.height(); ++Y) {
    QRgb* Row = reinterpret_cast<QRgb*>(Image.scanLine(Y));
    std::replace(Row, Row + Image.width(), Key, Left);
  }
  return Image;
}

win32::HGLOBAL CopyOfBlock(win32::HGLOBAL Block) {
  if (Block == nullptr) return nullptr;
  const size_t Size = win32::GlobalSize(Block);
  win32::HGLOBAL Copy = win32::GlobalAlloc(win32::GHND, Size);
  if (Copy == nullptr) win32::RaiseLastError();
  const void* From = win32::GlobalLock(Block);
  void* To = win32::GlobalLock(Copy);
  if (From != nullptr && To != nullptr) std::memcpy(To, From, Size);
  win32::GlobalUnlock(Copy);
  win32::GlobalUnlock(Block);
  return Copy;
}

QColor ColorOf(const annotations::TRGBQuad& Quad) {
  return QColor(Quad.Red, Quad.Green, Quad.Blue);
}

TRect RectOf(const annotations::TAnnoRect& R) {
  return {R.Left, R.Top, R.Right, R.Bottom};
}

bool WithinReach(int64_t Value, int64_t Reach) {
  return Value >= -Reach && Value <= Reach;
}

// Whether the annotation lies where a page can be: its rectangle, and a line's points from the
// rectangle's corner, within the reach of a mark.
bool OnSomePage(const annotations::TGenericAnnotation& A) {
  constexpr int64_t Reach = TAnnotationsEditor::kMaxMarkCoordinate;
  const annotations::TAnnoRect& R = A.Bounds;
  if (!WithinReach(R.Left, Reach) || !WithinReach(R.Top, Reach) || !WithinReach(R.Right, Reach) ||
      !WithinReach(R.Bottom, Reach)) {
    return false;
  }
  const auto* Line = dynamic_cast<const annotations::TGenericLineAnnotation*>(&A);
  for (int32_t P = 0; Line != nullptr && P < Line->PointCount(); ++P) {
    if (!WithinReach(Line->Points(P).X, 2 * Reach) || !WithinReach(Line->Points(P).Y, 2 * Reach))
      return false;
  }
  return true;
}

// The bytes of a picture file that a mark refers to. Refused: the name is no regular file (a
// FIFO, a directory, a device), or one larger than the limit; it is opened without waiting on
// any of them. A file that cannot be opened at all gives no bytes.
struct TPictureFile {
  bool Refused = false;
  QByteArray Bytes;
};

TPictureFile ReadPictureFile(const std::string& Name, int64_t Limit) {
  TPictureFile File;
  const int Handle = ::open(Name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (Handle < 0) return File;
  struct TClose {
    int Handle;
    ~TClose() { ::close(Handle); }
  } Closing{Handle};
  struct stat Info {};
  File.Refused = ::fstat(Handle, &Info) != 0 || !S_ISREG(Info.st_mode) || Info.st_size > Limit;
  if (File.Refused) return File;
  File.Bytes.resize(static_cast<qsizetype>(Info.st_size));
  qsizetype Got = 0;
  while (Got < File.Bytes.size()) {
    const ssize_t Read = ::read(Handle, File.Bytes.data() + Got, File.Bytes.size() - Got);
    if (Read < 0 && errno == EINTR) continue;
    if (Read <= 0) break;
    Got += Read;
  }
  File.Bytes.truncate(Got);
  return File;
}

// The text without leading and trailing blanks and control characters.
std::string Trimmed(const std::string& Text) {
  size_t First = 0, Last = Text.size();
  while (First < Last && static_cast<unsigned char>(Text[First]) <= ' ') ++First;
  while (Last > First && static_cast<unsigned char>(Text[Last - 1]) <= ' ') --Last;
  return Text.substr(First, Last - First);
}

}  // namespace

// ---- TGenericMark ----

TGenericMark::TGenericMark(QObject* Owner)
    : FEditor(EditorOf(Owner)), FViewRect(FEditor.ViewRect()), FResolution(FEditor.Resolution()) {
  hide();
}

TGenericMark::~TGenericMark() = default;

void TGenericMark::SetResolution(int32_t Value) {
  if (Value == FResolution) return;
  FResolution = Value;
  update();
}

void TGenericMark::SetColor(const QColor& Value) {
  if (Value == FColor) return;
  FColor = Value;
  update();
}

void TGenericMark::SetZoom(double Percent) {
  FZoom = Percent;
  UpdateBounds();
}

void TGenericMark::StoreMarkRect(const TRect& Rect) {
  FImageRect = {std::min(Rect.Left, Rect.Right), std::min(Rect.Top, Rect.Bottom),
                std::max(Rect.Left, Rect.Right), std::max(Rect.Top, Rect.Bottom)};
  UpdateBounds();
}

void TGenericMark::SetMarkRect(const TRect& Rect) {
  StoreMarkRect(Rect);
}

void TGenericMark::RenderUnscaled() {
  NotHere();
}

TMarkBitmap TGenericMark::RenderPart(const QRect& Part) const {
  return {Blank(Part, Qt::white), std::nullopt};
}

QSize TGenericMark::ZoomedSize() const {
  const auto Side = [this](int32_t From, int32_t To) {
    const double Zoomed =
        std::trunc((std::abs(static_cast<double>(To) - From) + 1.0) * FZoom / 100);
    return std::isnan(Zoomed) ? 0 : static_cast<int>(std::clamp(Zoomed, 0.0, 2 * kMaxPlace));
  };
  return {Side(FImageRect.Left, FImageRect.Right), Side(FImageRect.Top, FImageRect.Bottom)};
}

QImage TGenericMark::Blank(const QRect& Part, const QColor& Fill) {
  QImage Bitmap(Part.size(), QImage::Format_RGB32);
  Bitmap.setDotsPerMeterX(kDotsPerMeter96);
  Bitmap.setDotsPerMeterY(kDotsPerMeter96);
  Bitmap.fill(Fill);
  return Bitmap;
}

void TGenericMark::Rotate(int32_t) {}

void TGenericMark::DrawMark(QPainter& Canvas, int Dx, int Dy) const {
  DrawPart(Canvas, Dx, Dy, QRect(QPoint(0, 0), ZoomedSize()));
}

void TGenericMark::DrawPart(QPainter& Canvas, int Dx, int Dy, const QRect& Part) const {
  const QRect Shown = Part & QRect(QPoint(0, 0), ZoomedSize());
  if (Shown.isEmpty()) return;
  const TMarkBitmap Bitmap = RenderPart(Shown);
  if (Bitmap.Image.isNull()) return;
  const bool And = Highlighting();
  const QImage Image = Drawable(Bitmap, And);
  Canvas.save();
  Canvas.setCompositionMode(And ? QPainter::RasterOp_SourceAndDestination
                                : QPainter::CompositionMode_SourceOver);
  Canvas.drawImage(Dx + Shown.x(), Dy + Shown.y(), Image);
  Canvas.restore();
}

void TGenericMark::UpdateBounds() {
  const double Z = FZoom / 100;
  const int L = Placed(FImageRect.Left, Z), T = Placed(FImageRect.Top, Z);
  const int R = Placed(FImageRect.Right, Z), B = Placed(FImageRect.Bottom, Z);
  setGeometry(L, T, R - L, B - T);
  if (FSelected && FResizer) FResizer->SetBounds(L, T, R - L, B - T);
}

void TGenericMark::SelectMark(bool On) {
  if (On == FSelected) return;
  FSelected = On;
  if (On && !FResizer) {
    FResizer = std::make_unique<TControlResizer>();
    FResizer->SetTargetControl(this);
    FResizer->OnMoved =
        FResizer->OnResized = [this](TControlResizer*, const TResizerRect&,
                                     const TResizerRect& NewBounds) { ResizerChanged(NewBounds); };
    FResizer->Movable = FResizer->Resizable = true;
    FResizer->SetBoxColor(QColor(0, 0, 255));
    FResizer->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(FResizer.get(), &QWidget::customContextMenuRequested, FResizer.get(),
                     [this](const QPoint& At) {
                       if (FEditor.MarkPopupMenu != nullptr) {
                         FEditor.MarkPopupMenu->popup(FResizer->mapToGlobal(At));
                       }
                     });
  }
  if (On) FResizer->SetBounds(x(), y(), width(), height());
  if (FResizer) {
    FResizer->setVisible(FSelected);
    FResizer->Resizable = FResizer->Movable = !FEditor.ReadOnly();
  }
}

void TGenericMark::ResizerChanged(const TResizerRect& NewBounds) {
  Modified = true;
  const double Z = FZoom;
  SetMarkRect({Saturated(NewBounds.Left / Z * 100), Saturated(NewBounds.Top / Z * 100),
               Saturated(NewBounds.Right / Z * 100), Saturated(NewBounds.Bottom / Z * 100)});
}

void TGenericMark::paintEvent(QPaintEvent* Event) {
  QPainter Canvas(this);
  // A mark that cannot draw shows nothing.
  Guarded([&] { DrawPart(Canvas, 0, 0, Event->rect()); }, [] {});
}

void TGenericMark::mousePressEvent(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  Guarded(
      [&] {
        if (FEditor.OnMarkMouseDown) {
          FEditor.OnMarkMouseDown(this, Event->button(), Event->modifiers(), At.x(), At.y());
        }
      },
      [] { qWarning("OnMarkMouseDown failed: %s", FailureText().c_str()); });
}

void TGenericMark::mouseReleaseEvent(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  Guarded(
      [&] {
        if (FEditor.OnMarkMouseUp) {
          FEditor.OnMarkMouseUp(this, Event->button(), Event->modifiers(), At.x(), At.y());
        }
        if (Event->button() == Qt::LeftButton && rect().contains(At) && FEditor.OnMarkClick) {
          FEditor.OnMarkClick(this);
        }
      },
      [] { qWarning("OnMarkClick failed: %s", FailureText().c_str()); });
}

void TGenericMark::mouseDoubleClickEvent(QMouseEvent* Event) {
  Guarded(
      [&] {
        if (Event->button() == Qt::LeftButton && FEditor.OnMarkDblClick) {
          FEditor.OnMarkDblClick(this);
        }
      },
      [] { qWarning("OnMarkDblClick failed: %s", FailureText().c_str()); });
}

void TGenericMark::mouseMoveEvent(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  Guarded(
      [&] {
        if (FEditor.OnMarkMouseMove)
          FEditor.OnMarkMouseMove(this, Event->modifiers(), At.x(), At.y());
      },
      [] { qWarning("OnMarkMouseMove failed: %s", FailureText().c_str()); });
}

void TGenericMark::contextMenuEvent(QContextMenuEvent* Event) {
  if (FEditor.MarkPopupMenu != nullptr) FEditor.MarkPopupMenu->popup(Event->globalPos());
}

// ---- the marks with text ----

void TFontMark::SetText(const QString& Value) {
  if (Value == FText) return;
  FText = Value;
  update();
}

void TFontMark::SetFont(const QFont& Value) {
  FFont = Value;
  update();
}

void TFontMark::SetFontColor(const QColor& Value) {
  FFontColor = Value;
  update();
}

// A glyph many times taller than the box shows nothing of itself in it: the size stops at
// four points a pixel of the box's height (a 96-dpi point is 4/3 of a pixel).
void TFontMark::DrawText(QImage& Bitmap, const QRect& Part, const QRect& Box, double Points) const {
  const int64_t Size = std::min<int64_t>(Saturated(Points), int64_t{Box.height()} * 4 + 1);
  if (Size <= 0 || !Box.intersects(Part)) return;
  QFont Font = FFont;
  Font.setPointSize(static_cast<int>(Size));
  TPartPainter Painter(Bitmap, Part);
  Painter.setFont(Font);
  Painter.setPen(FFontColor);
  Painter.drawText(Box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs,
                   FText);
}

TStickNoteMark::TStickNoteMark(QObject* Owner) : TFontMark(Owner) {
  SetColor(QColor(255, 255, 0));
  FText = "Nota";
}

void TStickNoteMark::RenderUnscaled() {
  TFontMark::RenderUnscaled();
}

// A note in its colour with a black shadow below and to the right, on the key colour.
TMarkBitmap TStickNoteMark::RenderPart(const QRect& Part) const {
  const QRgb Key = Color().rgb() == kGray ? kWhite : kGray;
  QImage Bitmap = Blank(Part, QColor::fromRgb(Key));
  if (Bitmap.isNull()) return {Bitmap, Key};
  const QSize Size = ZoomedSize();
  const int W = Size.width(), H = Size.height();
  const int B = Round(W * 0.025);
  {
    TPartPainter Painter(Bitmap, Part);
    Painter.fillRect(Outer(B, B, W - 1, H - 1), Qt::black);
    Painter.fillRect(Outer(0, 0, W - B, H - B), Color());
  }
  const double Points = FFont.pointSize() * Resolution() / 72.0 * Zoom() / 100;
  DrawText(Bitmap, Part, Outer(0, 0, W - B, H - B), Points);
  return {Bitmap, Key};
}

TTextMark::TTextMark(QObject* Owner) : TFontMark(Owner) {
  SetColor(QColor(255, 255, 0));
  FText = "Testo";
}

void TTextMark::RenderUnscaled() {
  TFontMark::RenderUnscaled();
}

// The text on its key colour; the colour left out is the mark's Color, so that with the usual
// colours the text stands on an opaque box.
TMarkBitmap TTextMark::RenderPart(const QRect& Part) const {
  QImage Bitmap = Blank(Part, QColor::fromRgb(KeyFor(FFontColor)));
  const double Points = FFont.pointSize() * Round(Resolution() / 96.0) * Zoom() / 100;
  if (!Bitmap.isNull()) DrawText(Bitmap, Part, QRect(QPoint(0, 0), ZoomedSize()), Points);
  return {Bitmap, Color().rgb()};
}

// ---- TRectangleMark ----

TRectangleMark::TRectangleMark(QObject* Owner) : TGenericMark(Owner) {
  SetColor(QColor(0, 255, 0));
}

void TRectangleMark::SetPenWidth(int32_t Value) {
  if (Value == FPenWidth) return;
  FPenWidth = Value;
  update();
}

void TRectangleMark::SetHighlighted(bool Value) {
  if (Value == FHighlighted) return;
  FHighlighted = Value;
  update();
}

void TRectangleMark::SetFilled(bool Value) {
  if (Value == FFilled) return;
  FFilled = Value;
  update();
}

void TRectangleMark::RenderUnscaled() {
  TGenericMark::RenderUnscaled();
}

// Filled: the whole bitmap in the colour. Hollow: an outline of the pen's width, which the
// zoom does not change, on the key colour.
TMarkBitmap TRectangleMark::RenderPart(const QRect& Part) const {
  if (FFilled) return {Blank(Part, Color()), std::nullopt};
  const QRgb Key = KeyFor(Color());
  QImage Bitmap = Blank(Part, QColor::fromRgb(Key));
  if (!Bitmap.isNull() && FPenWidth > 0) {
    const QSize Size = ZoomedSize();
    TPartPainter Painter(Bitmap, Part);
    // A pen wider than the mark draws no more than one as wide.
    QPen Pen(Color(),
             std::min<int64_t>(FPenWidth, 2 * int64_t{std::max(Size.width(), Size.height())}));
    Pen.setJoinStyle(Qt::MiterJoin);
    Painter.setPen(Pen);
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(QRect(0, 0, Size.width() - 1, Size.height() - 1));
  }
  return {Bitmap, Key};
}

// ---- TLineMark ----

TLineMark::TLineMark(QObject* Owner) : TGenericMark(Owner) {
  SetColor(QColor(255, 0, 0));
}

void TLineMark::SetPenWidth(int32_t Value) {
  if (Value == FPenWidth) return;
  FPenWidth = Value;
  update();
}

void TLineMark::AddPoint(int32_t X, int32_t Y) {
  FPoints.push_back({X, Y});
}

void TLineMark::ClearPoints() {
  FPoints.clear();
}

void TLineMark::SetMarkRect(const TRect& Rect) {
  const TRect& Old = ImageRect();
  const int64_t OldW = int64_t{Old.Right} - Old.Left, OldH = int64_t{Old.Bottom} - Old.Top;
  if (OldW > 0 && OldH > 0) {
    const double SX = (static_cast<double>(Rect.Right) - Rect.Left) / static_cast<double>(OldW);
    const double SY = (static_cast<double>(Rect.Bottom) - Rect.Top) / static_cast<double>(OldH);
    for (TPoint& P : FPoints) P = {Saturated(P.X * SX), Saturated(P.Y * SY)};
  }
  TGenericMark::SetMarkRect(Rect);
}

void TLineMark::RenderUnscaled() {
  TGenericMark::RenderUnscaled();
}

// The polyline through the points, with a pen that follows the zoom but never gets thinner
// than one pixel, on the key colour.
TMarkBitmap TLineMark::RenderPart(const QRect& Part) const {
  const QRgb Key = KeyFor(Color());
  QImage Bitmap = Blank(Part, QColor::fromRgb(Key));
  if (!Bitmap.isNull() && !FPoints.empty()) {
    const double Z = Zoom() / 100;
    const QSize Size = ZoomedSize();
    TPartPainter Painter(Bitmap, Part);
    // A pen wider than the mark draws no more than one as wide.
    const int64_t Widest = 2 * int64_t{std::max(Size.width(), Size.height())};
    QPen Pen(Color(), std::clamp<int64_t>(RoundWithin(FPenWidth * Z, kMaxPlace), 1,
                                          std::max<int64_t>(1, Widest)));
    Pen.setCapStyle(Qt::RoundCap);
    Pen.setJoinStyle(Qt::RoundJoin);
    Painter.setPen(Pen);
    QPolygon Line;
    for (const TPoint& P : FPoints) Line << QPoint(Placed(P.X, Z), Placed(P.Y, Z));
    if (Line.size() == 1) {
      Painter.drawPoint(Line[0]);
    } else {
      Painter.drawPolyline(Line);
    }
  }
  return {Bitmap, Key};
}

void TLineMark::Rotate(int32_t Angle) {
  const TRect& R = ImageRect();
  const int64_t W = int64_t{R.Right} - R.Left + 1, H = int64_t{R.Bottom} - R.Top + 1;
  for (TPoint& P : FPoints) {
    switch (Angle) {
      case 90:
        P = {Saturated(H - 1 - P.Y), P.X};
        break;
      case 180:
        P = {Saturated(W - 1 - P.X), Saturated(H - 1 - P.Y)};
        break;
      case 270:
        P = {P.Y, Saturated(W - 1 - P.X)};
        break;
      default:
        break;
    }
  }
}

// ---- TImageMark ----

TImageMark::TImageMark(QObject* Owner) : TGenericMark(Owner) {}

TImageMark::~TImageMark() {
  if (FDib != nullptr) win32::GlobalFree(FDib);
}

void TImageMark::SetImage(win32::HGLOBAL Block) {
  if (Block == FDib) return;
  if (FDib != nullptr) win32::GlobalFree(FDib);
  FDib = Block;
  update();
}

void TImageMark::RenderUnscaled() {
  TGenericMark::RenderUnscaled();
}

TMarkBitmap TImageMark::RenderPart(const QRect& Part) const {
  QImage Bitmap = Blank(Part, Color());
  if (FDib != nullptr && !Bitmap.isNull()) {
    QImage Picture;
    PackedDibToGraphic(FDib, Picture);
    TPartPainter Painter(Bitmap, Part);
    Painter.drawImage(QRect(QPoint(0, 0), ZoomedSize()), Picture);
  }
  return {Bitmap, std::nullopt};
}

// ---- TAnnotationsEditor ----

TAnnotationsEditor::TAnnotationsEditor(QObject* Owner) : QObject(Owner) {}

TAnnotationsEditor::~TAnnotationsEditor() {
  Clear();
}

void TAnnotationsEditor::Clear() {
  while (!FMarks.empty()) FMarks.pop_back();
  FModified = true;
}

void TAnnotationsEditor::SetModified(bool Value) {
  FModified = Value;
  for (auto& Mark : FMarks) Mark->Modified = Value;
}

template <class TMark>
TMark& TAnnotationsEditor::Add() {
  FModified = true;
  auto Mark = std::make_unique<TMark>(this);
  TMark& Made = *Mark;
  FMarks.push_back(std::move(Mark));
  Made.setParent(FSurface);
  Made.SetZoom(FZoom);
  Made.setVisible(FVisible && FSurface != nullptr);
  return Made;
}

TStickNoteMark& TAnnotationsEditor::AddStickNote() {
  return Add<TStickNoteMark>();
}
TRectangleMark& TAnnotationsEditor::AddRectangle() {
  return Add<TRectangleMark>();
}
TTextMark& TAnnotationsEditor::AddTextMark() {
  return Add<TTextMark>();
}
TLineMark& TAnnotationsEditor::AddLineMark() {
  return Add<TLineMark>();
}
TImageMark& TAnnotationsEditor::AddImageMark() {
  return Add<TImageMark>();
}

void TAnnotationsEditor::SetSurface(QWidget* Control) {
  if (Control == FSurface) return;
  FSurface = Control;
  for (auto& Mark : FMarks) {
    const bool Shown = !Mark->isHidden();
    Mark->setParent(Control);
    Mark->setVisible(Shown);
  }
}

void TAnnotationsEditor::SetViewRect(const TRect& Rect) {
  FViewRect = Rect;
  for (auto& Mark : FMarks) Mark->SetViewRect(Rect);
}

void TAnnotationsEditor::SetResolution(int32_t Value) {
  FResolution = Value;
  for (auto& Mark : FMarks) Mark->SetResolution(Value);
}

void TAnnotationsEditor::SetZoom(double Value) {
  if (Value == FZoom) return;
  FZoom = Value;
  for (auto Mark = FMarks.rbegin(); Mark != FMarks.rend(); ++Mark) (*Mark)->SetZoom(Value);
}

void TAnnotationsEditor::SetVisible(bool Value) {
  FVisible = Value;
  for (auto& Mark : FMarks) {
    Mark->setVisible(Value && FSurface != nullptr);
    if (!Value) Mark->SelectMark(false);
  }
}

void TAnnotationsEditor::SetReadOnly(bool Value) {
  FReadOnly = Value;
  DeselectAll();
}

void TAnnotationsEditor::DeselectAll() {
  for (auto& Mark : FMarks) Mark->SelectMark(false);
}

void TAnnotationsEditor::RepaintMarks() {
  for (auto& Mark : FMarks) Mark->repaint();
}

// The rectangle turns with the page; the points of a line keep their distances and are turned
// inside it first, while the rectangle still has the sides the points were measured in
// (scaling them by the signed sides of the turned rectangle would throw them out of it).
void TAnnotationsEditor::RotateMarks(int32_t Angle, int32_t Width, int32_t Height) {
  // Far from the page, a side of the turned rectangle takes the nearest end of the 32 bits.
  const auto From = [](int64_t Side, int32_t Value) { return Saturated(Side - Value - 1); };
  for (auto& Mark : FMarks) {
    const TRect R = Mark->ImageRect();
    TRect Turned;
    switch (Angle) {
      case 90:
        Turned = {From(Height, R.Top), R.Left, From(Height, R.Bottom), R.Right};
        break;
      case 180:
        Turned = {From(Width, R.Left), From(Height, R.Top), From(Width, R.Right),
                  From(Height, R.Bottom)};
        break;
      case 270:
        Turned = {R.Top, From(Width, R.Left), R.Bottom, From(Width, R.Right)};
        break;
      default:
        continue;
    }
    Mark->Rotate(Angle);
    Mark->StoreMarkRect(Turned);
  }
}

void TAnnotationsEditor::ShiftMarks(int32_t Dx, int32_t Dy, int32_t Width, int32_t Height) {
  const auto Outside = [&](const std::unique_ptr<TGenericMark>& Mark) {
    const TRect& R = Mark->ImageRect();
    return int64_t{R.Right} + Dx < 0 || int64_t{R.Left} + Dx >= Width ||
           int64_t{R.Bottom} + Dy < 0 || int64_t{R.Top} + Dy >= Height;
  };
  const size_t Before = FMarks.size();
  std::erase_if(FMarks, Outside);
  for (auto& Mark : FMarks) {
    const TRect& R = Mark->ImageRect();
    Mark->StoreMarkRect({Saturated(int64_t{R.Left} + Dx), Saturated(int64_t{R.Top} + Dy),
                         Saturated(int64_t{R.Right} + Dx), Saturated(int64_t{R.Bottom} + Dy)});
    Mark->Modified = Mark->Modified || Dx != 0 || Dy != 0;
  }
  FModified = FModified || FMarks.size() != Before || Dx != 0 || Dy != 0;
}

void TAnnotationsEditor::AnnotationsToMarks(const annotations::TAnnotations& Annotations,
                                            double Zoom, int32_t Resolution) {
  using namespace annotations;
  Clear();
  SetZoom(Zoom);
  SetResolution(Resolution);
  for (int32_t I = 0; I < Annotations.Count(); ++I) {
    const TGenericAnnotation* A = Annotations.Items(I);
    if (!OnSomePage(*A)) continue;
    if (const auto* Note = dynamic_cast<const TAnnotationAttachANote*>(A)) {
      TStickNoteMark& M = AddStickNote();
      M.SetMarkRect(RectOf(A->Bounds));
      M.SetColor(ColorOf(A->Color1));
      M.SetText(QString::fromLatin1(Note->Text.c_str()));
      QFont Font = M.Font();
      FontFromLogFont(A->Font, Font);
      M.SetFont(Font);
      M.SetFontColor(ColorOf(A->Color2));
    } else if (dynamic_cast<const TAnnotationHollowRectangle*>(A) != nullptr ||
               dynamic_cast<const TAnnotationFilledRectangle*>(A) != nullptr) {
      TRectangleMark& M = AddRectangle();
      M.SetMarkRect(RectOf(A->Bounds));
      M.SetColor(ColorOf(A->Color1));
      M.SetFilled(dynamic_cast<const TAnnotationFilledRectangle*>(A) != nullptr);
      M.SetHighlighted(A->Highlighting);
      M.SetPenWidth(A->LineSize);
    } else if (const auto* Line = dynamic_cast<const TGenericLineAnnotation*>(A)) {
      TLineMark& M = AddLineMark();
      M.SetMarkRect(RectOf(A->Bounds));
      M.SetColor(ColorOf(A->Color1));
      M.SetPenWidth(A->LineSize);
      for (int32_t P = 0; P < Line->PointCount(); ++P) {
        M.AddPoint(Line->Points(P).X, Line->Points(P).Y);
      }
    } else if (const auto* Text = dynamic_cast<const TGenericTextAnnotation*>(A)) {
      TTextMark& M = AddTextMark();
      M.SetMarkRect(RectOf(A->Bounds));
      const bool Stamp = dynamic_cast<const TAnnotationTextStamp*>(A) != nullptr;
      M.SetText(QString::fromLatin1(Stamp ? Trimmed(Text->Text).c_str() : Text->Text.c_str()));
      QFont Font = M.Font();
      FontFromLogFont(A->Font, Font);
      M.SetFont(Font);
      M.SetFontColor(ColorOf(A->Color1));
    } else if (const auto* Image = dynamic_cast<const TGenericImageAnnotation*>(A)) {
      TImageMark& M = AddImageMark();
      M.SetMarkRect(RectOf(A->Bounds));
      M.SetColor(ColorOf(A->Color1));
      if (const auto* Embedded = dynamic_cast<const TAnnotationImageEmbedded*>(A)) {
        // The annotation frees its own block: the mark holds a copy.
        M.SetImage(CopyOfBlock(Embedded->Dib()));
      } else if (const TPictureFile File = ReadPictureFile(Image->FileName, kMaxPictureFileBytes);
                 !File.Refused) {
        QImage Picture;
        if (!Picture.loadFromData(File.Bytes, "BMP")) throw Exception("Bitmap image is not valid");
        M.SetImage(GraphicToPackedDib(Picture));
      }
    }
  }
  SetModified(false);
}

void TAnnotationsEditor::LoadMarks(const std::string& FileName, int32_t Page) {
  annotations::TAnnotations Annotations;
  if (!FileName.empty()) {
    try {
      Annotations.LoadFromTiffFile(FileName, Page);
    } catch (...) {
      // What was read before the failure is shown.
    }
  }
  AnnotationsToMarks(Annotations, FZoom, FResolution);
}

void TAnnotationsEditor::SetMarkHandlers(TNotifyEvent Click, TNotifyEvent DoubleClick) {
  OnMarkClick = std::move(Click);
  OnMarkDblClick = std::move(DoubleClick);
}

void TAnnotationsEditor::SelectOnly(QObject* Mark) {
  DeselectAll();
  for (auto& Own : FMarks) {
    if (Own.get() == Mark) Own->SelectMark(true);
  }
}

void TAnnotationsEditor::ShowMarkProperties(QWidget* Owner) {
  for (int32_t I = Count() - 1; I >= 0; --I) {
    TGenericMark& Mark = Marks(I);
    if (!Mark.Selected()) continue;
    TDialogAnnotationProperties Dialog(Owner);
    TMarkProperties Properties = PropertiesOf(Mark);
    Dialog.LoadFromMark(Properties);
    if (Dialog.exec() != QDialog::Accepted) continue;
    Dialog.SaveToMark(Properties);
    ApplyProperties(Properties, Mark);
  }
}

// ---- functions of the unit ----

void PackedDibToGraphic(win32::HGLOBAL Dib, QImage& Graphic) {
  if (Dib == nullptr) return;
  const size_t Size = win32::GlobalSize(Dib);
  const void* Data = win32::GlobalLock(Dib);
  if (Data == nullptr) throw Exception("Bitmap image is not valid");
  QByteArray File(14, '\0');
  File[0] = 'B';
  File[1] = 'M';
  const uint32_t FileSize = static_cast<uint32_t>(Size + 14);
  for (int I = 0; I < 4; ++I) File[2 + I] = static_cast<char>(FileSize >> (8 * I));
  File.append(static_cast<const char*>(Data), static_cast<qsizetype>(Size));
  win32::GlobalUnlock(Dib);
  QImage Loaded;
  if (!Loaded.loadFromData(File, "BMP")) throw Exception("Bitmap image is not valid");
  Graphic = Loaded;
}

win32::HGLOBAL GraphicToPackedDib(const QImage& Graphic) {
  QByteArray File;
  QBuffer Buffer(&File);
  Buffer.open(QIODevice::WriteOnly);
  if (!Graphic.save(&Buffer, "BMP") || File.size() <= 14) {
    throw Exception("Bitmap image is not valid");
  }
  const size_t Size = static_cast<size_t>(File.size() - 14);
  win32::HGLOBAL Block = win32::GlobalAlloc(win32::GHND, Size);
  if (Block == nullptr) win32::RaiseLastError();
  void* To = win32::GlobalLock(Block);
  std::memcpy(To, File.constData() + 14, Size);
  win32::GlobalUnlock(Block);
  return Block;
}

void FontFromLogFont(const annotations::TLogFont& LogFont, QFont& Font) {
  const auto& Face = LogFont.FaceName;
  Font.setFamily(
      QString::fromLatin1(Face.data(), std::find(Face.begin(), Face.end(), '\0') - Face.begin()));
  if (LogFont.Height != 0) {
    Font.setPointSize(
        static_cast<int>(std::min(std::abs(int64_t{LogFont.Height}), kMaxFontPoints)));
  }
  Font.setItalic(LogFont.Italic != 0);
  Font.setUnderline(LogFont.Underline != 0);
  Font.setStrikeOut(LogFont.StrikeOut != 0);
  Font.setBold(LogFont.Weight >= 700);
}

TMarkProperties PropertiesOf(const TGenericMark& Mark) {
  TMarkProperties P;
  const TRect& R = Mark.ImageRect();
  P.Left = R.Left;
  P.Top = R.Top;
  P.Right = R.Right;
  P.Bottom = R.Bottom;
  P.Color = Mark.Color();
  P.Visible = !Mark.isHidden();
  if (const auto* Text = dynamic_cast<const TFontMark*>(&Mark)) {
    P.Family = TMarkProperties::mfText;
    P.Font = Text->Font();
    P.FontColor = Text->FontColor();
    P.Text = Text->Text();
  } else if (const auto* Rectangle = dynamic_cast<const TRectangleMark*>(&Mark)) {
    P.Family = TMarkProperties::mfRectangle;
    P.Filled = Rectangle->Filled();
    P.Highlighted = Rectangle->Highlighted();
    P.PenWidth = Rectangle->PenWidth();
  } else if (const auto* Line = dynamic_cast<const TLineMark*>(&Mark)) {
    P.Family = TMarkProperties::mfLine;
    P.PenWidth = Line->PenWidth();
    for (int32_t I = 0; I < Line->PointCount(); ++I) {
      P.Points.emplace_back(static_cast<uint16_t>(Line->Points(I).X),
                            static_cast<uint16_t>(Line->Points(I).Y));
    }
  } else if (const auto* Image = dynamic_cast<const TImageMark*>(&Mark)) {
    P.Family = TMarkProperties::mfImage;
    PackedDibToGraphic(Image->Dib(), P.Picture);
  }
  return P;
}

void ApplyProperties(const TMarkProperties& P, TGenericMark& Mark) {
  Mark.SetMarkRect({P.Left, P.Top, P.Right, P.Bottom});
  Mark.SetColor(P.Color);
  Mark.setVisible(P.Visible);
  if (auto* Text = dynamic_cast<TFontMark*>(&Mark)) {
    Text->SetFont(P.Font);
    Text->SetFontColor(P.FontColor);
    Text->SetText(P.Text);
  } else if (auto* Rectangle = dynamic_cast<TRectangleMark*>(&Mark)) {
    Rectangle->SetFilled(P.Filled);
    Rectangle->SetHighlighted(P.Highlighted);
    Rectangle->SetPenWidth(P.PenWidth);
  } else if (auto* Line = dynamic_cast<TLineMark*>(&Mark)) {
    Line->SetPenWidth(P.PenWidth);
    Line->ClearPoints();
    for (auto [X, Y] : P.Points) Line->AddPoint(X, Y);
  } else if (auto* Image = dynamic_cast<TImageMark*>(&Mark)) {
    Image->SetImage(P.Picture.isNull() ? nullptr : GraphicToPackedDib(P.Picture));
  }
  Mark.Modified = true;
}
