// The scan server against peers that are many, idle, deaf or gone: what the process holds
// (threads, descriptors, memory, files, log lines) is measured before and after, and no page
// is lost to a peer that went.
#include <sys/socket.h>

#include <cstring>

#include "scanserver_fixture.h"
#include "tempfile.h"

namespace {

class LimitedServerTest : public ScanServerTest {
 protected:
  LimitedServerTest() {
    Limits.MaxConnections = 8;
    Limits.IdleTimeoutMs = 400;
    Limits.SendTimeoutMs = 400;
  }
  // Lets the window run until Done holds or 10 s have passed.
  template <class Condition>
  bool PumpUntil(Condition Done) {
    // Done is asked once a round: a count that held when it was asked is the answer, even if
    // a thread of the runtime comes or goes just after.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (;;) {
      if (Done()) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      Pump(5ms);
    }
  }
  size_t Count(const std::string& Start) {
    return std::count_if(Window.Lines.begin(), Window.Lines.end(),
                         [&](const std::string& l) { return l.rfind(Start, 0) == 0; });
  }
};

// Connections beyond the cap are closed as they come, with one log line for the burst; the
// threads and descriptors stay bounded and come back once the peers went.
TEST_F(LimitedServerTest, ConnectionsBeyondTheCapAreClosedAndLoggedOnce) {
  const size_t threads = ThreadCount(), descriptors = DescriptorCount();
  size_t threadsDuring = 0;
  Talk([&] {
    std::vector<std::unique_ptr<TTestClient>> held, refused;
    for (int i = 0; i < 8; ++i) held.push_back(std::make_unique<TTestClient>(Port));
    for (auto& c : held) {  // each one served: its thread runs
      c->Send(TTestClient::Request(CMD_GET_PAGE));
      EXPECT_EQ(c->Reply().size(), 9u);
    }
    for (int i = 0; i < 40; ++i) {
      refused.push_back(std::make_unique<TTestClient>(Port));
      EXPECT_TRUE(refused.back()->EndsWithoutReply()) << i;
    }
    threadsDuring = ThreadCount();
  });
  EXPECT_LE(threadsDuring, threads + 1 + 8);  // the client's thread and the connections'
  EXPECT_EQ(Count("WARNING: connection from IP 127.0.0.1 refused: 8 connections served"), 1u);
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threads; }));
  EXPECT_EQ(DescriptorCount(), descriptors);
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
}

// A connection that sends no complete request within the idle time is closed (a request cut
// short does not count); one waiting for its pending reply is not idle.
TEST_F(LimitedServerTest, IdleConnectionsEndAndAWaitingOneDoesNot) {
  const size_t threads = ThreadCount();
  Window.HoldPending = true;
  std::atomic<bool> waited = false;
  TBytes pending;
  std::thread holder([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    pending = c.Reply();
    waited = true;
  });
  Talk([&] {
    std::vector<std::unique_ptr<TTestClient>> idle;
    for (int i = 0; i < 5; ++i) idle.push_back(std::make_unique<TTestClient>(Port));
    idle[0]->Send(TTestClient::Request(CMD_GET_PAGE).substr(0, 300));
    for (auto& c : idle) EXPECT_TRUE(c->EndsWithoutReply());
    EXPECT_FALSE(waited);
    Window.HoldPending = false;  // the window's step runs on the main thread meanwhile
  });
  EXPECT_TRUE(PumpUntil([&] { return waited.load(); }));
  holder.join();
  EXPECT_EQ(pending, TBytes("\x08\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(Count("WARNING: idle connection from IP 127.0.0.1 closed !"), 1u)
      << ::testing::PrintToString(Window.Lines);
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threads; }));
}

// Idle connections wait in poll without a timer of their own: their threads do not wake.
TEST_F(ScanServerTest, IdleConnectionsDoNotWake) {
  auto switches = [] {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      if (task.path().filename() == std::to_string(getpid())) continue;  // the main thread
      std::ifstream status(task.path() / "status");
      for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(24));
      }
    }
    return total;
  };
  std::vector<std::unique_ptr<TTestClient>> idle;
  for (int i = 0; i < 50; ++i) idle.push_back(std::make_unique<TTestClient>(Port));
  Talk([&] {
    for (auto& c : idle) {
      c->Send(TTestClient::Request(CMD_GET_PENDING));
      EXPECT_EQ(c->Reply().size(), 8u);
    }
  });
  const long before = switches();
  std::this_thread::sleep_for(1s);
  // A thread that woke every 250 ms would make 200 switches in this second.
  EXPECT_LT(switches() - before, 20);
}

// A client that never reads is ended once a send makes no progress for the send time-out:
// its page goes back, its buffers go, and the next client gets the page.
TEST_F(LimitedServerTest, DeafClientsAreEndedAndLeaveTheirPagesAndNoMemory) {
  for (int i = 0; i < 4; ++i) Window.Pages.push_back(BigPage());
  std::vector<TBytes> images;
  for (auto& page : Window.Pages) images.push_back(BmpImage(*page));
  const size_t threads = ThreadCount(), descriptors = DescriptorCount();
  const double memory = HeldMB();
  {
    std::vector<std::unique_ptr<TTestClient>> deaf;
    for (int i = 0; i < 4; ++i) {
      deaf.push_back(std::make_unique<TTestClient>(Port));
      deaf.back()->Send(TTestClient::Request(CMD_GET_PAGE));
    }
    EXPECT_TRUE(PumpUntil([&] { return ThreadCount() == threads; }));
    EXPECT_EQ(Window.Pages.size(), 4u);
  }
  EXPECT_TRUE(PumpUntil([&] { return DescriptorCount() == descriptors; }));
  EXPECT_LT(HeldMB() - memory, 20.0);
  Talk([&] {
    TTestClient c(Port);
    c.Send(TTestClient::Request(CMD_GET_PAGE));
    TBytes page = c.Reply();
    ASSERT_GT(page.size(), 9u);
    EXPECT_NE(std::find(images.begin(), images.end(), page.substr(9)), images.end());
  });
}

// A client that resets before its reply is written leaves the page for the next request,
// in both variants; the file written for it is deleted.
TEST_F(LimitedServerTest, APageOutlivesTheClientThatWentBeforeItsReply) {
  for (int32_t command : {CMD_GET_PAGE, CMD_GET_PAGE_FILE}) {
    SCOPED_TRACE(command);
    Window.Pages.clear();
    AddPages(1);
    const TBytes image = BmpImage(*Window.Pages[0]);
    Window.HoldNext = true;
    // The window holds the request (its step runs on the main thread) until the client went.
    Talk([&] {
      {
        TTestClient gone(Port);
        gone.Send(TTestClient::Request(command));
        std::this_thread::sleep_for(100ms);
        linger hard{1, 0};
        setsockopt(gone.Handle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      }
      std::this_thread::sleep_for(50ms);
      Window.HoldNext = false;
    });
    // The page comes back once the reply failed.
    EXPECT_TRUE(PumpUntil(
        [&] { return std::count(Window.Calls.begin(), Window.Calls.end(), "ReturnPage") == 1; }));
    Talk([&] {
      TTestClient c(Port);
      c.Send(TTestClient::Request(CMD_GET_PAGE));
      EXPECT_TRUE(c.Reply().substr(9) == image);
    });
    EXPECT_EQ(std::count(Window.Calls.begin(), Window.Calls.end(), "ReturnPage"), 1);
    Window.Calls.clear();
  }
  for (const auto& entry : std::filesystem::directory_iterator(win32::GetTempPath())) {
    if (entry.path().extension() != ".tmp") continue;
    EXPECT_LT(std::filesystem::last_write_time(entry.path()),
              std::filesystem::file_time_type::clock::now() - 60s)
        << entry.path();
  }
}

// A flood of frames with unknown commands costs a few log lines and no memory.
TEST_F(ScanServerTest, AFloodOfUnknownFramesCostsAFewLinesAndNoMemory) {
  const double memory = HeldMB();
  const size_t threads = ThreadCount();
  TBytes block;
  for (int i = 0; i < 1000; ++i) block += TTestClient::Request(7);
  Talk([&] {
    TTestClient c(Port);
    for (int i = 0; i < 100; ++i) c.Send(block);
    c.Send(TTestClient::Request(CMD_GET_PENDING));
    EXPECT_EQ(c.Reply().size(), 8u);
  });
  EXPECT_EQ(Window.Lines.size(), 10u);
  EXPECT_LT(HeldMB() - memory, 8.0);
  EXPECT_LE(ThreadCount(), threads + 1);
}

// One connection that asks for files and never takes them holds a few at once; the server
// deletes the rest as it ends.
TEST_F(ScanServerTest, PageFilesAreBoundedAndGoWithTheServer) {
  Window.Original = SmallPage(3);
  std::vector<std::string> paths;
  Talk([&] {
    TTestClient c(Port);
    for (int i = 0; i < 12; ++i) {
      c.Send(TTestClient::Request(CMD_GET_ORIGINAL_FILE));
      paths.push_back(c.Reply().substr(8));
    }
  });
  auto existing = [&] {
    return std::count_if(paths.begin(), paths.end(),
                         [](const std::string& p) { return std::filesystem::exists(p); });
  };
  EXPECT_EQ(existing(), 4);
  ServerPtr.reset();
  EXPECT_EQ(existing(), 0);
}

}  // namespace
