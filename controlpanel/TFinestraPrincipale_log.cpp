#include <QDateTime>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "TFinestraPrincipale.h"

namespace {

// The locale's long time format (with seconds) without the time zone that Qt adds to it.
QString LongTimeFormat(const QLocale& Locale) {
  static const QRegularExpression zone("\\s*\\bt+\\b\\s*");
  return Locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
}

}  // namespace

void TFinestraPrincipale::Log(const QString& Message) {
  QLocale locale;
  QDateTime now = QDateTime::currentDateTime();
  MemoLog->appendPlainText(Message + " - " + locale.toString(now.date(), QLocale::ShortFormat) +
                           " " + locale.toString(now.time(), LongTimeFormat(locale)));
  MemoLog->repaint();
}
