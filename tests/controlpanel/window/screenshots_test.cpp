// Pictures of every page of the main window and of every dialog, for a person to look at:
// written to CLARIVO_SCREENSHOTS/<scale>x/. Run once more with QT_SCALE_FACTOR=2 for 200 %.
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>

#include "THelpWindow.h"
#include "UnitParAutoCrop.h"
#include "UnitParBlackBorderRemoval.h"
#include "UnitParDeskew.h"
#include "UnitParDespeckle.h"
#include "UnitParQualityControl.h"
#include "UnitParTrhesholding.h"
#include "UnitSplash.h"
#include "textfit.h"
#include "window_fixture.h"

namespace {

QString ShotDir() {
  qreal scale = QGuiApplication::primaryScreen()->devicePixelRatio();
  QString dir = QString(CLARIVO_SCREENSHOTS) + QString("/%1x").arg(scale);
  QDir().mkpath(dir);
  return dir;
}

void Save(QWidget& Widget, const QString& Name) {
  Widget.show();
  QPixmap shot = Widget.grab();
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(ShotDir() + "/" + Name + ".png")) << Name.toStdString();
  // Every control lies inside its window.
  for (QWidget* child : Widget.findChildren<QWidget*>()) {
    if (!child->isVisibleTo(&Widget)) continue;
    QRect inWindow(child->mapTo(&Widget, QPoint(0, 0)), child->size());
    EXPECT_TRUE(Widget.rect().contains(inWindow))
        << Name.toStdString() << ": " << child->objectName().toStdString();
  }
  EXPECT_EQ(CutTexts(Widget), std::vector<std::string>()) << Name.toStdString();
}

TEST_F(WindowTest, Screenshots) {
  TFinestraPrincipale& w = Make({"Flatbed 1"});
  w.Log("Starting scanner [Test Scanner] for -1 images...");
  for (int i = 0; i < 30; ++i) {
    w.Log(QString("WARNING: cached image /home/operator/.cache/Dovantic Technologies/Clarivo/"
                  "page%1.bmp not served: the header is truncated")
              .arg(i));
  }
  w.CheckBoxQC->setChecked(true);
  const char* names[] = {"hardware", "processing", "scanner-parameters", "log", "info"};
  for (int page = 0; page < w.PageControl1->count(); ++page) {
    // From the log on, with a message in the status line.
    if (page == 3) w.Alert("ERROR: no scanner is chosen on the Hardware page: no page is scanned");
    w.PageControl1->setCurrentIndex(page);
    Save(w, QString("main-") + names[page]);
  }
  TDialogoDeskew deskew(&w);
  Save(deskew, "dialog-deskew");
  TDialogoDespeckle despeckle(&w);
  Save(despeckle, "dialog-despeckle");
  TDialogoAutoCrop autoCrop(&w);
  Save(autoCrop, "dialog-autocrop");
  TDialogoBlackBorderRemoval border(&w);
  Save(border, "dialog-blackborder");
  TDialogoThresholding thresholding(&w);
  Save(thresholding, "dialog-thresholding");
  TDialogoQualityControl quality(&w);
  Save(quality, "dialog-qualitycontrol");
  w.ButtonHelp->click();
  Save(*w.HelpWindow, "help");
  TSplashForm splash;
  Save(splash, "splash");
}

}  // namespace
