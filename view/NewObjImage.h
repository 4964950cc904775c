// The page view: TMemoryImage, the page behind it; TDisplayPanel, on which the page is painted
// at the current zoom; TNorvaneImage, the scrolling, zooming view that owns both.
//
// NewObjImage_memoryimage.cpp  TMemoryImage: the page, its sizes, loading, turning, saving
// NewObjImage_clipboard.cpp    TMemoryImage::CopyToClipboard
// NewObjImage_print.cpp        TMemoryImage::Print, PrintInCurrentJob
// NewObjImage_displaypanel.cpp TDisplayPanel: painting with antialiasing and the gray cache
// NewObjImage_view.cpp         TNorvaneImage: zoom, fitting, layout and scroll bars, new pages
#pragma once

#include <QColor>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "AnnotationsEditorLink.h"
#include "dibunit.h"

class QPrinter;
class QScrollBar;
class TDeviceContext;
class TNorvaneImage;

enum class TZoomMode { zmCustom, zmFitToWidth, zmFitToHeight, zmFitToPage, zmFitToOriginal };
enum class TAntialiasing { aaNone, aaScaleToGray, aaPreserveBlack, aaPreserveWhite };

// One page with its sizes and resolutions. The page's memory block belongs to the object while
// FreeImageHandle is true (always so right after a page is loaded or adopted); a caller that
// hands a block over and keeps it sets FreeImageHandle false, and the object then never frees
// it.
class TMemoryImage {
 public:
  TMemoryImage() = default;
  ~TMemoryImage();
  TMemoryImage(const TMemoryImage&) = delete;
  TMemoryImage& operator=(const TMemoryImage&) = delete;

  TDIB& DIB() { return FDIB; }
  const TDIB& DIB() const { return FDIB; }

  win32::HGLOBAL ImageHandle() const { return FDIB.GetHandle(); }
  // Adopts the packed DIB of the handle (0: no page). The file name empties, the page count is
  // 1, and the block is the object's until FreeImageHandle is set false.
  // Raises: the adoption's failures; the block then stays with the caller and no page is shown.
  void SetImageHandle(win32::HGLOBAL Handle);
  bool IsValid() const { return ImageHandle() != nullptr; }

  // Dots per inch, 72 below 1; sizes in pixels; 0 without a page.
  int32_t HorzResolution() const { return FHorzResolution; }
  int32_t VertResolution() const { return FVertResolution; }
  int32_t HorzSize() const { return FHorzSize; }
  int32_t VertSize() const { return FVertSize; }
  // The height as shown, at the horizontal resolution.
  int32_t VertSizeCorrected() const;
  int32_t Depth() const { return FDepth; }
  int32_t Page() const { return FPage; }
  int32_t PageCount() const { return FPageCount; }
  bool FreeImageHandle() const { return FFreeImageHandle; }
  void SetFreeImageHandle(bool Value);
  const std::string& FileName() const { return FFileName; }

  // Lets go of the page: frees its block only when FreeImageHandle is true.
  void ReleaseImage();
  void Clear();
  // Shows page N (clamped to the file's pages) of the file the page came from; nothing for a
  // page given by handle or a file that is gone.
  // Raises: the loader's failures; the page shown stays as it was.
  void SetPage(int32_t N);
  // Sets the page's resolutions; with Resize the canvas takes the size the page has at the new
  // resolutions (the top-left part is kept, new pixels take 0).
  void SetResolution(int32_t X, int32_t Y, bool Resize);
  // 90, 180 and 270 turn the page clockwise by quarter turns (90 and 270 exchange differing
  // resolutions); any other angle turns it about its centre without enlarging, filling with 0.
  void Rotate(double Angle);
  double DetectSkew() const;
  void Deskew();
  // Reads the sizes, depth and resolutions of the page held.
  void UpdateInfo();
  // Page PageIndex of the file (the TIFF page count, 1 for other formats).
  // Raises: the loader's failures; the page shown and its file stay as they were.
  void LoadImage(const std::string& Name, int32_t PageIndex);
  void SaveImageAsTiff(const std::string& Name, bool Append);
  void SaveImageAsBitmap(const std::string& Name);
  void SaveImageAsJpeg(const std::string& Name);
  // The rectangle of the page (right and bottom inclusive) onto the clipboard as an image.
  void CopyToClipboard(const TRect& Rect);
  void Crop(const TRect& Rect);
  // Prints the page as a document "Printing Image" of one page. Mode 0 actual size, 1 fit to
  // the printable area, any other one printer pixel a page pixel; a page that lies the other
  // way than the printable area is printed turned by a quarter turn.
  // Raises: "Printing could not start" when the printer refuses the document.
  void Print(QPrinter& Printer, int32_t Mode, bool Center);
  // The same on the current page of the printer's device context.
  void PrintInCurrentJob(TDeviceContext& Printer, int32_t Mode, bool Center);

 private:
  // Takes over the block of a page loaded elsewhere; the object owns it from then on.
  void AdoptLoaded(TDIB& Loaded);

  TDIB FDIB;
  int32_t FHorzResolution = 72, FVertResolution = 72;
  int32_t FHorzSize = 0, FVertSize = 0, FDepth = 0;
  int32_t FPage = 0, FPageCount = 1;
  bool FFreeImageHandle = true;
  std::string FFileName;
};

// The panel the page is painted on, at the view's zoom; its coordinates are zoomed page pixels.
class TDisplayPanel : public QWidget {
 public:
  explicit TDisplayPanel(TNorvaneImage& View, QWidget* Parent);

  // Repaints the whole panel; the gray reduction is made again at the next paint.
  void Repaint();
  // The 16-level gray reduction of a 1-bit page shown below 50 per cent with aaScaleToGray,
  // kept from one paint to the next repaint; nullptr otherwise.
  const TDIB* GrayCache() const { return FGrayCache.get(); }

  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;

 private:
  void PaintPage(const QRect& Exposed);
  const TDIB& PageToDraw(uint8_t& Mode);

  TNorvaneImage& FView;
  std::unique_ptr<TDIB> FGrayCache;
  QSize FGrayCacheFor;  // the panel size the gray cache was made for; invalid: none made
  bool FPainting = false;
};

// The scrolling, zooming page view. Its client area holds the display panel, centred when it is
// smaller; scroll bars appear where the panel is larger.
class TNorvaneImage : public QWidget {
 public:
  explicit TNorvaneImage(QWidget* Parent = nullptr);
  ~TNorvaneImage() override;

  TMemoryImage& Image() { return FImage; }
  const TMemoryImage& Image() const { return FImage; }
  TDisplayPanel& DisplayPanel() { return *FPanel; }
  // Installs the annotation editor whose marks lie on the panel (see AnnotationsEditorLink.h)
  // in place of the one the view makes: hidden, read-only, on the panel, at 200 dpi.
  void SetAnnotationsEditor(std::unique_ptr<IAnnotationsEditor> Editor);
  IAnnotationsEditor* AnnotationsEditor() const { return FEditor.get(); }

  int32_t Page() const { return FImage.Page(); }
  // Shows page N of the page's file with the marks of its annotations, at the current zoom.
  void SetPage(int32_t N);
  int32_t PageCount() const { return FImage.PageCount(); }
  int32_t AntialiasingThreshold() const { return FAntialiasingThreshold; }
  void SetAntialiasingThreshold(int32_t N);
  win32::HGLOBAL ImageHandle() const { return FImage.ImageHandle(); }
  // Shows the page of the handle at the current zoom (ownership as TMemoryImage::SetImageHandle).
  void SetImageHandle(win32::HGLOBAL Handle);
  bool Centered() const { return FCentered; }
  void SetCentered(bool Value);
  double Zoom() const { return FZoom; }
  // Per cent, clamped to 0.1 .. 10000.
  void SetZoom(double Percent);
  TZoomMode ZoomMode() const { return FZoomMode; }
  void SetZoomMode(TZoomMode Mode);
  TAntialiasing Antialiasing() const { return FAntialiasing; }
  void SetAntialiasing(TAntialiasing Mode);
  QColor Color() const { return FColor; }
  void SetColor(const QColor& Color);

  void SetOnImageMouseDown(TMouseEvent Event) { FPanel->OnMouseDown = std::move(Event); }
  void SetOnImageMouseUp(TMouseEvent Event) { FPanel->OnMouseUp = std::move(Event); }
  void SetOnImageMouseMove(TMouseMoveEvent Event) { FPanel->OnMouseMove = std::move(Event); }
  const TMouseEvent& OnImageMouseDown() const { return FPanel->OnMouseDown; }
  const TMouseEvent& OnImageMouseUp() const { return FPanel->OnMouseUp; }
  const TMouseMoveEvent& OnImageMouseMove() const { return FPanel->OnMouseMove; }
  // After every paint of the panel, and after every zoom change.
  TNotifyEvent OnPaint, OnScale;

  // Lays the panel out again; repaints it (and the marks) when its bounds changed or Force.
  void RefreshView(bool Force);
  // Turns the page and its marks, then shows it again at the current zoom.
  void Rotate(double Angle);
  // Crops the page; the marks move with what they lie on, and those outside it go.
  void Crop(const TRect& Rect);

  // A click on a mark selects it alone; a double click also opens its properties.
  void MarkClicked(QObject* Mark);
  void MarkDoubleClicked(QObject* Mark);
  // The properties dialog of every selected mark, from the last to the first.
  void ShowMarkProperties();

  double FitToWidthZoom() const;
  double FitToHeightZoom() const;
  double FitToPageZoom() const;
  double ZoomForMode(TZoomMode Mode) const;
  // Places the panel at Width x Height (-1: its current size), centred or scrolled, and shows
  // the scroll bars it needs; true when the panel's bounds changed. False at once while a
  // layout runs.
  bool LayoutPanel(int Width, int Height);
  bool LayoutRunning() const { return FLayoutBusy; }
  // The width of a vertical scroll bar and the height of a horizontal one, from the style.
  int ScrollBarSize() const;
  QScrollBar& HorzScrollBar() { return *FHorz; }
  QScrollBar& VertScrollBar() { return *FVert; }
  // The area the panel is shown in: the view less the visible scroll bars.
  QRect ClientRect() const;

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  void ShowAgain();
  // A custom zoom of Percent that keeps the page's point under At (view pixels) in place.
  void ZoomAround(double Percent, const QPointF& At);
  void ShowScrollBars(bool Horizontal, bool Vertical, int PanelWidth, int PanelHeight);

  TMemoryImage FImage;
  QWidget* FClient;
  TDisplayPanel* FPanel;
  QScrollBar* FHorz;
  QScrollBar* FVert;
  std::unique_ptr<IAnnotationsEditor> FEditor;
  bool FHorzShown = false, FVertShown = false;
  bool FCentered = true;
  double FZoom = 100;
  TZoomMode FZoomMode = TZoomMode::zmCustom;
  TAntialiasing FAntialiasing = TAntialiasing::aaScaleToGray;
  int32_t FAntialiasingThreshold = 50;
  QColor FColor{128, 128, 128};
  bool FForce = false;
  bool FLayoutBusy = false;
};
