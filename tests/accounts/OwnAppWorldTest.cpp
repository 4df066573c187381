// Sign-in with the user's own app registration end to end against the simulated platforms: the
// app's page approves, the reader reads signed in, a message goes out, and the token is later
// refreshed directly at the platform with the stored client.

#include <gtest/gtest.h>

#include "actions/Actions.h"
#include "sim/accounts/AccountsSim.h"
#include "tests/LoopbackPort.h"
#include "tests/WorldAccounts.h"

namespace vlo {
namespace {

using plx::PlatformId;
using test::Eventually;

class OwnAppWorldTest : public test::WorldAccountsTest {
 protected:
  void SetUp() override {
    WorldAccountsTest::SetUp();
    world->Accounts().SetOwnAppApproval(sim::OwnAppApproval::Approve);
    store->SetOAuthClient(PlatformId::Twitch,
                          plx::OAuthClient{sim::SimWorld::kOwnAppTwitchClientId, ""});
    store->SetOAuthClient(
        PlatformId::YouTube,
        plx::OAuthClient{sim::SimWorld::kOwnAppGoogleClientId, sim::SimWorld::kOwnAppGoogleSecret});
    store->SetOAuthClient(PlatformId::Kick, plx::OAuthClient{sim::SimWorld::kOwnAppKickClientId,
                                                             sim::SimWorld::kOwnAppKickSecret});
    accounts->SetRedirectPort(port_);
    // The person opens Twitch's page with the code; the simulated page approves it.
    accounts->SetSignInPromptObserver(
        [](const SignInPrompt& prompt) { plx::Get(prompt.url, 5000); });
  }

 private:
  int port_{test::FreeLoopbackPort()};
};

TEST_F(OwnAppWorldTest, EachPlatformSignsInThroughTheOwnAppReadsSendsAndRefreshes) {
  for (PlatformId platform : plx::kReadPlatforms) {
    const plx::OAuthLoginResult result = SignIn(platform);
    ASSERT_TRUE(result.ok) << plx::PlatformName(platform) << ": " << result.message;
    const auto token = store->GetToken(platform);
    ASSERT_TRUE(token);
    EXPECT_FALSE(token->fromPortal);
    EXPECT_FALSE(token->refreshToken.value_or("").empty()) << plx::PlatformName(platform);
  }
  EXPECT_TRUE(world->Accounts().Sessions().empty());  // the portal was never asked
  EXPECT_EQ(store->GetToken(PlatformId::Twitch)->clientId, sim::SimWorld::kOwnAppTwitchClientId);
  EXPECT_EQ(store->GetToken(PlatformId::Twitch)->login, sim::SimWorld::kTwitchChannel);

  ASSERT_NO_FATAL_FAILURE(StartReading({}));
  const std::vector<SendResult> sent =
      Send(*hub, world->GetEndpoints(), {PlatformId::Twitch, PlatformId::YouTube, PlatformId::Kick},
           "sent with my own app");
  for (const SendResult& result : sent) {
    EXPECT_TRUE(result.ok) << plx::PlatformName(result.platform) << ": " << result.detail;
  }

  // At expiry each token is refreshed at its platform's token endpoint with the stored client,
  // never through the portal.
  for (PlatformId platform : plx::kReadPlatforms) {
    SCOPED_TRACE(plx::PlatformName(platform));
    plx::TokenRecord token = *store->GetToken(platform);
    const std::string old = token.accessToken;
    token.expiresAt = clock.NowMs() + 30'000;
    store->SetToken(platform, token);
    const int before = world->Accounts().DirectRefreshes(platform);
    const auto fresh = accounts->GetFreshToken(platform);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(world->Accounts().DirectRefreshes(platform), before + 1);
    EXPECT_NE(fresh->accessToken, old);
    EXPECT_FALSE(fresh->fromPortal);
    EXPECT_EQ(fresh->clientId, store->GetToken(platform)->clientId);
    EXPECT_TRUE(world->Accounts().Validate(platform, fresh->accessToken).has_value());
    EXPECT_FALSE(world->Accounts().Validate(platform, old).has_value());
  }
  EXPECT_EQ(world->Accounts().RefreshRequests(), 0);
}

}  // namespace
}  // namespace vlo
