// TLS peers are verified: without the test authority the simulator's certificate is refused.
// This program never trusts that authority (trust is process-wide).

#include <gtest/gtest.h>

#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "sim/SimServer.h"

namespace plx {
namespace {

using vlo::sim::SimServer;

TEST(TlsUntrusted, HttpsAndWssRefuseAnUnknownAuthority) {
  SimServer server{SimServer::Transport::Tls};
  server.WebSocket("/ws", {});

  const HttpResponse response{Get(server.BaseUrl() + "/")};
  EXPECT_EQ(response.status, 0);
  EXPECT_EQ(response.error, "the server's certificate is not trusted");

  WebSocketClient client;
  std::string error;
  EXPECT_FALSE(client.Connect(server.WsBaseUrl() + "/ws", "", &error));
  EXPECT_EQ(error, "the server's certificate is not trusted");
  EXPECT_FALSE(client.IsOpen());
  EXPECT_EQ(server.RequestCount("/ws"), 0u);  // the upgrade was never sent
}

}  // namespace
}  // namespace plx
