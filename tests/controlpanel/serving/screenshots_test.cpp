// Pictures of the main window while it serves a scan, for a person to look at: the "Hardware"
// page disabled during the scan and the log of the scan, written to CLARIVO_SCREENSHOTS.
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include "serving_fixture.h"

namespace {

class ServingScreenshots : public TServingTest {};

TEST_F(ServingScreenshots, WhileServingAScan) {
  TFinestraPrincipale& w = Make();
  w.StartScan(Request(1, 60, 2, 2));
  uint8_t flag = 0;
  ASSERT_FALSE(Adopt(w.NextProcessedPage(flag))->Empty());
  ASSERT_FALSE(Adopt(w.OriginalPage())->Empty());
  const QString dir = QString(CLARIVO_SCREENSHOTS) + "/serving";
  QDir().mkpath(dir);
  w.show();
  for (auto [index, name] : {std::pair{0, "scanning-hardware"}, std::pair{3, "scanning-log"}}) {
    w.PageControl1->setCurrentIndex(index);
    QPixmap shot = w.grab();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/" + name + ".png"));
  }
  EXPECT_FALSE(w.TabSheetScanner->isEnabled());
  w.StopScan();
  EXPECT_TRUE(w.TabSheetScanner->isEnabled());
}

}  // namespace
