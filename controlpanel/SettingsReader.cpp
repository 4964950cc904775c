#include "SettingsReader.h"

#include <QSpinBox>
#include <algorithm>

#include "floattext.h"
#include "registry.h"

namespace {

bool ReadsAsFloat(const QString& Text, double& Value) {
  if (TryStrToFloat(Text, Value)) return true;
  QChar separator = DecimalSeparator();
  QChar other = separator == '.' ? QChar(',') : QChar('.');
  return !Text.contains(separator) && TryStrToFloat(QString(Text).replace(other, separator), Value);
}

}  // namespace

TSettingsReader::TSettingsReader(const TRegIniFile& Registry,
                                 std::function<void(const QString&)> Report)
    : FRegistry(Registry), FReport(std::move(Report)) {}

QString TSettingsReader::Text(const QString& Section, const QString& Ident) const {
  return FRegistry.ReadString(Section, Ident, QString());
}

void TSettingsReader::Report(const QString& Section, const QString& Ident, const QString& Text,
                             const QString& Why, const QString& Used) const {
  FReport(QString("WARNING: setting %1 \"%2\" = \"%3\" %4, %5 is used instead")
              .arg(Section, Ident, Text, Why, Used));
}

int32_t TSettingsReader::Integer(const QString& Section, const QString& Ident, int32_t Default,
                                 TIntRange Range) const {
  if (!FRegistry.ValueExists(Section, Ident)) return Default;
  QString text = Text(Section, Ident);
  bool ok = false;
  qlonglong value = text.toLongLong(&ok, 10);
  if (!ok) {
    Report(Section, Ident, text, "is not a number", QString::number(Default));
    return Default;
  }
  int32_t clamped = static_cast<int32_t>(std::clamp<qlonglong>(value, Range.Min, Range.Max));
  if (clamped != value) {
    Report(Section, Ident, text, QString("is outside %1..%2").arg(Range.Min).arg(Range.Max),
           QString::number(clamped));
  }
  return clamped;
}

int32_t TSettingsReader::Spin(const QString& Section, const QString& Ident, int32_t Default,
                              const QSpinBox& Box) const {
  return Integer(Section, Ident, Default, {Box.minimum(), Box.maximum()});
}

int32_t TSettingsReader::Choice(const QString& Section, const QString& Ident, int32_t Default,
                                TIntRange Range) const {
  if (!FRegistry.ValueExists(Section, Ident)) return Default;
  QString text = Text(Section, Ident);
  bool ok = false;
  int32_t value = text.toInt(&ok, 10);
  if (ok && value >= Range.Min && value <= Range.Max) return value;
  Report(Section, Ident, text,
         ok ? QString("is not one of %1..%2").arg(Range.Min).arg(Range.Max) : "is not a number",
         QString::number(Default));
  return Default;
}

double TSettingsReader::Float(const QString& Section, const QString& Ident, double Default,
                              TFloatRange Range) const {
  if (!FRegistry.ValueExists(Section, Ident)) return Default;
  QString text = Text(Section, Ident);
  double value = Default;
  if (!ReadsAsFloat(text, value)) {
    Report(Section, Ident, text, "is not a number", FloatToStr(Default));
    return Default;
  }
  double clamped = std::clamp(value, Range.Min, Range.Max);
  if (clamped != value) {
    Report(Section, Ident, text,
           QString("is outside %1..%2").arg(FloatToStr(Range.Min), FloatToStr(Range.Max)),
           FloatToStr(clamped));
  }
  return clamped;
}
