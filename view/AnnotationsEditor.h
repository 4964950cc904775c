// The annotation editor and its marks: windowless controls on the view's display panel that
// show a page's annotations at the view's zoom. A mark keeps its rectangle in page pixels and
// renders, at every paint, a fresh bitmap of the part of its zoomed size that is exposed, then
// copies it onto the panel, leaving out a key colour where it must not hide the page. A selected
// mark shows a move-and-resize frame; while the editor is read-only the frame moves nothing.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AnnotationsEditorLink.h"
#include "AnnotationsUnit.h"
#include "GraphicControlResizer.h"
#include "UnitDlgAnnoProp.h"
#include "globalmem.h"

class QMenu;
class QPainter;
class TAnnotationsEditor;

// A mark's rendering: the bitmap of its zoomed size and the colour left out when it is drawn.
struct TMarkBitmap {
  QImage Image;
  std::optional<QRgb> Transparent;
};

class TGenericMark : public QWidget {
 public:
  // Raises "Invalid Parent for Mark" when Owner is not an annotation editor.
  explicit TGenericMark(QObject* Owner);
  ~TGenericMark() override;

  TAnnotationsEditor& Editor() const { return FEditor; }
  const TRect& ViewRect() const { return FViewRect; }
  void SetViewRect(const TRect& Rect) { FViewRect = Rect; }
  int32_t Resolution() const { return FResolution; }
  void SetResolution(int32_t Value);
  // Left <= Right and Top <= Bottom, in page pixels; right and bottom are inside the mark.
  const TRect& ImageRect() const { return FImageRect; }
  double Zoom() const { return FZoom; }
  void SetZoom(double Percent);
  QColor Color() const { return FColor; }
  void SetColor(const QColor& Value);
  bool Selected() const { return FSelected; }
  // The frame of the mark, made at its first selection; nullptr before.
  TControlResizer* Resizer() const { return FResizer.get(); }
  bool Modified = false;

  // Takes the rectangle, normalised, and the bounds that follow from it at the zoom.
  virtual void SetMarkRect(const TRect& Rect);
  // Never used: raises "Non dovrebbe passare di qua...".
  virtual void RenderUnscaled();
  // The zoomed size: Trunc((|right - left| + 1) x Zoom / 100) by the same of the height, at
  // most what a widget can be.
  QSize ZoomedSize() const;
  // The part Part (in the mark's zoomed pixels, inside ZoomedSize) of the mark's rendering:
  // a bitmap of Part's size only, however large the mark is.
  virtual TMarkBitmap RenderPart(const QRect& Part) const;
  // The whole rendering of the zoomed size.
  TMarkBitmap RenderBitmap() const { return RenderPart(QRect(QPoint(0, 0), ZoomedSize())); }
  // Turns what the mark holds inside its rectangle by 90, 180 or 270 degrees.
  virtual void Rotate(int32_t Angle);
  // Renders the mark and copies it onto the canvas at (Dx, Dy).
  void DrawMark(QPainter& Canvas, int Dx, int Dy) const;
  // Renders Part of the mark only and copies it onto the canvas where it lies from (Dx, Dy).
  void DrawPart(QPainter& Canvas, int Dx, int Dy, const QRect& Part) const;
  // Whether the mark is combined with the page under it as a highlighter (a bitwise AND).
  virtual bool Highlighting() const { return false; }

  void UpdateBounds();
  void SelectMark(bool On);
  // Normalises and stores the rectangle with no further change of what the mark holds.
  void StoreMarkRect(const TRect& Rect);

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  // A bitmap of Part's size, filled with Fill, for Part of the zoomed size.
  static QImage Blank(const QRect& Part, const QColor& Fill);

 private:
  void ResizerChanged(const TResizerRect& NewBounds);

  TAnnotationsEditor& FEditor;
  TRect FViewRect;
  int32_t FResolution = 0;
  TRect FImageRect;
  double FZoom = 100;
  std::unique_ptr<TControlResizer> FResizer;
  bool FSelected = false;
  QColor FColor = Qt::black;
};

// The marks that carry text in a font of their own.
class TFontMark : public TGenericMark {
 public:
  using TGenericMark::TGenericMark;
  const QString& Text() const { return FText; }
  void SetText(const QString& Value);
  const QFont& Font() const { return FFont; }
  void SetFont(const QFont& Value);
  QColor FontColor() const { return FFontColor; }
  void SetFontColor(const QColor& Value);

 protected:
  // Draws the text into Box of the mark's zoomed pixels with the font at Points points, on
  // the bitmap of Part; no glyph is drawn taller than the box.
  void DrawText(QImage& Bitmap, const QRect& Part, const QRect& Box, double Points) const;

  QString FText;
  QFont FFont{"Arial", 12};
  QColor FFontColor = Qt::black;
};

class TStickNoteMark : public TFontMark {
 public:
  explicit TStickNoteMark(QObject* Owner);
  void RenderUnscaled() override;
  TMarkBitmap RenderPart(const QRect& Part) const override;
};

class TTextMark : public TFontMark {
 public:
  explicit TTextMark(QObject* Owner);
  void RenderUnscaled() override;
  TMarkBitmap RenderPart(const QRect& Part) const override;
};

class TRectangleMark : public TGenericMark {
 public:
  explicit TRectangleMark(QObject* Owner);
  int32_t PenWidth() const { return FPenWidth; }
  void SetPenWidth(int32_t Value);
  bool Highlighted() const { return FHighlighted; }
  void SetHighlighted(bool Value);
  bool Filled() const { return FFilled; }
  void SetFilled(bool Value);
  void RenderUnscaled() override;
  TMarkBitmap RenderPart(const QRect& Part) const override;
  bool Highlighting() const override { return FHighlighted; }

 private:
  int32_t FPenWidth = 4;
  bool FHighlighted = true, FFilled = true;
};

class TLineMark : public TGenericMark {
 public:
  struct TPoint {
    int32_t X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
  };
  explicit TLineMark(QObject* Owner);
  int32_t PenWidth() const { return FPenWidth; }
  void SetPenWidth(int32_t Value);
  // Points are page pixels from the top-left corner of the rectangle.
  void AddPoint(int32_t X, int32_t Y);
  void ClearPoints();
  int32_t PointCount() const { return static_cast<int32_t>(FPoints.size()); }
  TPoint Points(int32_t Index) const { return FPoints.at(Index); }
  // The points follow the rectangle: scaled by the ratios of the new sides to the old ones,
  // when the old rectangle has both sides.
  void SetMarkRect(const TRect& Rect) override;
  void RenderUnscaled() override;
  TMarkBitmap RenderPart(const QRect& Part) const override;
  void Rotate(int32_t Angle) override;

 private:
  int32_t FPenWidth = 4;
  std::vector<TPoint> FPoints;
};

class TImageMark : public TGenericMark {
 public:
  explicit TImageMark(QObject* Owner);
  ~TImageMark() override;
  // The packed DIB the mark owns; nullptr for none.
  win32::HGLOBAL Dib() const { return FDib; }
  // Takes the block over and frees the one held before.
  void SetImage(win32::HGLOBAL Block);
  void RenderUnscaled() override;
  TMarkBitmap RenderPart(const QRect& Part) const override;

 private:
  win32::HGLOBAL FDib = nullptr;
};

class TAnnotationsEditor : public QObject, public IAnnotationsEditor {
 public:
  // No page is larger than 65535 pixels a side: a mark from a file that reaches further than
  // this from the page's corner lies on no page.
  static constexpr int32_t kMaxMarkCoordinate = 1 << 20;
  static constexpr int64_t kMaxPictureFileBytes = int64_t{64} << 20;

  explicit TAnnotationsEditor(QObject* Owner = nullptr);
  ~TAnnotationsEditor() override;

  QWidget* Surface() const { return FSurface; }
  // The widget the marks lie on; it must outlive the editor.
  void SetSurface(QWidget* Control);
  int32_t Resolution() const { return FResolution; }
  void SetResolution(int32_t Value) override;
  const TRect& ViewRect() const { return FViewRect; }
  void SetViewRect(const TRect& Rect) override;
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  double Zoom() const { return FZoom; }
  void SetZoom(double Value) override;
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool Modified() const { return FModified; }
  void SetModified(bool Value);

  TNotifyEvent OnMarkClick, OnMarkDblClick;
  TMouseEvent OnMarkMouseDown, OnMarkMouseUp;
  TMouseMoveEvent OnMarkMouseMove;
  QMenu* MarkPopupMenu = nullptr;

  int32_t Count() const { return static_cast<int32_t>(FMarks.size()); }
  TGenericMark& Marks(int32_t Index) const { return *FMarks.at(Index); }
  void Clear();
  TStickNoteMark& AddStickNote();
  TRectangleMark& AddRectangle();
  TTextMark& AddTextMark();
  TLineMark& AddLineMark();
  TImageMark& AddImageMark();
  void DeselectAll();
  void RepaintMarks() override;
  void RotateMarks(int32_t Angle, int32_t Width, int32_t Height) override;
  void ShiftMarks(int32_t Dx, int32_t Dy, int32_t Width, int32_t Height) override;

  // One mark for each annotation, in list order, at Zoom and Resolution; raises the loader's
  // failure when a referenced image file cannot be read, keeping the marks made before it.
  // An annotation whose rectangle reaches beyond kMaxMarkCoordinate makes no mark; a
  // referenced file that is not a regular file of at most kMaxPictureFileBytes leaves its
  // mark without a picture.
  void AnnotationsToMarks(const annotations::TAnnotations& Annotations, double Zoom,
                          int32_t Resolution);
  // The marks of the annotations of page Page of a TIFF file; what cannot be read is left out.
  void LoadMarks(const std::string& FileName, int32_t Page) override;

  void SetMarkHandlers(TNotifyEvent Click, TNotifyEvent DoubleClick) override;
  void SelectOnly(QObject* Mark) override;
  void ShowMarkProperties(QWidget* Owner) override;

 private:
  template <class TMark>
  TMark& Add();

  QWidget* FSurface = nullptr;
  int32_t FResolution = 0;
  TRect FViewRect;
  bool FVisible = false;
  std::vector<std::unique_ptr<TGenericMark>> FMarks;
  double FZoom = 100;
  bool FReadOnly = true;
  bool FModified = false;
};

// A packed DIB as a picture: the block behind a bitmap file header.
// Raises "Bitmap image is not valid" when the block holds no picture.
void PackedDibToGraphic(win32::HGLOBAL Dib, QImage& Graphic);
// The picture as a packed DIB in a new movable block that the caller owns.
win32::HGLOBAL GraphicToPackedDib(const QImage& Graphic);
// The font of a Windows LOGFONT: face name, size lfHeight, bold from weight 700.
void FontFromLogFont(const annotations::TLogFont& LogFont, QFont& Font);
// What the properties dialog shows of a mark, and the dialog's values written into it.
TMarkProperties PropertiesOf(const TGenericMark& Mark);
void ApplyProperties(const TMarkProperties& Properties, TGenericMark& Mark);
