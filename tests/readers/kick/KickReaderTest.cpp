#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "alerts/AlertDecoders.h"
#include "core/ChatHub.h"
#include "net/Http.h"
#include "readers/kick/KickEvent.h"
#include "readers/kick/KickPing.h"
#include "readers/kick/KickReader.h"
#include "sim/SimServer.h"
#include "sim/kick/KickSim.h"
#include "sim/kick/KickTraffic.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

using plx::PlatformId;
using sim::KickLookupAnswer;
using sim::KickRealtimeAnswer;
using sim::KickSim;
using namespace std::chrono_literals;

constexpr PlatformId kKick = PlatformId::Kick;

// Signed in to Kick with a fixed token, or not at all.
class TestAccounts final : public AccountOperations {
 public:
  std::optional<plx::TokenRecord> token;
  std::string lookupUserId;

  std::optional<plx::TokenRecord> GetFreshToken(PlatformId p) override {
    return p == kKick ? token : std::nullopt;
  }
  plx::AccountInfo AccountFromStore(PlatformId p) override {
    plx::AccountInfo info;
    info.signedIn = p == kKick && token.has_value();
    return info;
  }
  plx::AccountInfo LookupAccount(PlatformId p) override {
    plx::AccountInfo info = AccountFromStore(p);
    if (info.signedIn && !lookupUserId.empty()) info.userId = lookupUserId;
    return info;
  }
  std::string ClientIdFor(PlatformId) override { return {}; }
};

// Polls (real time, bounded) until `done` holds.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class KickReaderTest : public ::testing::Test {
 protected:
  KickReaderTest() {
    kick.AddChannel({"velaro", 123, 0, "", true});
    kick.AddChannel({"busy", 500, 77, "42", true});
    endpoints.kickWeb = kick.WebBase();
    endpoints.kickApi = kick.ApiBase();
    endpoints.pusher = kick.PusherPattern();
    hub.SetChangedCallback([this] {
      const PlatformStatus status = hub.GetStatus(kKick);
      std::lock_guard lock{statusMutex};
      if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
    });
  }
  ~KickReaderTest() override { hub.Stop(); }

  void SignIn(std::string slug) {
    accounts.token = plx::TokenRecord{};
    accounts.token->accessToken = "tok-1";
    kick.SetOwnChannel("tok-1", std::move(slug));
  }

  void Start(std::string channel) {
    ChatTargets targets;
    targets.kickChannel = std::move(channel);
    hub.SetTargets(targets);
    hub.SetReaderEntry(kKick, MakeKickReader(endpoints));
    hub.Start();
  }

  bool WaitForStatus(ConnectionState state, std::string detail) {
    return Eventually([&] {
      const PlatformStatus status = hub.GetStatus(kKick);
      return status.state == state && status.detail == detail;
    });
  }

  std::vector<plx::ChatRow> Rows() { return hub.Snapshot(); }
  std::vector<std::string> Bodies() {
    std::vector<std::string> bodies;
    for (const auto& row : hub.Snapshot()) bodies.push_back(row.body);
    return bodies;
  }
  std::vector<PlatformStatus> Statuses() {
    std::lock_guard lock{statusMutex};
    return statuses;
  }

  sim::SimServer web;
  sim::SimServer api;
  sim::SimServer pusher;
  KickSim kick{web, api, pusher};
  Endpoints endpoints;
  TestClock clock;
  TestAccounts accounts;
  // Declared before the hub, whose destruction still calls back.
  std::mutex statusMutex;
  std::vector<PlatformStatus> statuses;  // guarded by statusMutex; written on hub callbacks
  ChatHub hub{accounts, clock};
};

TEST_F(KickReaderTest, NoChannelEndsOff) {
  struct Case {
    bool signedIn;
    const char* detail;
  };
  for (const Case& c : {Case{false, "Sign in or enter a channel under Channels & accounts"},
                        Case{true,
                             "Could not find your Kick channel - enter it under Channels & "
                             "accounts"}}) {
    SCOPED_TRACE(c.detail);
    TestAccounts local;
    if (c.signedIn) {
      local.token = plx::TokenRecord{};
      local.token->accessToken = "tok-empty";
      kick.SetOwnChannel("tok-empty", "");  // the public API answers an empty "data" list
    }
    TestClock localClock;
    ChatHub localHub{local, localClock};
    localHub.SetReaderEntry(kKick, MakeKickReader(endpoints));
    localHub.Start();
    ASSERT_TRUE(Eventually([&] { return localHub.GetStatus(kKick).detail == c.detail; }));
    const PlatformStatus status = localHub.GetStatus(kKick);
    EXPECT_EQ(status.state, ConnectionState::Off);
    EXPECT_EQ(status.channel, "");
    EXPECT_TRUE(localClock.Waits().empty());
    localHub.Stop();
  }
  EXPECT_EQ(web.RequestCount("/api/v2/channels/"), 0u);
}

TEST_F(KickReaderTest, UnknownChannelIsTerminal) {
  kick.SetLookupAnswer(2, KickLookupAnswer::Forbidden);
  kick.SetLookupAnswer(1, KickLookupAnswer::NotFound);
  Start("ghost");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Problem, "Kick has no channel called \"ghost\""));
  EXPECT_EQ(hub.GetStatus(kKick).channel, "ghost");
  clock.Advance(60'000);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(clock.Waits().empty());
  EXPECT_EQ(web.Requests().size(), 2u);
  EXPECT_EQ(web.Requests()[0].path, "/api/v2/channels/ghost");
  EXPECT_EQ(web.Requests()[1].path, "/api/v1/channels/ghost");
}

TEST_F(KickReaderTest, BlockedLookupRetriesFromTheOwnChannelStep) {
  SignIn("velaro");
  kick.SetLookupAnswer(2, KickLookupAnswer::Forbidden);
  kick.SetLookupAnswer(1, KickLookupAnswer::HtmlBlock);
  Start("velaro");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Problem,
                            "Kick blocked the channel lookup - retrying in 30 s"));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(clock.Waits(), std::vector<int64_t>{30'000});
  EXPECT_EQ(api.RequestCount("/public/v1/channels"), 1u);

  kick.SetLookupAnswer(1, KickLookupAnswer::NoAnswer);  // a dropped connection counts the same
  clock.Advance(30'000);
  ASSERT_TRUE(api.WaitForRequests("/public/v1/channels", 2));
  ASSERT_TRUE(clock.WaitForWaits(2));
  EXPECT_EQ(clock.Waits(), (std::vector<int64_t>{30'000, 30'000}));
  EXPECT_EQ(hub.GetStatus(kKick).detail, "Kick blocked the channel lookup - retrying in 30 s");
}

TEST_F(KickReaderTest, StopDuringRetryWaitEndsQuietly) {
  kick.SetLookupAnswer(2, KickLookupAnswer::Forbidden);
  kick.SetLookupAnswer(1, KickLookupAnswer::Forbidden);
  Start("velaro");
  ASSERT_TRUE(clock.WaitForSleepers(1));
  const size_t before = Statuses().size();
  const auto started = std::chrono::steady_clock::now();
  hub.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);  // not the 30 s
  // The only change after the stop is the hub's own reset to Off.
  const auto after = Statuses();
  ASSERT_EQ(after.size(), before + 1);
  EXPECT_EQ(after.back().state, ConnectionState::Off);
  EXPECT_EQ(after.back().detail, "");
  EXPECT_EQ(web.RequestCount("/api/v2/channels/velaro"), 1u);
}

TEST_F(KickReaderTest, UnusableCredentialsRetryAfterTenSeconds) {
  kick.SetRealtimeAnswer(KickRealtimeAnswer::NoConnections);
  Start("velaro");
  ASSERT_TRUE(
      WaitForStatus(ConnectionState::Problem, "Could not open Kick's chat connection - retrying"));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(clock.Waits(), std::vector<int64_t>{10'000});
  EXPECT_EQ(kick.RealtimeRejections(), 0) << kick.LastRealtimeRejection();

  kick.SetRealtimeAnswer(KickRealtimeAnswer::ServerError);
  clock.Advance(10'000);
  ASSERT_TRUE(web.WaitForRequests("/api/v1/realtime/connection", 2));
  ASSERT_TRUE(clock.WaitForWaits(2));
  EXPECT_EQ(web.RequestCount("/api/v2/channels/velaro"), 2u);  // a whole new cycle
  EXPECT_EQ(clock.Waits().back(), 10'000);
}

TEST_F(KickReaderTest, FailedSocketConnectRetriesAfterTenSeconds) {
  endpoints.pusher = "ws://127.0.0.1:1";  // nothing listens there
  Start("velaro");
  ASSERT_TRUE(Eventually([&] { return hub.GetStatus(kKick).state == ConnectionState::Problem; }));
  const std::string detail = hub.GetStatus(kKick).detail;
  EXPECT_TRUE(detail.starts_with("Kick chat connection failed (") && detail.ends_with(")") &&
              detail.size() > 30)
      << detail;
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(clock.Waits(), std::vector<int64_t>{10'000});
  clock.Advance(10'000);
  ASSERT_TRUE(web.WaitForRequests("/api/v1/realtime/connection", 2));
  ASSERT_TRUE(clock.WaitForWaits(2));
  EXPECT_EQ(clock.Waits().back(), 10'000);
  EXPECT_EQ(web.RequestCount("/api/v2/channels/velaro"), 2u);
}

TEST_F(KickReaderTest, ReadsAnonymouslyAndSubscribesOnceWithoutChannelId) {
  Start("velaro");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Reading (sign in to send)"));
  EXPECT_EQ(hub.GetStatus(kKick).channel, "velaro");
  EXPECT_FALSE(hub.GetStatus(kKick).canSend);
  EXPECT_EQ(kick.Subscriptions(), std::vector<std::string>{"chatrooms.123.v2"});
  EXPECT_EQ(Bodies(), std::vector<std::string>{"Connected to velaro"});

  // The socket upgrade and the requests carry the browser agent; the realtime request passed
  // the service's checks.
  EXPECT_EQ(kick.RealtimeRejections(), 0) << kick.LastRealtimeRejection();
  ASSERT_TRUE(pusher.WaitForPeers(1));
  const auto peer = pusher.Peers()[0];
  EXPECT_EQ(peer->Header("User-Agent"), plx::kBrowserUserAgent);
  EXPECT_EQ(peer->Target(), "/app/" + std::string{KickSim::kAppKey} +
                                "?protocol=7&client=js&version=8.4.0&flash=false");
  const auto lookup = web.Requests()[0];
  EXPECT_EQ(lookup.Header("Accept"), "application/json");
  EXPECT_EQ(lookup.Header("Accept-Language"), "en-US,en;q=0.9");

  // A second confirmation changes nothing; pings are answered.
  ASSERT_EQ(kick.Emit("chatrooms.123.v2",
                      R"({"event":"pusher_internal:subscription_succeeded","data":"{}",)"
                      R"("channel":"chatrooms.123.v2"})"),
            1);
  ASSERT_EQ(kick.Emit("chatrooms.123.v2", R"({"event":"pusher:ping","data":{}})"), 1);
  ASSERT_TRUE(Eventually([&] {
    const auto received = peer->Received();
    return std::find(received.begin(), received.end(), R"({"event":"pusher:pong","data":{}})") !=
           received.end();
  }));
  EXPECT_EQ(Bodies(), std::vector<std::string>{"Connected to velaro"});
  EXPECT_EQ(hub.GetStatus(kKick).detail, "Reading (sign in to send)");
}

TEST_F(KickReaderTest, PingThreadPingsEveryThirtySeconds) {
  Start("velaro");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Reading (sign in to send)"));
  for (int n = 1; n <= 2; ++n) {
    // The ping thread is back in its 30 s wait once the previous ping was answered (each ping
    // is followed by a wait for its answer).
    ASSERT_TRUE(Eventually([&] {
      const auto waits = clock.Waits();
      return waits.size() == static_cast<size_t>(2 * n - 1) && waits.back() == kKickPingIntervalMs;
    }));
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(29'999);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(kick.PingsReceived(), n - 1);
    clock.Advance(1);
    ASSERT_TRUE(kick.WaitForPings(n));
  }
  const auto received = pusher.Peers()[0]->Received();
  EXPECT_EQ(received.back(), R"({"event":"pusher:ping","data":{}})");
}

TEST_F(KickReaderTest, DroppedConnectionReconnectsWithAFullCycle) {
  Start("velaro");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Reading (sign in to send)"));
  ASSERT_TRUE(pusher.WaitForPeers(1));
  pusher.Peers()[0]->Drop();
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connecting, "Reconnecting…"));
  EXPECT_FALSE(hub.GetStatus(kKick).canSend);
  ASSERT_TRUE(Eventually([&] { return !clock.Waits().empty() && clock.Waits().back() == 6000; }));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(web.RequestCount("/api/v2/channels/velaro"), 1u);

  clock.Advance(6000);
  ASSERT_TRUE(pusher.WaitForPeers(2));
  ASSERT_TRUE(kick.WaitForSubscribers("chatrooms.123.v2", 1));
  EXPECT_EQ(web.RequestCount("/api/v2/channels/velaro"), 2u);
  EXPECT_EQ(web.RequestCount("/api/v1/realtime/connection"), 2u);
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Reading (sign in to send)"));
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"Connected to velaro", "Connected to velaro"}));
}

TEST_F(KickReaderTest, SignedInOwnChannelCanSend) {
  SignIn("velaro");
  accounts.lookupUserId = "9001";  // the lookup answer has no "user_id"
  Start("");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Connected"));
  const PlatformStatus status = hub.GetStatus(kKick);
  EXPECT_EQ(status.channel, "velaro");
  EXPECT_TRUE(status.canSend);
  EXPECT_EQ(status.broadcasterId, "9001");
  EXPECT_EQ(hub.PlatformIdOf(kKick), "9001");

  const auto own = api.Requests().at(0);
  EXPECT_EQ(own.path, "/public/v1/channels");
  EXPECT_EQ(own.query, "");
  EXPECT_EQ(own.Header("Authorization"), "Bearer tok-1");
  EXPECT_EQ(own.Header("User-Agent"), plx::kAppUserAgent);
}

TEST_F(KickReaderTest, EventsBecomeRowsRemovalsAndAlerts) {
  Start("busy");
  ASSERT_TRUE(WaitForStatus(ConnectionState::Connected, "Reading (sign in to send)"));
  EXPECT_EQ(hub.PlatformIdOf(kKick), "42");  // the numeric "user_id" as text
  // The status is set once the subscriptions are sent; the server may still be reading the second.
  ASSERT_TRUE(kick.WaitForSubscribers("channel.77", 1));
  EXPECT_EQ(kick.Subscriptions(), (std::vector<std::string>{"chatrooms.500.v2", "channel.77"}));

  const sim::KickViewer sam{"Sam", 7, "#FF0000", {"og"}};
  const sim::KickViewer bo{"bo", 8, "", {}};
  const auto send = [&](const std::string& frame) {
    const nlohmann::json parsed = nlohmann::json::parse(frame);
    ASSERT_EQ(kick.Emit(parsed.value("channel", "chatrooms.500.v2"), frame), 1);
  };
  send(sim::KickChatFrame(500, "m1", sam, "hi [emote:1:Wave]", "2024-05-01T12:00:00+00:00"));
  send(sim::KickChatFrame(500, "m2", bo, "first", "2024-05-01T12:00:01+00:00"));
  send(sim::KickChatFrame(500, "m3", bo, "second", "2024-05-01T12:00:02+00:00"));
  send(sim::PusherEventFrame("App\\Events\\PinnedMessageDeletedEvent", "chatrooms.500.v2",
                             {{"message", {{"id", "m1"}}}}));
  send(sim::KickDeleteFrame(500, "m2"));
  for (const auto& frame : sim::KickSubscriptionFrames(500, 77, "amy", 5)) send(frame);
  send(sim::KickHostedFrame(77, "dan", 12, "hi"));
  send(sim::PusherErrorFrame(4201, "Pong reply not received"));
  send(sim::KickBanFrame(500, bo, true));
  ASSERT_TRUE(Eventually([&] { return Rows().back().body.starts_with("Kick chat error"); }));
  // The ban comes after the error line; wait until bo's remaining row is marked.
  ASSERT_TRUE(Eventually([&] {
    const auto rows = Rows();
    return rows.size() > 3 && rows[3].deleted;
  }));

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[1].id, "kick-m1");
  EXPECT_EQ(rows[1].body, "hi Wave");
  EXPECT_FALSE(rows[1].deleted);  // a pinned message's deletion is not the message's
  EXPECT_TRUE(rows[2].deleted);   // m2, deleted
  EXPECT_EQ(rows[3].body, "second");
  EXPECT_EQ(rows[4].body, "amy resubscribed for 5 months");  // one alert for the two events
  EXPECT_EQ(rows[4].tags, (std::vector<std::string>{"event", "resubscribe"}));
  EXPECT_EQ(rows[5].body, "dan is hosting with 12 viewers \u2014 hi");
  EXPECT_EQ(rows[6].body, R"(Kick chat error: {"code":4201,"message":"Pong reply not received"})");
}

TEST_F(KickReaderTest, ReplayedCapturePlaysThroughTheReader) {
  test::TempDir dir;
  const auto path = dir.path() / "capture.jsonl";
  const sim::KickViewer sam{"Sam", 7, "#FF0000", {}};
  {
    std::ofstream file{path};
    file << R"({"event":"pusher:connection_established","data":"{\"socket_id\":\"1.2\"}"})"
         << "\n"
         << sim::KickChatFrame(668, "c1", sam, "one", "2024-05-01T12:00:00+00:00") << "\r\n\n"
         << sim::KickChatFrame(668, "c2", sam, "two", "2024-05-01T12:00:01+00:00") << "\n"
         << sim::KickDeleteFrame(668, "c1") << "\n";
  }
  const auto frames = sim::ReadKickCapture(path.string());
  ASSERT_TRUE(frames);
  ASSERT_EQ(frames->size(), 4u);
  EXPECT_FALSE(sim::ReadKickCapture((dir.path() / "missing").string()));

  kick.StartReplay(*frames, 0);
  Start("velaro");  // subscribes to chatroom 123; the capture's own topic does not matter
  ASSERT_TRUE(Eventually([&] { return kick.ReplayFinished() && Rows().size() == 3; }));
  ASSERT_TRUE(Eventually([&] { return Rows()[1].deleted; }));
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"Connected to velaro", "one", "two"}));
}

TEST(KickTrafficTest, GeneratedTrafficIsDeterministicAndDecodes) {
  sim::KickTraffic a{668, 670, 42};
  sim::KickTraffic b{668, 670, 42};
  int messages{0}, removals{0}, alerts{0}, emotes{0};
  for (int step = 0; step < 400; ++step) {
    const auto frames = a.Next(1'714'564'800'000 + step);
    ASSERT_EQ(frames, b.Next(1'714'564'800'000 + step));
    for (const std::string& frame : frames) {
      const KickEvent event = ParseKickEvent(frame, 0);
      if (event.message) {
        ++messages;
        EXPECT_TRUE(event.message->tags.empty() ||
                    event.message->tags.back().starts_with("kemote=") ||
                    event.message->tags.back().starts_with("color=#"));
        for (const auto& tag : event.message->tags) emotes += tag.starts_with("kemote=") ? 1 : 0;
        EXPECT_EQ(event.message->timestampMs, 1'714'564'800'000);
      } else if (event.removal) {
        ++removals;
      } else if (DecodeKickAlert(event.event, event.payload, 0)) {
        ++alerts;
      } else {
        EXPECT_EQ(KickEventLeaf(event.event), "ChannelSubscriptionEvent") << frame;
      }
    }
  }
  EXPECT_GT(messages, 300);
  EXPECT_GT(removals, 0);
  EXPECT_GT(alerts, 0);
  EXPECT_GT(emotes, 0);
}

}  // namespace
}  // namespace vlo
