// One QApplication for the whole test program, made before the first test and ended after the
// last. A test program takes it by naming this file among its sources.
#include <gtest/gtest.h>

#include <QApplication>
#include <cerrno>
#include <memory>

namespace {

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char* argv[] = {program_invocation_short_name, nullptr};
    FApplication = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { FApplication.reset(); }

 private:
  std::unique_ptr<QApplication> FApplication;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
