// Reads the control panel's settings with their ranges: a number outside its range is
// clamped to it, text that is no number (or an index outside its list) gives the default,
// and each such value is reported in one line that names it and the value used instead.
#pragma once

#include <QString>
#include <functional>

#include "ParameterRanges.h"

class TRegIniFile;
class QSpinBox;

class TSettingsReader {
 public:
  TSettingsReader(const TRegIniFile& Registry, std::function<void(const QString&)> Report);

  int32_t Integer(const QString& Section, const QString& Ident, int32_t Default,
                  TIntRange Range) const;
  // The value of a spin box, in the spin box's range.
  int32_t Spin(const QString& Section, const QString& Ident, int32_t Default,
               const QSpinBox& Box) const;
  // An item index, a choice among values or a bit set: outside Range gives the default.
  int32_t Choice(const QString& Section, const QString& Ident, int32_t Default,
                 TIntRange Range) const;
  // Locale text; text saved under the other decimal separator, or an unquoted decimal
  // comma, reads as the number it was.
  double Float(const QString& Section, const QString& Ident, double Default,
               TFloatRange Range) const;

 private:
  QString Text(const QString& Section, const QString& Ident) const;
  void Report(const QString& Section, const QString& Ident, const QString& Text, const QString& Why,
              const QString& Used) const;

  const TRegIniFile& FRegistry;
  std::function<void(const QString&)> FReport;
};
