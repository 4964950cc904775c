#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QSpinBox>
#include "TLogView.h"

#include "window_fixture.h"

namespace {

struct Row {
  const char* Section;
  const char* Ident;
  const char* Default;
  const char* Other;  // a value other than the default that the window keeps
};

const Row kRows[] = {
    {"Server", "IP", "127.0.0.1", "10.1.2.3"},
    {"Server", "Port", "7098", "7100"},
    {"Server", "Local Port", "7098", "7200"},
    {"Server", "Local", "1", "0"},
    {"Scanner", "Name", "[Test Scanner]", "Flatbed 2"},
    {"Scanner", "Black Background", "0", "1"},
    {"Scanner", "Timeout", "20", "45"},
    {"Scanner", "Share", "1", "0"},
    {"Images", "Type", "0", "2"},
    {"Images", "Mirafold", "0", "1"},
    {"Images", "Use Custom Resolution", "0", "1"},
    {"Images", "Resolution", "200", "600"},
    {"Images", "Use Custom Size", "0", "1"},
    {"Images", "Size", "0", "6"},
    {"Images", "Use Custom Light Regulation", "0", "1"},
    {"Images", "Contrast", "0", "-300"},
    {"Images", "Brightness", "0", "250"},
    {"Images", "Threshold", "128", "77"},
    {"Images", "Auto Brightness", "0", "1"},
    {"Images", "ADF", "0", "1"},
    {"Images", "Duplex", "0", "2"},
    {"Images", "Deskew", "1", "0"},
    {"Images", "Despeckle", "0", "1"},
    {"Images", "AutoCrop", "0", "1"},
    {"Images", "BlackBorderRemoval", "0", "1"},
    {"Images", "Dynamic Thresholding", "1", "0"},
    {"Images", "QC", "0", "1"},
    {"Thresholding", "Area", "9", "31"},
    {"Thresholding", "Aggressivity", "50", "80"},
    {"Thresholding", "Algo", "1", "2"},
    {"Deskew", "Angle Range", "4", "10"},
    {"Deskew", "Angle Min", "0.25", "0.5"},
    {"Deskew", "Angle Resolution", "0.25", "0.125"},
    {"Deskew", "Black Background", "0", "1"},
    {"Deskew", "Interpolation", "0", "1"},
    {"AutoCrop", "Threshold", "99.5", "98.25"},
    {"AutoCrop", "Margin", "0", "0.3"},
    {"AutoCrop", "Sizes", "56", "7"},
    {"BlackBorderRemoval", "Threshold", "99.5", "97"},
    {"BlackBorderRemoval", "Crop", "1", "0"},
    {"Despeckle", "Black Size", "3", "5"},
    {"Despeckle", "Smart", "0", "1"},
    {"QC", "Min Brightness", "32", "10"},
    {"QC", "Max Brightness", "192", "200"},
    {"QC", "Min Contrast", "32", "11"},
    {"QC", "Max Contrast", "192", "201"},
};

TEST_F(WindowTest, FirstStartShowsTheDefaultsAndWritesEveryValue) {
  TFinestraPrincipale& w = Make();
  EXPECT_EQ(w.ComboBoxScanners->currentText(), "[Test Scanner]");
  EXPECT_EQ(w.SpinEditLocalPort->value(), 7098);
  EXPECT_TRUE(w.RadioButtonDriverMode->isChecked());
  EXPECT_TRUE(w.CheckBoxDeskew->isChecked());
  EXPECT_EQ(w.Pipeline.Parameters.AutoCropSizes, 56);
  Window.reset();  // the end of the program saves
  for (const Row& row : kRows) {
    EXPECT_EQ(Stored(row.Section, row.Ident), row.Default) << row.Section << "/" << row.Ident;
  }
}

TEST_F(WindowTest, EveryValueRoundTripsThroughTheWindow) {
  for (const Row& row : kRows) Store(row.Section, row.Ident, row.Other);
  TFinestraPrincipale& w = Make({"Flatbed 1", "Flatbed 2"});
  EXPECT_EQ(w.ComboBoxScanners->currentText(), "Flatbed 2");
  EXPECT_TRUE(w.RadioButtonGray->isChecked());
  EXPECT_TRUE(w.CheckBoxMultiStream->isChecked());
  EXPECT_TRUE(w.RadioButtonNetworkScanner->isChecked());
  EXPECT_EQ(w.SpinEditCon->value(), -300);
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, 98.25);
  QTemporaryDir other;
  qputenv("CLARIVO_CONFIG_DIR", other.path().toUtf8());
  w.SaveSettings();
  for (const Row& row : kRows) {
    EXPECT_EQ(Stored(row.Section, row.Ident), row.Other) << row.Section << "/" << row.Ident;
  }
}

TEST_F(WindowTest, StoredValuesOutsideTheControlsAreHandledAsTheirControlsDo) {
  Store("Images", "Type", "7");
  Store("Scanner", "Name", "[test scanner]");
  Store("AutoCrop", "Sizes", "0");
  Store("Thresholding", "Area", "nine");
  TFinestraPrincipale& w = Make();
  EXPECT_TRUE(w.RadioButtonDriverMode->isChecked());
  EXPECT_EQ(w.ComboBoxScanners->currentText(), "[Test Scanner]");  // case is not looked at
  EXPECT_EQ(w.Pipeline.Parameters.AutoCropSizes, 0);
  EXPECT_EQ(PaperList(w.Pipeline.Parameters.AutoCropSizes), "");
  EXPECT_EQ(w.Pipeline.Parameters.Area, 9);
  w.SaveSettings();
  EXPECT_EQ(Stored("Images", "Type"), "0");
}

// A value outside its control's or dialog's range is clamped to the range, one that is no
// number or no item of its list gives the default; the log names each, and the next save
// writes what was used.
TEST_F(WindowTest, ValuesOutsideTheirRangeAreClampedOrDefaultedAndLogged) {
  const struct {
    const char* Section;
    const char* Ident;
    const char* Stored;
    const char* Used;
  } cases[] = {
      {"AutoCrop", "Threshold", "1e308", "100"},
      {"AutoCrop", "Margin", "1e300", "10"},
      {"BlackBorderRemoval", "Threshold", "-1e9", "0"},
      {"Deskew", "Angle Min", "-3", "0"},
      {"Deskew", "Angle Range", "400", "45"},
      {"Thresholding", "Area", "0", "1"},
      {"Thresholding", "Aggressivity", "99999999999", "255"},
      {"Thresholding", "Algo", "5", "1"},
      {"Thresholding", "Algo", "nine", "1"},
      {"Despeckle", "Black Size", "-7", "1"},
      {"QC", "Max Brightness", "300", "255"},
      {"AutoCrop", "Sizes", "256", "56"},
      {"Images", "Size", "8", "0"},
      {"Images", "ADF", "-1", "0"},
      {"Images", "Type", "7", "0"},
      {"Images", "Resolution", "50", "100"},
      {"Scanner", "Timeout", "0", "1"},
      {"Server", "Local Port", "70000", "65535"},
  };
  for (const auto& c : cases) {
    Store(c.Section, c.Ident, c.Stored);
    TFinestraPrincipale& w = Make();
    QString log = w.MemoLog->toPlainText();
    EXPECT_TRUE(log.contains(QString("%1 \"%2\" = \"%3\"").arg(c.Section, c.Ident, c.Stored)))
        << c.Ident << " " << c.Stored << ": " << log.toStdString();
    EXPECT_TRUE(log.contains(QString(", %1 is used").arg(c.Used))) << log.toStdString();
    w.SaveSettings();
    EXPECT_EQ(Stored(c.Section, c.Ident), c.Used) << c.Section << "/" << c.Ident;
    Window.reset();
  }
  TFinestraPrincipale& w = Make();  // values in range say nothing
  EXPECT_FALSE(w.MemoLog->toPlainText().contains("setting"));
}

// A decimal comma written by hand without quotes is a list to the settings file's reader.
TEST_F(WindowTest, AnUnquotedDecimalCommaReadsAsTheNumberItMeans) {
  QString file = TRegIniFile::FileNameOf(TFinestraPrincipale::RegistryKey);
  QDir().mkpath(QFileInfo(file).absolutePath());
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write("[AutoCrop]\nMargin=0,5\nThreshold=98,5\n");
  out.close();
  TFinestraPrincipale& w = Make();
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropMargin, 0.5);
  EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, 98.5);
  EXPECT_FALSE(w.MemoLog->toPlainText().contains("setting"));
}

TEST_F(WindowTest, AScannerNoLongerInstalledLeavesNoneSelectedAndSavesAnEmptyName) {
  Store("Scanner", "Name", "Gone Scanner");
  TFinestraPrincipale& w = Make({"Flatbed 1"});
  EXPECT_EQ(w.ComboBoxScanners->currentIndex(), -1);
  w.SaveSettings();
  EXPECT_EQ(Stored("Scanner", "Name"), "");
}

TEST_F(WindowTest, TheSystemsOwnDataSourceIsNeverListed) {
  TFinestraPrincipale& w = Make({"Flatbed 1", "Clarivo®"});
  ASSERT_EQ(w.ComboBoxScanners->count(), 2);
  EXPECT_EQ(w.ComboBoxScanners->itemText(0), "Flatbed 1");
  EXPECT_EQ(w.ComboBoxScanners->itemText(1), "[Test Scanner]");
}

// Decimal numbers saved under one separator read back as the same numbers under the other;
// text that is no number under either gives the default.
TEST_F(WindowTest, DecimalsSavedUnderTheOtherSeparatorKeepTheirValue) {
  const struct {
    QLocale::Language Language;
    const char* Text;
    double Expected;
  } cases[] = {{QLocale::German, "99.25", 99.25},  {QLocale::German, "99,25", 99.25},
               {QLocale::English, "99,25", 99.25}, {QLocale::English, "99.25", 99.25},
               {QLocale::German, "1.000,5", 99.5}, {QLocale::English, "abc", 99.5},
               {QLocale::English, "inf", 99.5}};
  for (const auto& c : cases) {
    QLocale::setDefault(QLocale(c.Language));
    Store("AutoCrop", "Threshold", c.Text);
    TFinestraPrincipale& w = Make();
    EXPECT_DOUBLE_EQ(w.Pipeline.Parameters.AutoCropThreshold, c.Expected) << c.Text;
    Window.reset();
  }
  QLocale::setDefault(QLocale(QLocale::German));
  Store("AutoCrop", "Threshold", "99.25");
  Make().SaveSettings();
  EXPECT_EQ(Stored("AutoCrop", "Threshold"), "99,25");
}

}  // namespace
