// A main window over settings of the test's own, with message boxes answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>
#include <memory>

#include "TFinestraPrincipale.h"
#include "registry.h"
#include "userprompt.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Config.isValid());
    qputenv("CLARIVO_CONFIG_DIR", Config.path().toUtf8());
    qputenv("CLARIVO_CACHE_DIR", (Config.path() + "/cache").toUtf8());
    win32::SetMessageBoxHook([this](const QString& Text, const QString&, unsigned) {
      Asked.push_back(Text);
      return Answer;
    });
  }
  void TearDown() override {
    Window.reset();
    win32::SetMessageBoxHook(nullptr);
    QLocale::setDefault(QLocale::c());
  }

  TFinestraPrincipale& Make(std::vector<QString> Sources = {}) {
    Window = std::make_unique<TFinestraPrincipale>(
        TControlPanelServices{[Sources] { return Sources; }, false, {}});
    return *Window;
  }
  TRegIniFile Registry() { return TRegIniFile(TFinestraPrincipale::RegistryKey); }
  void Store(const QString& Section, const QString& Ident, const QString& Value) {
    TRegIniFile reg = Registry();
    reg.WriteString(Section, Ident, Value);
    reg.UpdateFile();
  }
  QString Stored(const QString& Section, const QString& Ident) {
    return Registry().ReadString(Section, Ident, "<missing>");
  }

  QTemporaryDir Config;
  std::unique_ptr<TFinestraPrincipale> Window;
  std::vector<QString> Asked;
  int Answer = win32::IDYES;
};
