// The scan server driven over loopback by a test client that speaks the protocol byte for
// byte, with a test window that serves small generated pages.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "scanserver_fixture.h"
#include "tempfile.h"

namespace {

TEST_F(ScanServerTest, EveryReplyInOrder) {
  AddPages(2);
  Window.Flags = {1, 0};
  TBytes first = BmpImage(*Window.Pages[0]);
  TBytes second = BmpImage(*Window.Pages[1]);
  TScanRequest request{};
  request.XResolution = 300;
  request.PixelType = 1;
  request.Duplex = 1;
  TBytes payload(reinterpret_cast<const char*>(&request), sizeof request);
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_START_SCAN, payload));
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    TBytes pending = c.Reply();
    ASSERT_EQ(pending.size(), 8u);
    EXPECT_EQ(Int32At(pending, 0), 8);
    EXPECT_EQ(Int32At(pending, 4), -1);

    c.Send(TTestClient::Request(CMD_GET_PAGE));
    TBytes page = c.Reply();
    ASSERT_EQ(page.size(), first.size() + 9);
    EXPECT_EQ(Int32At(page, 0), static_cast<int32_t>(first.size() + 9));
    EXPECT_EQ(page[4], 1);
    EXPECT_EQ(Int32At(page, 5), static_cast<int32_t>(first.size()));
    EXPECT_EQ(page.substr(9), first);

    c.Send(TTestClient::Request(CMD_GET_ORIGINAL));
    TBytes original = c.Reply();
    EXPECT_EQ(Int32At(original, 4), static_cast<int32_t>(first.size()));
    EXPECT_EQ(original.substr(8), first);

    c.Send(TTestClient::Request(CMD_GET_PAGE_FILE));
    TBytes file = c.Reply();
    ASSERT_GE(file.size(), 9u);
    EXPECT_EQ(file[4], 0);
    std::string path = file.substr(9);
    EXPECT_EQ(Int32At(file, 5), static_cast<int32_t>(path.size()));
    TMemoryStream loaded;
    loaded.LoadFromFile(path);
    EXPECT_EQ(TBytes(reinterpret_cast<const char*>(loaded.Memory()), loaded.Size()), second);
    std::filesystem::remove(path);

    c.Send(TTestClient::Request(CMD_GET_ORIGINAL_FILE));
    TBytes originalFile = c.Reply();
    std::string originalPath = originalFile.substr(8);
    EXPECT_EQ(Int32At(originalFile, 4), static_cast<int32_t>(originalPath.size()));
    EXPECT_TRUE(std::filesystem::exists(originalPath));
    std::filesystem::remove(originalPath);

    // No page left: the replies without a page, the stored flag still sent (commands 4 and 9
    // set it to 1).
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(c.Reply(), TBytes("\x09\0\0\0\x01\0\0\0\0", 9));
    c.Send(TTestClient::Request(CMD_GET_PAGE_FILE));
    EXPECT_EQ(c.Reply(), TBytes("\x09\0\0\0\x01\0\0\0\0", 9));
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
    c.Send(TTestClient::Request(CMD_STOP_SCAN));
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
  EXPECT_EQ(Window.Started.XResolution, 300);
  EXPECT_EQ(Window.Started.Duplex, 1);
  EXPECT_EQ(Window.Calls.front(), "StartScan");
  EXPECT_NE(std::find(Window.Calls.begin(), Window.Calls.end(), "StopScan"), Window.Calls.end());
}

TEST_F(ScanServerTest, NoPageOnANewConnection) {
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(c.Reply(), TBytes("\x09\0\0\0\0\0\0\0\0", 9));
    c.Send(TTestClient::Request(CMD_GET_ORIGINAL));
    EXPECT_EQ(c.Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
    c.Send(TTestClient::Request(CMD_GET_ORIGINAL_FILE));
    EXPECT_EQ(c.Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));
  });
}

// The pending reply leaves in one piece, once the window's wait for pages is over.
TEST_F(ScanServerTest, PendingReplyLeavesWholeAfterTheWait) {
  AddPages(1);
  Window.HoldPending = true;
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_TRUE(c.Quiet(300));
    Window.HoldPending = false;
    EXPECT_EQ(c.Read(8), TBytes("\x08\0\0\0\xff\xff\xff\xff", 8));
  });
}

TEST_F(ScanServerTest, UnknownCommandsAreLoggedWithoutReply) {
  Talk([&] {
    TTestClient c(Port);
    for (int32_t command : {0, 7, 11, -1, INT32_MIN}) c.Send(TTestClient::Request(command));
    EXPECT_TRUE(c.Quiet(400));
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
  EXPECT_EQ(std::count(Window.Lines.begin(), Window.Lines.end(),
                       "Errore inaspettato: messaggio non riconosciuto !"),
            5);
}

TEST_F(ScanServerTest, TwoRequestsInOneWriteAndOneOverSeveral) {
  AddPages(1);
  Talk([&] {
    TTestClient c(Port);
    auto start = std::chrono::steady_clock::now();
    c.Send(TTestClient::Request(CMD_GET_PENDING) + TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(c.Reply().size(), 8u);
    EXPECT_GT(c.Reply().size(), 9u);
    // Seen as it arrives, not at the next round of a 250 ms sleep.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    TBytes request = TTestClient::Request(CMD_GET_PAGE);
    for (size_t at = 0; at < request.size(); at += 100) {
      c.Send(request.substr(at, 100));
      if (at + 100 < request.size()) {
        EXPECT_TRUE(c.Quiet(30));
      }
    }
    EXPECT_EQ(c.Reply().size(), 9u);
  });
}

TEST_F(ScanServerTest, ShortScanRequestReplacesOnlyItsBytes) {
  TScanRequest full{};
  full.XResolution = 200;
  full.YResolution = 200;
  full.Duplex = 1;
  TScanRequest changed = full;
  changed.XResolution = 600;
  TBytes whole(reinterpret_cast<const char*>(&full), sizeof full);
  TBytes part(reinterpret_cast<const char*>(&changed), 264);  // up to YResolution
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_STORE_REQUEST, whole));
    c.Send(TTestClient::Request(CMD_START_SCAN, part));
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
  EXPECT_EQ(Window.Started.XResolution, 600);
  EXPECT_EQ(Window.Started.YResolution, 200);
  EXPECT_EQ(Window.Started.Duplex, 1);
}

// Lengths that no request has close the connection with a log line; the buffer never grows
// past one request.
TEST_F(ScanServerTest, InvalidLengthsCloseTheConnection) {
  for (int32_t length : {0, -5, 4, 519, 1025, 100000000, INT32_MAX}) {
    SCOPED_TRACE(length);
    Window.Lines.clear();
    Talk([&] {
      TTestClient c(Port);
      TBytes garbage(600, '\x5a');
      std::memcpy(garbage.data(), &length, 4);
      c.Send(garbage);
      EXPECT_TRUE(c.Closed());
    });
    Pump(50ms);
    ASSERT_EQ(Window.Lines.size(), 1u);
    EXPECT_NE(Window.Lines[0].find("Invalid request length " + std::to_string(length)),
              std::string::npos);
  }
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(c.Reply().size(), 9u);
  });
}

// The connection's thread ends as the peer closes, without waiting for a poll round.
TEST_F(ScanServerTest, OrderlyCloseEndsTheThreadAtOnce) {
  size_t before = ThreadCount();
  size_t during = 0;
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
    during = ThreadCount();
  });
  EXPECT_GE(during, before + 1);
  auto deadline = std::chrono::steady_clock::now() + 150ms;
  while (ThreadCount() > before && std::chrono::steady_clock::now() < deadline) Pump(5ms);
  EXPECT_EQ(ThreadCount(), before);
  EXPECT_TRUE(Window.Lines.empty());
}

// A refused scan request keeps its connection: the client may ask why, and until a scan
// starts its page requests find no page, never one of the scan before.
TEST_F(ScanServerTest, ARefusedScanRequestIsToldAndServesNoPage) {
  AddPages(1);
  Window.RaiseOnStart = true;
  TScanRequest request{};
  const TBytes start = TTestClient::Request(
      CMD_START_SCAN, TBytes(reinterpret_cast<char*>(&request), sizeof request));
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_REFUSAL));
    EXPECT_EQ(c.Reply(), TBytes("\x08\0\0\0\0\0\0\0", 8));  // nothing refused yet
    c.Send(start);
    for (int32_t command : {CMD_GET_PAGE, CMD_GET_PAGE_FILE}) {
      c.Send(TTestClient::Request(command));
      EXPECT_EQ(c.Reply(), TBytes("\x09\0\0\0\0\0\0\0\0", 9));
    }
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(Int32At(c.Reply(), 4), 0);
    c.Send(TTestClient::Request(CMD_GET_REFUSAL));
    const TBytes reply = c.Reply();
    ASSERT_EQ(reply.size(), 8u + 21u);
    EXPECT_EQ(Int32At(reply, 0), 29);
    EXPECT_EQ(Int32At(reply, 4), 21);
    EXPECT_EQ(reply.substr(8), "Cannot save test page");
    TTestClient other(Port);
    other.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_GT(other.Reply().size(), 9u);  // the page waiting for the scan before
  });
  EXPECT_EQ(std::count(Window.Calls.begin(), Window.Calls.end(), "NextProcessedPage"), 1);
  EXPECT_EQ(std::count(Window.Calls.begin(), Window.Calls.end(), "PendingCount"), 0);
  EXPECT_NE(std::find(Window.Lines.begin(), Window.Lines.end(),
                      "Scan request from IP 127.0.0.1 refused: Cannot save test page"),
            Window.Lines.end());
}

// A page request without a page, and an original request without one, say why when asked.
TEST_F(ScanServerTest, ARequestWithoutAPageIsToldWhyWhenAsked) {
  Talk([&] {
    TTestClient c(Port);
    for (auto [command, words] : {std::pair{CMD_GET_PAGE_FILE, "none came from the scanner"},
                                  std::pair{CMD_GET_ORIGINAL, "no original of the last page"}}) {
      c.Send(TTestClient::Request(command));
      c.Reply();
      c.Send(TTestClient::Request(CMD_GET_REFUSAL));
      const TBytes reply = c.Reply();
      ASSERT_GT(reply.size(), 8u);
      EXPECT_EQ(Int32At(reply, 4), static_cast<int32_t>(reply.size() - 8));
      EXPECT_NE(reply.find(words), std::string::npos) << reply;
    }
  });
}

TEST_F(ScanServerTest, PageFilesAreUniquePrivateTmpFiles) {
  AddPages(3);
  std::vector<std::string> paths;
  Talk([&] {
    TTestClient c(Port);
    for (int i = 0; i < 3; ++i) {
      c.Send(TTestClient::Request(CMD_GET_PAGE_FILE));
      paths.push_back(c.Reply().substr(9));
    }
  });
  for (const std::string& path : paths) {
    EXPECT_EQ(std::filesystem::path(path).parent_path().string() + "/", win32::GetTempPath());
    EXPECT_EQ(std::filesystem::path(path).extension(), ".tmp");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::filesystem::remove(path);
  }
  EXPECT_NE(paths[0], paths[1]);
  EXPECT_NE(paths[1], paths[2]);
}

// A page that cannot be written ends its connection with the error in the log.
TEST_F(ScanServerTest, UnwritablePageFileEndsTheConnection) {
  AddPages(1);
  std::string saved = win32::GetTempPath();
  setenv("TMPDIR", "/nonexistent-clarivo-dir", 1);
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PAGE_FILE));
    EXPECT_TRUE(c.Closed());
  });
  setenv("TMPDIR", saved.c_str(), 1);
  ASSERT_EQ(Window.Lines.size(), 1u);
  EXPECT_NE(Window.Lines[0].find("Cannot create file \"/nonexistent-clarivo-dir/"),
            std::string::npos);
}

// Another computer is played by this computer's network address talking to 127.0.0.1: the
// two ends differ and neither is the peer's loopback. Every loopback address is this computer.
TEST_F(ScanServerTest, SharingOffRefusesOtherComputersOnly) {
  const std::string address = NetworkAddress();
  if (address.empty()) GTEST_SKIP() << "this computer has no network address";
  Window.Share = false;
  Talk([&] {
    for (const char* from : {"127.0.0.1", "127.0.0.2", "127.1.2.3"}) {
      TTestClient local(Port, from);
      local.Send(TTestClient::Request(CMD_GET_PAGE));
      EXPECT_EQ(local.Reply().size(), 9u) << from;
    }
    TTestClient other(Port, address.c_str());
    ASSERT_TRUE(other.Connected);
    EXPECT_TRUE(other.EndsWithoutReply());
  });
  ASSERT_EQ(Window.Lines.size(), 1u);
  EXPECT_EQ(Window.Lines[0],
            "WARNING: attempt to use local scanner from IP " + address + " blocked !");
  Window.Share = true;
  Talk([&] {
    TTestClient other(Port, address.c_str());
    other.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(other.Reply().size(), 9u);
  });
}

TEST(ThisComputer, IsEveryLoopbackAddressOrTheSameAddressAtBothEnds) {
  const struct {
    const char* remote;
    const char* local;
    bool same;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", true},   {"127.0.0.2", "127.0.0.1", true},
      {"127.255.0.9", "192.0.2.2", true}, {"192.0.2.2", "192.0.2.2", true},
      {"192.0.2.7", "192.0.2.2", false},  {"192.0.2.2", "127.0.0.1", false},
      {"12.7.0.1", "127.0.0.1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsThisComputer(c.remote, c.local), c.same) << c.remote << " to " << c.local;
  }
}

TEST_F(ScanServerTest, SharingOffServesThisComputerThroughItsNetworkAddress) {
  std::string address = NetworkAddress();
  if (address.empty()) GTEST_SKIP() << "this computer has no network address";
  Window.Share = false;
  Talk([&] {
    TTestClient c(Port, nullptr, address.c_str());
    ASSERT_TRUE(c.Connected);
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_EQ(c.Reply().size(), 9u);
  });
  EXPECT_TRUE(Window.Lines.empty());
}

// Misbehaving peers: one reset in the middle of a reply, one that never reads, a flood of
// idle connections, garbage. The others are served, and closing joins every thread.
TEST_F(ScanServerTest, MisbehavingPeersHarmNoOne) {
  Window.Pages.push_back(BigPage());
  Window.Pages.push_back(BigPage());
  Talk([&] {
    {
      TTestClient killed(Port);
      killed.Send(TTestClient::Request(CMD_GET_PAGE));
      EXPECT_EQ(killed.Read(1000).size(), 1000u);
      linger hard{1, 0};
      setsockopt(killed.Handle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    TTestClient deaf(Port);
    deaf.Send(TTestClient::Request(CMD_GET_PAGE));
    std::vector<std::unique_ptr<TTestClient>> flood;
    for (int i = 0; i < 40; ++i) flood.push_back(std::make_unique<TTestClient>(Port));
    for (int i = 0; i < 20; ++i) flood[i]->Send(TBytes(300, '\x11'));
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
  auto start = std::chrono::steady_clock::now();
  ServerPtr->Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Closing while a connection waits for the window releases it without running its step.
TEST_F(ScanServerTest, CloseReleasesAConnectionWaitingForTheWindow) {
  std::atomic<bool> closed = false;
  std::thread client([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    EXPECT_TRUE(c.EndsWithoutReply());
    closed = true;
  });
  std::this_thread::sleep_for(300ms);  // the main thread does not run the step meanwhile
  ServerPtr->Close();
  client.join();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(Window.Calls.empty());
}

}  // namespace
