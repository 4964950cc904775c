#include "messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <thread>
#include <vector>

#include "qtmessagefeed.h"

namespace {

struct TSeen {
  std::vector<win32::UINT> Messages;
  std::thread::id Thread;
};

void Record(void* Data, win32::MSG& Msg, bool& Handled) {
  auto* seen = static_cast<TSeen*>(Data);
  seen->Messages.push_back(Msg.message);
  seen->Thread = std::this_thread::get_id();
  Handled = true;
}

// Installs a handler for the test and puts the previous one back.
class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().ProcessMessages();
    FPrevious = Application().OnMessage();
    Application().SetOnMessage({Record, &FSeen});
  }
  void TearDown() override {
    Application().SetOnMessage(FPrevious);
    EXPECT_EQ(Application().OnMessage(), FPrevious);
  }
  TSeen FSeen;
  TMessageEvent FPrevious;
};

TEST_F(MessagesTest, ThePumpHandsOutMessagesOldestFirst) {
  EXPECT_FALSE(win32::PostMessage(nullptr, 1, 0, 0));
  win32::HWND window = Application().Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(win32::PostMessage(window, 7, 0, 0));
  EXPECT_TRUE(win32::PostMessage(window, 8, 0, 0));
  EXPECT_EQ(Application().QueuedMessages(), 2);
  EXPECT_EQ(Application().ProcessMessages(), 2);
  EXPECT_EQ(FSeen.Messages, (std::vector<win32::UINT>{7, 8}));
  EXPECT_FALSE(Application().WaitMessage(0));
}

// A handler may post and pump again; what it posts is handed out in the same run.
TEST_F(MessagesTest, HandlersMayPostAndPumpAgain) {
  struct TChain {
    int Depth = 0;
    std::vector<win32::UINT> Order;
  } chain;
  Application().SetOnMessage({[](void* Data, win32::MSG& Msg, bool&) {
                                auto* c = static_cast<TChain*>(Data);
                                c->Order.push_back(Msg.message);
                                if (Msg.message < 3)
                                  win32::PostMessage(Msg.hwnd, Msg.message + 1, 0, 0);
                                if (Msg.message == 1) Application().ProcessMessages();
                              },
                              &chain});
  win32::PostMessage(Application().Handle(), 1, 0, 0);
  EXPECT_EQ(Application().ProcessMessages(), 1);
  EXPECT_EQ(chain.Order, (std::vector<win32::UINT>{1, 2, 3}));
}

TEST_F(MessagesTest, APostFromAnotherThreadWakesTheWaitingPump) {
  std::thread poster([] { win32::PostMessage(Application().Handle(), 42, 1, 2); });
  EXPECT_TRUE(Application().WaitMessage(5000));
  poster.join();
  Application().ProcessMessages();
  EXPECT_EQ(FSeen.Messages, (std::vector<win32::UINT>{42}));
  EXPECT_EQ(FSeen.Thread, std::this_thread::get_id());
}

// In a Qt program the event loop delivers them, on the application's thread.
TEST_F(MessagesTest, TheQtFeedDeliversThroughTheEventLoop) {
  int argc = 1;
  char name[] = "messages_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  win32::PostMessage(Application().Handle(), 5, 0, 0);  // before the feed: delivered too
  InstallQtMessageFeed();
  std::thread poster([] { win32::PostMessage(Application().Handle(), 6, 0, 0); });
  poster.join();
  QTimer::singleShot(5000, &app, &QCoreApplication::quit);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (FSeen.Messages.size() == 2) app.quit();
  });
  poll.start(10);
  app.exec();
  RemoveQtMessageFeed();
  EXPECT_EQ(FSeen.Messages, (std::vector<win32::UINT>{5, 6}));
  EXPECT_EQ(FSeen.Thread, std::this_thread::get_id());
}

}  // namespace
