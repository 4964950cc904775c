// What the page view asks of the annotation editor whose marks lie on its display panel. The
// view owns the editor it is given and destroys it before its panel; without one, the view
// shows its pages without marks.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "dibunit.h"

class QWidget;

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent =
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

class IAnnotationsEditor {
 public:
  virtual ~IAnnotationsEditor() = default;

  // Replaces the marks with those of the annotations stored with page Page of the file; an
  // empty name leaves no marks. May raise when the annotations cannot be read; the view then
  // shows the page as it is.
  virtual void LoadMarks(const std::string& FileName, int32_t Page) = 0;
  // The page's vertical resolution in dots per inch, for the size of the marks' fonts.
  virtual void SetResolution(int32_t DPI) = 0;
  // The view's zoom in per cent; the marks take their panel positions from it.
  virtual void SetZoom(double Percent) = 0;
  // The display rectangle (0, 0, panel width, panel height).
  virtual void SetViewRect(const TRect& Rect) = 0;
  virtual void RepaintMarks() = 0;
  // Turns the marks with the page by a quarter or half turn; Width and Height are the page's
  // size before the turn.
  virtual void RotateMarks(int32_t Angle, int32_t Width, int32_t Height) = 0;
  // Moves the marks by (Dx, Dy) with the page's content after a crop, and drops those that
  // then lie wholly outside the page of Width x Height pixels.
  virtual void ShiftMarks(int32_t /*Dx*/, int32_t /*Dy*/, int32_t /*Width*/, int32_t /*Height*/) {}

  // The view's answers to a click and a double click on a mark (the mark is the Sender). An
  // editor without marks never calls them.
  virtual void SetMarkHandlers(TNotifyEvent /*Click*/, TNotifyEvent /*DoubleClick*/) {}
  // Deselects every mark, then selects Mark, one of the editor's.
  virtual void SelectOnly(QObject* /*Mark*/) {}
  // For every selected mark, from the last to the first: the properties dialog, owned by
  // Owner, filled from the mark, shown modally and applied to the mark when closed with "OK".
  virtual void ShowMarkProperties(QWidget* /*Owner*/) {}
};
