// The serving tests need one application object, with the message feed that delivers the
// scanner's notifications.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <QApplication>

#include "qtmessagefeed.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  // Kept loaded: the leak check at exit cannot walk thread-locals of unloaded libraries.
  dlopen(TWAIN_32_DLL, RTLD_NOW), dlopen(SIMSCANNER_DS, RTLD_NOW);
  QApplication app(argc, argv);
  InstallQtMessageFeed();
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  RemoveQtMessageFeed();
  return result;
}
