#include "viewfixture.h"

namespace {
// gtest owns the environment and runs it around the whole program.
[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);
}  // namespace
