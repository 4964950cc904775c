// The scan server's log bursts and its keeper of page files, on their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "LogBursts.h"
#include "PageFiles.h"
#include "tempfile.h"

namespace {

using namespace std::chrono_literals;

TEST(LogBursts, LogTheFirstLinesOfABurstAndCountTheRestAtTheNext) {
  TLogBursts bursts(1s);
  const TLogBursts::TClock::time_point t0{};
  struct Step {
    const char* Kind;
    size_t Allowance;
    const char* Text;
    std::chrono::milliseconds At;
    std::vector<std::string> Logged;
  };
  const Step steps[] = {
      {"idle", 1, "a", 0ms, {"a"}},
      {"idle", 1, "b", 500ms, {}},
      {"idle", 1, "c", 1400ms, {}},  // 900 ms after the last: the same burst
      {"other", 2, "x", 1400ms, {"x"}},
      {"other", 2, "y", 1500ms, {"y"}},
      {"other", 2, "z", 1600ms, {}},
      {"idle", 1, "d", 2400ms, {"2 more lines like \"a\" not logged", "d"}},
      {"idle", 1, "e", 3400ms, {"e"}},  // the burst of "d" left nothing out
  };
  for (const Step& s : steps) {
    EXPECT_EQ(bursts.Admit(s.Kind, s.Allowance, s.Text, t0 + s.At), s.Logged) << s.Text;
  }
}

class PageFilesTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& Name) {
    const std::string path = (Dir / Name).string();
    std::ofstream(path) << "page";
    return path;
  }
  std::filesystem::path Dir =
      std::filesystem::path(win32::GetTempPath()) / ("pagefiles-" + std::to_string(::getpid()));
  void SetUp() override { std::filesystem::create_directories(Dir); }
  void TearDown() override { std::filesystem::remove_all(Dir); }
};

TEST_F(PageFilesTest, AConnectionHoldsAFewAndTheKeeperDeletesTheRestAsItEnds) {
  const std::string a = Write("a.tmp"), b = Write("b.tmp"), c = Write("c.tmp"), d = Write("d.tmp");
  {
    TPageFiles files(1h, 2);
    files.Add(1, a);
    files.Add(1, b);
    files.Add(2, d);
    files.Add(1, c);  // the connection's third: its oldest goes
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_TRUE(std::filesystem::exists(b));
    files.Drop(b);
    EXPECT_FALSE(std::filesystem::exists(b));
    EXPECT_EQ(files.Count(), 2u);
  }
  EXPECT_FALSE(std::filesystem::exists(c));
  EXPECT_FALSE(std::filesystem::exists(d));
}

TEST_F(PageFilesTest, AFileNoOneTookGoesAfterTheKeepingTime) {
  TPageFiles files(200ms, 4);
  const std::string a = Write("a.tmp");
  files.Add(1, a);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::filesystem::exists(a) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_EQ(files.Count(), 0u);
}

}  // namespace
