#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "TFinestraPrincipale.h"
#include "TrayIconImage.h"

void TFinestraPrincipale::CreateTray() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  QAction* settings = PopupMenu1->addAction("Settings...");
  settings->setObjectName("CommandParameters");
  PopupMenu1->setDefaultAction(settings);
  PopupMenu1->addSeparator();
  QAction* exitCommand = PopupMenu1->addAction("Exit");
  exitCommand->setObjectName("CommandClose");
  connect(settings, &QAction::triggered, this, [this] { CommandParametersClick(); });
  connect(exitCommand, &QAction::triggered, this, [this] { CommandCloseClick(); });
  setWindowIcon(TrayIconImage(0));

  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    TrayIcon = new QSystemTrayIcon(this);
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason Reason) { TrayMessage(Reason); });
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start();
}

// Qt puts the icon back by itself whenever the notification area is made anew.
void TFinestraPrincipale::UpdateTrayIcon(int IconIndex) {
  if (TrayIcon == nullptr) {
    Log("WARNING: no notification area: the window stays on the desktop !");
    return;
  }
  TrayIcon->hide();
  TrayIcon->setIcon(TrayIconImage(IconIndex));
  TrayIcon->setToolTip(windowTitle().left(63));
  TrayIcon->show();
}

void TFinestraPrincipale::TrayMessage(int Reason) {
  switch (Reason) {
    case QSystemTrayIcon::DoubleClick:
      ShowWindow();
      break;
    case QSystemTrayIcon::Context:
      if (isVisible()) {
        ShowWindow();
      } else {
        PopupMenu1->popup(QCursor::pos());
      }
      break;
    default:
      break;
  }
}

void TFinestraPrincipale::ShowWindow() {
  if (!isVisible() || isMinimized()) showNormal();
  raise();
  activateWindow();
}

// Without a notification area a hidden window could never be reached again: it goes to the
// task bar instead.
void TFinestraPrincipale::HideWindow() {
  if (TrayIcon != nullptr) {
    hide();
  } else {
    showMinimized();
  }
}

void TFinestraPrincipale::Timer1Timer() {
  if (FSplash || !isVisible()) return;
  Timer1->stop();
  if (TrayIcon != nullptr) hide();
}
