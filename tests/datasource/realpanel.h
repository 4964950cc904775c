// The real control panel, started as a user starts it, for the dialog's tests: a program
// folder, settings, runtime folder, Windows directory and temporary directory of the test's
// own, the test scanner chosen, a free port; the program is ended by the test.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "panelprocess.h"

class RealPanelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Settings of the panel and the dialog, before the panel starts.
  void Store(const QString& Section, const QString& Ident, const QString& Value);
  // Starts the panel; false when its port does not accept a connection within the time.
  bool StartPanel() { return FPanel->Start(); }
  void StopPanel() { FPanel->End(); }
  // The panel's standard error so far.
  std::string PanelOutput() const { return FPanel->ErrorLog(); }

  std::filesystem::path Root;
  uint16_t Port = 0;

 private:
  std::unique_ptr<TPanelProcess> FPanel;
};
