#include <gtest/gtest.h>

#include "core/Json.h"
#include "tests/accounts/AccountsFixture.h"

namespace vlo {
namespace {

using plx::PlatformId;
using sim::HttpAnswer;

constexpr const char* kRefresh = "/api/oauth/refresh";

plx::TokenRecord PortalToken(int64_t expiresInMs) {
  plx::TokenRecord token;
  token.accessToken = "old-access";
  token.refreshToken = "old-refresh";
  token.expiresAt = test::kStart + expiresInMs;
  token.scopes = {"chat:read"};
  token.fromPortal = true;
  token.clientId = "portal-client";
  token.id = "1234";
  token.login = "streamer";
  token.displayName = "Streamer";
  return token;
}

HttpAnswer WithRetryAfter(HttpAnswer answer, int seconds) {
  answer.headers = {{"Retry-After", std::to_string(seconds)}};
  return answer;
}

class PortalRefreshTest : public test::AccountsFixture {
 protected:
  void SetUp() override {
    AccountsFixture::SetUp();
    clock.SetAutoAdvance(false);
    Start();
  }
  size_t Refreshes() { return portal.RequestCount(kRefresh); }
};

TEST_F(PortalRefreshTest, RefreshesOnlyTokensAboutToExpire) {
  portal.Route("POST", kRefresh, [](const sim::HttpExchange&) {
    return HttpAnswer::Json(
        R"({"accessToken":"new-access","refreshToken":"new-refresh","expiresIn":3600,)"
        R"("scopes":"chat:read chat:edit","clientId":"portal-client-2"})");
  });
  struct Case {
    const char* name;
    plx::TokenRecord token;
    bool refreshed;
  };
  plx::TokenRecord noExpiry = PortalToken(0);
  noExpiry.expiresAt.reset();
  plx::TokenRecord noRefresh = PortalToken(59000);
  noRefresh.refreshToken.reset();
  const Case cases[] = {
      {"59 s left", PortalToken(59000), true}, {"61 s left", PortalToken(61000), false},
      {"expired", PortalToken(-5000), true},   {"no expiry", noExpiry, false},
      {"no refresh token", noRefresh, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    portal.ClearRequests();
    store->SetToken(PlatformId::Kick, c.token);
    const auto fresh = service->GetFreshToken(PlatformId::Kick);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(Refreshes(), c.refreshed ? 1u : 0u);
    if (!c.refreshed) {
      EXPECT_EQ(*fresh, c.token);
      continue;
    }
    EXPECT_EQ(fresh->accessToken, "new-access");
    EXPECT_EQ(fresh->refreshToken, "new-refresh");
    EXPECT_EQ(fresh->expiresAt, test::kStart + 3'600'000);
    EXPECT_EQ(fresh->scopes, (std::vector<std::string>{"chat:read", "chat:edit"}));
    EXPECT_EQ(fresh->clientId, "portal-client-2");
    EXPECT_EQ(fresh->login, "streamer");
    EXPECT_TRUE(fresh->fromPortal);
    EXPECT_EQ(store->GetToken(PlatformId::Kick), fresh);
    const json::Json body = json::ParseObject(portal.Requests().at(0).body);
    EXPECT_EQ(body, json::ParseObject(R"({"platform":"kick","refreshToken":"old-refresh"})"));
  }
}

TEST_F(PortalRefreshTest, AnswerWithoutExpiresInIsNeverRefreshedAgain) {
  portal.Route("POST", kRefresh, [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"accessToken":"new-access"})");
  });
  store->SetToken(PlatformId::Twitch, PortalToken(1000));
  const auto fresh = service->GetFreshToken(PlatformId::Twitch);
  EXPECT_FALSE(fresh->expiresAt.has_value());
  EXPECT_EQ(fresh->refreshToken, "old-refresh");  // no new one given
  EXPECT_FALSE(store->GetToken(PlatformId::Twitch)->expiresAt.has_value());
  clock.Advance(10'000'000);
  service->GetFreshToken(PlatformId::Twitch);
  EXPECT_EQ(Refreshes(), 1u);
}

TEST_F(PortalRefreshTest, PassingFailuresPauseFurtherAttempts) {
  struct Case {
    const char* name;
    HttpAnswer answer;
    int64_t pauseMs;
  };
  const Case cases[] = {
      {"503 with Retry-After 120", WithRetryAfter(HttpAnswer::Status(503), 120), 120'000},
      {"503 without Retry-After", HttpAnswer::Status(503), 30'000},
      {"429 with Retry-After 10", WithRetryAfter(HttpAnswer::Status(429), 10), 30'000},
      {"Retry-After past ten minutes", WithRetryAfter(HttpAnswer::Status(503), 3600), 600'000},
      {"other 400", HttpAnswer::Json(R"({"error":"invalid_request"})", 400), 30'000},
      {"empty access token", HttpAnswer::Json(R"({"accessToken":""})"), 30'000},
  };
  portal.Route("POST", kRefresh, [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"accessToken":"new-access","expiresIn":3600})");
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    portal.ClearRequests();
    const plx::TokenRecord token = PortalToken(1000);
    store->SetToken(PlatformId::YouTube, token);
    portal.AnswerNext("POST", kRefresh, 1, c.answer);

    EXPECT_EQ(service->GetFreshToken(PlatformId::YouTube), token);  // as stored
    EXPECT_EQ(store->GetToken(PlatformId::YouTube), token);
    clock.Advance(c.pauseMs - 1);
    EXPECT_EQ(service->GetFreshToken(PlatformId::YouTubeShorts), token);
    EXPECT_EQ(Refreshes(), 1u);
    clock.Advance(1);
    EXPECT_EQ(service->GetFreshToken(PlatformId::YouTube)->accessToken, "new-access");
    EXPECT_EQ(Refreshes(), 2u);
  }
}

TEST_F(PortalRefreshTest, InvalidGrantAsksForANewSignIn) {
  portal.Route("POST", kRefresh, [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"error":"invalid_grant"})", 400);
  });
  store->SetToken(PlatformId::Twitch, PortalToken(1000));
  const auto marked = service->GetFreshToken(PlatformId::Twitch);
  EXPECT_TRUE(marked->needsReconnect);
  EXPECT_EQ(marked->accessToken, "old-access");
  EXPECT_TRUE(store->GetToken(PlatformId::Twitch)->needsReconnect);
  EXPECT_TRUE(service->AccountFromStore(PlatformId::Twitch).needsReconnect);
  for (int i = 0; i < 3; ++i) {
    clock.Advance(3'600'000);
    EXPECT_TRUE(service->GetFreshToken(PlatformId::Twitch)->needsReconnect);
  }
  EXPECT_EQ(Refreshes(), 1u);
}

// Tokens of the program's own OAuth client, refreshed at the platform's token endpoint.
class DirectRefreshTest : public test::AccountsFixture {
 protected:
  void SetUp() override {
    AccountsFixture::SetUp();
    clock.SetAutoAdvance(false);
  }

  static plx::TokenRecord OwnToken() {
    plx::TokenRecord token = PortalToken(1000);
    token.fromPortal = false;
    token.clientId = "own-client";
    return token;
  }

  // The form bodies the token endpoint received at `path`.
  std::vector<std::string> Forms(const std::string& path) {
    std::vector<std::string> forms;
    for (const auto& request : platform.Requests()) {
      if (request.path == path) {
        EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
        forms.push_back(request.body);
      }
    }
    return forms;
  }
};

TEST_F(DirectRefreshTest, ParametersPerPlatform) {
  WriteFile("config.json",
            R"({"oauth":{"twitch":{"clientId":"tw client"},"youtube":{"clientId":"yt"},)"
            R"("kick":{"clientId":"kc"}}})");
  WriteFile("secrets.dpapi",
            R"({"oauthClients":{"youtube":{"clientId":"yt","clientSecret":"yt/secret"},)"
            R"("kick":{"clientId":"kc","clientSecret":"kick secret"}}})");
  Start();
  platform.Route("POST", "/oauth2/token", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(
        R"({"access_token":"tw-new","refresh_token":"tw-r2","expires_in":14000,)"
        R"("scope":["chat:read","chat:edit"],"token_type":"bearer"})");
  });
  platform.Route("POST", "/token", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"access_token":"yt-new","expires_in":3599,"scope":"",)"
                            R"("token_type":"Bearer"})");
  });
  platform.Route("POST", "/oauth/token", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"access_token":"k-new","refresh_token":"k-r2","expires_in":7200,)"
                            R"("scope":"user:read chat:write","token_type":"Bearer"})");
  });
  for (PlatformId p : {PlatformId::Twitch, PlatformId::YouTube, PlatformId::Kick}) {
    store->SetToken(p, OwnToken());
  }

  const auto twitch = service->GetFreshToken(PlatformId::Twitch);
  EXPECT_EQ(Forms("/oauth2/token"),
            (std::vector<std::string>{
                "client_id=tw%20client&grant_type=refresh_token&refresh_token=old-refresh"}));
  EXPECT_EQ(twitch->accessToken, "tw-new");
  EXPECT_EQ(twitch->refreshToken, "tw-r2");
  EXPECT_EQ(twitch->expiresAt, test::kStart + 14'000'000);
  EXPECT_EQ(twitch->scopes, (std::vector<std::string>{"chat:read", "chat:edit"}));
  EXPECT_FALSE(twitch->fromPortal);
  EXPECT_EQ(twitch->clientId, "own-client");
  EXPECT_EQ(twitch->displayName, "Streamer");
  EXPECT_EQ(store->GetToken(PlatformId::Twitch), twitch);

  const auto youtube = service->GetFreshToken(PlatformId::YouTube);
  EXPECT_EQ(Forms("/token"),
            (std::vector<std::string>{"client_id=yt&client_secret=yt%2Fsecret&grant_type="
                                      "refresh_token&refresh_token=old-refresh"}));
  EXPECT_EQ(youtube->accessToken, "yt-new");
  EXPECT_EQ(youtube->refreshToken, "old-refresh");  // Google sends none
  // An empty scope list in the answer keeps the scopes the token had.
  EXPECT_EQ(youtube->scopes, (std::vector<std::string>{"chat:read"}));

  const auto kick = service->GetFreshToken(PlatformId::Kick);
  EXPECT_EQ(Forms("/oauth/token"),
            (std::vector<std::string>{"client_id=kc&client_secret=kick%20secret&grant_type="
                                      "refresh_token&refresh_token=old-refresh"}));
  EXPECT_EQ(kick->accessToken, "k-new");
  EXPECT_EQ(kick->scopes, (std::vector<std::string>{"user:read", "chat:write"}));
}

TEST_F(DirectRefreshTest, SecretsDecideWhatIsSent) {
  // A stored Twitch client with a secret wins over config.json; YouTube has no secret at all.
  WriteFile("config.json",
            R"({"oauth":{"twitch":{"clientId":"from-config"},"youtube":{"clientId":"yt"}}})");
  WriteFile("secrets.dpapi",
            R"({"oauthClients":{"twitch":{"clientId":"stored","clientSecret":"s3"}}})");
  Start();
  platform.Route("POST", "/oauth2/token", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"access_token":"tw-new","expires_in":60})");
  });
  store->SetToken(PlatformId::Twitch, OwnToken());
  store->SetToken(PlatformId::YouTube, OwnToken());

  service->GetFreshToken(PlatformId::Twitch);
  EXPECT_EQ(Forms("/oauth2/token"),
            (std::vector<std::string>{"client_id=stored&grant_type=refresh_token&refresh_token="
                                      "old-refresh&client_secret=s3"}));
  EXPECT_EQ(service->GetFreshToken(PlatformId::YouTube), OwnToken());
  EXPECT_TRUE(Forms("/token").empty());
}

TEST_F(DirectRefreshTest, RefusalsAndFailures) {
  WriteFile(
      "secrets.dpapi",
      R"({"oauthClients":{"twitch":{"clientId":"tc","clientSecret":""},)"
      R"("youtube":{"clientId":"yt","clientSecret":"ys"},"kick":{"clientId":"kc","clientSecret":"ks"}}})");
  Start();
  struct Case {
    const char* name;
    PlatformId platform;
    std::string path;
    HttpAnswer answer;
    bool refused;  // else a passing failure: the token as stored, retried after 30 s
  };
  const Case cases[] = {
      {"Twitch invalid refresh token", PlatformId::Twitch, "/oauth2/token",
       HttpAnswer::Json(R"({"status":400,"message":"Invalid refresh token"})", 400), true},
      {"Google invalid_grant", PlatformId::YouTube, "/token",
       HttpAnswer::Json(R"({"error":"invalid_grant","error_description":"Token has been expired )"
                        R"(or revoked."})",
                        400),
       true},
      {"Kick empty access token", PlatformId::Kick, "/oauth/token",
       HttpAnswer::Json(R"({"access_token":"","refresh_token":"","expires_in":0,"scope":""})"),
       false},
      {"Kick server error", PlatformId::Kick, "/oauth/token", HttpAnswer::Status(500, "oops"),
       false},
      {"Twitch not JSON", PlatformId::Twitch, "/oauth2/token",
       HttpAnswer::Text("<html></html>", "text/html"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform.ClearRequests();
    platform.Route("POST", c.path, [](const sim::HttpExchange&) {
      return HttpAnswer::Json(R"({"access_token":"fine","expires_in":3600})");
    });
    platform.AnswerNext("POST", c.path, 1, c.answer);
    store->SetToken(c.platform, OwnToken());

    const auto first = service->GetFreshToken(c.platform);
    EXPECT_EQ(first->accessToken, "old-access");
    EXPECT_EQ(first->refreshToken, "old-refresh");
    EXPECT_EQ(first->needsReconnect, c.refused);
    EXPECT_EQ(store->GetToken(c.platform)->needsReconnect, c.refused);
    clock.Advance(29'999);
    service->GetFreshToken(c.platform);
    EXPECT_EQ(platform.RequestCount(c.path), 1u);
    clock.Advance(1);
    const auto later = service->GetFreshToken(c.platform);
    EXPECT_EQ(platform.RequestCount(c.path), c.refused ? 1u : 2u);
    EXPECT_EQ(later->accessToken, c.refused ? "old-access" : "fine");
  }
}

TEST_F(DirectRefreshTest, ClientIdsComeFromTheTokenThenTheConfiguration) {
  WriteFile("config.json",
            R"({"oauth":{"twitch":{"clientId":"cfg-tw"},"tiktok":{"clientId":"tt"}}})");
  Start();
  EXPECT_EQ(service->ClientIdFor(PlatformId::Twitch), "cfg-tw");
  EXPECT_EQ(service->ClientIdFor(PlatformId::TikTok), "tt");
  EXPECT_EQ(service->ClientIdFor(PlatformId::Kick), "");
  store->SetToken(PlatformId::Twitch, OwnToken());
  EXPECT_EQ(service->ClientIdFor(PlatformId::Twitch), "own-client");
  plx::TokenRecord noClient = OwnToken();
  noClient.clientId.clear();
  store->SetToken(PlatformId::Twitch, noClient);
  EXPECT_EQ(service->ClientIdFor(PlatformId::Twitch), "cfg-tw");
}

}  // namespace
}  // namespace vlo
