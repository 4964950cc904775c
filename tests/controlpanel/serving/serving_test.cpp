// Serving cached pages: processed for the request, "Mirafold" twice, the original of the page
// served last, and pages that cannot be served taken out of the way.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>

#include "freeport.h"
#include "serving_fixture.h"
#include "vekTWAIN.h"

namespace {

namespace fs = std::filesystem;

class ServingTest : public TServingTest {
 protected:
  // The next page served, with its flag; nullptr for none.
  std::unique_ptr<TDIB> Next(uint8_t* QCFailed = nullptr) {
    uint8_t flag = 0;
    win32::HGLOBAL handle = Window->NextProcessedPage(flag);
    if (QCFailed != nullptr) *QCFailed = flag;
    return handle == nullptr ? nullptr : Adopt(handle);
  }
  std::unique_ptr<TDIB> Original() {
    win32::HGLOBAL handle = Window->OriginalPage();
    return handle == nullptr ? nullptr : Adopt(handle);
  }
  // A test scan of a small page in the mode, with the extra bitmaps of the test folder.
  TFinestraPrincipale& Scan(QRadioButton* TFinestraPrincipale::*Mode, bool Mirafold,
                            int32_t RequestType, std::vector<std::string> Extra = {"extra.bmp"}) {
    TFinestraPrincipale& w = Make();
    for (const std::string& file : Extra) SavePage(TestDir() + file, pt8bit, 40, 30, 60);
    (w.*Mode)->setChecked(true);
    w.CheckBoxMultiStream->setChecked(Mirafold);
    w.StartScan(Request(RequestType, 60, 2, 2));
    return w;
  }
};

// Mode Gray with "Mirafold" and a black-and-white request: each page first in black and white,
// then in gray, before the next page.
TEST_F(ServingTest, MirafoldServesEachGrayPageTwiceBeforeTheNext) {
  TFinestraPrincipale& w = Scan(&TFinestraPrincipale::RadioButtonGray, true, 0);
  EXPECT_EQ(w.PendingCount(), -1);
  const std::string front = TestDir() + "front.bmp", extra = TestDir() + "extra.bmp";
  struct Service {
    std::string File;
    uint8_t Type;
  } expected[] = {{front, pt1bit}, {front, pt8bit}, {extra, pt1bit}, {extra, pt8bit}};
  for (const Service& s : expected) {
    std::unique_ptr<TDIB> page = Next();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->PixelType(), s.Type);
    EXPECT_EQ(w.PageCache.LastServedFile, s.File);
  }
  EXPECT_EQ(Count("Processing cached image..."), 2u);
  EXPECT_EQ(Count("Processing cached image (Mirafold®)..."), 2u);
  EXPECT_EQ(w.PendingCount(), 0);
  EXPECT_EQ(Next(), nullptr);
}

// One unserved page in "Mirafold" mode counts twice; after its two services nothing is left.
TEST_F(ServingTest, PendingCountOfMirafoldPages) {
  TFinestraPrincipale& w = Scan(&TFinestraPrincipale::RadioButtonColor, true, 1, {});
  EXPECT_EQ(w.PendingCount(), -1);
  ASSERT_NE(Next(), nullptr);
  EXPECT_EQ(w.PendingCount(), -1);
  ASSERT_NE(Next(), nullptr);
  EXPECT_EQ(w.PendingCount(), 0);
}

// "Mirafold" does nothing in mode Mono (which clears it) or "Driver Setting".
TEST_F(ServingTest, MirafoldNeedsModeGrayOrColor) {
  for (auto mode :
       {&TFinestraPrincipale::RadioButtonMono, &TFinestraPrincipale::RadioButtonDriverMode}) {
    TFinestraPrincipale& w = Scan(mode, true, 1);
    ASSERT_NE(Next(), nullptr);
    ASSERT_NE(Next(), nullptr);
    EXPECT_EQ(w.PageCache.LastServedFile, TestDir() + "extra.bmp");
    EXPECT_EQ(Next(), nullptr);
    EXPECT_EQ(Count("Processing cached image (Mirafold®)..."), 0u);
  }
}

// An unknown PixelType serves the page as it is, and the quality check still runs (with a
// zero maximum it flags every page).
TEST_F(ServingTest, UnknownPixelTypeServesUnprocessedAndChecked) {
  Store("Images", "QC", "1");
  Store("QC", "Max Contrast", "0");
  TFinestraPrincipale& w = Scan(&TFinestraPrincipale::RadioButtonDriverMode, false, 5, {});
  std::unique_ptr<TDIB> cached = Load(TestDir() + "front.bmp");
  uint8_t flag = 0;
  std::unique_ptr<TDIB> page = Next(&flag);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(page->BlockSize(), cached->BlockSize());
  EXPECT_EQ(std::memcmp(page->Memory(), cached->Memory(), page->BlockSize()), 0);
  EXPECT_EQ(w.PendingCount(), 0);
}

// The original is the unprocessed file of the page taken last, a "Mirafold" first pass
// included; a new scan forgets it.
TEST_F(ServingTest, OriginalOfThePageServedLast) {
  TFinestraPrincipale& w = Scan(&TFinestraPrincipale::RadioButtonGray, true, 0, {});
  EXPECT_EQ(Original(), nullptr);
  EXPECT_TRUE(Logged("WARNING: originale cached image asked from driver not found !"));
  std::unique_ptr<TDIB> served = Next();
  ASSERT_EQ(served->PixelType(), pt1bit);
  std::unique_ptr<TDIB> original = Original();
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(original->PixelType(), pt8bit);
  EXPECT_EQ(original->Width(), Load(TestDir() + "front.bmp")->Width());
  EXPECT_TRUE(Logged("Retrieving unprocessed cached original image..."));
  w.StartScan(Request(0, 60, 2, 2));
  EXPECT_EQ(Original(), nullptr);
}

// An original that is no longer a bitmap is no original: the log names the file and why it
// is refused as a bitmap, and the page can be asked for again.
TEST_F(ServingTest, ABadOriginalIsNoneAndTheLogSaysWhichAndWhy) {
  const struct {
    std::string Content;
    const char* Reason;
  } cases[] = {{"GIF89a", "Invalid bitmap file !"}, {"BM" + std::string(20, '\0'), "truncated"}};
  for (const auto& c : cases) {
    Scan(&TFinestraPrincipale::RadioButtonGray, false, 1, {});
    ASSERT_NE(Next(), nullptr);
    const std::string front = TestDir() + "front.bmp";
    std::ofstream(front, std::ios::binary | std::ios::trunc) << c.Content;
    EXPECT_EQ(Original(), nullptr);
    std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("WARNING: original image " + front + " not loaded: ", 0), 0u)
        << lines.back();
    EXPECT_NE(lines.back().find(c.Reason), std::string::npos) << lines.back();
    EXPECT_EQ(lines.back().find("JPEG"), std::string::npos) << lines.back();
    EXPECT_EQ(Original(), nullptr);
  }
}

// What keeps pages from coming is shown in the status line below the pages, besides the log.
TEST_F(ServingTest, WhatTheOperatorMustSeeIsInTheStatusLine) {
  {
    TFinestraPrincipale& w = Make("Gone Scanner");
    w.StartScan(Request(1, 60, 2, 2));
    EXPECT_TRUE(w.LabelStatus->text().contains("no scanner is chosen on the Hardware page"))
        << w.LabelStatus->text().toStdString();
    EXPECT_TRUE(Logged(w.LabelStatus->text().toStdString()));
    EXPECT_EQ(w.PendingCount(), 0);
  }
  {
    TFinestraPrincipale& w = Make();
    EXPECT_ANY_THROW(w.StartScan(Request(1, 0, 2, 2)));
    EXPECT_TRUE(w.LabelStatus->text().startsWith("ERROR: scan refused: "))
        << w.LabelStatus->text().toStdString();
    w.StartScan(Request(1, 60, 2, 2));  // a scan that starts clears the line
    EXPECT_EQ(w.LabelStatus->text(), "");
  }
  {
    Window.reset();  // which saves its settings
    const uint16_t port = FreePort();
    Store("Server", "Local Port", QString::number(port));
    TFinestraPrincipale& first = Make(TFinestraPrincipale::TestScannerName, true);
    ASSERT_EQ(first.ServerPort(), port);
    TControlPanelServices services;
    services.Serve = true;
    services.ProgramDir = Program.path();
    TFinestraPrincipale second(services);
    EXPECT_EQ(second.ServerPort(), 0);
    EXPECT_TRUE(second.LabelStatus->text().startsWith(
        QString("ERROR: unable to serve on port %1: ").arg(port)))
        << second.LabelStatus->text().toStdString();
  }
}

// A client that goes away without STOP leaves the "Hardware" page disabled only for the
// scan's time-out after its last request; a request in between starts the time-out afresh.
TEST_F(ServingTest, TheHardwarePageComesBackWhenTheClientGoesAwayWithoutStop) {
  Store("Scanner", "Timeout", "1");
  TFinestraPrincipale& w = Make();
  w.StartScan(Request(1, 60, 2, 2));
  EXPECT_FALSE(w.TabSheetScanner->isEnabled());
  QTest::qWait(600);
  EXPECT_EQ(w.PendingCount(), -1);
  QTest::qWait(600);
  EXPECT_FALSE(w.TabSheetScanner->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.TabSheetScanner->isEnabled(); }, 5000));
  EXPECT_TRUE(
      Logged("WARNING: no request from the driver for 1 sec.: the Hardware page is "
             "enabled again"));
  // A STOP ends the time-out with the scan.
  w.StartScan(Request(1, 60, 2, 2));
  w.StopScan();
  w.TabSheetScanner->setEnabled(false);
  QTest::qWait(1500);
  EXPECT_FALSE(w.TabSheetScanner->isEnabled());
}

// A page that cannot be loaded is logged and taken out of the list; the request gets the next
// page, and no later request meets the bad one again.
TEST_F(ServingTest, ABadPageIsNoPoisonPage) {
  TFinestraPrincipale& w = Make();
  std::ofstream(TestDir() + "bad.bmp") << "BM this is no bitmap";
  // Written a while ago: no longer a file that may still be being written.
  fs::last_write_time(TestDir() + "bad.bmp",
                      fs::file_time_type::clock::now() - std::chrono::minutes(1));
  SavePage(TestDir() + "good.bmp", pt8bit, 40, 30, 60);
  w.StartScan(Request(1, 60, 2, 2));
  ASSERT_NE(Next(), nullptr);  // front.bmp
  std::unique_ptr<TDIB> page = Next();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(w.PageCache.LastServedFile, TestDir() + "good.bmp");
  std::vector<std::string> lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& l) {
                            return l.rfind("WARNING: cached image " + TestDir() + "bad.bmp" +
                                               " not served: ",
                                           0) == 0;
                          }),
            1);
  EXPECT_EQ(Next(), nullptr);
  EXPECT_EQ(w.PendingCount(), 0);
}

// A page written a moment ago that does not load yet may still be being written: it stays in
// the list, the request that met it gets none after its wait, and the next one gets the page.
TEST_F(ServingTest, APageBeingWrittenStaysForTheNextRequest) {
  Store("Scanner", "Timeout", "1");
  TFinestraPrincipale& w = Make();
  const std::string half = TestDir() + "half.bmp";
  SavePage(half, pt8bit, 40, 30, 60);
  const std::uintmax_t size = fs::file_size(half);
  fs::resize_file(half, size / 2);
  w.StartScan(Request(1, 60, 2, 2));
  ASSERT_NE(Next(), nullptr);  // front.bmp
  EXPECT_EQ(Next(), nullptr);
  ASSERT_EQ(w.PageCache.PendingPages.size(), 1u);
  EXPECT_EQ(w.PageCache.PendingPages[0].Path, half);
  SavePage(half, pt8bit, 40, 30, 60);  // now whole
  ASSERT_NE(Next(), nullptr);
  EXPECT_TRUE(w.PageCache.PendingPages.empty());
}

// A page without a resolution is taken to be at the requested one: it keeps its pixels.
TEST_F(ServingTest, APageWithoutResolutionKeepsItsPixels) {
  TFinestraPrincipale& w = Make();
  SavePage(TestDir() + "zero.bmp", pt8bit, 40, 30, 0);
  w.StartScan(Request(1, 150, 1, 1));
  ASSERT_NE(Next(), nullptr);
  std::unique_ptr<TDIB> page = Next();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(w.PageCache.LastServedFile, TestDir() + "zero.bmp");
  EXPECT_EQ(page->Width(), 40);
  EXPECT_EQ(page->Height(), 30);
  EXPECT_EQ(page->XResolution(), 150);
}

// What the scanner hands over is cached as a BMP file: a 1-bit page with white at index 0 is
// turned round to white = 1 with the same picture, pages of one second get names of their
// own, and each is served once.
TEST_F(ServingTest, ScannedPagesAreCachedNormalisedUnderNamesOfTheirOwn) {
  TFinestraPrincipale& w = Make();
  w.Pipeline.ScanRequest = Request(0, 100, 1, 1);  // the scan that these pages belong to
  TDIB page;
  page.NewImage(64, 8, pt1bit, 100, 100);
  page.Clear();
  page.FillRect({0, 0, 15, 7}, page.BlackIndex());
  page.ReversePalette();
  ASSERT_EQ(page.WhiteIndex(), 0);
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<TDIB> copy = page.Duplicate();
    copy->SetOwnsHandle(false);
    win32::HGLOBAL handle = copy->GetHandle();
    copy.reset();
    w.vekTWAIN1ImageReady(w.vekTWAIN1.get(), nullptr, nullptr, handle, "");
  }
  w.vekTWAIN1ImageReady(w.vekTWAIN1.get(), nullptr, nullptr, nullptr, "");  // a failed one
  ASSERT_EQ(w.PageCache.PendingPages.size(), 3u);
  std::set<std::string> names;
  for (const TPendingPage& p : w.PageCache.PendingPages) {
    names.insert(p.Path);
    EXPECT_EQ(fs::path(p.Path).parent_path().string() + "/", w.CacheDir.toStdString());
    EXPECT_EQ(fs::path(p.Path).extension(), ".bmp");
    EXPECT_EQ(fs::path(p.Path).stem().string().size() >= 8, true);
    std::unique_ptr<TDIB> cached = Load(p.Path);
    EXPECT_EQ(cached->WhiteIndex(), 1);
    EXPECT_EQ(cached->GetPixel(3, 3), 0);
    EXPECT_EQ(cached->GetPixel(40, 3), 1);
  }
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(Count("New Image Scanned..."), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_NE(Next(), nullptr);
  EXPECT_EQ(Next(), nullptr);
}

}  // namespace
