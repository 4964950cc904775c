// The program `clarivo` as a user starts it, with the test scanner, settings, a runtime folder
// and a program folder of the test's own and a free port, serving pages to the protocol's test
// client; the test ends the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "UnitSharedParam.h"
#include "dibunit.h"
#include "panelprocess.h"
#include "registry.h"
#include "streams.h"
#include "testclient.h"

namespace {

namespace fs = std::filesystem;

TBytes FileBytes(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<TDIB> PageOf(const TBytes& Bmp) {
  TMemoryStream stream;
  stream.WriteBuffer(Bmp.data(), static_cast<int64_t>(Bmp.size()));
  stream.SetPosition(0);
  auto page = std::make_unique<TDIB>();
  page->LoadFromStream(stream);
  return page;
}

class ProgramServingTest : public ::testing::Test {
 protected:
  void Start() { ASSERT_TRUE(Panel.Start()) << Panel.ErrorLog(); }
  // A connection to the program, which listens once started.
  std::unique_ptr<TTestClient> Connect() {
    auto client = std::make_unique<TTestClient>(Panel.Port);
    if (client->Connected) return client;
    return nullptr;
  }

  // A gray scan of the test scanner's 2 x 3 inch page at 100 dpi, as many pages as there are.
  static void StartScan(TTestClient& Client) {
    TScanRequest request{};
    request.ImageCount = -1;
    request.XResolution = request.YResolution = 100;
    request.PageWidth = 2;
    request.PageHeight = 3;
    request.PixelType = 1;
    Client.Send(TTestClient::Request(
        CMD_START_SCAN, TBytes(reinterpret_cast<const char*>(&request), sizeof request)));
  }

  TPanelProcess Panel{"serving", CLARIVO_EXE, "", ""};
  const fs::path TestDir = Panel.ProgramDir / "test";
};

TEST_F(ProgramServingTest, ServesTheTestScannersPagesOverTheProtocol) {
  {
    TDIB extra;
    extra.NewImage(80, 60, pt8bit, 100, 100);
    extra.Clear();
    extra.SaveToFile((TestDir / "extra.bmp").string());
  }
  Start();
  std::unique_ptr<TTestClient> c = Connect();
  ASSERT_NE(c, nullptr);
  StartScan(*c);
  c->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\xff\xff\xff\xff", 8));

  c->Send(TTestClient::Request(CMD_GET_PAGE));
  TBytes page = c->Reply();
  ASSERT_GT(page.size(), 9u);
  EXPECT_EQ(Int32At(page, 5), static_cast<int32_t>(page.size() - 9));
  std::unique_ptr<TDIB> front = PageOf(page.substr(9));
  EXPECT_EQ(front->PixelType(), pt8bit);
  EXPECT_EQ(front->Width(), 200);
  EXPECT_EQ(front->Height(), 300);

  c->Send(TTestClient::Request(CMD_GET_ORIGINAL));
  TBytes original = c->Reply();
  EXPECT_EQ(original.substr(8), FileBytes(TestDir / "front.bmp"));

  c->Send(TTestClient::Request(CMD_GET_PAGE_FILE));
  TBytes file = c->Reply();
  ASSERT_GT(file.size(), 9u);
  std::string path = file.substr(9);
  EXPECT_EQ(PageOf(FileBytes(path))->Width(), 80);
  fs::remove(path);

  c->Send(TTestClient::Request(CMD_GET_PAGE));
  EXPECT_EQ(c->Reply().size(), 9u);
  c->Send(TTestClient::Request(CMD_STOP_SCAN));
  c->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  c.reset();

  // The end of the session: the program ends by itself and clears its cache.
  EXPECT_EQ(Panel.Terminate(), 0);
  EXPECT_TRUE(fs::exists(TestDir / "front.bmp"));
  EXPECT_TRUE(fs::is_empty(Panel.ProgramDir / "cache"));
}

// An original that no longer reads as a bitmap is answered as no original, and the connection
// goes on serving.
TEST_F(ProgramServingTest, ABadOriginalIsAnsweredAsNoneOnTheSameConnection) {
  Start();
  std::unique_ptr<TTestClient> c = Connect();
  ASSERT_NE(c, nullptr);
  StartScan(*c);
  c->Send(TTestClient::Request(CMD_GET_PAGE));
  ASSERT_GT(c->Reply().size(), 9u);
  std::ofstream(TestDir / "front.bmp", std::ios::binary | std::ios::trunc) << "BM broken";
  c->Send(TTestClient::Request(CMD_GET_ORIGINAL));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  c->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(c->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  c.reset();
  EXPECT_EQ(Panel.Terminate(), 0);
}

// With "Share Local Scanner" off, another computer (played by this computer's network address
// talking to 127.0.0.1) is refused while this computer is served, through any loopback address.
TEST_F(ProgramServingTest, SharingOffRefusesAnotherComputer) {
  const std::string address = NetworkAddress();
  if (address.empty()) GTEST_SKIP() << "this computer has no network address";
  {
    TRegIniFile reg("Software\\Dovantic Technologies\\Clarivo");
    reg.WriteBool("Scanner", "Share", false);
    reg.UpdateFile();
  }
  Start();
  std::unique_ptr<TTestClient> local = Connect();
  ASSERT_NE(local, nullptr);
  TTestClient loopback(Panel.Port, "127.0.0.2");
  loopback.Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(loopback.Reply().size(), 8u);
  TTestClient other(Panel.Port, address.c_str());
  ASSERT_TRUE(other.Connected);
  EXPECT_TRUE(other.EndsWithoutReply());
  local->Send(TTestClient::Request(CMD_GET_PENDING));
  EXPECT_EQ(local->Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  local.reset();
  EXPECT_EQ(Panel.Terminate(), 0);
}

}  // namespace
