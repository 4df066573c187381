// Sign-in with the user's own app registration, against scripted token endpoints on the test
// clock: Twitch's device code grant and the authorization code with PKCE on a loopback redirect.

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "accounts/LoopbackRedirect.h"
#include "accounts/Pkce.h"
#include "core/Json.h"
#include "tests/LoopbackPort.h"
#include "tests/accounts/AccountsFixture.h"

namespace vlo {
namespace {

using plx::LoginErrorCode;
using plx::PlatformId;
using sim::HttpAnswer;

constexpr const char* kDevicePath = "/oauth2/device";
constexpr const char* kTwitchTokenPath = "/oauth2/token";

using test::FreeLoopbackPort;

// A query parameter of a URL, percent-decoded.
std::string QueryOf(const std::string& url, const std::string& name) {
  sim::HttpExchange exchange;
  exchange.query = url.substr(url.find('?') + 1);
  return exchange.Query(name);
}

HttpAnswer TwitchRefusal(const std::string& message) {
  return HttpAnswer::Json(json::Dump({{"status", 400}, {"message", message}}), 400);
}

class OwnAppSignInTest : public test::AccountsFixture {
 protected:
  void SetUp() override {
    AccountsFixture::SetUp();
    endpoints.googleAccounts = platform.BaseUrl();
    WriteFile("secrets.dpapi",
              R"({"oauthClients":{"twitch":{"clientId":"tw-own","clientSecret":""},)"
              R"("youtube":{"clientId":"yt-own","clientSecret":"yt secret"},)"
              R"("kick":{"clientId":"kick-own","clientSecret":"kick-secret"}}})");
    platform.Route("GET", "/helix/users", [](const sim::HttpExchange&) {
      return HttpAnswer::Json(
          R"({"data":[{"id":"42","login":"ownuser","display_name":"OwnUser"}]})");
    });
    platform.Route("GET", "/youtube/v3/channels", [](const sim::HttpExchange&) {
      return HttpAnswer::Json(
          R"({"items":[{"id":"UCown","snippet":{"title":"Own Channel","customUrl":"@own"}}]})");
    });
    platform.Route("GET", "/public/v1/users", [](const sim::HttpExchange&) {
      return HttpAnswer::Json(R"({"data":[{"user_id":77,"name":"kickown"}]})");
    });
    platform.Route("POST", kDevicePath, [](const sim::HttpExchange&) {
      return HttpAnswer::Json(
          R"({"device_code":"the-device-code","expires_in":1800,"interval":5,)"
          R"("user_code":"ABCDEFGH","verification_uri":"https://id.example/activate?device-code=ABCDEFGH"})");
    });
  }

  void TearDown() override {
    AccountsFixture::TearDown();
    if (browser_.joinable()) browser_.join();
  }

  void StartAccounts() {
    Start();
    service->SetSignInPromptObserver([this](const SignInPrompt& prompt) {
      std::lock_guard lock{promptLock_};
      prompts_.push_back(prompt);
    });
  }

  plx::OAuthLoginResult SignIn(PlatformId platform) {
    std::string error;
    EXPECT_TRUE(service->StartSignIn(platform, &error)) << error;
    return NextResult().value_or(plx::OAuthLoginResult{});
  }

  std::vector<SignInPrompt> Prompts() {
    std::lock_guard lock{promptLock_};
    return prompts_;
  }

  // Starts the service with a "browser" that, once the app's page is opened, comes back to the
  // redirect address with `query` (plus the page's own state unless `withState` is false). The
  // redirect is sent from a thread of its own: the sign-in listens once the opener returned.
  void StartWithBrowser(int port, std::string query, bool withState = true) {
    Start([this, query, withState](const std::string& url) {
      const std::string target = QueryOf(url, "redirect_uri");
      std::string full = query;
      if (withState) full += "&state=" + plx::PercentEncode(QueryOf(url, "state"));
      if (browser_.joinable()) browser_.join();
      browser_ = std::thread{[target, full] { plx::Get(target + "?" + full, 5000); }};
    });
    service->SetRedirectPort(port);
  }

 private:
  std::mutex promptLock_;
  std::vector<SignInPrompt> prompts_;  // guarded by promptLock_
  std::thread browser_;
};

TEST_F(OwnAppSignInTest, TwitchDeviceCodeHonoursPendingAndSlowDown) {
  StartAccounts();
  for (const HttpAnswer& answer :
       {TwitchRefusal("authorization_pending"), TwitchRefusal("authorization_pending"),
        TwitchRefusal("slow_down"), TwitchRefusal("authorization_pending")}) {
    platform.AnswerNext("POST", kTwitchTokenPath, 1, answer);
  }
  platform.Route("POST", kTwitchTokenPath, [](const sim::HttpExchange&) {
    return HttpAnswer::Json(
        R"({"access_token":"own-access","refresh_token":"own-refresh",)"
        R"("expires_in":14400,"scope":["chat:read","chat:edit"],"token_type":"bearer"})");
  });

  const plx::OAuthLoginResult result = SignIn(PlatformId::Twitch);
  EXPECT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.message, "Connected as OwnUser");
  EXPECT_FALSE(result.account.fromPortal);
  EXPECT_EQ(clock.Waits(), (std::vector<int64_t>{5000, 5000, 5000, 10000, 10000}));
  EXPECT_EQ(
      Prompts(),
      (std::vector<SignInPrompt>{
          {PlatformId::Twitch, "https://id.example/activate?device-code=ABCDEFGH", "ABCDEFGH"}}));
  EXPECT_TRUE(Opened().empty());  // the window opens the prompt's page on its own thread
  EXPECT_TRUE(portal.Requests().empty());

  const auto token = store->GetToken(PlatformId::Twitch);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->accessToken, "own-access");
  EXPECT_EQ(token->refreshToken, "own-refresh");
  EXPECT_FALSE(token->fromPortal);
  EXPECT_EQ(token->clientId, "tw-own");
  EXPECT_EQ(token->login, "ownuser");
  EXPECT_EQ(token->id, "42");

  std::vector<std::string> forms;
  for (const auto& request : platform.Requests()) {
    if (request.path == kDevicePath || request.path == kTwitchTokenPath)
      forms.push_back(request.body);
  }
  ASSERT_EQ(forms.size(), 6u);
  const std::string scopes =
      "chat%3Aread%20chat%3Aedit%20user%3Awrite%3Achat%20moderator%3Amanage%3Achat_messages%20"
      "moderator%3Amanage%3Abanned_users";
  EXPECT_EQ(forms[0], "client_id=tw-own&scopes=" + scopes);
  EXPECT_EQ(forms[1], "client_id=tw-own&scopes=" + scopes +
                          "&device_code=the-device-code&grant_type=urn%3Aietf%3Aparams%3Aoauth%"
                          "3Agrant-type%3Adevice_code");
}

TEST_F(OwnAppSignInTest, TwitchDeviceCodeOutcomes) {
  struct Case {
    const char* name;
    std::optional<HttpAnswer> device;  // the device request's answer when not the normal one
    HttpAnswer poll;
    LoginErrorCode code;
    std::string message;
  };
  const Case cases[] = {
      {"denied", std::nullopt, TwitchRefusal("access_denied"), LoginErrorCode::Denied,
       "Sign-in denied"},
      {"expired", std::nullopt, TwitchRefusal("expired_token"), LoginErrorCode::Expired,
       "The sign-in code expired - try again"},
      {"unknown code", std::nullopt, TwitchRefusal("invalid device code"), LoginErrorCode::Expired,
       "The sign-in code expired - try again"},
      {"other refusal", std::nullopt, TwitchRefusal("invalid client"), LoginErrorCode::Failed,
       "Sign-in failed (invalid client)"},
      {"client refused at the start", TwitchRefusal("invalid client"), TwitchRefusal("unused"),
       LoginErrorCode::Failed, "Twitch did not start the sign-in (invalid client)"},
  };
  StartAccounts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.device) platform.AnswerNext("POST", kDevicePath, 1, *c.device);
    platform.Route("POST", kTwitchTokenPath,
                   [poll = c.poll](const sim::HttpExchange&) { return poll; });
    const plx::OAuthLoginResult result = SignIn(PlatformId::Twitch);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.message, c.message);
    EXPECT_FALSE(store->GetToken(PlatformId::Twitch).has_value());
  }
}

TEST_F(OwnAppSignInTest, AShortLivedDeviceCodeExpiresAndCancelEndsAWait) {
  StartAccounts();
  platform.Route("POST", kTwitchTokenPath,
                 [](const sim::HttpExchange&) { return TwitchRefusal("authorization_pending"); });
  platform.AnswerNext("POST", kDevicePath, 1,
                      HttpAnswer::Json(R"({"device_code":"d","expires_in":12,"interval":5,)"
                                       R"("user_code":"CODE","verification_uri":"https://x/a"})"));
  const plx::OAuthLoginResult expired = SignIn(PlatformId::Twitch);
  EXPECT_EQ(expired.code, LoginErrorCode::Expired);
  EXPECT_EQ(clock.Waits(), (std::vector<int64_t>{5000, 5000, 2000}));

  clock.SetAutoAdvance(false);
  std::string error;
  ASSERT_TRUE(service->StartSignIn(PlatformId::Twitch, &error));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  EXPECT_EQ(service->CurrentPrompt()->userCode, "ABCDEFGH");
  service->CancelSignIn();
  const auto cancelled = NextResult(std::chrono::seconds{2});
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(cancelled->code, LoginErrorCode::Cancelled);
  EXPECT_FALSE(service->CurrentPrompt().has_value());
}

TEST_F(OwnAppSignInTest, CodeWithPkceOnTheLoopbackRedirect) {
  struct Case {
    PlatformId platform;
    std::string authorizePrefix, tokenPath, clientId, secret, scope, name;
  };
  const int port = FreeLoopbackPort();
  const std::string redirect = "http://127.0.0.1:" + std::to_string(port) + "/callback";
  const Case cases[] = {
      {PlatformId::YouTube, platform.BaseUrl() + "/o/oauth2/v2/auth?", "/token", "yt-own",
       "yt%20secret", "https://www.googleapis.com/auth/youtube.force-ssl", "Own Channel"},
      {PlatformId::Kick, platform.BaseUrl() + "/oauth/authorize?", "/oauth/token", "kick-own",
       "kick-secret",
       "user:read channel:read chat:write moderation:ban moderation:chat_message:manage",
       "kickown"},
  };
  StartWithBrowser(port, "code=the%2Fcode");
  for (const Case& c : cases) {
    SCOPED_TRACE(plx::PlatformName(c.platform));
    platform.ClearRequests();
    platform.Route("POST", c.tokenPath, [](const sim::HttpExchange&) {
      return HttpAnswer::Json(R"({"access_token":"own-access","refresh_token":"own-refresh",)"
                              R"("expires_in":3600,"scope":"a b","token_type":"Bearer"})");
    });
    const plx::OAuthLoginResult result = SignIn(c.platform);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, "Connected as " + c.name);

    const std::string url = Opened().back();
    EXPECT_TRUE(url.starts_with(c.authorizePrefix)) << url;
    EXPECT_EQ(QueryOf(url, "client_id"), c.clientId);
    EXPECT_EQ(QueryOf(url, "redirect_uri"), redirect);
    EXPECT_EQ(QueryOf(url, "response_type"), "code");
    EXPECT_EQ(QueryOf(url, "scope"), c.scope);
    EXPECT_EQ(QueryOf(url, "code_challenge_method"), "S256");
    EXPECT_EQ(QueryOf(url, "state").size(), 43u);
    EXPECT_EQ(QueryOf(url, "access_type"), c.platform == PlatformId::YouTube ? "offline" : "");

    const auto requests = platform.Requests();
    const auto exchange =
        std::find_if(requests.begin(), requests.end(),
                     [&](const sim::HttpExchange& r) { return r.path == c.tokenPath; });
    ASSERT_NE(exchange, requests.end());
    EXPECT_EQ(exchange->Form("grant_type"), "authorization_code");
    EXPECT_EQ(exchange->Form("code"), "the/code");
    EXPECT_EQ(exchange->Form("redirect_uri"), redirect);
    EXPECT_EQ(exchange->Form("client_id"), c.clientId);
    EXPECT_EQ(plx::PercentEncode(exchange->Form("client_secret")), c.secret);
    EXPECT_EQ(Sha256Base64Url(exchange->Form("code_verifier")), QueryOf(url, "code_challenge"));

    const auto token = store->GetToken(c.platform);
    ASSERT_TRUE(token);
    EXPECT_FALSE(token->fromPortal);
    EXPECT_EQ(token->clientId, c.clientId);
    EXPECT_EQ(token->displayName, c.name);
    EXPECT_EQ(token->scopes, (std::vector<std::string>{"a", "b"}));
  }
  EXPECT_TRUE(portal.Requests().empty());
}

TEST_F(OwnAppSignInTest, RedirectsThatEndTheSignIn) {
  struct Case {
    const char* name;
    std::string query;
    bool withState;
    std::optional<HttpAnswer> exchange;
    LoginErrorCode code;
    std::string message;
  };
  const Case cases[] = {
      {"wrong state", "code=c&state=forged", false, std::nullopt, LoginErrorCode::Failed,
       "The sign-in answer did not belong to this sign-in - try again"},
      {"denied", "error=access_denied", true, std::nullopt, LoginErrorCode::Denied,
       "Sign-in denied"},
      {"error", "error=server_error", true, std::nullopt, LoginErrorCode::Failed,
       "Sign-in failed (server_error)"},
      {"no code", "x=1", true, std::nullopt, LoginErrorCode::Failed,
       "The sign-in answer carried no code - try again"},
      {"verifier refused", "code=c", true,
       HttpAnswer::Json(R"({"error":"invalid_grant","error_description":"Bad verifier"})", 400),
       LoginErrorCode::Failed, "Sign-in failed (invalid_grant)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int port = FreeLoopbackPort();
    StartWithBrowser(port, c.query, c.withState);
    platform.Route("POST", "/oauth/token", [answer = c.exchange](const sim::HttpExchange&) {
      return answer.value_or(HttpAnswer::Json(R"({"access_token":"a"})"));
    });
    const plx::OAuthLoginResult result = SignIn(PlatformId::Kick);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.message, c.message);
    EXPECT_FALSE(store->GetToken(PlatformId::Kick).has_value());
    // The listener is closed whatever happened.
    LoopbackRedirect again;
    std::string error;
    EXPECT_TRUE(again.Listen(port, &error)) << error;
    service->Shutdown();
  }
}

TEST_F(OwnAppSignInTest, ATakenPortCancelAndTheDeadline) {
  const int port = FreeLoopbackPort();
  LoopbackRedirect other;
  std::string error;
  ASSERT_TRUE(other.Listen(port, &error));
  Start();
  service->SetRedirectPort(port);
  EXPECT_FALSE(service->StartSignIn(PlatformId::YouTube, &error));
  EXPECT_EQ(error, "Port " + std::to_string(port) +
                       " on this computer is already in use by another program - choose another "
                       "sign-in port for your app under Settings");
  EXPECT_FALSE(service->PendingSignIn().has_value());
  EXPECT_TRUE(Opened().empty());
  other.Close();

  // Nobody comes back: cancel ends the wait at once.
  ASSERT_TRUE(service->StartSignIn(PlatformId::YouTube, &error)) << error;
  service->CancelSignIn();
  const auto cancelled = NextResult(std::chrono::seconds{2});
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(cancelled->code, LoginErrorCode::Cancelled);

  // … and the ten minutes end it too.
  clock.SetAutoAdvance(false);
  ASSERT_TRUE(service->StartSignIn(PlatformId::YouTube, &error)) << error;
  // The worker takes its deadline when it starts waiting: time moves on until it has passed.
  std::optional<plx::OAuthLoginResult> late;
  for (int i = 0; i < 50 && !late; ++i) {
    clock.Advance(AccountService::kSignInDeadlineMs);
    late = NextResult(std::chrono::seconds{0});
    if (!late) std::this_thread::sleep_for(std::chrono::milliseconds{100});
  }
  ASSERT_TRUE(late);
  EXPECT_EQ(late->code, LoginErrorCode::TimedOut);
  EXPECT_EQ(late->message, "Sign-in timed out - try again");
}

TEST_F(OwnAppSignInTest, WithoutAnOwnClientThePortalIsUsed) {
  WriteFile("secrets.dpapi", "{}");
  Start();
  std::string error;
  ASSERT_TRUE(service->StartSignIn(PlatformId::Kick, &error));
  service->CancelSignIn();
  NextResult();
  ASSERT_EQ(Opened().size(), 1u);
  EXPECT_TRUE(Opened()[0].starts_with(portal.BaseUrl() + "/connect/kick?"));
}

}  // namespace
}  // namespace vlo
