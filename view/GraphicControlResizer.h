// A frame that lets the user move and resize another widget of the same parent with the mouse:
// it lies over its target with eight grips on its corners and edge midpoints, shows a rubber
// band while dragging, and moves or sizes the target only when the button is released.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class TResizerBand;

// Left, top, right, bottom; right and bottom lie just past the area.
struct TResizerRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TResizerRect&) const = default;
};

class TControlResizer : public QWidget {
 public:
  using TControlResizerEvent = std::function<void(
      TControlResizer* Sender, const TResizerRect& OldBounds, const TResizerRect& NewBounds)>;
  enum TGrip { gTopLeft, gBottomLeft, gBottomRight, gTopRight, gTop, gLeft, gBottom, gRight };

  explicit TControlResizer(QWidget* Owner = nullptr);
  ~TControlResizer() override;

  int MinWidth = 8, MinHeight = 8;
  int LineSize = 2;
  bool Resizable = true, Movable = true;
  TControlResizerEvent OnResizing, OnResized, OnMoving, OnMoved;

  QWidget* TargetControl() const { return FTarget; }
  // Attaches the frame around a widget and takes its parent; nullptr detaches it.
  void SetTargetControl(QWidget* Target);
  int BoxSize() const { return FBoxSize; }
  void SetBoxSize(int Value);
  QColor BoxColor() const { return FBoxColor; }
  void SetBoxColor(const QColor& Value);
  void SetParent(QWidget* Parent);
  void SetBounds(int Left, int Top, int Width, int Height);
  TResizerRect BoundsRect() const;

  void FitToTarget();
  void ApplyToTarget();
  void ShowGrips();
  void HideGrips();
  // The grip, once the grips exist; nullptr before.
  QWidget* Grip(TGrip Which) const;
  bool Moving() const { return FMoving; }
  bool Resizing() const { return FResizing; }
  // The rubber band as left, top, width, height; the overlay that shows it during a drag.
  QRect Band() const { return FBand; }
  QWidget* BandOverlay() const;

  void setVisible(bool Visible) override;

 protected:
  virtual void DoResized();
  virtual void DoMoved();
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void moveEvent(QMoveEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

 private:
  friend class TResizerGrip;
  void GripDown(TGrip Which, QMouseEvent* Event);
  void GripMove(TGrip Which, QMouseEvent* Event);
  void GripUp(TGrip Which, QMouseEvent* Event);
  void PlaceGrips();
  void TakeBand();
  void DrawBand();
  void ReleaseBand();
  QPoint Limited(QPoint P) const;
  QRect Resized(TGrip Which, int dX, int dY) const;
  void Notify(const TControlResizerEvent& Event, const TResizerRect& Old, const TResizerRect& New);
  TResizerRect BandInner() const;

  std::unique_ptr<TResizerBand> FBandOverlay;
  QRect FBand;
  bool FMoving = false, FResizing = false;
  QWidget* FTarget = nullptr;
  std::array<QWidget*, 8> FGrips{};
  int FMaxX = 0, FMaxY = 0, FMinX = 0, FMinY = 0;
  int FDX = 0, FDY = 0;
  QPoint FGrab;
  int FBoxSize = 5;
  bool FBusy = false;
  QColor FBoxColor = Qt::black;
  bool FGripsCreated = false;
  TResizerRect FOldBounds;
};
