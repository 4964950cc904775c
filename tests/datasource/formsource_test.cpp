// The data source's dialog headless: its settings, controls, scan flow, frame and units.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "ScanClientUnit.h"
#include "formfixture.h"
#include "pagecheck.h"
#include "vekTWAINContainer.h"

namespace {

using namespace std::chrono_literals;

// A range whose step may be set, as the data source's own containers do.
class TStepContainer : public TTwnContainer {
 public:
  void SetStepSize(const Variant& Step) { SetRangeValue(kRangeStepSize, Step); }
};

TEST_F(FormTest, WithoutTheKeyTheDefaultsHold) {
  Store("Scanner", "Timeout", "20");  // the key exists, "Server" and "User Interface" do not
  TFormSource& form = Make();
  EXPECT_EQ(form.Host(), "127.0.0.1");
  EXPECT_EQ(form.Port(), 7098);
  const TScanRequest& r = form.Request();
  EXPECT_EQ(+r.PixelType, 0);
  EXPECT_EQ(+r.Contrast, 0);
  EXPECT_EQ(+r.Brightness, 0);
  EXPECT_EQ(+r.Threshold, 128);
  EXPECT_EQ(+r.XResolution, 200);
  EXPECT_EQ(+r.YResolution, 200);
  EXPECT_EQ(+r.PageWidth, 8.5);
  EXPECT_EQ(+r.PageHeight, 11.0);
  EXPECT_EQ(+r.ADF, 0);
  EXPECT_EQ(+r.Duplex, 0);
  EXPECT_EQ(+r.ImageCount, -1);
  form.ControlsFromSettings();
  EXPECT_EQ(form.ComboBoxSize->currentText(), "Letter");
  EXPECT_TRUE(form.RadioButtonMono->isChecked());
}

// "Local" reaches the panel on the port it listens on; otherwise "IP" and "Port" name a panel
// elsewhere.
TEST_F(FormTest, TheServerSectionChoosesHostAndPort) {
  struct Case {
    QString Local, IP;
    std::string Host;
    bool LocalPort;
  };
  for (const Case& c :
       {Case{"1", "127.0.0.9", "127.0.0.1", true}, Case{"0", " 127.0.0.3 ", "127.0.0.3", false}}) {
    SCOPED_TRACE(c.Host);
    Store("Server", "Local", c.Local);
    Store("Server", "IP", c.IP);
    Store("Server", "Port", "7101");
    Store("Server", "Local Port", "7202");
    TFormSource& form = Make();
    EXPECT_EQ(form.Host(), c.Host);
    EXPECT_EQ(form.Port(), c.LocalPort ? 7202 : 7101);
  }
}

// The address decides the variant, wherever it came from: "IP" 127.0.0.1 gets files too.
TEST_F(FormTest, TheLoopbackAddressFromIPUsesTheFileVariants) {
  const TBytes bmp = BmpImage(*SmallPage(pt8bit));
  TFakePanel& panel = Panel({bmp});
  Store("Server", "Local", "0");
  Store("Server", "IP", "127.0.0.1");
  Store("Server", "Port", QString::number(panel.Port()));
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  ASSERT_TRUE(form.Connected());
  EXPECT_EQ(form.PendingTransfers(), -1);
  EXPECT_EQ(panel.Commands(), std::vector<int32_t>{CMD_GET_PAGE_FILE});
}

TEST_F(FormTest, NoPanelDisablesScanAndEveryFetchFindsNoPage) {
  const uint16_t port = DeadPort();
  Store("Server", "Local Port", QString::number(port));
  TFormSource& form = Make();
  EXPECT_FALSE(form.Connected());
  EXPECT_FALSE(form.ButtonScan->isEnabled());
  ASSERT_EQ(Asked.size(), 1u);
  const QString where = "127.0.0.1 port " + QString::number(port);
  EXPECT_EQ(Asked[0], "Unable to create driver connection !\n\rNo control panel is listening on " +
                          where +
                          " (connection refused).\n\rStart the control panel with the command "
                          "\"clarivo\" (its icon shows in the notification area), check that "
                          "the \"Port\" on its \"Hardware\" page is " +
                          QString::number(port) + ", then open the data source again.");
  EXPECT_EQ(form.PendingTransfers(), 0);  // silent
  EXPECT_FALSE(form.StartWithoutInterface());
  EXPECT_EQ(Asked.size(), 1u);  // hidden: no message
  form.ShowInterface(true);
  form.ButtonScanClick();
  EXPECT_TRUE(Asked.back().startsWith(
      "Unable to scan next page !\n\rThere is no connection to the control panel. Start "))
      << Asked.back().toStdString();
  EXPECT_EQ(form.FetchOriginalPage(), nullptr);
  EXPECT_EQ(Asked.back(), "Unable to rescan virtually last page !");
}

// "Scan !" pressed again starts a new session with the settings as they are then.
TEST_F(FormTest, EveryScanSendsItsRequestAndAnnouncesOnlyItsFirstPage) {
  auto page = SmallPage(pt1bit);
  const TBytes bmp = BmpImage(*page);
  TFakePanel& panel = Panel({bmp, bmp, bmp});
  TFormSource& form = Make();
  ASSERT_TRUE(form.Connected());
  int announced = 0;
  form.OnTransferReady = [&] { ++announced; };
  form.ShowInterface(true);
  form.SpinEditXResolution->setValue(300);
  QTest::mouseClick(form.ButtonScan, Qt::LeftButton);
  ASSERT_FALSE(form.Page().Empty());
  EXPECT_TRUE(SamePixels(form.Page(), *page));
  EXPECT_EQ(form.PendingTransfers(), -1);
  form.PageDone();
  EXPECT_EQ(form.PendingTransfers(), -1);  // fetched the next one
  EXPECT_EQ(announced, 1);
  form.PageDone();
  form.SpinEditXResolution->setValue(150);
  QTest::mouseClick(form.ButtonScan, Qt::LeftButton);
  EXPECT_EQ(announced, 2);
  form.PageDone();
  EXPECT_EQ(form.PagesDone(), 3);
  EXPECT_EQ(form.PendingTransfers(), 0);  // the panel has no more
  EXPECT_FALSE(form.PageLost());
  EXPECT_TRUE(Asked.empty());
  form.close();
  ASSERT_TRUE(panel.WaitForRequests(8, 5s));
  EXPECT_EQ(
      panel.Commands(),
      (std::vector<int32_t>{CMD_START_SCAN, CMD_GET_PAGE_FILE, CMD_GET_PAGE_FILE, CMD_STOP_SCAN,
                            CMD_START_SCAN, CMD_GET_PAGE_FILE, CMD_GET_PAGE_FILE, CMD_STOP_SCAN}));
  for (auto [at, dpi] : {std::pair{0, 300}, std::pair{4, 150}}) {
    TScanRequest sent;
    std::memcpy(&sent, panel.Requests()[at].Payload.data(), sizeof sent);
    EXPECT_EQ(+sent.XResolution, dpi);
    EXPECT_EQ(+sent.YResolution, dpi);  // locked
    EXPECT_EQ(+sent.ImageCount, -1);
  }
}

// A control panel that ends the connection loses the page that was due; the next scan
// connects again.
TEST_F(FormTest, AConnectionLostLosesThePageAndTheNextScanConnectsAgain) {
  const TBytes bmp = BmpImage(*SmallPage(pt8bit));
  TFakePanel& panel = Panel({bmp, bmp});
  TFormSource& form = Make();
  EXPECT_TRUE(form.StartWithoutInterface());
  form.PageDone();
  form.Client()->Close();  // as a reply that never came closes it
  EXPECT_EQ(form.PendingTransfers(), 0);
  EXPECT_TRUE(form.PageLost());
  EXPECT_TRUE(form.StartWithoutInterface());
  EXPECT_FALSE(form.PageLost());
  EXPECT_TRUE(form.Connected());
  ASSERT_TRUE(panel.WaitForRequests(4, 5s));
  EXPECT_EQ(panel.Commands(), (std::vector<int32_t>{CMD_START_SCAN, CMD_GET_PAGE_FILE,
                                                    CMD_START_SCAN, CMD_GET_PAGE_FILE}));
}

// The panel may take its time over the original: the windows go on meanwhile.
TEST_F(FormTest, TheWindowsGoOnWhileTheOriginalComes) {
  const TBytes bmp = BmpImage(*SmallPage(pt8bit));
  const std::string path = Temp.path().toStdString() + "/original.tmp";
  FPanel = std::make_unique<TFakePanel>([&](const TSeenRequest& Request, TTcpSocket& Socket) {
    if (Request.Command() != CMD_GET_ORIGINAL_FILE) return;
    std::this_thread::sleep_for(300ms);
    std::ofstream(path, std::ios::binary) << bmp;
    const TBytes reply = OriginalReply(path);
    Socket.SendBuffer(reply.data(), reply.size());
  });
  Store("Server", "Local Port", QString::number(FPanel->Port()));
  TFormSource& form = Make();
  bool ticked = false;
  QTimer::singleShot(50, [&] { ticked = true; });
  win32::HGLOBAL handle = form.FetchOriginalPage();
  EXPECT_TRUE(ticked);
  ASSERT_NE(handle, nullptr);
  win32::GlobalFree(handle);
}

TEST_F(FormTest, AScanWithoutTheDialogSendsTheStoredSettings) {
  Store("User Interface", "X Resolution", "300");
  Store("User Interface", "Y Resolution", "150");
  Store("User Interface", "Image Type", "2");
  Store("User Interface", "Page Width", "8.27");
  Store("User Interface", "Page Height", "11.69");
  TFakePanel& panel = Panel({BmpImage(*SmallPage(pt24bit))});
  TFormSource& form = Make();
  EXPECT_TRUE(form.StartWithoutInterface());
  ASSERT_TRUE(panel.WaitForRequests(2, 5s));
  TScanRequest sent;
  std::memcpy(&sent, panel.Requests()[0].Payload.data(), sizeof sent);
  EXPECT_EQ(+sent.XResolution, 300);
  EXPECT_EQ(+sent.YResolution, 150);
  EXPECT_EQ(+sent.PixelType, 2);
  EXPECT_EQ(+sent.PageWidth, 8.27);
  EXPECT_EQ(+sent.PageHeight, 11.69);
}

// The message says what the panel said; the panel is asked only for a message shown.
TEST_F(FormTest, AUserScanWithoutAPageSaysSoAndWhyOnlyWhileVisible) {
  TFakePanel& panel = Panel();
  TFormSource& form = Make();
  EXPECT_FALSE(form.StartWithoutInterface());
  EXPECT_TRUE(Asked.empty());
  form.ShowInterface(true);
  form.ButtonScanClick();
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0], "Unable to scan next page !\n\rThe scanner is jammed");
  EXPECT_EQ(form.PendingTransfers(), 0);
  EXPECT_EQ(Asked.size(), 1u);
  EXPECT_EQ(form.FetchOriginalPage(), nullptr);
  EXPECT_EQ(Asked.back(), "Unable to rescan virtually last page !");
  // Each scan is a session of its own.
  EXPECT_EQ(panel.Commands(),
            (std::vector<int32_t>{CMD_START_SCAN, CMD_GET_PAGE_FILE, CMD_STOP_SCAN, CMD_START_SCAN,
                                  CMD_GET_PAGE_FILE, CMD_GET_REFUSAL, CMD_GET_PAGE_FILE,
                                  CMD_GET_ORIGINAL_FILE}));
}

// A panel that does not know the question is asked once, keeps its connection, and the
// message says what is known.
TEST_F(FormTest, APanelThatGivesNoReasonsIsAskedOnceAndStaysConnected) {
  TFakePanel& panel = Panel({}, nullptr);
  TFormSource& form = Make();
  form.ShowInterface(true);
  for (int scan = 0; scan < 2; ++scan) {
    form.ButtonScanClick();
    EXPECT_EQ(Asked.back(),
              "Unable to scan next page !\n\rThe control panel answered without a page.");
  }
  EXPECT_TRUE(form.Client()->Connected());
  EXPECT_EQ(panel.Commands(),
            (std::vector<int32_t>{CMD_START_SCAN, CMD_GET_PAGE_FILE, CMD_GET_REFUSAL, CMD_STOP_SCAN,
                                  CMD_START_SCAN, CMD_GET_PAGE_FILE}));
}

// A panel that goes away is said in words, not as a socket call's error.
TEST_F(FormTest, APanelThatGoesAwayIsSaidInWords) {
  Panel();
  TFormSource& form = Make();
  form.ShowInterface(true);
  FPanel.reset();
  form.ButtonScanClick();
  ASSERT_FALSE(Asked.empty());
  EXPECT_TRUE(Asked.back().startsWith("Unable to scan next page !\n\rThe control panel"))
      << Asked.back().toStdString();
  EXPECT_FALSE(Asked.back().contains("API")) << Asked.back().toStdString();
}

TEST_F(FormTest, TheSettingsGoBackToTheRegistryInTensOfTheTrackBars) {
  Store("User Interface", "Contrast", "55");
  Store("User Interface", "Brightness", "-37");
  Store("User Interface", "Image Type", "1");
  Store("User Interface", "Duplex", "1");
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  form.ControlsFromSettings();
  EXPECT_EQ(form.TrackBarContrast->value(), 5);
  EXPECT_EQ(form.TrackBarBrightness->value(), -3);
  EXPECT_TRUE(form.RadioButtonGray->isChecked());
  EXPECT_TRUE(form.CheckBoxDuplex->isChecked());
  Form.reset();
  EXPECT_EQ(Stored("User Interface", "Contrast"), "50");
  EXPECT_EQ(Stored("User Interface", "Brightness"), "-30");
  EXPECT_EQ(Stored("User Interface", "Image Type"), "1");
  EXPECT_EQ(Stored("User Interface", "Page Width"), "8.5");
  EXPECT_EQ(Stored("User Interface", "Threshold"), "128");
  EXPECT_EQ(Stored("Server", "Local"), "<missing>");  // never written
}

// A number that does not read in the user's locale keeps the value it would replace.
TEST_F(FormTest, SizesThatDoNotReadKeepThePreviousValue) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Store("User Interface", "Page Width", "9.25");    // not a German number
  Store("User Interface", "Page Height", "11,69");  // a German one
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  EXPECT_EQ(+form.Request().PageWidth, 8.5);
  EXPECT_EQ(+form.Request().PageHeight, 11.69);
  for (const QString text : {"", ",", "abc", "1,2,3"}) {
    SCOPED_TRACE(text.toStdString());
    form.EditWidth->setText("8,27");
    form.SettingsFromControls();
    form.EditWidth->setText(text);
    form.SettingsFromControls();
    EXPECT_EQ(+form.Request().PageWidth, 8.27);
  }
  Form.reset();
  EXPECT_EQ(Stored("User Interface", "Page Width"), "8,27");
}

// A size the control panel would refuse fails every later scan once kept: the dialog names
// the field and neither sends nor keeps it.
TEST_F(FormTest, APageSizeThePanelRefusesIsNeitherSentNorKept) {
  TFakePanel& panel = Panel();
  TFormSource& form = Make();
  form.ShowInterface(true);
  struct Case {
    QString Width, Height;
    bool Color;
    const char* Named;
  };
  for (const Case& c : {Case{"0", "11", false, "The control panel refuses the \"Width (In)\" 0: "},
                        Case{"8.5", "0", false, "\"Height (In)\" 0: "},
                        Case{"400", "11", false, "\"Width (In)\" 400: "},  // 80000 pixels
                        Case{"20", "27", true, "\"Width (In)\" 20 with the \"Height (In)\" 27"},
                        Case{"", "11", false, "The \"Width (In)\" \"\" is no number"}}) {
    SCOPED_TRACE(c.Named);
    Asked.clear();
    form.ComboBoxSize->setCurrentIndex(0);
    form.SpinEditXResolution->setValue(c.Color ? 1200 : 200);
    (c.Color ? form.RadioButtonColor : form.RadioButtonMono)->setChecked(true);
    form.EditWidth->setText(c.Width);
    form.EditHeight->setText(c.Height);
    form.ButtonScanClick();
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_TRUE(Asked[0].contains(c.Named)) << Asked[0].toStdString();
    EXPECT_EQ(+form.Request().PageWidth, 8.5);
    EXPECT_EQ(+form.Request().PageHeight, 11.0);
  }
  EXPECT_TRUE(panel.Commands().empty());
  form.EditWidth->setText("0");
  Form.reset();
  EXPECT_EQ(Stored("User Interface", "Page Width"), "8.5");
}

// A refused size already in the settings is never sent: the default size holds.
TEST_F(FormTest, ARefusedStoredPageSizeFallsBackToTheDefault) {
  Store("User Interface", "Page Width", "0");
  Store("User Interface", "Page Height", "7");
  TFakePanel& panel = Panel();
  TFormSource& form = Make();
  EXPECT_EQ(+form.Request().PageWidth, 8.5);
  EXPECT_EQ(+form.Request().PageHeight, 11.0);
  form.StartWithoutInterface();
  ASSERT_TRUE(panel.WaitForRequests(1, 5s));
  TScanRequest sent;
  std::memcpy(&sent, panel.Requests()[0].Payload.data(), sizeof sent);
  EXPECT_EQ(+sent.PageWidth, 8.5);
  Form.reset();
  EXPECT_EQ(Stored("User Interface", "Page Width"), "8.5");
}

TEST_F(FormTest, TheSizeListFollowsThePageSize) {
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  struct Case {
    double Width, Height;
    QString Shown;  // empty: no item selected
    bool Editable;
  };
  for (const Case& c : {Case{8.5, 11, "Letter", false}, Case{4.13, 5.84, "", false},
                        Case{7, 9, "Custom", true}, Case{8.27, 11.69, "A4", false}}) {
    SCOPED_TRACE(c.Width);
    form.Request().PageWidth = c.Width;
    form.Request().PageHeight = c.Height;
    form.ShowInterface(true);
    form.FormShow();
    EXPECT_EQ(form.ComboBoxSize->currentText(), c.Shown);
    EXPECT_EQ(form.EditWidth->isEnabled(), c.Editable);
    EXPECT_EQ(form.EditHeight->isEnabled(), c.Editable);
  }
  form.ComboBoxSize->setCurrentText("A3");
  EXPECT_EQ(form.EditWidth->text(), "11.69");
  EXPECT_EQ(form.EditHeight->text(), "16.54");
  form.SettingsFromControls();
  EXPECT_EQ(+form.Request().PageWidth, 11.69);
}

TEST_F(FormTest, TheSizeBoxesTakeDigitsBackspaceAndOneDecimalSeparator) {
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  struct Case {
    QLocale::Language Language;
    QString Before, Key;
    bool Accepted;
  };
  const Case cases[] = {
      {QLocale::C, "8", "5", true},       {QLocale::C, "8", ".", true},
      {QLocale::C, "8.5", ".", false},    {QLocale::C, "8", "a", false},
      {QLocale::C, "8", ",", false},      {QLocale::C, "8.5", "\b", true},
      {QLocale::German, "8", ",", true},  {QLocale::German, "8,5", ",", false},
      {QLocale::German, "8", ".", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.Before + " + " + c.Key).toStdString());
    QLocale::setDefault(QLocale(c.Language));
    form.EditWidth->setText(c.Before);
    EXPECT_EQ(TFormSource::FilterDouble(*form.EditWidth, c.Key), c.Accepted);
  }
  QLocale::setDefault(QLocale::c());
  form.ShowInterface(true);
  form.ComboBoxSize->setCurrentIndex(0);
  form.EditWidth->clear();
  QTest::keyClicks(form.EditWidth, "1a2.3.4");
  EXPECT_EQ(form.EditWidth->text(), "12.34");
  QTest::keyClick(form.EditWidth, Qt::Key_Backspace);
  EXPECT_EQ(form.EditWidth->text(), "12.3");
}

TEST_F(FormTest, TheControlsEnableEachOtherAsTheDialogSays) {
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  form.ShowInterface(true);
  EXPECT_FALSE(form.SpinEditYResolution->isEnabled());  // locked
  form.SpinEditXResolution->setValue(600);
  EXPECT_EQ(form.SpinEditYResolution->value(), 600);
  form.CheckBoxLockResolution->click();
  EXPECT_TRUE(form.SpinEditYResolution->isEnabled());
  form.SpinEditXResolution->setValue(300);
  EXPECT_EQ(form.SpinEditYResolution->value(), 600);

  form.CheckBoxAutoBrightness->click();
  EXPECT_FALSE(form.TrackBarBrightness->isEnabled());
  form.TrackBarContrast->setValue(-40);
  EXPECT_EQ(form.LabelContrast->text(), "-40");
  form.TrackBarThreshold->setValue(77);
  EXPECT_EQ(form.LabelThreshold->text(), "77");

  EXPECT_TRUE(form.CheckBoxDithering->isEnabled());
  form.RadioButtonGray->click();
  EXPECT_FALSE(form.CheckBoxDithering->isEnabled());
  EXPECT_FALSE(form.TrackBarThreshold->isEnabled());
  form.SettingsFromControls();
  EXPECT_EQ(+form.Request().PixelType, 1);
  EXPECT_EQ(+form.Request().Contrast, -400);
  EXPECT_EQ(+form.Request().AutoBrightness, 1);
}

TEST_F(FormTest, ResolutionsConvertBetweenUnitsThroughTheirContainers) {
  struct Case {
    double Value;
    int32_t From, To;
    double Expected;
  };
  for (const Case& c :
       {Case{200, TWUN_INCHES, TWUN_CENTIMETERS, 200 / 2.54},
        Case{200, TWUN_INCHES, TWUN_TWIPS, 200 / 1440.0},
        Case{200, TWUN_CENTIMETERS, TWUN_INCHES, 508}, Case{72, TWUN_POINTS, TWUN_PICAS, 864},
        Case{300, TWUN_INCHES, TWUN_PIXELS, 1}, Case{300, TWUN_INCHES, 6, 300}}) {
    EXPECT_NEAR(TFormSource::ConvertValue(c.Value, c.From, c.To), c.Expected, 1e-9)
        << c.From << " -> " << c.To;
  }

  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  TTwnContainerList list;
  auto stepped = std::make_unique<TStepContainer>();
  stepped->SetCapability(ICAP_XRESOLUTION);
  stepped->SetContainerType(TWON_RANGE);
  stepped->SetStepSize(1);
  TTwnContainer* range = stepped.get();
  list.AddContainer(ICAP_XRESOLUTION, std::move(stepped));
  range->SetMinValue(75);
  range->SetMaxValue(1200);
  range->SetCurrentValue(200);
  range->SetDefaultValue(200);
  ASSERT_EQ(range->GetStepSize(), Variant(1));
  form.ConvertUnits(TWUN_INCHES, TWUN_CENTIMETERS, list, ICAP_XRESOLUTION);
  EXPECT_EQ(range->GetCurrentValue(), Variant(79));
  EXPECT_EQ(range->GetDefaultValue(), Variant(79));
  EXPECT_EQ(range->GetMaxValue(), Variant(472));
  EXPECT_EQ(range->GetMinValue(), Variant(75));

  TTwnContainer* one = list.Add(ICAP_YRESOLUTION);
  one->SetContainerType(TWON_ONEVALUE);
  one->SetCurrentValue(144.0);
  form.ConvertUnits(TWUN_INCHES, TWUN_POINTS, list, ICAP_YRESOLUTION);
  EXPECT_EQ(one->GetCurrentValue(), Variant(2.0));

  std::vector<uint16_t> rebuilt;
  form.OnInitCapability = [&](TTwnContainerList&, uint16_t Cap) {
    rebuilt.push_back(Cap);
    return 0;
  };
  form.ConvertUnits(TWUN_PIXELS, TWUN_INCHES, list, ICAP_YRESOLUTION);
  form.ConvertUnits(TWUN_PIXELS, TWUN_INCHES, list, ICAP_BRIGHTNESS);  // no container
  EXPECT_EQ(rebuilt, std::vector<uint16_t>{ICAP_YRESOLUTION});
}

TEST_F(FormTest, TheFrameResetsToTheLargestFrame) {
  Store("Server", "Local Port", QString::number(DeadPort()));
  TFormSource& form = Make();
  form.SetFrame({10, 20, 30, 40});
  TFrame frame;
  form.GetFrame(frame);
  EXPECT_EQ(frame, (TFrame{10, 20, 30, 40}));
  form.ResetFrame(frame);
  EXPECT_EQ(frame, (TFrame{0, 0, 32767, 32767}));
  form.GetFrame(frame);
  EXPECT_EQ(frame, (TFrame{0, 0, 32767, 32767}));
}

TEST_F(FormTest, FailingEventsOfTheHostNeverLeaveTheForm) {
  const TBytes bmp = BmpImage(*SmallPage(pt8bit));
  Panel({bmp});
  TFormSource& form = Make();
  form.OnTransferReady = [] { throw Exception("host failed"); };
  int closeRequests = 0;
  form.OnCloseRequest = [&] {
    ++closeRequests;
    throw Exception("host failed");
  };
  form.ShowInterface(true);
  QTest::mouseClick(form.ButtonScan, Qt::LeftButton);
  EXPECT_FALSE(form.Page().Empty());
  QTest::mouseClick(form.ButtonClose, Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(closeRequests, 2);
  EXPECT_TRUE(form.ButtonScan->isEnabled());
}

TEST_F(FormTest, ClosingEndsTheSessionAndAShownFormComesBackWhole) {
  const TBytes bmp = BmpImage(*SmallPage(pt8bit));
  TFakePanel& panel = Panel({bmp});
  TFormSource& form = Make();
  form.ShowInterface(true);
  form.ButtonScanClick();
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.Panel1->isVisible());
  ASSERT_TRUE(panel.WaitForRequests(3, 5s));
  EXPECT_EQ(panel.Commands().back(), CMD_STOP_SCAN);
  form.ShowInterface(true);
  EXPECT_TRUE(form.Panel1->isVisible());
  EXPECT_TRUE(form.Panel1->isEnabled());

  form.SetCloseAction(2);
  QPointer<TFormSource> watched = Form.release();  // closing frees it
  watched->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

}  // namespace
