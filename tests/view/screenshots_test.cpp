// Real scans in the view at fit to page, 100 % and 25 % with each antialiasing mode, saved as
// PNG files for a person to look at (build-test/screenshots). The checks are what the user sees:
// the page where the layout puts it, and ink on it.
#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>

#include "testdata.h"
#include "viewfixture.h"

namespace {

const char* const kScans[] = {"leptonica/feyn.tif", "leptonica/lucasta.047.jpg"};

TEST(Screenshots, RealScansAtEachZoomAndAntialiasing) {
  if (TestDataDir().empty()) GTEST_SKIP() << "../shared/testdata is absent: no screenshots";
  QDir().mkpath(CLARIVO_SCREENSHOTS);
  const struct {
    const char* Name;
    TAntialiasing Mode;
  } modes[] = {{"none", TAntialiasing::aaNone},
               {"gray", TAntialiasing::aaScaleToGray},
               {"black", TAntialiasing::aaPreserveBlack},
               {"white", TAntialiasing::aaPreserveWhite}};
  for (const char* scan : kScans) {
    const std::string file = TestDataDir() + "/scans/" + scan;
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is absent";
    TNorvaneImage view;
    view.resize(700, 900);
    view.show();
    view.Image().LoadImage(file, 0);
    view.SetPage(0);
    for (const char* zoom : {"fit", "100", "25"}) {
      for (const auto& m : modes) {
        view.SetAntialiasing(m.Mode);
        if (std::string(zoom) == "fit") {
          view.SetZoomMode(TZoomMode::zmFitToPage);
        } else {
          view.SetZoomMode(TZoomMode::zmCustom);
          view.SetZoom(std::stod(zoom));
        }
        const QImage shot = Rendered(view);
        const std::string name =
            std::filesystem::path(scan).stem().string() + "-" + zoom + "-" + m.Name + ".png";
        EXPECT_TRUE(shot.save(QString(CLARIVO_SCREENSHOTS) + "/" + name.c_str()));
        const QRect panel = view.DisplayPanel().geometry() & view.ClientRect();
        EXPECT_EQ(PageBox(shot, view.ClientRect()) & panel, panel) << name;
        int dark = 0;
        for (int y = panel.top(); y <= panel.bottom(); y += 3) {
          for (int x = panel.left(); x <= panel.right(); x += 3)
            dark += qGray(shot.pixel(x, y)) < 100;
        }
        // Keeping white on dark text on paper loses thin strokes: that mode is for white on black.
        if (m.Mode != TAntialiasing::aaPreserveWhite) {
          EXPECT_GT(dark, 20) << name << ": no ink";
        }
      }
    }
  }
}

}  // namespace
