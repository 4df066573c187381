#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "alerts/AlertEvent.h"
#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/twitch/TwitchWatchdog.h"
#include "sim/SimServer.h"
#include "sim/twitch/TwitchChatService.h"
#include "sim/twitch/TwitchLines.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

using namespace std::chrono_literals;
using plx::PlatformId;

constexpr const char* kAnonymous = "Reading anonymously (sign in to send)";
constexpr const char* kRejected =
    "Twitch did not accept the sign-in. Reading anonymously; sign in again under Channels & "
    "accounts to send messages.";

// A signed-in Twitch account with a fixed token.
class TestAccounts final : public AccountOperations {
 public:
  std::optional<plx::TokenRecord> token;
  std::string clientId;
  plx::AccountInfo account;

  std::optional<plx::TokenRecord> GetFreshToken(PlatformId p) override {
    return p == PlatformId::Twitch ? token : std::nullopt;
  }
  plx::AccountInfo AccountFromStore(PlatformId p) override {
    return p == PlatformId::Twitch ? account : plx::AccountInfo{};
  }
  plx::AccountInfo LookupAccount(PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(PlatformId p) override {
    return p == PlatformId::Twitch ? clientId : std::string{};
  }

  void SignIn(std::string accessToken, std::string login) {
    token = plx::TokenRecord{};
    token->accessToken = std::move(accessToken);
    clientId = "client-1";
    account.signedIn = true;
    account.login = std::move(login);
  }
};

class TwitchReaderTest : public ::testing::Test {
 protected:
  TwitchReaderTest() { chat.AddChannel("chan", "1234"); }
  ~TwitchReaderTest() override { hub.Stop(); }

  void Start(std::string channel = "chan", std::string url = {}) {
    Endpoints endpoints;
    endpoints.twitchChat = url.empty() ? chat.ChatUrl() : url;
    hub.SetTargets({std::move(channel), "", ""});
    hub.SetReaderEntry(PlatformId::Twitch, MakeTwitchReader(endpoints));
    hub.Start();
  }

  PlatformStatus Status() { return hub.GetStatus(PlatformId::Twitch); }

  // Polls (real time, bounded) until `done` holds.
  static bool Eventually(const std::function<bool()>& done) {
    for (auto deadline = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(2ms)) {
      if (done()) return true;
    }
    return done();
  }
  bool EventuallyConnected() {
    return Eventually([this] { return Status().state == ConnectionState::Connected; });
  }
  std::vector<std::string> Bodies() {
    std::vector<std::string> bodies;
    for (const auto& row : hub.Snapshot()) bodies.push_back(row.body);
    return bodies;
  }
  bool HasBody(const std::string& body) {
    const auto bodies = Bodies();
    return std::find(bodies.begin(), bodies.end(), body) != bodies.end();
  }
  // The reader's own waits, without its watchdog's quiet spells and answer waits.
  std::vector<int64_t> ReaderWaits() {
    std::vector<int64_t> waits = clock.Waits();
    std::erase_if(waits, [](int64_t ms) {
      return ms == TwitchWatchdog::kQuietMs || ms == TwitchWatchdog::kAnswerMs;
    });
    return waits;
  }
  bool WaitForReaderWaits(size_t count) {
    return Eventually([&] { return ReaderWaits().size() >= count; });
  }
  std::vector<std::string> ClientLines(size_t index) {
    return server.Peers().at(index)->Received();
  }

  sim::SimServer server;
  sim::TwitchChatService chat{server};
  TestAccounts accounts;
  TestClock clock;
  ChatHub hub{accounts, clock};
};

TEST_F(TwitchReaderTest, AnonymousJoinReachesConnected) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  const PlatformStatus status = Status();
  EXPECT_EQ(status.channel, "chan");
  EXPECT_EQ(status.detail, kAnonymous);
  EXPECT_FALSE(status.canSend);
  EXPECT_EQ(status.broadcasterId, "1234");
  EXPECT_EQ(hub.PlatformIdOf(PlatformId::Twitch), "1234");
  EXPECT_TRUE(Eventually([this] { return HasBody("Connected to #chan"); }));

  const auto sent = ClientLines(0);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], "CAP REQ :twitch.tv/tags twitch.tv/commands");
  ASSERT_TRUE(sent[1].starts_with("NICK justinfan"));
  const int n = std::stoi(sent[1].substr(14));
  EXPECT_GE(n, 10000);
  EXPECT_LE(n, 99998);
  EXPECT_EQ(sent[2], "JOIN #chan");
}

TEST_F(TwitchReaderTest, SignedInSendsPassAndNickAndCanSend) {
  accounts.SignIn("tok-1", "Streamer");  // the login is lower-cased
  chat.AcceptToken("tok-1", "streamer");
  chat.AddChannel("streamer", "55");
  Start("");  // no channel: the signed-in login is read
  ASSERT_TRUE(EventuallyConnected());
  EXPECT_EQ(Status().detail, "Connected");
  EXPECT_EQ(Status().channel, "streamer");
  EXPECT_TRUE(Eventually([this] { return Status().canSend; }));
  EXPECT_EQ(ClientLines(0),
            (std::vector<std::string>{"CAP REQ :twitch.tv/tags twitch.tv/commands",
                                      "PASS oauth:tok-1", "NICK streamer", "JOIN #streamer"}));
}

TEST_F(TwitchReaderTest, TokenWithoutClientIdReadsAnonymously) {
  accounts.SignIn("tok-1", "streamer");
  accounts.clientId.clear();
  Start();
  ASSERT_TRUE(EventuallyConnected());
  EXPECT_EQ(Status().detail, kAnonymous);
  EXPECT_TRUE(ClientLines(0)[1].starts_with("NICK justinfan"));
}

TEST_F(TwitchReaderTest, RejectedTokenMakesTheNextCycleAnonymousAtOnce) {
  accounts.SignIn("stale", "streamer");
  Start();
  ASSERT_TRUE(chat.WaitForJoins("chan", 1));
  ASSERT_TRUE(EventuallyConnected());
  EXPECT_EQ(Status().detail, kAnonymous);
  EXPECT_FALSE(Status().canSend);
  EXPECT_TRUE(HasBody(kRejected));
  EXPECT_TRUE(ReaderWaits().empty());  // no wait before the anonymous cycle

  const auto clients = chat.Clients();
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(clients[0].pass, "oauth:stale");
  EXPECT_FALSE(clients[0].registered);
  EXPECT_TRUE(clients[1].nick.starts_with("justinfan"));
  EXPECT_EQ(clients[1].pass, "");

  // Should the anonymous login be refused too, that is retried as a drop, not in a tight loop.
  chat.SendToAll(":tmi.twitch.tv NOTICE * :Login authentication failed\r\n");
  ASSERT_TRUE(WaitForReaderWaits(1));
  EXPECT_EQ(ReaderWaits(), std::vector<int64_t>{4000});
  EXPECT_EQ(Status().detail, "Reconnecting…");
  const auto bodies = Bodies();
  EXPECT_EQ(std::count(bodies.begin(), bodies.end(), kRejected), 1);
}

TEST_F(TwitchReaderTest, TrafficBecomesRowsAlertsAndRemovals) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  const sim::TwitchRoom room{"chan", "1234"};
  const sim::TwitchViewer amy{"amy",          "Amy", "11", "#FF0000", "subscriber/0",
                              "subscriber/2", false, true, false};
  const sim::TwitchViewer bob{"bob", "Bob", "22", "", "", "", false, false, false};
  const auto chatLine = [&](const sim::TwitchViewer& v, std::string id, std::string text,
                            int bits = 0) {
    sim::TwitchChat c;
    c.id = std::move(id);
    c.text = std::move(text);
    c.sentMs = 1'700'000'000'000;
    c.bits = bits;
    return sim::TwitchPrivmsgLine(room, v, c);
  };
  // Two chat lines in one WebSocket message keep their order.
  chat.SendLines("chan", {chatLine(amy, "m1", "first Kappa"), chatLine(bob, "m2", "second")});
  chat.SendLines("chan", {chatLine(bob, "m3", "Cheer100 take my bits", 100),
                          sim::TwitchSubLine(room, amy, "s1", 1, "Prime"),
                          sim::TwitchAnnouncementLine(room, amy, "a1", 1, "Be nice")});
  chat.SendToChannel("chan", "garbage\r\n@broken\r\n\r\nPING :abc\r\n");
  ASSERT_TRUE(chat.WaitForPongs(1));
  EXPECT_EQ(ClientLines(0).back(), "PONG :abc");
  ASSERT_TRUE(Eventually([this] { return HasBody("Be nice"); }));

  auto rows = hub.Snapshot();
  std::vector<std::string> ids;
  for (const auto& row : rows) ids.push_back(row.id);
  const std::vector<std::string> expectedIds{"tw-m1", "tw-m2",       "ev-tw-cheer-m3",
                                             "tw-m3", "ev-tw-ev-s1", "tw-a1"};
  ASSERT_GE(ids.size(), expectedIds.size());
  EXPECT_EQ(std::vector<std::string>(ids.end() - 6, ids.end()), expectedIds);
  EXPECT_EQ(rows.back().author, "Amy");
  EXPECT_EQ(rows[rows.size() - 2].body, "Amy subscribed (Prime)");
  EXPECT_EQ(rows[rows.size() - 4].body, "Bob cheered 100 bits \u2014 Cheer100 take my bits");

  // Deleting one message, timing out one author, then clearing the chat.
  chat.SendLines("chan", {sim::TwitchClearMsgLine(room, "amy", "a1", 2, "Be nice")});
  ASSERT_TRUE(Eventually([this] { return hub.Snapshot().back().deleted; }));
  chat.SendLines("chan", {sim::TwitchClearChatLine(room, "22", "bob", 3, 600)});
  ASSERT_TRUE(Eventually([this] {
    for (const auto& row : hub.Snapshot()) {
      if (row.id == "tw-m2") return row.deleted;
    }
    return false;
  }));
  for (const auto& row : hub.Snapshot()) {
    if (row.id == "tw-m1") {
      EXPECT_FALSE(row.deleted);
    }
  }
  chat.SendLines("chan", {sim::TwitchClearChatLine(room, "", "", 4, 0)});
  ASSERT_TRUE(
      Eventually([this] { return hub.Snapshot().back().body == "A moderator cleared the chat"; }));
  for (const auto& row : hub.Snapshot()) {
    EXPECT_EQ(row.deleted, plx::IsViewerMessage(row)) << row.id;
  }
}

TEST_F(TwitchReaderTest, ReconnectRequestWaitsHalfASecond) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  chat.SendReconnect();
  ASSERT_TRUE(WaitForReaderWaits(1));
  EXPECT_EQ(ReaderWaits(), std::vector<int64_t>{500});
  EXPECT_EQ(Status().state, ConnectionState::Connecting);
  EXPECT_EQ(Status().detail, "Reconnecting…");
  EXPECT_FALSE(Status().canSend);
  clock.Advance(500);
  ASSERT_TRUE(chat.WaitForJoins("chan", 2));
  EXPECT_TRUE(EventuallyConnected());
}

TEST_F(TwitchReaderTest, DroppedConnectionWaitsFourSeconds) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  chat.DropAll();
  ASSERT_TRUE(WaitForReaderWaits(1));
  EXPECT_EQ(ReaderWaits(), std::vector<int64_t>{4000});
  EXPECT_EQ(Status().detail, "Reconnecting…");
  clock.Advance(3999);
  EXPECT_EQ(chat.Clients().size(), 1u);
  clock.Advance(1);
  ASSERT_TRUE(chat.WaitForJoins("chan", 2));
  EXPECT_TRUE(EventuallyConnected());
}

// A quiet channel is not a dead connection: after 30 s without a line the reader pings, and
// the answer keeps the connection.
TEST_F(TwitchReaderTest, AQuietConnectionIsPingedAndKeptWhileItAnswers) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  const auto pinged = [this] {
    const auto lines = ClientLines(0);
    return std::count(lines.begin(), lines.end(), "PING :tmi.twitch.tv");
  };
  // The watchdog's quiet wait starts again with every line: the clock moves only once the newest
  // wait is a quiet one that no late line of the join has cut short.
  const auto quietWaitSettled = [this] {
    size_t seen = 0;
    for (int i = 0; i < 100; ++i) {
      const std::vector<int64_t> waits = clock.Waits();
      if (!waits.empty() && waits.back() == TwitchWatchdog::kQuietMs && waits.size() == seen) {
        return clock.WaitForSleepers(1);
      }
      seen = waits.size();
      std::this_thread::sleep_for(50ms);
    }
    return false;
  };
  for (int round = 1; round <= 2; ++round) {
    ASSERT_TRUE(quietWaitSettled());
    clock.Advance(TwitchWatchdog::kQuietMs);
    ASSERT_TRUE(Eventually([&] { return pinged() == round; }));
    std::this_thread::sleep_for(50ms);  // the answer comes back
    clock.Advance(TwitchWatchdog::kAnswerMs);
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(chat.Clients().size(), 1u);
  EXPECT_EQ(Status().state, ConnectionState::Connected);
}

TEST_F(TwitchReaderTest, UnknownChannelStaysConnecting) {
  Start("nosuchchannel");
  ASSERT_TRUE(chat.WaitForJoins("nosuchchannel", 1));
  chat.SendToAll(":tmi.twitch.tv NOTICE #nosuchchannel :Something about this channel\r\n");
  ASSERT_TRUE(Eventually([this] { return HasBody("Something about this channel"); }));
  EXPECT_EQ(Status().state, ConnectionState::Connecting);
  EXPECT_EQ(Status().detail, "Connecting…");
  EXPECT_FALSE(Status().canSend);
}

TEST_F(TwitchReaderTest, SuspendedChannelNoticeIsASystemLine) {
  chat.SuspendChannel("gone");
  Start("gone");
  ASSERT_TRUE(
      Eventually([this] { return HasBody("This channel does not exist or has been suspended."); }));
  EXPECT_EQ(Status().state, ConnectionState::Connecting);
}

TEST_F(TwitchReaderTest, UnreachableServerIsAProblemRetriedAfterEightSeconds) {
  Start("chan", "ws://127.0.0.1:1");
  ASSERT_TRUE(WaitForReaderWaits(1));
  EXPECT_EQ(ReaderWaits(), std::vector<int64_t>{8000});
  EXPECT_EQ(Status().state, ConnectionState::Problem);
  EXPECT_TRUE(Status().detail.starts_with("Could not reach Twitch chat (")) << Status().detail;
  EXPECT_EQ(Status().channel, "chan");
  clock.Advance(8000);
  ASSERT_TRUE(clock.WaitForWaits(2));
}

TEST_F(TwitchReaderTest, NoChannelAndNoSignInIsOff) {
  Start("");
  ASSERT_TRUE(Eventually([this] { return !Status().detail.empty(); }));
  EXPECT_EQ(Status().state, ConnectionState::Off);
  EXPECT_EQ(Status().detail, "Sign in or enter a channel under Channels & accounts");
  EXPECT_EQ(Status().channel, "");
}

TEST_F(TwitchReaderTest, StopWhileBlockedInReceiveReturnsPromptly) {
  Start();
  ASSERT_TRUE(EventuallyConnected());
  const auto started = std::chrono::steady_clock::now();
  hub.Stop();
  // Without the socket close the reader would wait for traffic for ever; a generous bound
  // tells a prompt return from a hang.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(Status().state, ConnectionState::Off);
  EXPECT_TRUE(Eventually([this] { return !chat.Clients().at(0).open; }));
}

TEST_F(TwitchReaderTest, ReplayedCapturePlaysThroughTheReader) {
  test::TempDir dir;
  const auto path = dir.path() / "capture.irc";
  const sim::TwitchRoom room{"chan", "1234"};
  const sim::TwitchViewer amy{"amy", "Amy", "11", "#FF0000", "", "", false, false, false};
  const auto chatOf = [](std::string id, std::string text) {
    sim::TwitchChat c;
    c.id = std::move(id);
    c.text = std::move(text);
    c.sentMs = 1'700'000'000'000;
    return c;
  };
  {
    // A capture as saved from a real session: CRLF endings, blank lines, a PING.
    std::ofstream file{path, std::ios::binary};
    file << sim::TwitchPrivmsgLine(room, amy, chatOf("c1", "one")) << "\r\n\r\n"
         << "PING :tmi.twitch.tv\r\n"
         << sim::TwitchPrivmsgLine(room, amy, chatOf("c2", "two")) << "\n"
         << sim::TwitchClearMsgLine(room, "amy", "c1", 2, "one") << "\n";
  }
  const auto lines = sim::ReadTwitchCapture(path.string());
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 4u);
  EXPECT_FALSE(sim::ReadTwitchCapture((dir.path() / "missing").string()));

  // The replay waits for the join and follows the join's replies.
  chat.StartReplay(*lines, 0, "chan");
  Start();
  ASSERT_TRUE(Eventually([this] { return chat.ReplayFinished() && hub.Snapshot().size() == 3; }));
  ASSERT_TRUE(Eventually([this] { return hub.Snapshot()[1].deleted; }));
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"Connected to #chan", "one", "two"}));
  EXPECT_FALSE(hub.Snapshot()[2].deleted);
  EXPECT_TRUE(chat.WaitForPongs(1));  // the replayed PING was answered
}

}  // namespace
}  // namespace vlo
