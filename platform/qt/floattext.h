// Floating-point numbers as text of the user's locale (QLocale()): general format with up to
// 15 significant digits and the locale's decimal separator, without digit grouping, so that
// 99.5 is "99,5" under a comma locale.
#pragma once

#include <QString>

QString FloatToStr(double Value);
// Reads Text in the locale (blanks around it allowed, digit grouping not); only finite
// numbers read. False leaves Value as it was.
bool TryStrToFloat(const QString& Text, double& Value);
// As TryStrToFloat; raises EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(const QString& Text);
// The locale's decimal separator.
QChar DecimalSeparator();
