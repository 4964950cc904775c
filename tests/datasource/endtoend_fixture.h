// Real processes: the control panel `clarivo` with the test scanner (or SimScanner.ds) on a
// free port, with folders of the test's own, and this test program as the TWAIN host that
// opens Clarivo.ds through TWAIN_32.DLL. Every control panel the test or the data source
// started is ended by the test, as a session ends, and must have run clean.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pagegen.h"
#include "panelprocess.h"
#include "rawhost.h"
#include "registry.h"
#include "userprompt.h"
#include "vekTWAINDSStartup.h"

class TEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepLoaded();
    FPanel = std::make_unique<TPanelProcess>(
        std::string("ds-") + ::testing::UnitTest::GetInstance()->current_test_info()->name(),
        CLARIVO_EXE, TWAIN_32_DLL, CLARIVO_DS);
    Root = FPanel->Root;
    Port = FPanel->Port;
    std::filesystem::create_symlink(SIMSCANNER_DS, Root / "windows" / "twain_32" / "SimScanner.ds");
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteInteger("User Interface", "Image Type", 1);
    reg.WriteInteger("User Interface", "X Resolution", 100);
    reg.WriteInteger("User Interface", "Y Resolution", 100);
    reg.UpdateFile();
    win32::SetMessageBoxHook([this](const QString& Text, const QString&, unsigned) {
      Boxes.push_back(Text.toStdString());
      return win32::IDOK;
    });
  }
  void TearDown() override {
    win32::SetMessageBoxHook({});
    FPanel->End();
    // The control panel the test started ran clean under the sanitizers, to its exit.
    const std::string log = FPanel->ErrorLog();
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
    FPanel.reset();
  }

  void StartPanel() { ASSERT_TRUE(FPanel->Start()); }

  // The Source Manager and the scanner it lists are loaded and unloaded with every host; the
  // test program keeps one load of each for its whole life, as the leak checker at its exit
  // cannot walk the thread-local blocks of libraries that were unloaded.
  static void KeepLoaded() {
    static void* manager = dlopen(TWAIN_32_DLL, RTLD_NOW);
    static void* scanner = dlopen(SIMSCANNER_DS, RTLD_NOW);
    (void)manager;
    (void)scanner;
  }
  std::vector<int> Panels() const { return FPanel->Running(); }
  void EndPanels() { FPanel->End(); }

  // Pages of the feeder besides the test scanner's own: gray, at 100 dpi, their text lines
  // rising by Skew degrees.
  void FeederPages(int Count, double Skew = 0) {
    for (int i = 0; i < Count; ++i) {
      TPageOptions o;
      o.SkewDegrees = Skew;
      o.Width = 850;
      o.Height = 1100;
      o.DPI = 100;
      o.Margin = 80;
      o.Seed = static_cast<uint32_t>(i + 1);
      MakeReferencePage(o)->SaveToFile(
          (Root / "program" / "test" / ("page" + std::to_string(i) + ".bmp")).string());
    }
  }

  // The "Scan !" button of the data source's dialog, once it is shown.
  static QPushButton* ScanButton() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      for (QPushButton* button : top->findChildren<QPushButton*>())
        if (button->text() == "Scan !") return button;
    }
    return nullptr;
  }

  std::filesystem::path Root;
  uint16_t Port = 0;
  std::vector<std::string> Boxes;

 private:
  std::unique_ptr<TPanelProcess> FPanel;
};
