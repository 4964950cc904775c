#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include "TFinestraPrincipale.h"
#include "TLogView.h"

namespace {

// The locale's long time format (with seconds) without the time zone that Qt adds to it.
QString LongTimeFormat(const QLocale& Locale) {
  static const QRegularExpression zone("\\s*\\bt+\\b\\s*");
  return Locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
}

}  // namespace

void TFinestraPrincipale::Alert(const QString& Message) {
  Log(Message);
  LabelStatus->setText(Message);
  const int width =
      PageControl1->isVisible() ? PageControl1->width() : PageControl1->sizeHint().width();
  LabelStatus->setFixedHeight(LabelStatus->heightForWidth(width));
  LabelStatus->show();
  if (TrayIcon != nullptr) {
    TrayIcon->showMessage(windowTitle(), Message, QSystemTrayIcon::Warning);
  }
}

void TFinestraPrincipale::ClearStatusLine() {
  LabelStatus->clear();
  LabelStatus->hide();
}

void TFinestraPrincipale::Log(const QString& Message) {
  QLocale locale;
  QDateTime now = QDateTime::currentDateTime();
  MemoLog->AppendLine(Message + " - " + locale.toString(now.date(), QLocale::ShortFormat) + " " +
                      locale.toString(now.time(), LongTimeFormat(locale)));
}
