// The server framework checked with a bare Beast client, independent of the program's own
// network code.

#include <gtest/gtest.h>
#include <zlib.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <thread>

#include "sim/SimServer.h"

namespace vlo::sim {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

struct RawResponse {
  int status{0};
  std::string contentEncoding;
  std::string body;
  bool failed{false};
};

RawResponse Fetch(uint16_t port, std::string target, std::string method = "GET",
                  std::string body = {}) {
  asio::io_context ioc;
  beast::tcp_stream stream{ioc};
  stream.connect(tcp::endpoint{asio::ip::make_address("127.0.0.1"), port});
  http::request<http::string_body> request{http::string_to_verb(method), target, 11};
  request.set(http::field::host, "127.0.0.1");
  request.set("X-Probe", "yes");
  request.body() = std::move(body);
  request.prepare_payload();
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  beast::error_code error;
  http::read(stream, buffer, response, error);
  RawResponse result;
  result.failed = static_cast<bool>(error);
  result.status = static_cast<int>(response.result_int());
  result.contentEncoding = std::string{response[http::field::content_encoding]};
  result.body = response.body();
  return result;
}

std::string Gunzip(const std::string& data) {
  z_stream stream{};
  inflateInit2(&stream, 15 + 16);
  std::string out(1 << 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

TEST(SimServer, ServesRoutesAndLogsRequests) {
  SimServer server;
  server.Route("POST", "/echo", [](const HttpExchange& e) {
    HttpAnswer answer{HttpAnswer::Json(e.body + "|" + e.Query("q") + "|" + e.Header("x-probe"))};
    answer.headers.emplace_back("Retry-After", "7");
    return answer;
  });
  HttpAnswer zipped{HttpAnswer::Text(std::string(5000, 'z'))};
  zipped.gzip = true;
  server.AnswerNext("GET", "/zip", 1, zipped);

  const RawResponse echo{Fetch(server.Port(), "/echo?q=a%20b", "POST", "hello")};
  EXPECT_EQ(echo.status, 200);
  EXPECT_EQ(echo.body, "hello|a b|yes");

  const RawResponse zip{Fetch(server.Port(), "/zip")};
  EXPECT_EQ(zip.contentEncoding, "gzip");
  EXPECT_LT(zip.body.size(), 5000u);
  EXPECT_EQ(Gunzip(zip.body), std::string(5000, 'z'));
  EXPECT_EQ(Fetch(server.Port(), "/zip").status, 404);  // the scripted answer was used up

  ASSERT_TRUE(server.WaitForRequests("/zip", 2, 1000));
  const std::vector<HttpExchange> log{server.Requests()};
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].target, "/echo?q=a%20b");
  EXPECT_EQ(log[0].path, "/echo");
  EXPECT_EQ(log[0].query, "q=a%20b");
  EXPECT_EQ(log[0].body, "hello");
  server.ClearRequests();
  EXPECT_EQ(server.RequestCount("/zip"), 0u);
}

TEST(SimServer, CloseWithoutAnswerAndDelay) {
  SimServer server;
  HttpAnswer closing;
  closing.closeWithoutAnswer = true;
  server.AnswerNext("GET", "/x", 1, closing);
  EXPECT_TRUE(Fetch(server.Port(), "/x").failed);

  HttpAnswer late{HttpAnswer::Json("{}")};
  late.delayMs = 50;
  server.AnswerNext("GET", "/x", 1, late);
  const auto start{std::chrono::steady_clock::now()};
  EXPECT_EQ(Fetch(server.Port(), "/x").body, "{}");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds{50});
}

TEST(SimServer, StalledAnswerIsReleasedWhenServerStops) {
  RawResponse result;
  std::thread client;
  {
    SimServer server;
    HttpAnswer stalled;
    stalled.stall = true;
    server.AnswerNext("GET", "/hang", 1, stalled);
    const uint16_t port{server.Port()};
    client = std::thread{[&result, port] { result = Fetch(port, "/hang"); }};
    ASSERT_TRUE(server.WaitForRequests("/hang", 1));
  }
  client.join();
  EXPECT_TRUE(result.failed);
}

struct WsClient {
  asio::io_context ioc;
  websocket::stream<beast::tcp_stream> ws{ioc};

  explicit WsClient(uint16_t port, const std::string& target) {
    ws.next_layer().connect(tcp::endpoint{asio::ip::make_address("127.0.0.1"), port});
    ws.set_option(websocket::stream_base::decorator(
        [](websocket::request_type& r) { r.set(http::field::user_agent, "probe/1"); }));
    ws.handshake("127.0.0.1", target);
  }
  // The next message and the number of frames it came in.
  std::pair<std::string, int> Read(beast::error_code& error) {
    std::string message;
    int frames{0};
    do {
      beast::flat_buffer buffer;
      ws.read_some(buffer, 0, error);
      if (error) break;
      message += beast::buffers_to_string(buffer.data());
      ++frames;
    } while (!ws.is_message_done());
    return {message, frames};
  }
};

TEST(SimServer, WebSocketPeerScripting) {
  SimServer server;
  std::vector<std::string> closed;
  std::mutex closedMutex;
  server.WebSocket("/ws", {[](const std::shared_ptr<WsPeer>& peer) { peer->SendText("welcome"); },
                           [](const std::shared_ptr<WsPeer>& peer, const std::string& text) {
                             peer->SendText("echo:" + text);
                           },
                           [&](const std::shared_ptr<WsPeer>& peer) {
                             std::lock_guard lock{closedMutex};
                             closed.push_back(peer->Target());
                           }});
  WsClient client{server.Port(), "/ws?v=1"};
  ASSERT_TRUE(server.WaitForPeers(1));
  std::shared_ptr<WsPeer> peer{server.Peers().front()};
  EXPECT_EQ(peer->Target(), "/ws?v=1");
  EXPECT_EQ(peer->Header("User-Agent"), "probe/1");

  beast::error_code error;
  EXPECT_EQ(client.Read(error).first, "welcome");
  client.ws.write(asio::buffer(std::string{"hi"}));
  EXPECT_EQ(client.Read(error).first, "echo:hi");
  EXPECT_EQ(peer->Received(), std::vector<std::string>{"hi"});

  ASSERT_TRUE(peer->SendFragmented("abcdefgh", 3));
  EXPECT_EQ(client.Read(error), (std::pair<std::string, int>{"abcdefgh", 3}));

  peer->SendClose(4000);
  client.Read(error);
  EXPECT_EQ(error, websocket::error::closed);
  EXPECT_EQ(client.ws.reason().code, 4000);
  for (int i{0}; i < 100 && peer->IsOpen(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds{10});
  }
  EXPECT_FALSE(peer->IsOpen());
  EXPECT_FALSE(peer->SendText("late"));
  std::lock_guard lock{closedMutex};
  EXPECT_EQ(closed, std::vector<std::string>{"/ws?v=1"});
}

TEST(SimServer, DropStallAndPeerOutlivingServer) {
  std::shared_ptr<WsPeer> kept;
  {
    SimServer server;
    server.WebSocket("/ws", {});
    WsClient client{server.Port(), "/ws"};
    ASSERT_TRUE(server.WaitForPeers(1));
    kept = server.Peers().front();

    kept->Stall(true);
    kept->SendText("held");
    client.ws.write(asio::buffer(std::string{"queued"}));
    std::this_thread::sleep_for(std::chrono::milliseconds{30});
    EXPECT_TRUE(kept->Received().empty());
    kept->Stall(false);
    beast::error_code error;
    EXPECT_EQ(client.Read(error).first, "held");
    for (int i{0}; i < 100 && kept->Received().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }
    EXPECT_EQ(kept->Received(), std::vector<std::string>{"queued"});

    kept->Drop();
    client.Read(error);
    EXPECT_TRUE(error);
    EXPECT_NE(error, websocket::error::closed);  // no close frame was sent
  }
  EXPECT_FALSE(kept->SendText("after"));
  kept->Drop();
}

TEST(SimServer, UpgradeToPathWithoutSocketIsPlainHttp) {
  SimServer server;
  server.Route("GET", "/ws", [](const HttpExchange&) { return HttpAnswer::Text("no"); });
  WsClient* never{nullptr};
  EXPECT_THROW(never = new WsClient(server.Port(), "/ws"), boost::system::system_error);
  delete never;
  EXPECT_EQ(server.RequestCount("/ws"), 1u);
}

}  // namespace
}  // namespace vlo::sim
