// Sign-in through the simulated portal, then each reader reads signed in against the simulated
// platform, end to end on loopback.

#include <gtest/gtest.h>

#include "sim/accounts/AccountsSim.h"
#include "tests/WorldAccounts.h"

namespace vlo {
namespace {

using plx::PlatformId;

using test::Eventually;

class SignedInReadersTest : public test::WorldAccountsTest {
 protected:
  bool HasLine(const std::string& text) {
    for (const plx::ChatRow& row : hub->Snapshot()) {
      if (row.body == text) return true;
    }
    return false;
  }
};

// With no channel set, each signed-in reader finds the user's own channel and can send there.
TEST_F(SignedInReadersTest, PortalSignInThenEveryReaderReadsTheOwnChannelSignedIn) {
  for (PlatformId platform : plx::kReadPlatforms) {
    const plx::OAuthLoginResult result = SignIn(platform);
    EXPECT_TRUE(result.ok) << plx::PlatformName(platform) << ": " << result.message;
    EXPECT_TRUE(result.account.fromPortal);
  }
  ASSERT_NO_FATAL_FAILURE(StartReading({}));
  ChatHub& chat = *hub;
  for (PlatformId platform : plx::kReadPlatforms) {
    EXPECT_TRUE(chat.GetStatus(platform).signedIn) << plx::PlatformName(platform);
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
