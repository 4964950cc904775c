// The main window with the folders, settings and Windows directory of the test's own: its
// "cache" and "test" folders in a temporary program folder, message boxes answered yes.
#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "TFinestraPrincipale.h"
#include "registry.h"
#include "userprompt.h"
#include "windowsdir_fixture.h"

class TServingTest : public TWindowsDirTest {
 protected:
  void SetUp() override {
    TWindowsDirTest::SetUp();
    ASSERT_TRUE(Config.isValid());
    ASSERT_TRUE(Program.isValid());
    qputenv("CLARIVO_CONFIG_DIR", Config.path().toUtf8());
    win32::SetMessageBoxHook([](const QString&, const QString&, unsigned) { return win32::IDYES; });
    // Pages go through the pipeline unchanged unless a test asks for a step.
    Store("Images", "Deskew", "0");
    Store("Images", "Dynamic Thresholding", "0");
    Store("Scanner", "Timeout", "2");
  }
  void TearDown() override {
    Window.reset();
    win32::SetMessageBoxHook(nullptr);
    TWindowsDirTest::TearDown();
  }

  // The window over the settings stored so far, with the scanner chosen.
  TFinestraPrincipale& Make(const QString& Scanner = TFinestraPrincipale::TestScannerName,
                            bool Serve = false) {
    Store("Scanner", "Name", Scanner);
    TControlPanelServices services;
    services.Serve = Serve;
    services.ProgramDir = Program.path();
    Window = std::make_unique<TFinestraPrincipale>(services);
    return *Window;
  }
  void Store(const QString& Section, const QString& Ident, const QString& Value) {
    TRegIniFile reg(TFinestraPrincipale::RegistryKey);
    reg.WriteString(Section, Ident, Value);
    reg.UpdateFile();
  }
  std::string TestDir() const { return Window->TestDir.toStdString(); }
  // The lines of the log without their date and time.
  std::vector<std::string> LogLines() const;
  bool Logged(const std::string& Line) const;
  size_t Count(const std::string& Line) const;

  QTemporaryDir Config;
  QTemporaryDir Program;
  std::unique_ptr<TFinestraPrincipale> Window;
};

// A request for a page of the size, resolution and type.
TScanRequest Request(int32_t PixelType, int32_t DPI, double Width, double Height);

// The page of a handle that the window handed over; the page owns it.
std::unique_ptr<TDIB> Adopt(win32::HGLOBAL Handle);
// The page of a file.
std::unique_ptr<TDIB> Load(const std::string& File);
// A small page saved as a BMP file.
void SavePage(const std::string& File, uint8_t PixelType, int32_t Width = 40, int32_t Height = 30,
              int32_t DPI = 100);
