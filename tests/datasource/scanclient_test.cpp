// The scan client against a control panel of the test's own that answers byte for byte.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ScanClientUnit.h"
#include "ScanProtocol.h"
#include "fakepanel.h"
#include "pagecheck.h"
#include "tempfile.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Replies to the requests in turn; requests beyond the list get no reply.
TFakePanel::TScript Replies(std::vector<TBytes> Answers) {
  auto left = std::make_shared<std::vector<TBytes>>(std::move(Answers));
  auto next = std::make_shared<size_t>(0);
  return [left, next](const TSeenRequest& Request, TTcpSocket& Socket) {
    const int32_t command = Request.Command();
    if (command == CMD_START_SCAN || command == CMD_STOP_SCAN) return;
    if (*next < left->size()) {
      const TBytes& answer = (*left)[(*next)++];
      if (!answer.empty()) Socket.SendBuffer(answer.data(), answer.size());
    }
  };
}

void WriteFile(const fs::path& Path, const TBytes& Bytes) {
  std::ofstream out(Path, std::ios::binary);
  out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

TBytes FileReply(uint8_t QCFailed, const std::string& Path) {
  return Int32Bytes(static_cast<int32_t>(Path.size()) + 9) + TBytes(1, char(QCFailed)) +
         Int32Bytes(static_cast<int32_t>(Path.size())) + Path;
}

TBytes OriginalFileReply(const std::string& Path) {
  return Int32Bytes(static_cast<int32_t>(Path.size()) + 8) +
         Int32Bytes(static_cast<int32_t>(Path.size())) + Path;
}

class ScanClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    ASSERT_TRUE(Elsewhere.isValid());
    ::setenv("TMPDIR", Temp.path().toUtf8().constData(), 1);
    Page = SmallPage(pt8bit);
    Bmp = BmpImage(*Page);
  }
  void TearDown() override { ::unsetenv("TMPDIR"); }

  TScanClient& Connect(TFakePanel& Panel, const std::string& Host = "127.0.0.1") {
    Client.Open(0, Host, Panel.Port());
    return Client;
  }

  QTemporaryDir Temp, Elsewhere;
  std::unique_ptr<TDIB> Page;
  TBytes Bmp;
  TScanClient Client;
};

TEST_F(ScanClientTest, EveryScanRequestStartsASessionAndTheStopGoesOnlyWhenOneIsOpen) {
  TFakePanel panel(nullptr);
  Connect(panel);
  TScanRequest request{};
  request.ImageCount = -1;
  request.XResolution = 300;
  request.Dithering = 1;
  request.BitDepth = 8;
  Client.EndSession();
  Client.SendSettings(request);
  Client.SendSettings(request);
  EXPECT_TRUE(Client.SessionOpen());
  Client.EndSession();
  Client.EndSession();
  EXPECT_FALSE(Client.SessionOpen());
  Client.SendSettings(request);
  // A second request while a session is open ends that session first.
  ASSERT_TRUE(panel.WaitForRequests(5, 5s));
  std::this_thread::sleep_for(50ms);  // nothing further may arrive
  EXPECT_EQ(panel.Commands(), (std::vector<int32_t>{CMD_START_SCAN, CMD_STOP_SCAN, CMD_START_SCAN,
                                                    CMD_STOP_SCAN, CMD_START_SCAN}));

  const TSeenRequest start = panel.Requests().front();
  EXPECT_EQ(MessageLength(start.Header), 853);
  EXPECT_EQ(start.Header.substr(4, 10), TBytes("\x09LocalHost"));
  EXPECT_EQ(start.Header.substr(260, 12), TBytes("\x0b"
                                                 "Application"));
  ASSERT_EQ(start.Payload.size(), sizeof(TScanRequest));
  EXPECT_EQ(std::memcmp(start.Payload.data(), &request, sizeof request), 0);
  EXPECT_EQ(MessageLength(panel.Requests()[1].Header), 520);
}

// Each reply without a page is consumed whole: the next request on the connection still gets
// its page.
TEST_F(ScanClientTest, RepliesWithoutAPageYieldNoneAndLeaveTheConnectionInStep) {
  struct Case {
    const char* Name;
    bool Original;
    TBytes Reply;
  };
  const Case cases[] = {
      {"length field only", false, Int32Bytes(4)},
      {"page reply without page", false, PageReply(0, "")},
      {"original reply without page", true, OriginalReply("")},
      {"flagged page reply without page", false, PageReply(1, "")},
      {"negative data size", false, Int32Bytes(9) + TBytes(1, '\0') + Int32Bytes(-5)},
      {"data size beyond the message", false,
       Int32Bytes(19) + TBytes(1, '\0') + Int32Bytes(100) + TBytes(10, 'x')},
      {"bytes that are no image", false, PageReply(0, TBytes(64, 'x'))},
      {"short original header", true, Int32Bytes(6) + TBytes(2, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TScanClient client;
    TFakePanel panel(Replies({c.Reply, c.Original ? OriginalReply(Bmp) : PageReply(0, Bmp)}));
    client.Open(0, "127.0.0.1", panel.Port());
    auto fetch = [&] { return c.Original ? client.ReceiveOriginal() : client.ReceivePage(); };
    EXPECT_EQ(fetch(), nullptr);
    EXPECT_TRUE(client.Connected());
    auto page = Adopted(fetch());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(SamePixels(*page, *Page));
  }
}

TEST_F(ScanClientTest, AReplyInPiecesIsAssembledAndBytesAfterItAreDropped) {
  const TBytes reply = PageReply(0, Bmp);
  int served = 0;
  TFakePanel panel([&](const TSeenRequest& Request, TTcpSocket& Socket) {
    if (Request.Command() != CMD_GET_PAGE) return;
    if (served++ == 0) {
      SendInPieces(Socket, reply, 5, 30ms);
    } else {
      const TBytes withTrail = reply + TBytes(40, '\x7f');
      Socket.SendBuffer(withTrail.data(), withTrail.size());
    }
  });
  Connect(panel);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    auto page = Adopted(Client.ReceivePage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(SamePixels(*page, *Page));
  }
}

// A length no reply can have is refused as soon as its four bytes are in: the reader neither
// waits for the rest nor keeps buffering, and the connection, out of step now, is closed.
TEST_F(ScanClientTest, LengthsNoReplyCanHaveAreRefusedAtOnceAndEndTheConnection) {
  struct Case {
    const char* Name;
    int32_t Length;
    bool File;
  };
  const Case cases[] = {
      {"zero", 0, false},
      {"negative", -1, false},
      {"below the length field", 3, false},
      {"beyond any page", static_cast<int32_t>(TScanClient::kLongestPageReply + 1), false},
      {"beyond any path", static_cast<int32_t>(TScanClient::kLongestFileReply + 1), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TScanClient client;
    client.SetReplyTimeout(30000);
    TFakePanel panel(Replies({Int32Bytes(c.Length) + TBytes(64, 'x')}));
    client.Open(0, "127.0.0.1", panel.Port());
    auto fetch = [&] { return c.File ? client.ReceivePageFile() : client.ReceivePage(); };
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(fetch(), nullptr);
    EXPECT_LT(Clock::now() - start, 10s) << "the reader waited for the rest";
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(fetch(), nullptr);  // no reconnection, nothing sent
    EXPECT_EQ(panel.Requests().size(), 1u);
  }
}

double ThreadProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

TEST_F(ScanClientTest, AReplyThatNeverComesEndsTheWaitAtTheTimeOutWithoutBusyPolling) {
  TFakePanel panel(nullptr);
  Connect(panel);
  Client.SetReplyTimeout(600);
  const double before = ThreadProcessorSeconds();
  EXPECT_EQ(Client.RequestPage(), nullptr);
  EXPECT_LT(ThreadProcessorSeconds() - before, 0.3) << "the reader spun while it waited";
  EXPECT_FALSE(Client.Connected());
}

TEST_F(ScanClientTest, AnOrderlyCloseByThePanelEndsTheReaderWithNoPage) {
  TFakePanel panel([](const TSeenRequest&, TTcpSocket& Socket) { Socket.Shutdown(); });
  Connect(panel);
  Client.SetReplyTimeout(30000);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(Client.RequestOriginal(), nullptr);
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_FALSE(Client.Connected());
  EXPECT_EQ(Client.RequestPage(), nullptr);
}

TEST_F(ScanClientTest, LoopbackAddressesUseTheFileVariants) {
  const fs::path file = fs::path(Temp.path().toStdString()) / "10121314.tmp";
  struct Case {
    std::string Host;
    int32_t PageCommand, OriginalCommand;
  };
  for (const Case& c : {Case{"127.0.0.1", CMD_GET_PAGE_FILE, CMD_GET_ORIGINAL_FILE},
                        Case{"127.0.0.2", CMD_GET_PAGE_FILE, CMD_GET_ORIGINAL_FILE}}) {
    SCOPED_TRACE(c.Host);
    TFakePanel panel([&](const TSeenRequest& Request, TTcpSocket& Socket) {
      TBytes reply;
      switch (Request.Command()) {
        case CMD_GET_PAGE:
          reply = PageReply(0, Bmp);
          break;
        case CMD_GET_ORIGINAL:
          reply = OriginalReply(Bmp);
          break;
        case CMD_GET_PAGE_FILE:
          WriteFile(file, Bmp);
          reply = FileReply(0, file.string());
          break;
        case CMD_GET_ORIGINAL_FILE:
          WriteFile(file, Bmp);
          reply = OriginalFileReply(file.string());
          break;
      }
      Socket.SendBuffer(reply.data(), reply.size());
    });
    TScanClient client;
    client.Open(0, c.Host, panel.Port());
    for (auto fetch : {&TScanClient::RequestPage, &TScanClient::RequestOriginal}) {
      auto page = Adopted((client.*fetch)());
      ASSERT_NE(page, nullptr);
      EXPECT_TRUE(SamePixels(*page, *Page));
      EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_EQ(panel.Commands(), (std::vector<int32_t>{c.PageCommand, c.OriginalCommand}));
    // A file request names the client's temporary directory, for the panel to write into.
    for (const TSeenRequest& request : panel.Requests()) {
      EXPECT_EQ(request.Payload, win32::GetTempPath());
    }
  }
}

TEST(LoopbackHost, IsEveryAddressOfTheLoopbackNetwork) {
  for (const char* host : {"127.0.0.1", "127.0.0.2", "127.255.255.254"}) {
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  }
  for (const char* host : {"192.0.2.2", "12.7.0.1", "localhost", "", "128.0.0.1"}) {
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
  }
}

// A panel that writes its page files into another temporary directory: the page is loaded
// and left to the panel, and the pages after it come as bytes.
TEST_F(ScanClientTest, APageFileElsewhereIsLoadedAndThePagesAfterComeAsBytes) {
  const fs::path file = fs::path(Elsewhere.path().toStdString()) / "10121314.tmp";
  TFakePanel panel([&](const TSeenRequest& Request, TTcpSocket& Socket) {
    TBytes reply =
        Request.Command() == CMD_GET_PAGE_FILE ? FileReply(0, file.string()) : PageReply(0, Bmp);
    if (Request.Command() == CMD_GET_PAGE_FILE) WriteFile(file, Bmp);
    Socket.SendBuffer(reply.data(), reply.size());
  });
  TScanClient client;
  client.Open(0, "127.0.0.1", panel.Port());
  for (int i = 0; i < 2; ++i) {
    auto page = Adopted(client.RequestPage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(SamePixels(*page, *Page));
  }
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(panel.Commands(), (std::vector<int32_t>{CMD_GET_PAGE_FILE, CMD_GET_PAGE}));
}

// A reply names the file to load and delete: only a loadable ".tmp" file right in the
// temporary directory is deleted; a ".tmp" file elsewhere is loaded and left alone; any other
// path is refused and left alone.
TEST_F(ScanClientTest, OnlyLoadedTempFilesOfTheTemporaryDirectoryAreDeleted) {
  const fs::path temp = Temp.path().toStdString();
  const fs::path other = Elsewhere.path().toStdString();
  fs::create_directories(temp / "sub");
  WriteFile(other / "page.bmp", Bmp);
  struct Case {
    const char* Name;
    std::string Path;  // the path the reply names
    fs::path Write;    // where the file lies
    TBytes Content;
    bool Loads;
    bool Deleted;
  };
  const Case cases[] = {
      {"served file", (temp / "01020304.tmp").string(), temp / "01020304.tmp", Bmp, true, true},
      {"another folder", (other / "01020304.tmp").string(), other / "01020304.tmp", Bmp, true,
       false},
      {"a folder below", (temp / "sub" / "x.tmp").string(), temp / "sub" / "x.tmp", Bmp, true,
       false},
      {"a way out", (temp / ".." / other.filename() / "y.tmp").string(), other / "y.tmp", Bmp,
       false, false},
      {"another extension", (temp / "page.bmp").string(), temp / "page.bmp", Bmp, false, false},
      {"no image", (temp / "bad.tmp").string(), temp / "bad.tmp", TBytes(80, 'x'), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile(c.Write, c.Content);
    TFakePanel panel(Replies({FileReply(0, c.Path)}));
    TScanClient client;
    client.Open(0, "127.0.0.1", panel.Port());
    auto page = Adopted(client.RequestPage());
    EXPECT_EQ(page != nullptr, c.Loads);
    EXPECT_EQ(fs::exists(c.Write), !c.Deleted);
    EXPECT_TRUE(client.Connected());
  }
  fs::create_symlink(other / "page.bmp", temp / "link.tmp");
  TFakePanel panel(Replies({FileReply(0, (temp / "link.tmp").string())}));
  TScanClient client;
  client.Open(0, "127.0.0.1", panel.Port());
  EXPECT_EQ(client.RequestPage(), nullptr);
  EXPECT_TRUE(fs::is_symlink(temp / "link.tmp"));
  EXPECT_TRUE(fs::exists(other / "page.bmp"));
}

TEST_F(ScanClientTest, OnlyFlaggedPagesAreReviewedAndAFailingReviewKeepsThePage) {
  auto other = SmallPage(pt8bit, 30, 20);
  TFakePanel panel(Replies({PageReply(0, Bmp), PageReply(1, Bmp), PageReply(1, Bmp)}));
  Connect(panel);
  int reviews = 0;
  Client.QualityReview = [&](TDIB& Shown) {
    ++reviews;
    EXPECT_FALSE(Shown.OwnsHandle());
    if (reviews == 2) throw Exception("review failed");
    auto replacement = other->Duplicate();
    Shown.SetOwnsHandle(true);
    Shown.TakeImage(*replacement);
    Shown.SetOwnsHandle(false);
  };
  auto unflagged = Adopted(Client.ReceivePage());
  ASSERT_NE(unflagged, nullptr);
  EXPECT_EQ(reviews, 0);
  auto replaced = Adopted(Client.ReceivePage());
  ASSERT_NE(replaced, nullptr);
  EXPECT_TRUE(SamePixels(*replaced, *other));
  auto kept = Adopted(Client.ReceivePage());
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(reviews, 2);
  EXPECT_TRUE(SamePixels(*kept, *Page));
}

// A listener that never accepts, its queue full: connections to it are neither refused nor
// made, as with an address where nobody answers.
class TDeafListener {
 public:
  TDeafListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(FListener, 0);
    getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
    Port = ntohs(address.sin_port);
    for (int& filler : FFillers) {
      filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
  }
  ~TDeafListener() {
    for (int filler : FFillers) close(filler);
    close(FListener);
  }
  uint16_t Port = 0;

 private:
  int FListener = socket(AF_INET, SOCK_STREAM, 0);
  int FFillers[4] = {};
};

TEST_F(ScanClientTest, AnAddressThatNeverAnswersIsGivenUpAfterTheConnectTimeOut) {
  TDeafListener deaf;
  TScanClient client;
  client.SetConnectTimeout(300);
  const Clock::time_point start = Clock::now();
  EXPECT_THROW(client.Open(0, "127.0.0.1", deaf.Port), ESocketError);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_FALSE(client.Connected());
}

TEST_F(ScanClientTest, OpenRaisesForNoPanelABadAddressAndABadPort) {
  TScanClient client;
  uint16_t unused;
  {
    TFakePanel closed(nullptr);
    unused = closed.Port();
  }
  EXPECT_THROW(client.Open(0, "127.0.0.1", unused), ESocketError);
  EXPECT_THROW(client.Open(0, "localhost", 7098), ESocketError);
  EXPECT_THROW(client.Open(0, "127.0.0.1", 70000), Exception);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.RequestPage(), nullptr);
}

}  // namespace
