#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <functional>
#include "TLogView.h"

#include "RealKeyPress.h"
#include "THelpWindow.h"
#include "UnitParAutoCrop.h"
#include "UnitParDeskew.h"
#include "window_fixture.h"

namespace {

// Works on the modal dialog that the next call opens, then presses its button.
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> Fill, const char* Button) {
  QTimer::singleShot(0, [Fill, Button] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    Fill(*static_cast<Dialog*>(dialog));
    dialog->findChild<QPushButton*>(Button)->click();
  });
}

TEST_F(WindowTest, MonoAndMirafoldExcludeEachOther) {
  TFinestraPrincipale& w = Make();
  EXPECT_FALSE(w.CheckBoxMultiStream->isEnabled());  // "Driver Setting" is checked
  w.RadioButtonGray->click();
  ASSERT_TRUE(w.CheckBoxMultiStream->isEnabled());
  w.CheckBoxMultiStream->click();
  EXPECT_FALSE(w.RadioButtonMono->isEnabled());
  EXPECT_FALSE(w.RadioButtonDriverMode->isEnabled());
  EXPECT_TRUE(w.RadioButtonColor->isEnabled());
  w.CheckBoxMultiStream->click();
  w.RadioButtonMono->click();
  EXPECT_FALSE(w.CheckBoxMultiStream->isEnabled());
  EXPECT_FALSE(w.CheckBoxMultiStream->isChecked());
}

TEST_F(WindowTest, StoredMirafoldWithMonoIsCleared) {
  Store("Images", "Type", "1");
  Store("Images", "Mirafold", "1");
  TFinestraPrincipale& w = Make();
  EXPECT_FALSE(w.CheckBoxMultiStream->isChecked());
  EXPECT_FALSE(w.CheckBoxMultiStream->isEnabled());
}

TEST_F(WindowTest, DriverSettingsDisableTheirCustomValues) {
  TFinestraPrincipale& w = Make();
  EXPECT_FALSE(w.SpinEditResolution->isEnabled());
  EXPECT_FALSE(w.ComboBoxPagina->isEnabled());
  EXPECT_FALSE(w.SpinEditLum->isEnabled());
  EXPECT_FALSE(w.EditIP->isEnabled());
  EXPECT_TRUE(w.SpinEditLocalPort->isEnabled());
  w.RadioButtonCustomResolution->click();
  w.RadioButtonCustomPage->click();
  w.RadioButtonCustomLight->click();
  w.RadioButtonNetworkScanner->click();
  EXPECT_TRUE(w.SpinEditResolution->isEnabled());
  EXPECT_TRUE(w.ComboBoxPagina->isEnabled());
  EXPECT_TRUE(w.SpinEditLum->isEnabled());
  EXPECT_TRUE(w.EditIP->isEnabled());
  w.CheckBoxAutoBrightness->click();
  EXPECT_FALSE(w.SpinEditLum->isEnabled());
  EXPECT_TRUE(w.SpinEditCon->isEnabled());
  w.CheckBoxShareLocalScanner->click();
  EXPECT_FALSE(w.SpinEditLocalPort->isEnabled());
  EXPECT_TRUE(w.ButtonDeskew->isEnabled());
  EXPECT_FALSE(w.ButtonQualityControl->isEnabled());
  w.CheckBoxQC->click();
  EXPECT_TRUE(w.ButtonQualityControl->isEnabled());
}

TEST_F(WindowTest, DialogOkReadsEveryControlBackAndCancelChangesNothing) {
  TFinestraPrincipale& w = Make();
  WhenShown<TDialogoDeskew>(
      [](TDialogoDeskew& d) {
        EXPECT_EQ(d.EditMin->text(), "0.25");
        d.EditMin->setText("1.5");
        d.EditRes->setText("0.5");
        d.SpinEditAngle->setValue(12);
        d.CheckBoxBlack->setChecked(true);
      },
      "ButtonOK");
  w.ButtonDeskew->click();
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AngleMin, 1.5);
  EXPECT_DOUBLE_EQ(w.AngleResolution, 0.5);
  EXPECT_EQ(w.Pipeline.Parameters.AngleRange, 12);
  EXPECT_TRUE(w.Pipeline.Parameters.BlackBackground);

  w.CheckBoxAutoCrop->click();  // its button is enabled only then
  WhenShown<TDialogoAutoCrop>(
      [](TDialogoAutoCrop& d) {
        EXPECT_TRUE(d.CheckBoxA3->isChecked());
        EXPECT_FALSE(d.CheckBoxA4->isChecked());
        d.CheckBoxA6->setChecked(true);
        d.EditPercent->setText("90");
      },
      "ButtonCancel");
  w.ButtonAutoCrop->click();
  EXPECT_EQ(w.Pipeline.Parameters.AutoCropSizes, 56);
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, 99.5);

  WhenShown<TDialogoAutoCrop>(
      [](TDialogoAutoCrop& d) {
        d.CheckBoxA6->setChecked(true);
        d.CheckBoxLedger->setChecked(true);
        d.EditPercent->setText("90");
      },
      "ButtonOK");
  w.ButtonAutoCrop->click();
  EXPECT_EQ(w.Pipeline.Parameters.AutoCropSizes, 1 + 56 + 128);
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, 90);
}

TEST_F(WindowTest, AnEditThatIsNoNumberStopsTheReadingWithItsError) {
  TFinestraPrincipale& w = Make();
  w.CheckBoxAutoCrop->click();
  WhenShown<TDialogoAutoCrop>(
      [](TDialogoAutoCrop& d) {
        d.EditPercent->setText("95");
        d.CheckBoxA4->setChecked(true);
        d.EditMargin->setText("x");
      },
      "ButtonOK");
  w.ButtonAutoCrop->click();
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0], "'x' is not a valid floating point value");
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, 95);
  EXPECT_EQ(w.Pipeline.Parameters.AutoCropSizes, 56 + 4);
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropMargin, 0);
}

TEST_F(WindowTest, KeyFiltersRefuseKeysThatMakeNoNumber) {
  QLocale::setDefault(QLocale(QLocale::German));
  TFinestraPrincipale& w = Make();
  TDialogoAutoCrop autoCrop(&w);
  autoCrop.EditPercent->setText("99,5");
  QTest::keyClick(autoCrop.EditPercent, '.');
  EXPECT_EQ(autoCrop.EditPercent->text(), "99,5");
  QTest::keyClick(autoCrop.EditPercent, '1');
  EXPECT_EQ(autoCrop.EditPercent->text(), "99,51");
  QTest::keyClick(autoCrop.EditPercent, 'a');
  QTest::keyClick(autoCrop.EditPercent, Qt::Key_Backspace);
  EXPECT_EQ(autoCrop.EditPercent->text(), "99,5");
  autoCrop.EditMargin->setText("0");
  QTest::keyClick(autoCrop.EditMargin, ',');
  EXPECT_EQ(autoCrop.EditMargin->text(), "0,");

  // The deskew edits take the full stop as their mark: under a comma locale "0.0" is no
  // number, so the full stop is refused.
  TDialogoDeskew deskew(&w);
  deskew.EditMin->setText("0");
  QTest::keyClick(deskew.EditMin, '.');
  EXPECT_EQ(deskew.EditMin->text(), "0");
  QLocale::setDefault(QLocale::c());
  QTest::keyClick(deskew.EditMin, '.');
  QTest::keyClick(deskew.EditMin, '5');
  EXPECT_EQ(deskew.EditMin->text(), "0.5");

  EXPECT_TRUE(AcceptRealKey("12", ' ', '.'));
  EXPECT_TRUE(AcceptRealKey("12", '.', '.'));
  EXPECT_FALSE(AcceptRealKey("1.2", '.', '.'));
}

TEST_F(WindowTest, LogLinesEndWithTheDateAndTime) {
  QLocale::setDefault(QLocale::c());
  TFinestraPrincipale& w = Make();
  QDateTime before = QDateTime::currentDateTime();
  w.Log("New Image Scanned...");
  QString last = w.MemoLog->toPlainText().split('\n').last();
  QRegularExpression line("^New Image Scanned\\.\\.\\. - (.+)$");
  auto match = line.match(last);
  ASSERT_TRUE(match.hasMatch()) << last.toStdString();
  QLocale locale;
  QStringList stamp = match.captured(1).split(' ');
  ASSERT_EQ(stamp.size(), 4) << match.captured(1).toStdString();  // "10 Dec 2026 12:46:22"
  QTime time = QTime::fromString(stamp.last(), "HH:mm:ss");
  ASSERT_TRUE(time.isValid());
  EXPECT_LE(std::abs(time.secsTo(before.time())), 2);
}

// A window hidden without a tray icon could not be reached again: "Cancel" and "OK" leave it
// on the desktop, minimised.
TEST_F(WindowTest, WithoutANotificationAreaTheLogSaysSoAndTheWindowStaysReachable) {
  TFinestraPrincipale& w = Make();
  ASSERT_EQ(w.TrayIcon, nullptr);
  EXPECT_TRUE(w.MemoLog->toPlainText().contains("no notification area"));
  w.show();
  w.ButtonCancel->click();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.isMinimized());
}

// Enter in an edit or a spin box is "OK" (saves); on a focused button it presses that button.
TEST_F(WindowTest, EnterActsAsOkOrAsTheFocusedButton) {
  TFinestraPrincipale& w = Make();
  w.show();
  w.PageControl1->setCurrentWidget(w.TabSheetScanner);
  w.RadioButtonNetworkScanner->setChecked(true);
  w.EditIP->setText("10.0.0.9");
  w.EditIP->setFocus();
  QTest::keyClick(w.EditIP, Qt::Key_Return);
  EXPECT_EQ(Stored("Server", "IP"), "10.0.0.9");
  EXPECT_TRUE(w.isMinimized());

  w.showNormal();
  w.SpinEditTimeout->setValue(33);
  w.SpinEditTimeout->setFocus();
  QTest::keyClick(w.SpinEditTimeout, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Stored("Scanner", "Timeout"), "33");

  w.showNormal();
  w.SpinEditTimeout->setValue(44);
  w.ButtonCancel->setFocus();
  QTest::keyClick(w.ButtonCancel, Qt::Key_Return);
  EXPECT_EQ(Stored("Scanner", "Timeout"), "33");
  EXPECT_TRUE(w.isMinimized());
}

// "?" shows the help built into the program, whatever is installed beside it; its link to the
// clean-up steps opens that page in the same window.
TEST_F(WindowTest, HelpShowsThePagesBuiltIntoTheProgram) {
  TFinestraPrincipale& w = Make();
  w.show();
  w.ButtonHelp->click();
  EXPECT_TRUE(Asked.empty());
  ASSERT_NE(w.HelpWindow, nullptr);
  EXPECT_TRUE(w.HelpWindow->isVisible());
  QString help = w.HelpWindow->Browser->toPlainText();
  for (const char* page : {"Hardware", "Processing", "Scanner Parameters", "Log", "Info",
                           "Black Border Removal", "Quality Control"}) {
    EXPECT_TRUE(help.contains(page)) << page;
  }
  QTextBrowser& browser = *w.HelpWindow->Browser;
  EXPECT_TRUE(browser.toHtml().contains("href=\"cleanup.md\""));
  browser.setSource(browser.source().resolved(QUrl("cleanup.md")));  // as the link does
  EXPECT_EQ(browser.source().toString().toStdString(), "qrc:/help/cleanup.md");
  EXPECT_TRUE(browser.toPlainText().startsWith("The clean-up steps"));
  w.ButtonHelp->click();  // the same window again
  EXPECT_EQ(w.findChildren<THelpWindow*>().size(), 1);
}

TEST_F(WindowTest, TheTrayMenuOpensOnlyWhileTheWindowIsHidden) {
  TFinestraPrincipale& w = Make();
  w.show();
  w.TrayMessage(QSystemTrayIcon::Context);
  EXPECT_FALSE(w.PopupMenu1->isVisible());
  w.hide();
  w.TrayMessage(QSystemTrayIcon::Context);
  EXPECT_TRUE(w.PopupMenu1->isVisible());
  EXPECT_FALSE(w.isVisible());
  w.PopupMenu1->hide();
  w.TrayMessage(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowTest, ExitAsksAndOnlyYesCloses) {
  TFinestraPrincipale& w = Make();
  int closed = 0;
  QObject::connect(&w, &TFinestraPrincipale::Closed, [&] { ++closed; });
  w.show();
  Answer = win32::IDNO;
  w.CommandCloseClick();
  EXPECT_TRUE(w.Exiting);
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0], "Do you really want to shutdown Clarivo® ?");
  Answer = win32::IDYES;
  w.close();
  EXPECT_EQ(closed, 1);
}

TEST_F(WindowTest, TheSessionsEndClosesWithoutAskingAndSaves) {
  TFinestraPrincipale& w = Make();
  int closed = 0;
  QObject::connect(&w, &TFinestraPrincipale::Closed, [&] { ++closed; });
  w.show();
  w.RadioButtonColor->click();
  w.WMQueryEndSession();
  w.close();
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(Asked.empty());
  Window.reset();
  EXPECT_EQ(Stored("Images", "Type"), "3");
}

TEST_F(WindowTest, TheWindowsCheckBoxesDriveThePipeline) {
  TFinestraPrincipale& w = Make();
  TDIB page;
  page.NewImage(64, 64, pt8bit, 100, 100);
  w.Pipeline.Parameters.MaxContrast = 0;
  EXPECT_FALSE(w.QualityCheck(page));
  w.CheckBoxQC->click();
  EXPECT_TRUE(w.QualityCheck(page));
  w.CheckBoxDeskew->click();
  w.CheckBoxThresholding->click();
  w.ProcessPage(page, pt1bit, 100, 100);
  EXPECT_EQ(page.PixelType(), pt1bit);
  EXPECT_FALSE(w.Pipeline.Checks.Deskew);
}

}  // namespace
