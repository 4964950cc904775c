#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Message boxes and the dialog's windows need the application object, as in a Qt host.
class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "datasource_twain_tests";
    static char* argv[] = {name, nullptr};
    FApp = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { FApp.reset(); }

 private:
  std::unique_ptr<QApplication> FApp;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
