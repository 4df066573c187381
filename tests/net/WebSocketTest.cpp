#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "net/WebSocketClient.h"
#include "sim/SimServer.h"

namespace plx {
namespace {

using namespace std::chrono_literals;
using vlo::sim::HttpAnswer;
using vlo::sim::SimServer;
using vlo::sim::WsPeer;

class WebSocketTest : public testing::Test {
 protected:
  WebSocketTest() { server_.WebSocket("/ws", {}); }

  // Connects `client` and returns the server's side of it.
  std::shared_ptr<WsPeer> Open(WebSocketClient& client, int32_t receiveTimeoutMs = 0) {
    std::string error;
    const size_t before{server_.Peers().size()};
    EXPECT_TRUE(
        client.Connect(server_.WsBaseUrl() + "/ws?x=1", "probe/2", &error, receiveTimeoutMs))
        << error;
    // The server publishes its peer once its side of the upgrade is done.
    EXPECT_TRUE(server_.WaitForPeers(before + 1));
    return server_.Peers().at(before);
  }

  SimServer server_;
};

TEST_F(WebSocketTest, ExchangesMessagesOfAnySize) {
  WebSocketClient client;
  auto peer{Open(client)};
  EXPECT_TRUE(client.IsOpen());
  EXPECT_EQ(peer->Target(), "/ws?x=1");
  EXPECT_EQ(peer->Header("User-Agent"), "probe/2");

  std::string message;
  peer->SendFragmented("first-second-third", 3);
  peer->SendText("after");
  ASSERT_TRUE(client.ReceiveMessage(message));
  EXPECT_EQ(message, "first-second-third");
  ASSERT_TRUE(client.ReceiveMessage(message));
  EXPECT_EQ(message, "after");

  std::string big(1024 * 1024, 'm');
  big.back() = 'z';
  peer->SendText(big);
  ASSERT_TRUE(client.ReceiveMessage(message));
  EXPECT_EQ(message, big);

  ASSERT_TRUE(client.SendText("PING"));
  ASSERT_TRUE(client.SendText(big));
  for (int i{0}; i < 500 && peer->Received().size() < 2; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(peer->Received().size(), 2u);
  EXPECT_EQ(peer->Received()[0], "PING");
  EXPECT_EQ(peer->Received()[1], big);
}

TEST_F(WebSocketTest, CloseFromAnotherThreadWakesReceiveAtOnce) {
  WebSocketClient client;
  auto peer{Open(client)};
  auto receiving{std::async(std::launch::async, [&] {
    std::string message;
    return client.ReceiveMessage(message);
  })};
  std::this_thread::sleep_for(50ms);  // let the receive block
  const auto start{std::chrono::steady_clock::now()};
  client.Close();
  ASSERT_EQ(receiving.wait_for(100ms), std::future_status::ready);
  EXPECT_FALSE(receiving.get());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  client.Close();  // a second Close does nothing
  EXPECT_FALSE(client.IsOpen());
  EXPECT_FALSE(client.SendText("x"));
  std::string message;
  EXPECT_FALSE(client.ReceiveMessage(message));
  for (int i{0}; i < 200 && peer->IsOpen(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(peer->IsOpen());  // the closing handshake reached the server
}

TEST_F(WebSocketTest, ServerCloseFrameEndsTheConnection) {
  WebSocketClient client;
  auto peer{Open(client)};
  peer->SendText("last");
  peer->SendClose(1000);
  std::string message;
  ASSERT_TRUE(client.ReceiveMessage(message));
  EXPECT_EQ(message, "last");
  EXPECT_FALSE(client.ReceiveMessage(message));
  EXPECT_FALSE(client.IsOpen());
  EXPECT_FALSE(client.SendText("too late"));
  EXPECT_TRUE(peer->Received().empty());
}

TEST_F(WebSocketTest, DroppedConnectionAndReceiveTimeoutEndReceiving) {
  WebSocketClient dropped;
  Open(dropped)->Drop();
  std::string message;
  EXPECT_FALSE(dropped.ReceiveMessage(message));
  EXPECT_FALSE(dropped.IsOpen());

  WebSocketClient quiet;
  Open(quiet, 100);
  const auto start{std::chrono::steady_clock::now()};
  EXPECT_FALSE(quiet.ReceiveMessage(message));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
  EXPECT_FALSE(quiet.IsOpen());
}

TEST_F(WebSocketTest, ConnectFailuresGiveFixedTexts) {
  server_.Route("GET", "/plain", [](const auto&) { return HttpAnswer::Text("hello"); });
  server_.AnswerNext("GET", "/ws", 1, HttpAnswer::Status(503));
  uint16_t closedPort{0};
  {
    SimServer gone;
    closedPort = gone.Port();
  }
  const std::string base{server_.WsBaseUrl()};
  struct Case {
    std::string url, error;
  };
  const Case cases[]{
      {"", "Invalid WebSocket URL"},
      {"http://127.0.0.1/ws", "Invalid WebSocket URL"},
      {"ws:///ws", "Invalid WebSocket URL"},
      {base + "/plain", "WebSocket upgrade rejected (HTTP 200)"},
      {base + "/ws", "WebSocket upgrade rejected (HTTP 503)"},
      {"ws://127.0.0.1:" + std::to_string(closedPort) + "/ws",
       "WebSocket connect failed (connection refused)"},
  };
  for (const Case& c : cases) {
    WebSocketClient client;
    std::string error;
    EXPECT_FALSE(client.Connect(c.url, "", &error)) << c.url;
    EXPECT_EQ(error, c.error) << c.url;
    EXPECT_FALSE(client.IsOpen());
    EXPECT_FALSE(client.SendText("x"));
  }
  WebSocketClient client;  // a later connect on the same server still works
  Open(client);
  EXPECT_EQ(server_.Peers().back()->Header("User-Agent"), "probe/2");
}

TEST_F(WebSocketTest, ReconnectReplacesTheConnectionAndCloseCutsAConnectShort) {
  WebSocketClient client;
  auto first{Open(client)};
  auto second{Open(client)};
  EXPECT_NE(first, second);
  for (int i{0}; i < 200 && first->IsOpen(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(first->IsOpen());
  EXPECT_TRUE(client.IsOpen());

  HttpAnswer stalled;
  stalled.stall = true;
  server_.AnswerNext("GET", "/hang", 1, stalled);
  std::string error;
  auto connecting{std::async(std::launch::async, [&] {
    return client.Connect(server_.WsBaseUrl() + "/hang", "", &error);
  })};
  ASSERT_TRUE(server_.WaitForRequests("/hang", 1));
  client.Close();
  ASSERT_EQ(connecting.wait_for(2s), std::future_status::ready);
  EXPECT_FALSE(connecting.get());
  EXPECT_FALSE(client.IsOpen());
}

TEST_F(WebSocketTest, ConcurrentSendersAndACloser) {
  WebSocketClient client;
  auto peer{Open(client)};
  std::atomic<int> sent{0};
  auto sender{[&](char tag) {
    for (int i{0}; i < 200; ++i) {
      if (client.SendText(std::string(64, tag))) ++sent;
    }
  }};
  std::thread a{sender, 'a'};
  std::thread b{sender, 'b'};
  std::thread closer{[&] {
    std::this_thread::sleep_for(5ms);
    client.Close();
  }};
  a.join();
  b.join();
  closer.join();
  EXPECT_FALSE(client.IsOpen());
  EXPECT_FALSE(client.SendText("x"));
  for (int i{0}; i < 200 && peer->IsOpen(); ++i) std::this_thread::sleep_for(10ms);
  // Every message that arrived is whole: frames never interleave.
  for (const std::string& message : peer->Received()) {
    ASSERT_EQ(message.size(), 64u);
    EXPECT_EQ(message.find_first_not_of(message[0]), std::string::npos);
  }
  // A send cut short by the close may still have delivered its frame, so only the attempts bound
  // what arrived.
  EXPECT_LE(peer->Received().size(), 400u);
  EXPECT_GT(sent.load(), 0);
}

}  // namespace
}  // namespace plx
