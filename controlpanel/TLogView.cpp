#include "TLogView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace {

constexpr int kMargin = 3;

}  // namespace

TLogView::TLogView(QWidget* Parent) : QAbstractScrollArea(Parent) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  UpdateRanges();
}

int TLogView::LineHeight() const {
  return fontMetrics().lineSpacing();
}

bool TLogView::ShowsLastLine() const {
  return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void TLogView::UpdateRanges() {
  const int height = LineHeight();
  const int visible = std::max(1, (viewport()->height() - 2 * kMargin) / height);
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setRange(0, std::max(0, LineCount() - visible));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 4);
  horizontalScrollBar()->setRange(0, std::max(0, FWidest + 2 * kMargin - viewport()->width()));
}

// The vertical bar counts lines. A line that leaves at the top while the operator reads
// above the end moves the bar with it, so that the lines read stay where they are.
void TLogView::AppendLine(const QString& Line) {
  const bool followEnd = ShowsLastLine();
  const int height = LineHeight();
  FLines.push_back(Line);
  bool dropped = false;
  if (LineCount() > MaxLines) {
    FLines.pop_front();
    dropped = true;
  }
  const int widest = std::max(FWidest, fontMetrics().horizontalAdvance(Line));
  const bool wider = widest != FWidest;
  FWidest = widest;
  QScrollBar* bar = verticalScrollBar();
  const int first = bar->value();
  {
    // The content is moved here by hand; the bar only follows.
    QSignalBlocker quiet(bar);
    if (wider) UpdateRanges();
    bar->setMaximum(std::max(0, LineCount() - bar->pageStep()));
    if (followEnd) {
      bar->setValue(bar->maximum());
    } else if (dropped) {
      bar->setValue(first - 1);
    }
  }
  const int shift = dropped ? first - bar->value() - 1 : first - bar->value();
  if (shift != 0) {
    viewport()->scroll(0, shift * height);
    return;
  }
  const int row = LineCount() - 1 - bar->value();
  viewport()->update(0, kMargin + row * height, viewport()->width(), height);
}

void TLogView::clear() {
  FLines.clear();
  FWidest = 0;
  UpdateRanges();
  viewport()->update();
}

QString TLogView::toPlainText() const {
  QStringList lines(FLines.begin(), FLines.end());
  return lines.join('\n');
}

void TLogView::paintEvent(QPaintEvent* Event) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const int height = LineHeight();
  const QRect area = Event->rect();
  const int first = verticalScrollBar()->value();
  const int top = std::max(0, (area.top() - kMargin) / height);
  const int bottom = (area.bottom() - kMargin) / height;
  const int x = kMargin - horizontalScrollBar()->value();
  for (int row = top; row <= bottom && first + row < LineCount(); ++row) {
    painter.drawText(x, kMargin + row * height + fontMetrics().ascent(), FLines[first + row]);
  }
}

void TLogView::resizeEvent(QResizeEvent* Event) {
  QAbstractScrollArea::resizeEvent(Event);
  const bool followEnd = ShowsLastLine();
  UpdateRanges();
  if (followEnd) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TLogView::scrollContentsBy(int Dx, int Dy) {
  viewport()->scroll(Dx, Dy * LineHeight());
}

void TLogView::changeEvent(QEvent* Event) {
  QAbstractScrollArea::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) {
    FWidest = 0;
    for (const QString& line : FLines) {
      FWidest = std::max(FWidest, fontMetrics().horizontalAdvance(line));
    }
    UpdateRanges();
    viewport()->update();
  }
}
