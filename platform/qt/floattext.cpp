#include "floattext.h"

#include <QLocale>
#include <cmath>

#include "exception.h"

namespace {

QLocale UserLocale() {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

}  // namespace

QString FloatToStr(double Value) {
  return UserLocale().toString(Value, 'g', 15);
}

bool TryStrToFloat(const QString& Text, double& Value) {
  bool ok = false;
  double value = UserLocale().toDouble(Text, &ok);
  if (!ok || !std::isfinite(value)) return false;
  Value = value;
  return true;
}

double StrToFloat(const QString& Text) {
  double value = 0;
  if (!TryStrToFloat(Text, value)) {
    throw EConvertError("'" + Text.toStdString() + "' is not a valid floating point value");
  }
  return value;
}

QChar DecimalSeparator() {
  QString separator = UserLocale().decimalPoint();
  return separator.isEmpty() ? QChar('.') : separator.front();
}
