#include <gtest/gtest.h>

#include "tests/accounts/AccountsFixture.h"

namespace vlo {
namespace {

using plx::PlatformId;
using sim::HttpAnswer;

plx::TokenRecord OwnToken(std::string access = "own-access") {
  plx::TokenRecord token;
  token.accessToken = std::move(access);
  token.clientId = "own-client";
  token.login = "stored-login";
  return token;
}

class AccountLookupTest : public test::AccountsFixture {
 protected:
  void SetUp() override {
    AccountsFixture::SetUp();
    Start();
  }
};

TEST_F(AccountLookupTest, AsksEachPlatformInItsShape) {
  platform.Route("GET", "/helix/users", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(
        R"({"data":[{"id":"141981764","login":"twitchdev","display_name":"TwitchDev"}]})");
  });
  platform.Route("GET", "/youtube/v3/channels", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(
        R"({"items":[{"id":"UCabcdefghijklmnopqrstuv","snippet":{"title":"My Channel",)"
        R"("customUrl":"@mychannel"}}]})");
  });
  platform.Route("GET", "/public/v1/users", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"data":[{"username":"kuser","user_id":123}]})");
  });
  for (PlatformId p : {PlatformId::Twitch, PlatformId::YouTube, PlatformId::Kick}) {
    store->SetToken(p, OwnToken());
  }

  struct Case {
    PlatformId platform;
    std::string displayName, userId, login;
    std::string path, query, clientIdHeader;
  };
  const Case cases[] = {
      {PlatformId::Twitch, "TwitchDev", "141981764", "twitchdev", "/helix/users", "", "own-client"},
      {PlatformId::YouTube, "My Channel", "UCabcdefghijklmnopqrstuv", "@mychannel",
       "/youtube/v3/channels", "part=snippet&mine=true", ""},
      {PlatformId::Kick, "kuser", "123", "kuser", "/public/v1/users", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plx::PlatformName(c.platform));
    platform.ClearRequests();
    const plx::AccountInfo info = service->LookupAccount(c.platform);
    EXPECT_TRUE(info.signedIn);
    EXPECT_FALSE(info.fromPortal);
    EXPECT_EQ(info.displayName, c.displayName);
    EXPECT_EQ(info.userId, c.userId);
    EXPECT_EQ(info.login, c.login);

    const auto requests = platform.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, c.path);
    EXPECT_EQ(requests[0].query, c.query);
    EXPECT_EQ(requests[0].Header("Authorization"), "Bearer own-access");
    EXPECT_EQ(requests[0].Header("Client-Id"), c.clientIdHeader);
    if (c.platform == PlatformId::Kick) {
      EXPECT_EQ(requests[0].Header("Accept"), "application/json");
    }

    // The answer becomes the stored identity.
    const auto stored = store->GetToken(c.platform);
    EXPECT_EQ(stored->displayName, c.displayName);
    EXPECT_EQ(stored->id, c.userId);
    EXPECT_EQ(stored->login, c.login);
  }
}

TEST_F(AccountLookupTest, FallsBackToTheStoredIdentity) {
  plx::TokenRecord portalToken = OwnToken("portal-access");
  portalToken.fromPortal = true;
  portalToken.displayName = "Portal Name";
  store->SetToken(PlatformId::Twitch, portalToken);
  store->SetToken(PlatformId::Kick, OwnToken());
  store->SetToken(PlatformId::YouTube, OwnToken());
  platform.Route("GET", "/public/v1/users",
                 [](const sim::HttpExchange&) { return HttpAnswer::Json(R"({"data":[]})"); });
  platform.Route("GET", "/youtube/v3/channels",
                 [](const sim::HttpExchange&) { return HttpAnswer::Status(500, "<html>"); });

  // A portal token is never asked about.
  const plx::AccountInfo twitch = service->LookupAccount(PlatformId::Twitch);
  EXPECT_TRUE(twitch.fromPortal);
  EXPECT_EQ(twitch.displayName, "Portal Name");
  // An empty list or a failed request: the stored identity.
  for (PlatformId p : {PlatformId::Kick, PlatformId::YouTube}) {
    const plx::AccountInfo info = service->LookupAccount(p);
    EXPECT_TRUE(info.signedIn);
    EXPECT_EQ(info.login, "stored-login");
    EXPECT_EQ(info.displayName, "stored-login");
  }
  EXPECT_EQ(platform.RequestCount("/helix/users"), 0u);
  EXPECT_EQ(platform.Requests().size(), 2u);
  EXPECT_FALSE(service->LookupAccount(PlatformId::TikTok).signedIn);
}

TEST_F(AccountLookupTest, TwitchNeedsAClientId) {
  plx::TokenRecord token = OwnToken();
  token.clientId.clear();
  store->SetToken(PlatformId::Twitch, token);
  const plx::AccountInfo info = service->LookupAccount(PlatformId::Twitch);
  EXPECT_EQ(info.login, "stored-login");
  EXPECT_TRUE(platform.Requests().empty());
}

TEST_F(AccountLookupTest, PartialAnswers) {
  platform.Route("GET", "/youtube/v3/channels", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"items":[{"id":"UCx"}]})");
  });
  platform.Route("GET", "/public/v1/users", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"data":[{"name":"Shown Name","username":"login_name"}]})");
  });
  store->SetToken(PlatformId::YouTube, OwnToken());
  store->SetToken(PlatformId::Kick, OwnToken());
  const plx::AccountInfo youtube = service->LookupAccount(PlatformId::YouTube);
  EXPECT_EQ(youtube.userId, "UCx");
  EXPECT_FALSE(youtube.displayName.has_value());
  EXPECT_FALSE(youtube.login.has_value());
  const plx::AccountInfo kick = service->LookupAccount(PlatformId::Kick);
  EXPECT_EQ(kick.displayName, "Shown Name");
  EXPECT_EQ(kick.login, "login_name");
  EXPECT_FALSE(kick.userId.has_value());
}

TEST_F(AccountLookupTest, AccountFromStoreAndForget) {
  EXPECT_EQ(service->AccountFromStore(PlatformId::Twitch), plx::AccountInfo{});
  plx::TokenRecord token = OwnToken();
  token.id = "42";
  token.needsReconnect = true;
  store->SetToken(PlatformId::YouTube, token);
  const plx::AccountInfo info = service->AccountFromStore(PlatformId::YouTubeShorts);
  EXPECT_TRUE(info.signedIn);
  EXPECT_TRUE(info.needsReconnect);
  EXPECT_EQ(info.userId, "42");
  EXPECT_EQ(info.displayName, "stored-login");

  token.accessToken.clear();
  store->SetToken(PlatformId::YouTube, token);
  EXPECT_FALSE(service->AccountFromStore(PlatformId::YouTube).signedIn);

  service->ForgetAccount(PlatformId::YouTube);
  EXPECT_FALSE(store->GetToken(PlatformId::YouTube).has_value());
}

TEST_F(AccountLookupTest, RevokeOnlyPortalTokens) {
  portal.Route("POST", "/api/oauth/revoke",
               [](const sim::HttpExchange&) { return HttpAnswer::Json("{}"); });
  plx::TokenRecord own = OwnToken();
  service->RevokeToken(PlatformId::Kick, own);
  plx::TokenRecord portalToken = OwnToken("p-access");
  portalToken.fromPortal = true;
  service->RevokeToken(PlatformId::Kick, portalToken);
  const auto requests = portal.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, R"({"platform":"kick","token":"p-access"})");
}

}  // namespace
}  // namespace vlo
