#include <QCheckBox>
#include <QSpinBox>

#include "ScanServer.h"
#include "TFinestraPrincipale.h"
#include "boundaryguard.h"

// A port that cannot be listened on leaves the window without a server, said in the log.
void TFinestraPrincipale::OpenServer() {
  auto server = std::make_unique<TScanServer>(*this);
  Guarded(
      [&] {
        server->Activate();
        FServerSocket = std::move(server);
      },
      [&] {
        Alert("ERROR: unable to serve on port " + QString::number(SpinEditLocalPort->value()) +
              ": " + QString::fromStdString(FailureText()));
      });
}

uint16_t TFinestraPrincipale::ServerPort() const {
  return FServerSocket ? FServerSocket->Port() : 0;
}

void TFinestraPrincipale::Log(const std::string& Text) {
  Log(QString::fromStdString(Text));
}

bool TFinestraPrincipale::ShareLocalScanner() {
  return CheckBoxShareLocalScanner->isChecked();
}

int32_t TFinestraPrincipale::LocalPort() {
  return SpinEditLocalPort->value();
}
