#include "realpanel.h"

#include "registry.h"
#include "uDSUserInterface.h"

void RealPanelTest::SetUp() {
  FPanel = std::make_unique<TPanelProcess>(
      std::string("ds-") + ::testing::UnitTest::GetInstance()->current_test_info()->name(),
      CLARIVO_EXE, "", "");
  Root = FPanel->Root;
  Port = FPanel->Port;
  ASSERT_NE(Port, 0);
  Store("Scanner", "Timeout", "3");
  // The program's own thresholding, which these tests leave on unless they say otherwise.
  Store("Images", "Dynamic Thresholding", "1");
}

void RealPanelTest::TearDown() {
  FPanel.reset();
}

void RealPanelTest::Store(const QString& Section, const QString& Ident, const QString& Value) {
  TRegIniFile reg(TFormSource::RegistryKey);
  reg.WriteString(Section, Ident, Value);
  reg.UpdateFile();
}
