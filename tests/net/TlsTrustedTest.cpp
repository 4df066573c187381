#include <gtest/gtest.h>

#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "sim/SimServer.h"

namespace plx {
namespace {

using vlo::sim::HttpAnswer;
using vlo::sim::SimServer;
using vlo::sim::WsHandlers;
using vlo::sim::WsPeer;

class TlsTrusted : public testing::Test {
 protected:
  static void SetUpTestSuite() { TrustExtraCertificateForTests(SimServer::TestCaPath()); }
};

TEST_F(TlsTrusted, HttpsAndWssWorkWithTheTestAuthority) {
  SimServer server{SimServer::Transport::Tls};
  server.Route("GET", "/hello", [](const auto&) { return HttpAnswer::Json("{\"ok\":true}"); });
  server.WebSocket("/ws",
                   WsHandlers{nullptr,
                              [](const std::shared_ptr<WsPeer>& peer, const std::string& text) {
                                peer->SendText("echo:" + text);
                              },
                              nullptr});
  EXPECT_EQ(server.BaseUrl().substr(0, 8), "https://");

  const std::string port{std::to_string(server.Port())};
  for (const std::string host : {"127.0.0.1", "localhost"}) {
    const HttpResponse response{Get("https://" + host + ":" + port + "/hello")};
    EXPECT_EQ(response.error, "") << host;
    EXPECT_EQ(response.body, "{\"ok\":true}") << host;

    WebSocketClient client;
    std::string error;
    ASSERT_TRUE(client.Connect("wss://" + host + ":" + port + "/ws", "", &error)) << error;
    ASSERT_TRUE(client.SendText("hi"));
    std::string message;
    ASSERT_TRUE(client.ReceiveMessage(message));
    EXPECT_EQ(message, "echo:hi");
    client.Close();
  }
}

}  // namespace
}  // namespace plx
