// The simulated world's sign-ins with its own app registrations, on its endpoints.

#include <gtest/gtest.h>

#include "sim/accounts/Pkce.h"
#include "sim/world/SimWorld.h"
#include "tests/sim/OwnAppFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

TEST(OwnAppWorld, AutoApprovedSignInsWithTheDemoRegistrations) {
  SimWorldOptions options;
  options.twitchRate = options.kickRate = options.youtubeRate = 0;
  options.autoApproveSignIn = true;
  SimWorld world{options};
  const Endpoints& e = world.GetEndpoints();
  EXPECT_TRUE(e.googleAccounts.starts_with("http://127.0.0.1:"));
  EXPECT_NE(e.googleAccounts, e.googleOAuth);

  // Twitch: visiting the verification page approves the device.
  const Reply device = ToReply(plx::PostForm(
      e.twitchOAuth + "/oauth2/device",
      std::string{"client_id="} + SimWorld::kOwnAppTwitchClientId + "&scopes=chat%3Aread"));
  ASSERT_EQ(device.status, 200);
  EXPECT_TRUE(Contains(plx::Get(device.body["verification_uri"].get<std::string>()).body,
                       "Device connected"));
  const Reply twitch = ToReply(plx::PostForm(
      e.twitchOAuth + "/oauth2/token",
      std::string{"client_id="} + SimWorld::kOwnAppTwitchClientId +
          "&device_code=" + plx::PercentEncode(device.body["device_code"].get<std::string>()) +
          "&grant_type=" + plx::PercentEncode(kDeviceGrant)));
  ASSERT_EQ(twitch.status, 200) << twitch.raw;
  const std::optional<SimGrant> owner =
      world.Accounts().Validate(PlatformId::Twitch, twitch.body["access_token"].get<std::string>());
  ASSERT_TRUE(owner);
  EXPECT_EQ(owner->account.id, SimWorld::kTwitchRoomId);  // the demo channel's owner

  // Google: the authorization page on its own base redirects at once; the code is exchanged on
  // the token endpoint.
  SimServer listener;
  listener.Route("GET", "/cb", [](const HttpExchange&) { return HttpAnswer::Text("ok"); });
  const std::string redirect = listener.BaseUrl() + "/cb";
  const std::string url =
      e.googleAccounts +
      "/o/oauth2/v2/auth?client_id=" + plx::PercentEncode(SimWorld::kOwnAppGoogleClientId) +
      "&redirect_uri=" + plx::PercentEncode(redirect) +
      "&response_type=code&scope=youtube&code_challenge=" + S256Challenge(kVerifier) +
      "&code_challenge_method=S256&state=s&access_type=offline&prompt=consent";
  ASSERT_EQ(plx::Get(url).body, "ok");
  const std::string code = listener.Requests().at(0).Query("code");
  const Reply google = ToReply(plx::PostForm(
      e.googleOAuth + "/token",
      "grant_type=authorization_code&code=" + plx::PercentEncode(code) +
          "&redirect_uri=" + plx::PercentEncode(redirect) +
          "&client_id=" + plx::PercentEncode(SimWorld::kOwnAppGoogleClientId) + "&client_secret=" +
          plx::PercentEncode(SimWorld::kOwnAppGoogleSecret) + "&code_verifier=" + kVerifier));
  ASSERT_EQ(google.status, 200) << google.raw;
  EXPECT_TRUE(world.Accounts().Validate(PlatformId::YouTube,
                                        google.body["access_token"].get<std::string>()));
}

TEST(OwnAppWorld, WithoutAutoApprovalAPersonDecides) {
  SimWorldOptions options;
  options.twitchRate = options.kickRate = options.youtubeRate = 0;
  SimWorld world{options};
  const std::string url = world.GetEndpoints().kickOAuth +
                          "/oauth/authorize?client_id=" + SimWorld::kOwnAppKickClientId +
                          "&redirect_uri=http%3A%2F%2F127.0.0.1%3A9%2Fcb&response_type=code"
                          "&scope=user%3Aread&code_challenge=" +
                          S256Challenge(kVerifier) + "&code_challenge_method=S256&state=s";
  const plx::HttpResponse page = plx::Get(url);
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(Contains(page.body, ">Allow</button>"));
  EXPECT_TRUE(Contains(page.body, "VelaroDemo"));
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
