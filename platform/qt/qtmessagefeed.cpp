#include "qtmessagefeed.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "messages.h"

namespace {

// Runs on the posting thread: queues the pump into the event loop of the application's thread.
void WakeQt(void*) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app, [] { Application().ProcessMessages(); }, Qt::QueuedConnection);
}

}  // namespace

void InstallQtMessageFeed() {
  Application().SetMessageFeed({WakeQt, nullptr});
}

void RemoveQtMessageFeed() {
  Application().SetMessageFeed({});
}
