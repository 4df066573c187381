// Sign-in through the simulated portal, then each reader reads signed in against the simulated
// platform, end to end on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "core/ChatHub.h"
#include "net/Http.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/world/SimWorld.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

using plx::PlatformId;
using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class SignedInReadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    sim::SimWorldOptions options;
    options.twitchRate = options.kickRate = options.youtubeRate = 0;
    world = std::make_unique<sim::SimWorld>(options);
    world->Accounts().SetAutoApprove(0);
    store = std::make_unique<SecretStore>(dir.path());
    // The "browser" visits the connect page, as a person's would.
    accounts = std::make_unique<AccountService>(
        *store, world->GetEndpoints(), [](const std::string& url) { plx::Get(url, 5000); });
    accounts->SetSignInObserver([this](const plx::OAuthLoginResult& result) {
      std::lock_guard lock{mutex};
      results.push_back(result);
      changed.notify_all();
    });
  }

  void TearDown() override {
    if (hub) hub->Stop();
    accounts->Shutdown();
  }

  plx::OAuthLoginResult SignIn(PlatformId platform) {
    std::string error;
    EXPECT_TRUE(accounts->StartSignIn(platform, &error)) << error;
    std::unique_lock lock{mutex};
    EXPECT_TRUE(changed.wait_for(lock, 20s, [&] { return !results.empty(); }));
    if (results.empty()) return {};
    plx::OAuthLoginResult result = results.front();
    results.erase(results.begin());
    return result;
  }

  ChatHub& StartHub(ChatTargets targets) {
    hub = std::make_unique<ChatHub>(*accounts);
    hub->SetTargets(std::move(targets));
    const Endpoints& endpoints = world->GetEndpoints();
    hub->SetReaderEntry(PlatformId::Twitch, MakeTwitchReader(endpoints));
    hub->SetReaderEntry(PlatformId::YouTube, MakeYouTubeReader(endpoints));
    hub->SetReaderEntry(PlatformId::Kick, MakeKickReader(endpoints));
    hub->Start();
    return *hub;
  }

  bool HasLine(const std::string& text) {
    for (const plx::ChatRow& row : hub->Snapshot()) {
      if (row.body == text) return true;
    }
    return false;
  }

  test::TempDir dir;
  std::unique_ptr<sim::SimWorld> world;
  std::unique_ptr<SecretStore> store;
  std::unique_ptr<AccountService> accounts;
  std::unique_ptr<ChatHub> hub;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<plx::OAuthLoginResult> results;
};

// With no channel set, each signed-in reader finds the user's own channel and can send there.
TEST_F(SignedInReadersTest, PortalSignInThenEveryReaderReadsTheOwnChannelSignedIn) {
  for (PlatformId platform : plx::kReadPlatforms) {
    const plx::OAuthLoginResult result = SignIn(platform);
    EXPECT_TRUE(result.ok) << plx::PlatformName(platform) << ": " << result.message;
    EXPECT_TRUE(result.account.fromPortal);
  }
  ChatHub& chat = StartHub({});
  for (PlatformId platform : plx::kReadPlatforms) {
    SCOPED_TRACE(plx::PlatformName(platform));
    EXPECT_TRUE(Eventually([&] {
      const PlatformStatus status = chat.GetStatus(platform);
      return status.state == ConnectionState::Connected && status.canSend;
    })) << chat.GetStatus(platform).detail;
    EXPECT_TRUE(chat.GetStatus(platform).signedIn);
  }
  EXPECT_EQ(chat.GetStatus(PlatformId::Twitch).channel, sim::SimWorld::kTwitchChannel);
  EXPECT_EQ(chat.GetStatus(PlatformId::Kick).channel, sim::SimWorld::kKickChannel);
  EXPECT_EQ(chat.PlatformIdOf(PlatformId::Kick), sim::SimWorld::kKickUserId);
  EXPECT_FALSE(chat.PlatformIdOf(PlatformId::YouTube).empty());  // the live chat id
}

TEST_F(SignedInReadersTest, ARefusedTwitchTokenFallsBackToAnonymousReading) {
  plx::TokenRecord madeUp;
  madeUp.accessToken = "not-a-token-the-service-issued";
  madeUp.fromPortal = true;
  madeUp.clientId = sim::AccountsSim::kPortalTwitchClientId;
  madeUp.login = sim::SimWorld::kTwitchChannel;
  store->SetToken(PlatformId::Twitch, madeUp);

  ChatHub& chat = StartHub({sim::SimWorld::kTwitchChannel, {}, {}});
  EXPECT_TRUE(Eventually([&] {
    return HasLine(
        "Twitch did not accept the sign-in. Reading anonymously; sign in again under Channels & "
        "accounts to send messages.");
  }));
  EXPECT_TRUE(Eventually(
      [&] { return chat.GetStatus(PlatformId::Twitch).state == ConnectionState::Connected; }));
  EXPECT_FALSE(chat.GetStatus(PlatformId::Twitch).canSend);
}

// A portal token about to expire is refreshed through the portal before the reader uses it, and
// the refreshed token is the one the chat accepts.
TEST_F(SignedInReadersTest, AnExpiringPortalTokenIsRefreshedBeforeUse) {
  sim::AccountsSim& sim = world->Accounts();
  const sim::SimTokenPair pair =
      sim.IssueToken(PlatformId::Twitch, sim::SimWorld::kTwitchRoomId, {"chat:read", "chat:edit"},
                     sim::AccountsSim::kPortalTwitchClientId, true, 30);
  plx::TokenRecord token;
  token.accessToken = pair.accessToken;
  token.refreshToken = pair.refreshToken;
  token.expiresAt = plx::nowMs() + 30'000;  // inside the one-minute margin
  token.fromPortal = true;
  token.clientId = sim::AccountsSim::kPortalTwitchClientId;
  token.id = sim::SimWorld::kTwitchRoomId;
  token.login = sim::SimWorld::kTwitchChannel;
  store->SetToken(PlatformId::Twitch, token);

  ChatHub& chat = StartHub({sim::SimWorld::kTwitchChannel, {}, {}});
  EXPECT_TRUE(Eventually([&] { return chat.GetStatus(PlatformId::Twitch).canSend; }));
  EXPECT_EQ(sim.RefreshRequests(), 1);
  const auto stored = store->GetToken(PlatformId::Twitch);
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->accessToken, pair.accessToken);
  EXPECT_FALSE(sim.Validate(PlatformId::Twitch, pair.accessToken).has_value());
  EXPECT_TRUE(sim.Validate(PlatformId::Twitch, stored->accessToken).has_value());
  EXPECT_GT(*stored->expiresAt, plx::nowMs() + 60'000);
}

}  // namespace
}  // namespace vlo
