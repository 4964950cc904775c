// The POSIX TCP layer on its own: the refusal check before a thread starts, closing with
// threads blocked on their sockets, writes to a closed peer, the blocking client.
#include "tcpserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tcpclient.h"

namespace {

using namespace std::chrono_literals;

TEST(TcpServer, RefusedConnectionsStartNoThread) {
  std::atomic<int> bodies = 0;
  TTcpServer server([](TTcpSocket& s) { return s.RemoteAddress() != "127.0.0.1"; },
                    [&](TTcpSocket&) { ++bodies; });
  server.Open(0);
  ASSERT_NE(server.Port(), 0);
  TTcpClient client;
  client.Open("127.0.0.1", server.Port());
  char byte;
  EXPECT_EQ(client.Receive(&byte, 1), 0);  // closed by the server at once
  EXPECT_FALSE(client.Connected());
  server.Close();
  EXPECT_EQ(bodies, 0);
}

TEST(TcpServer, EchoAndCloseJoinsBlockedThreads) {
  TTcpServer server([](TTcpSocket&) { return true; },
                    [](TTcpSocket& s) {
                      char buffer[256];
                      for (int64_t n; (n = s.Receive(buffer, sizeof buffer)) > 0;) {
                        s.SendBuffer(buffer, n);
                      }
                    });
  server.Open(0);
  TTcpClient a, b;
  a.Open("127.0.0.1", server.Port());
  b.Open("127.0.0.1", server.Port());
  a.SendBuffer("ping", 4);
  char got[4];
  int64_t n = 0;
  while (n < 4) n += a.Receive(got + n, 4 - n);
  EXPECT_EQ(std::string(got, 4), "ping");
  for (int i = 0; i < 100 && server.ConnectionCount() < 2; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(server.ConnectionCount(), 2u);
  auto start = std::chrono::steady_clock::now();
  server.Close();  // both threads sit in a blocking receive
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(a.Receive(got, 1), 0);
}

TEST(TcpServer, FinishedThreadsAreJoined) {
  TTcpServer server([](TTcpSocket&) { return true; }, [](TTcpSocket&) {});
  server.Open(0);
  for (int i = 0; i < 50; ++i) {
    TTcpClient c;
    c.Open("127.0.0.1", server.Port());
    char byte;
    c.Receive(&byte, 1);
  }
  for (int i = 0; i < 200 && server.ConnectionCount() > 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST(TcpServer, WriteToAClosedPeerRaisesInsteadOfSignalling) {
  TTcpServer server([](TTcpSocket&) { return true; }, [](TTcpSocket&) {});
  server.Open(0);
  TTcpClient c;
  c.Open("127.0.0.1", server.Port());
  char byte;
  EXPECT_EQ(c.Receive(&byte, 1), 0);
  std::string block(65536, 'x');
  EXPECT_THROW(
      for (int i = 0; i < 100; ++i) {
        c.SendBuffer(block.data(), block.size());
        std::this_thread::sleep_for(1ms);
      },
      ESocketError);
  EXPECT_FALSE(c.Connected());
}

TEST(TcpClient, BadAddressOrRefusedConnectionRaises) {
  TTcpClient c;
  EXPECT_THROW(c.Open("localhost", 7098), ESocketError);
  TTcpServer server([](TTcpSocket&) { return true; }, [](TTcpSocket&) {});
  server.Open(0);
  uint16_t port = server.Port();
  server.Close();
  EXPECT_THROW(c.Open("127.0.0.1", port), ESocketError);
  EXPECT_FALSE(c.Connected());
}

}  // namespace
