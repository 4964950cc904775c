#include "RealKeyPress.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "floattext.h"

bool AcceptRealKey(const QString& Text, QChar Key, QChar DecimalMark) {
  if (Key.unicode() <= 32) return true;
  QString candidate = Text + Key;
  if (Key == DecimalMark) candidate += '0';
  double value = 0;
  return TryStrToFloat(candidate, value);
}

TRealKeyPress::TRealKeyPress(QLineEdit* Edit, QChar DecimalMark)
    : QObject(Edit), FEdit(Edit), FDecimalMark(DecimalMark) {
  Edit->installEventFilter(this);
}

bool TRealKeyPress::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched != FEdit || Event->type() != QEvent::KeyPress) return false;
  QString text = static_cast<QKeyEvent*>(Event)->text();
  if (text.size() != 1) return false;
  QChar mark = FDecimalMark.isNull() ? DecimalSeparator() : FDecimalMark;
  return !AcceptRealKey(FEdit->text(), text.front(), mark);
}
