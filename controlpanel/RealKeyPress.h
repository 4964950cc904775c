// The key filter of the edits that hold real numbers: a character key passes only when the
// edit's text with that character appended still reads as a number in the locale (with "0"
// after it when it is the decimal mark, so that "12" + mark passes). Keys of code 32 or less
// (blank, backspace, and the keys that type nothing) always pass.
#pragma once

#include <QObject>

class QLineEdit;

// True when Key may be typed at the end of Text.
bool AcceptRealKey(const QString& Text, QChar Key, QChar DecimalMark);

class TRealKeyPress : public QObject {
 public:
  // The mark is the locale's decimal separator when DecimalMark is null.
  TRealKeyPress(QLineEdit* Edit, QChar DecimalMark);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QLineEdit* FEdit;
  QChar FDecimalMark;
};
