// The data source's windows on a real X server (run under Xvfb), where a window is painted only
// while the event loop runs: what the offscreen platform's grab cannot show.
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <thread>

#include "DlgWait.h"
#include "QualityControl.h"
#include "formfixture.h"
#include "screenshot.h"

namespace {

using namespace std::chrono_literals;

// Pixels of Image darker than middle gray: the strokes of a text.
int DarkPixels(const QImage& Image) {
  int dark = 0;
  for (int y = 0; y < Image.height(); ++y) {
    for (int x = 0; x < Image.width(); ++x) dark += qGray(Image.pixel(x, y)) < 128;
  }
  return dark;
}

// While the panel takes its time over the original, the "Please wait !" box is on the screen,
// painted, and the window beneath it goes on painting.
TEST_F(FormTest, TheWaitBoxIsPaintedWhileTheOriginalComes) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  const TBytes bmp = BmpImage(*SmallPage(pt8bit, 400, 300));
  const std::string path = Temp.path().toStdString() + "/original.tmp";
  FPanel = std::make_unique<TFakePanel>([&](const TSeenRequest& Request, TTcpSocket& Socket) {
    if (Request.Command() != CMD_GET_ORIGINAL_FILE) return;
    std::this_thread::sleep_for(1500ms);
    std::ofstream(path, std::ios::binary) << bmp;
    const TBytes reply = OriginalReply(path);
    Socket.SendBuffer(reply.data(), reply.size());
  });
  Store("Server", "Local Port", QString::number(FPanel->Port()));
  TFormSource& source = Make();
  TFormQC qc([&] { return source.FetchOriginalPage(); });
  qc.ShowPage(*SmallPage(pt8bit, 400, 300));
  qc.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&qc));
  QImage during;
  QTimer::singleShot(1000, [&] {
    const QList<TDialogoWait*> boxes = qc.findChildren<TDialogoWait*>();
    ASSERT_EQ(boxes.size(), 1);
    const QRect where = boxes[0]->frameGeometry();
    during = QGuiApplication::primaryScreen()
                 ->grabWindow(0, where.x(), where.y(), where.width(), where.height())
                 .toImage();
  });
  qc.TrackBarBrightness->setValue(2);
  qc.RescanVirtually();
  ASSERT_FALSE(during.isNull());
  during.save(QString(CLARIVO_SCREENSHOTS) + "/wait-box-on-x11.png");
  EXPECT_GT(DarkPixels(during), 100);  // "Please wait !" and what is retrieved
  EXPECT_EQ(qc.StatusBar1->currentMessage(), "Ready");
  EXPECT_EQ(qc.Reprocessings(), 1);
}

}  // namespace
