// The relay itself: each fault does to the bytes what it says, in real time on loopback.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <future>

#include "net/Http.h"
#include "sim/faults/FaultRelay.h"
#include "sim/faults/WorldFaults.h"
#include "tests/faults/FaultFixture.h"

namespace vlo::faults {
namespace {

using sim::FaultRelay;
using sim::HttpAnswer;
using sim::SimServer;

// A raw client: connects, sends a request, reads what comes back until the end, a reset or a
// quiet `ms`.
struct Raw {
  std::string bytes;
  bool reset{false};
  bool ended{false};  // an orderly end of stream
  bool refused{false};
};

Raw Exchange(uint16_t port, const std::string& request, int ms = 1000) {
  Raw raw;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    raw.refused = errno == ECONNREFUSED;
    close(fd);
    return raw;
  }
  timeval timeout{ms / 1000, (ms % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  char buffer[65536];
  for (;;) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      raw.bytes.append(buffer, static_cast<size_t>(n));
      continue;
    }
    raw.ended = n == 0;
    raw.reset = n < 0 && errno == ECONNRESET;
    break;
  }
  close(fd);
  return raw;
}

const std::string kGet = "GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";

class FaultRelayTest : public ::testing::Test {
 protected:
  FaultRelayTest() {
    TrustSimulator();
    server_.Route("GET", "/page", [](const sim::HttpExchange&) {
      return HttpAnswer::Text(std::string(10000, 'p'));
    });
  }
  std::string Url() const { return relay_.Rewrite(server_.BaseUrl()) + "/page"; }

  SimServer server_;
  FaultRelay relay_{server_.Port()};
};

TEST_F(FaultRelayTest, RelaysUntouchedAndRewritesOnlyItsTarget) {
  EXPECT_EQ(relay_.Rewrite("ws://127.0.0.1:" + std::to_string(server_.Port()) + "/x"),
            "ws://127.0.0.1:" + std::to_string(relay_.Port()) + "/x");
  EXPECT_EQ(relay_.Rewrite("http://127.0.0.1:1/x"), "http://127.0.0.1:1/x");
  EXPECT_EQ(relay_.Rewrite("http://127.0.0.1:" + std::to_string(server_.Port()) + "9"),
            "http://127.0.0.1:" + std::to_string(server_.Port()) + "9");
  const plx::HttpResponse response = plx::Get(Url(), 5000);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, std::string(10000, 'p'));
  EXPECT_EQ(relay_.Accepted(), 1u);
}

TEST_F(FaultRelayTest, StallHoldsEverythingUntilLiftedAndDropResetsWhatIsOpen) {
  relay_.SetStall(true);
  const Raw stalled = Exchange(relay_.Port(), kGet, 300);
  EXPECT_TRUE(stalled.bytes.empty());
  EXPECT_FALSE(stalled.ended || stalled.reset);  // still open: the read only timed out

  std::promise<Raw> done;
  std::thread held{[&] { done.set_value(Exchange(relay_.Port(), kGet, 3000)); }};
  ASSERT_TRUE(Eventually([&] { return relay_.OpenLinks() > 0; }));
  std::this_thread::sleep_for(50ms);
  relay_.DropAll();
  relay_.SetStall(false);
  const Raw dropped = done.get_future().get();
  held.join();
  EXPECT_TRUE(dropped.reset);
  EXPECT_TRUE(dropped.bytes.empty());

  const Raw after = Exchange(relay_.Port(), kGet);
  EXPECT_TRUE(after.ended);
  EXPECT_NE(after.bytes.find(std::string(10000, 'p')), std::string::npos);
}

TEST_F(FaultRelayTest, HalfCloseEndsTheClientsStreamAndCutResetsAfterTheBytes) {
  relay_.SetHalfClose(true);
  const Raw half = Exchange(relay_.Port(), kGet);
  EXPECT_TRUE(half.ended);
  EXPECT_TRUE(half.bytes.empty());
  EXPECT_EQ(plx::Get(Url(), 5000).error, "network error (no answer)");
  relay_.Clear();

  relay_.SetCutAfter(100);
  const Raw cut = Exchange(relay_.Port(), kGet);
  EXPECT_EQ(cut.bytes.size(), 100u);
  EXPECT_TRUE(cut.reset);
  EXPECT_TRUE(cut.bytes.starts_with("HTTP/1.1 200"));
  relay_.SetCutAfter(std::nullopt);
  EXPECT_EQ(plx::Get(Url(), 5000).status, 200);
}

TEST_F(FaultRelayTest, RefuseClosesTheListenerUntilLifted) {
  relay_.SetRefuse(true);
  ASSERT_TRUE(Eventually([&] { return Exchange(relay_.Port(), kGet, 200).refused; }));
  EXPECT_EQ(plx::Get(Url(), 5000).error, "network error (cannot connect)");
  relay_.Clear();
  ASSERT_TRUE(Eventually([&] { return !Exchange(relay_.Port(), kGet, 200).refused; }));
  EXPECT_EQ(plx::Get(Url(), 5000).status, 200);
}

TEST_F(FaultRelayTest, DelayCorruptAndAnswerChangeWhatArrives) {
  relay_.SetDelay(150);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(plx::Get(Url(), 5000).status, 200);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 300ms);  // the request and the answer
  relay_.SetDelay(0);

  relay_.SetCorrupt(true);
  const Raw garbled = Exchange(relay_.Port(), kGet);
  EXPECT_NE(garbled.bytes.find('\xFF'), std::string::npos);
  relay_.SetCorrupt(false);

  relay_.SetAnswer(503, 7);
  const plx::HttpResponse refused = plx::Get(Url(), 5000);
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.retryAfter, 7);
  relay_.SetAnswer(std::nullopt);
  EXPECT_EQ(plx::Get(Url(), 5000).status, 200);
}

// Over TLS the relay moves bytes only, so the service's own certificate is what the client sees;
// told to, it presents one of its own, which the client must refuse.
TEST_F(FaultRelayTest, TlsRunsThroughAndItsOwnCertificatesAreRefused) {
  SimServer secure{SimServer::Transport::Tls};
  secure.Route("GET", "/page", [](const sim::HttpExchange&) { return HttpAnswer::Text("tls"); });
  FaultRelay relay{secure.Port()};
  const std::string url = relay.Rewrite(secure.BaseUrl()) + "/page";
  EXPECT_EQ(plx::Get(url, 5000).body, "tls");
  relay.SetCertificate(sim::RelayCertificate::Untrusted);
  EXPECT_EQ(plx::Get(url, 5000).error, "the server's certificate is not trusted");
  relay.SetCertificate(sim::RelayCertificate::OtherHost);
  EXPECT_EQ(plx::Get(url, 5000).error, "the server's certificate is for another host");
  relay.Clear();
  EXPECT_EQ(plx::Get(url, 5000).body, "tls");
}

// velaro-sim's commands over a world's relays.
TEST(WorldFaults, CommandsReachTheRelayedServices) {
  sim::SimWorldOptions options;
  options.twitchRate = options.kickRate = options.youtubeRate = 0;
  sim::SimWorld world{options};
  std::string error;
  EXPECT_FALSE(sim::WorldFaults::Create(world, {"nonsense"}, &error));
  EXPECT_NE(error.find("unknown service"), std::string::npos);
  auto faults = sim::WorldFaults::Create(world, {"kick", "youtube"}, &error);
  ASSERT_TRUE(faults);
  const Endpoints& relayed = faults->GetEndpoints();
  EXPECT_NE(relayed.kickWeb, world.GetEndpoints().kickWeb);
  EXPECT_NE(relayed.youtubeWeb, world.GetEndpoints().youtubeWeb);
  EXPECT_EQ(relayed.twitchChat, world.GetEndpoints().twitchChat);

  const std::string page = relayed.youtubeWeb + "/@" + sim::YouTubeDemo::kHandle + "/live";
  EXPECT_EQ(plx::Get(page, 5000).status, 200);
  EXPECT_EQ(faults->Command("youtube status 503 9"), "youtube status 503 9");
  EXPECT_EQ(plx::Get(page, 5000).status, 503);
  EXPECT_EQ(faults->Command("all refuse"), "kick refuse; youtube refuse");
  EXPECT_TRUE(
      Eventually([&] { return plx::Get(page, 5000).error == "network error (cannot connect)"; }));
  EXPECT_EQ(faults->Command("clear"), "kick clear; youtube clear");
  EXPECT_TRUE(Eventually([&] { return plx::Get(page, 5000).status == 200; }));
  EXPECT_TRUE(faults->Command("twitch drop").starts_with("error:"));
  EXPECT_TRUE(faults->Command("kick explode").starts_with("error:"));
}

}  // namespace
}  // namespace vlo::faults
