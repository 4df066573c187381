// Time-outs run on the caller's clock, a stop ends a request or a handshake at once, bodies and
// messages have limits, and every failure is told in words.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "core/Clock.h"
#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "sim/SimServer.h"

namespace plx {
namespace {

using namespace std::chrono_literals;
using vlo::TestClock;
using vlo::sim::HttpAnswer;
using vlo::sim::SimServer;

HttpAnswer Stalled() {
  HttpAnswer answer;
  answer.stall = true;
  return answer;
}

// Moves the clock on in steps until the future is ready (bounded in real time).
template <typename T>
bool AdvanceUntilReady(TestClock& clock, std::future<T>& future, int64_t stepMs) {
  for (int i = 0; i < 400; ++i) {
    if (future.wait_for(10ms) == std::future_status::ready) return true;
    clock.Advance(stepMs);
  }
  return false;
}

TEST(TransportControl, RequestTimeOutsRunOnTheCallersClock) {
  SimServer server;
  server.AnswerNext("GET", "/stall", 1, Stalled());
  TestClock clock;
  HttpRequest request;
  request.url = server.BaseUrl() + "/stall";
  request.timeoutMs = 15000;
  request.control.clock = &clock;
  auto result = std::async(std::launch::async, [&] { return Perform(request); });
  // However long it takes in real time, nothing ends before the clock moves.
  EXPECT_EQ(result.wait_for(400ms), std::future_status::timeout);
  clock.Advance(14000);
  EXPECT_EQ(result.wait_for(300ms), std::future_status::timeout);
  clock.Advance(1000);
  ASSERT_EQ(result.wait_for(2s), std::future_status::ready);
  const HttpResponse response = result.get();
  EXPECT_EQ(response.status, 0);
  EXPECT_EQ(response.error, "network timeout");

  // A live exchange is not cut by a clock that races ahead of it.
  server.Route("GET", "/slow", [](const vlo::sim::HttpExchange&) {
    std::this_thread::sleep_for(60ms);
    return HttpAnswer::Text("done");
  });
  request.url = server.BaseUrl() + "/slow";
  auto slow = std::async(std::launch::async, [&] { return Perform(request); });
  ASSERT_TRUE(AdvanceUntilReady(clock, slow, 20000));
  EXPECT_EQ(slow.get().body, "done");
}

TEST(TransportControl, AStopEndsAHangingRequestAtOnce) {
  SimServer server;
  server.AnswerNext("GET", "/stall", 1, Stalled());
  std::atomic<bool> wanted{true};
  HttpRequest request;
  request.url = server.BaseUrl() + "/stall";
  request.control.keepGoing = [&] { return wanted.load(); };
  auto result = std::async(std::launch::async, [&] { return Perform(request); });
  ASSERT_TRUE(server.WaitForRequests("/stall", 1));
  wanted = false;
  ASSERT_EQ(result.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(result.get().error, "cancelled");
}

TEST(TransportControl, BodiesOverTheLimitFail) {
  SimServer server;
  server.Route("GET", "/big", [](const vlo::sim::HttpExchange&) {
    return HttpAnswer::Text(std::string(3000, 'b'));
  });
  HttpAnswer zipped = HttpAnswer::Text(std::string(3000, 'z'));
  zipped.gzip = true;  // small on the wire, large once decoded
  server.AnswerNext("GET", "/zipped", 1, zipped);
  HttpRequest request;
  request.url = server.BaseUrl() + "/big";
  request.maxBodyBytes = 2000;
  HttpResponse response = Perform(request);
  EXPECT_EQ(response.status, 0);
  EXPECT_EQ(response.error, "answer too large");
  EXPECT_TRUE(response.body.empty());
  request.url = server.BaseUrl() + "/zipped";
  EXPECT_EQ(Perform(request).error, "answer too large");
  request.url = server.BaseUrl() + "/big";
  request.maxBodyBytes = 3000;
  EXPECT_EQ(Perform(request).body.size(), 3000u);
}

class WebSocketControl : public testing::Test {
 protected:
  WebSocketControl() { server_.WebSocket("/ws", {}); }
  SimServer server_;
};

TEST_F(WebSocketControl, AHandshakeThatHangsTimesOutOnTheClockAndSaysSo) {
  server_.AnswerNext("GET", "/ws", 1, Stalled());
  TestClock clock;
  WebSocketClient client;
  std::string error;
  CallControl control{&clock, {}};
  auto connecting = std::async(std::launch::async, [&] {
    return client.Connect(server_.WsBaseUrl() + "/ws", "", &error, 0, control);
  });
  ASSERT_TRUE(server_.WaitForRequests("/ws", 1));
  EXPECT_EQ(connecting.wait_for(300ms), std::future_status::timeout);
  ASSERT_TRUE(AdvanceUntilReady(clock, connecting, 1000));
  EXPECT_FALSE(connecting.get());
  EXPECT_EQ(error, "WebSocket handshake timed out");
  EXPECT_FALSE(client.IsOpen());
}

TEST_F(WebSocketControl, AStopEndsAHangingHandshakeAtOnce) {
  server_.AnswerNext("GET", "/ws", 1, Stalled());
  std::atomic<bool> wanted{true};
  WebSocketClient client;
  std::string error;
  CallControl control{nullptr, [&] { return wanted.load(); }};
  auto connecting = std::async(std::launch::async, [&] {
    return client.Connect(server_.WsBaseUrl() + "/ws", "", &error, 0, control);
  });
  ASSERT_TRUE(server_.WaitForRequests("/ws", 1));
  wanted = false;
  ASSERT_EQ(connecting.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(connecting.get());
  EXPECT_EQ(error, "WebSocket connect cancelled");
}

TEST_F(WebSocketControl, RefusalsAndLimitsInWords) {
  uint16_t closed{0};
  {
    SimServer gone;
    closed = gone.Port();
  }
  WebSocketClient client;
  std::string error;
  EXPECT_FALSE(client.Connect("ws://127.0.0.1:" + std::to_string(closed) + "/", "", &error));
  EXPECT_EQ(error, "WebSocket connect failed (connection refused)");

  HttpAnswer busy = HttpAnswer::Status(429);
  busy.headers.emplace_back("Retry-After", "42");
  server_.AnswerNext("GET", "/ws", 1, busy);
  EXPECT_FALSE(client.Connect(server_.WsBaseUrl() + "/ws", "", &error));
  EXPECT_EQ(error, "WebSocket upgrade rejected (HTTP 429)");
  EXPECT_EQ(client.RetryAfterSeconds(), 42);

  HttpAnswer hangUp;
  hangUp.closeWithoutAnswer = true;
  server_.AnswerNext("GET", "/ws", 1, hangUp);
  EXPECT_FALSE(client.Connect(server_.WsBaseUrl() + "/ws", "", &error));
  EXPECT_EQ(error, "WebSocket handshake failed (connection closed)");

  // A message over 4 MiB ends the connection instead of growing without end.
  ASSERT_TRUE(client.Connect(server_.WsBaseUrl() + "/ws", "", &error)) << error;
  EXPECT_EQ(client.RetryAfterSeconds(), 0);
  ASSERT_TRUE(server_.WaitForPeers(1));
  server_.Peers().back()->SendText(std::string((4u << 20) + 1, 'x'));
  server_.Peers().back()->SendText("after");
  std::string message;
  EXPECT_FALSE(client.ReceiveMessage(message));
  EXPECT_FALSE(client.IsOpen());
}

}  // namespace
}  // namespace plx
