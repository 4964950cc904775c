// The control panel program: one instance per user, a splash while the main window is made,
// then the tray-resident main window until "Exit" or the end of the session.
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <clocale>
#include <cstdio>
#include <memory>

#include "TFinestraPrincipale.h"
#include "UnitSplash.h"
#include "boundaryguard.h"
#include "namedmutex.h"
#include "qtmessagefeed.h"
#include "sessionend.h"
#include "userprompt.h"

namespace {

const QString kApplicationTitle = "Clarivo Control Panel";

void KeepSplashUp(const QElapsedTimer& Shown) {
  while (Shown.elapsed() < 2000) {
    QThread::msleep(100);
    QApplication::processEvents();
  }
}

int Run(QApplication& App) {
  int sessionEnd = SessionEndSignalFd();
  auto mutex = win32::CreateMutex("Clarivo Control Panel");
  if (mutex->AlreadyExisted()) {
    win32::MessageBox(nullptr, "An other istance of Clarivo control panel is already running !",
                      kApplicationTitle, win32::MB_OK | win32::MB_ICONINFORMATION);
    return 0;
  }
  auto splash = std::make_unique<TSplashForm>();
  splash->show();
  splash->repaint();
  QElapsedTimer shown;
  shown.start();

  // The scanner's notifications arrive as window messages, delivered by the event loop.
  InstallQtMessageFeed();
  TFinestraPrincipale window({nullptr, true, {}});
  window.SetSplash(splash.get());
  QObject::connect(&window, &TFinestraPrincipale::Closed, &App, &QApplication::quit);
  KeepSplashUp(shown);
  splash.reset();
  window.show();

  // A session manager's request, like SIGTERM, ends the session: save and end, unasked.
  QObject::connect(&App, &QGuiApplication::commitDataRequest, &window, [&window] {
    window.WMQueryEndSession();
    window.close();
  });
  QSocketNotifier watcher(sessionEnd, QSocketNotifier::Read);
  QObject::connect(&watcher, &QSocketNotifier::activated, &window, [&window, sessionEnd] {
    DrainSessionEndSignal(sessionEnd);
    window.WMQueryEndSession();
    window.close();
  });
  int result = App.exec();
  RemoveQtMessageFeed();
  return result;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The user's locale is QLocale's; the C library keeps reading and writing numbers with a
  // full stop, as the image libraries expect.
  std::setlocale(LC_NUMERIC, "C");
  app.setQuitOnLastWindowClosed(false);
  return Guarded([&] { return Run(app); },
                 [] {
                   std::fprintf(stderr, "clarivo: %s\n", FailureText().c_str());
                   return 1;
                 });
}
