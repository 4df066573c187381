#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <random>
#include <thread>

#include "core/ChatHub.h"

namespace vlo {
namespace {

using plx::ChatMessage;
using plx::PlatformId;

ChatMessage Viewer(std::string id, PlatformId platform = PlatformId::Twitch,
                   std::string body = "hi", std::string authorId = {}, std::string messageId = {}) {
  ChatMessage m;
  m.id = std::move(id);
  m.platform = platform;
  m.author = "viewer";
  m.body = std::move(body);
  m.authorId = std::move(authorId);
  m.platformMessageId = std::move(messageId);
  return m;
}

class HubTest : public ::testing::Test {
 protected:
  HubTest() {
    hub.SetChangedCallback([this] { ++notifications; });
  }
  NoAccounts accounts;
  TestClock clock;
  ChatHub hub{accounts, clock};
  std::atomic<int> notifications{0};
};

TEST_F(HubTest, BoundKeepsNewestThousandAndForgetsEvictedIds) {
  for (int i = 1; i <= 1001; ++i) hub.AddMessage(Viewer("tw-" + std::to_string(i)));
  auto rows = hub.Snapshot();
  ASSERT_EQ(rows.size(), 1000u);
  EXPECT_EQ(rows.front().id, "tw-2");
  EXPECT_EQ(rows.back().id, "tw-1001");

  hub.AddMessage(Viewer("tw-1"));  // its id left the set with its row
  rows = hub.Snapshot();
  EXPECT_EQ(rows.back().id, "tw-1");
  EXPECT_EQ(rows.front().id, "tw-3");
}

TEST_F(HubTest, DuplicateIdIsDroppedWithoutNotification) {
  hub.AddMessage(Viewer("tw-a", PlatformId::Twitch, "first"));
  const int before = notifications;
  const uint64_t revision = hub.Revision();
  hub.AddMessage(Viewer("tw-a", PlatformId::Twitch, "second"));
  EXPECT_EQ(notifications, before);
  EXPECT_EQ(hub.Revision(), revision);
  ASSERT_EQ(hub.Snapshot().size(), 1u);
  EXPECT_EQ(hub.Snapshot()[0].body, "first");
}

TEST_F(HubTest, EchoOfSentTextIsDroppedOncePerPlatformFor20Seconds) {
  hub.ExpectEcho("Hello ", {PlatformId::Twitch, PlatformId::Kick});
  hub.AddMessage(Viewer("tw-1", PlatformId::Twitch, "hello"));
  hub.AddMessage(Viewer("kick-1", PlatformId::Kick, "  HELLO\n"));
  hub.AddMessage(Viewer("tw-2", PlatformId::Twitch, "hello"));  // second copy is shown
  auto rows = hub.Snapshot();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "tw-2");

  hub.ExpectEcho("bye", {PlatformId::Twitch});
  clock.Advance(20000);  // expiry is not later than now: purged
  hub.AddMessage(Viewer("tw-3", PlatformId::Twitch, "bye"));
  EXPECT_EQ(hub.Snapshot().size(), 2u);
}

TEST_F(HubTest, EchoKeepsOnlySucceededPlatformsAndIgnoresNonViewerRows) {
  hub.ExpectEcho("gg", {PlatformId::Twitch, PlatformId::Kick});
  hub.KeepEchoFor("gg", {PlatformId::Kick});
  hub.AddMessage(Viewer("tw-1", PlatformId::Twitch, "gg"));
  ChatMessage system = Viewer("sys-1", PlatformId::Kick, "gg");
  system.tags = {"system"};
  hub.AddMessage(system);
  ChatMessage alert = Viewer("ev-1", PlatformId::Kick, "gg");
  alert.tags = {"event", "follow"};
  hub.AddMessage(alert);
  EXPECT_EQ(hub.Snapshot().size(), 3u);
  hub.AddMessage(Viewer("kick-1", PlatformId::Kick, "gg"));
  EXPECT_EQ(hub.Snapshot().size(), 3u);
}

TEST_F(HubTest, RemovalKinds) {
  hub.AddMessage(Viewer("tw-1", PlatformId::Twitch, "a", "u1", "m1"));
  hub.AddMessage(Viewer("tw-2", PlatformId::Twitch, "b", "u2", "m2"));
  hub.AddMessage(Viewer("tw-3", PlatformId::Twitch, "c", "u1", "m3"));
  hub.AddMessage(Viewer("kick-1", PlatformId::Kick, "d", "u1", "m1"));
  ChatMessage alert = Viewer("ev-1", PlatformId::Twitch, "alert");
  alert.tags = {"event", "raid"};
  hub.AddMessage(alert);

  int before = notifications;
  hub.ApplyRemoval({RemovalKind::Message, PlatformId::Twitch, ""});  // empty id: nothing
  EXPECT_EQ(notifications, before);

  hub.ApplyRemoval({RemovalKind::Message, PlatformId::Twitch, "m1"});
  auto rows = hub.Snapshot();
  EXPECT_TRUE(rows[0].deleted);
  EXPECT_FALSE(rows[3].deleted);  // same id on another platform
  EXPECT_GT(notifications, before);

  hub.ApplyRemoval({RemovalKind::Author, PlatformId::Twitch, "u1"});
  rows = hub.Snapshot();
  EXPECT_TRUE(rows[2].deleted);
  EXPECT_FALSE(rows[1].deleted);

  before = notifications;
  hub.ApplyRemoval({RemovalKind::Author, PlatformId::Twitch, "nobody"});
  EXPECT_EQ(notifications, before);

  hub.ApplyRemoval({RemovalKind::Chat, PlatformId::Twitch, ""});
  rows = hub.Snapshot();
  EXPECT_TRUE(rows[1].deleted);
  EXPECT_FALSE(rows[3].deleted);  // Kick untouched
  EXPECT_FALSE(rows[4].deleted);  // alerts are not viewer rows
  EXPECT_EQ(rows.back().body, "A moderator cleared the chat");
  EXPECT_EQ(rows.back().tags, std::vector<std::string>{"system"});
  EXPECT_EQ(rows.back().author, "Velaro Chat");

  hub.ApplyRemoval({RemovalKind::Chat, PlatformId::YouTube, ""});  // nothing to clear: line anyway
  EXPECT_EQ(hub.Snapshot().back().platform, PlatformId::YouTube);
}

// Removals by message and by author against the rule applied row by row, over traffic that
// crosses the bound many times: shared message ids, authors on several platforms, rows that leave
// while newer rows of the same author or message stay, ids re-added after they left.
TEST_F(HubTest, RemovalsAcrossTheBoundMatchAScanOfEveryRow) {
  std::deque<plx::ChatRow> model;
  std::mt19937 random{20250101};
  const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  const PlatformId platforms[] = {PlatformId::Twitch, PlatformId::Kick, PlatformId::YouTube};
  for (int step = 0; step < 6000; ++step) {
    if (pick(4) != 0) {
      // An id from a range about twice the bound, so that evicted ids come back.
      ChatMessage m = Viewer("id-" + std::to_string(pick(2200)), platforms[pick(3)], "hi",
                             pick(5) == 0 ? "" : "u" + std::to_string(pick(40)),
                             pick(5) == 0 ? "" : "m" + std::to_string(pick(300)));
      const bool known = std::any_of(model.begin(), model.end(),
                                     [&m](const plx::ChatRow& row) { return row.id == m.id; });
      if (!known) {
        plx::ChatRow row;
        static_cast<ChatMessage&>(row) = m;
        model.push_back(row);
        if (model.size() > ChatHub::kMaxRows) model.pop_front();
      }
      hub.AddMessage(std::move(m));
    } else {
      const bool byAuthor = pick(2) == 0;
      const Removal removal{
          byAuthor ? RemovalKind::Author : RemovalKind::Message, platforms[pick(3)],
          byAuthor ? "u" + std::to_string(pick(40)) : "m" + std::to_string(pick(300))};
      for (plx::ChatRow& row : model) {
        const std::string& key = byAuthor ? row.authorId : row.platformMessageId;
        if (row.platform == removal.platform && key == removal.id) row.deleted = true;
      }
      hub.ApplyRemoval(removal);
    }
    if (step % 500 == 499) {
      ASSERT_EQ(hub.Snapshot(), std::vector<plx::ChatRow>(model.begin(), model.end()))
          << "after step " << step;
    }
  }
}

TEST_F(HubTest, StatusesDefaultAndKeepOtherFields) {
  EXPECT_EQ(hub.GetStatus(PlatformId::Kick), PlatformStatus{});
  hub.SetCanSend(PlatformId::Kick, true);
  hub.SetStatus(PlatformId::Kick, ConnectionState::Connected, "chan", "Reading");
  const PlatformStatus s = hub.GetStatus(PlatformId::Kick);
  EXPECT_EQ(s.state, ConnectionState::Connected);
  EXPECT_TRUE(s.canSend);
  EXPECT_EQ(s.channel, "chan");
}

struct FakeSocket : Closable {
  std::atomic<int> closes{0};
  void Close() override { ++closes; }
};

TEST_F(HubTest, StopWakesWaitingReaderAndResetsStatus) {
  auto socket = std::make_shared<FakeSocket>();
  std::atomic<bool> waitResult{true};
  hub.SetReaderEntry(PlatformId::Twitch, [&](ChatHub& h) {
    h.RegisterSocket(PlatformId::Twitch, socket);
    h.SetPlatformId(PlatformId::Twitch, "room");
    h.SetBroadcasterId(PlatformId::Twitch, "room");
    h.SetStatus(PlatformId::Twitch, ConnectionState::Connected, "chan", "Connected");
    waitResult = h.WaitWhileWanted(PlatformId::Twitch, 60000);
  });
  hub.Start();
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(hub.PlatformIdOf(PlatformId::Twitch), "room");

  const auto start = std::chrono::steady_clock::now();
  hub.Stop();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds{500});
  EXPECT_FALSE(waitResult);
  EXPECT_EQ(socket->closes, 1);
  const PlatformStatus s = hub.GetStatus(PlatformId::Twitch);
  EXPECT_EQ(s.state, ConnectionState::Off);
  EXPECT_EQ(s.channel, "chan");  // kept
  EXPECT_TRUE(s.detail.empty());
  EXPECT_TRUE(s.broadcasterId.empty());
  EXPECT_TRUE(hub.PlatformIdOf(PlatformId::Twitch).empty());
}

TEST(HubRealClock, StopEndsWaitWhileWantedWithinAbout100ms) {
  NoAccounts accounts;
  ChatHub hub{accounts};
  std::atomic<bool> waiting{false};
  hub.SetReaderEntry(PlatformId::Kick, [&](ChatHub& h) {
    waiting = true;
    h.WaitWhileWanted(PlatformId::Kick, 30000);
  });
  hub.Start();
  while (!waiting) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds{20});
  const auto start = std::chrono::steady_clock::now();
  hub.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds{250});
}

TEST_F(HubTest, PlatformWithoutReaderReportsOff) {
  hub.SetStatus(PlatformId::YouTube, ConnectionState::Connecting, "x", "y");
  hub.Start();
  hub.Stop();
  EXPECT_EQ(hub.GetStatus(PlatformId::YouTube).state, ConnectionState::Off);
}

struct OneAccount : AccountOperations {
  std::optional<plx::TokenRecord> token;
  std::optional<plx::TokenRecord> GetFreshToken(PlatformId) override { return token; }
  plx::AccountInfo AccountFromStore(PlatformId) override {
    plx::AccountInfo info;
    info.signedIn = true;
    info.login = "login";
    return info;
  }
  plx::AccountInfo LookupAccount(PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(PlatformId) override { return {}; }
};

TEST(HubAccounts, UsableTokenAndAccountRefresh) {
  OneAccount accounts;
  TestClock clock;
  ChatHub hub{accounts, clock};
  EXPECT_FALSE(hub.UsableToken(PlatformId::Twitch));
  accounts.token = plx::TokenRecord{};
  EXPECT_FALSE(hub.UsableToken(PlatformId::Twitch));  // empty access token
  accounts.token->accessToken = "abc";
  accounts.token->needsReconnect = true;
  EXPECT_FALSE(hub.UsableToken(PlatformId::Twitch));
  accounts.token->needsReconnect = false;
  EXPECT_EQ(hub.UsableToken(PlatformId::Twitch)->accessToken, "abc");

  hub.Start();
  hub.Stop();
  const PlatformStatus s = hub.GetStatus(PlatformId::Twitch);
  EXPECT_TRUE(s.signedIn);
  EXPECT_EQ(s.account, "login");
}

}  // namespace
}  // namespace vlo
