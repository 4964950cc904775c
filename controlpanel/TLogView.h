// The log page's list of lines: the newest at the bottom, at most MaxLines kept (the oldest go
// first). It opens showing the start of its lines and stays where the operator scrolled it;
// while it shows the last line, a new line scrolls it up by one. A new line paints only the
// line's own strip, never the whole list.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <deque>

class TLogView : public QAbstractScrollArea {
 public:
  static constexpr int MaxLines = 5000;

  explicit TLogView(QWidget* Parent = nullptr);

  void AppendLine(const QString& Line);
  void clear();
  // The lines joined by line feeds.
  QString toPlainText() const;
  int LineCount() const { return static_cast<int>(FLines.size()); }

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void scrollContentsBy(int Dx, int Dy) override;
  void changeEvent(QEvent* Event) override;

 private:
  int LineHeight() const;
  bool ShowsLastLine() const;
  void UpdateRanges();

  std::deque<QString> FLines;
  int FWidest = 0;
};
