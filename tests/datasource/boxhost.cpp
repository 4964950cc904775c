// box-host: a TWAIN host that is no Qt program of its own. It opens Clarivo.ds, shows its
// dialog and presses "Scan !" for a scan that brings no page, so that the dialog shows its
// message box, which the host's operator answers; then it exits with status 3. With the
// argument "open" it exits with the source still enabled.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "rawhost.h"

namespace {

QPushButton* ScanButton() {
  for (QWidget* top : QApplication::topLevelWidgets())
    for (QPushButton* button : top->findChildren<QPushButton*>())
      if (top->isVisible() && button->text() == "Scan !") return button;
  return nullptr;
}

int Fail(const char* What) {
  std::fprintf(stderr, "box-host: %s\n", What);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool leaveOpen = argc > 1 && std::string(argv[1]) == "open";
  TRawHost host;
  TW_IDENTITY source;
  if (host.OpenDSM() != TWRC_SUCCESS) return Fail("no Source Manager");
  if (host.OpenDS("Clarivo®", source) != TWRC_SUCCESS) return Fail("the source does not open");
  // The data source's own QApplication runs from now on.
  int answered = 0;
  QTimer operatorHand;
  QObject::connect(&operatorHand, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box == nullptr || !box->isVisible()) continue;
      std::fprintf(stderr, "box-host: answered \"%s\"\n", qUtf8Printable(box->text()));
      ++answered;
      box->accept();
    }
  });
  operatorHand.start(50);
  if (host.Enable(source, true) != TWRC_SUCCESS) return Fail("the source does not enable");
  QPushButton* scan = ScanButton();
  if (scan == nullptr) return Fail("no dialog");
  scan->click();
  if (answered != 1) return Fail("no message box was shown");
  if (!leaveOpen) {
    host.Disable(source);
    host.CloseDS(source);
    host.CloseDSM();
  }
  return 3;
}
