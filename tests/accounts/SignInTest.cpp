#include <gtest/gtest.h>

#include "accounts/Pkce.h"
#include "core/Json.h"
#include "tests/accounts/AccountsFixture.h"

namespace vlo {
namespace {

using plx::LoginErrorCode;
using plx::PlatformId;
using sim::HttpAnswer;

constexpr const char* kHandoff = "/api/oauth/handoff";

HttpAnswer Ok(const std::string& platform = "twitch", const std::string& accessToken = "tok-1") {
  json::Json body = {{"status", "ok"},
                     {"accessToken", accessToken},
                     {"refreshToken", "ref-1"},
                     {"expiresIn", 14400},
                     {"scopes", {"chat:read", "chat:edit"}},
                     {"clientId", "portal-client"},
                     {"user",
                      {{"id", "1234"},
                       {"login", "streamer"},
                       {"displayName", "Streamer"},
                       {"avatarUrl", "https://img.example/a.png"}}}};
  if (!platform.empty()) body["platform"] = platform;
  return HttpAnswer::Json(body.dump());
}

HttpAnswer Status(int status, const std::string& body = "{}") {
  return HttpAnswer::Json(body, status);
}

HttpAnswer NoAnswer() {
  HttpAnswer answer;
  answer.closeWithoutAnswer = true;
  return answer;
}

HttpAnswer TooMany(int retryAfter) {
  HttpAnswer answer = Status(429);
  answer.headers = {{"Retry-After", std::to_string(retryAfter)}};
  return answer;
}

class SignInTest : public test::AccountsFixture {
 protected:
  // The handoff answers `script` in order, then 404 for ever.
  void Script(const std::vector<HttpAnswer>& script) {
    portal.Route("POST", kHandoff, [](const sim::HttpExchange&) { return Status(404); });
    for (const HttpAnswer& answer : script) portal.AnswerNext("POST", kHandoff, 1, answer);
  }

  plx::OAuthLoginResult SignIn(PlatformId platform = PlatformId::Twitch) {
    std::string error;
    EXPECT_TRUE(service->StartSignIn(platform, &error)) << error;
    auto result = NextResult();
    EXPECT_TRUE(result.has_value()) << "no sign-in result";
    return result.value_or(plx::OAuthLoginResult{});
  }
};

TEST_F(SignInTest, ApprovedSessionStoresThePortalToken) {
  Start();
  Script({Status(202, R"({"status":"pending"})"), Status(202), Ok()});
  const plx::OAuthLoginResult result = SignIn();

  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.code, LoginErrorCode::None);
  EXPECT_EQ(result.platform, PlatformId::Twitch);
  EXPECT_EQ(result.message, "Connected as Streamer");
  EXPECT_TRUE(result.account.signedIn);
  EXPECT_TRUE(result.account.fromPortal);
  EXPECT_EQ(result.account.userId, "1234");
  EXPECT_EQ(result.account.login, "streamer");
  EXPECT_EQ(clock.Waits(), (std::vector<int64_t>{3000, 3000}));

  const auto token = store->GetToken(PlatformId::Twitch);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->accessToken, "tok-1");
  EXPECT_EQ(token->refreshToken, "ref-1");
  EXPECT_EQ(token->expiresAt, test::kStart + 6000 + 14'400'000);
  EXPECT_TRUE(token->fromPortal);
  EXPECT_EQ(token->clientId, "portal-client");
  EXPECT_EQ(token->scopes, (std::vector<std::string>{"chat:read", "chat:edit"}));

  // The connect page carries the challenge of the verifier the polls present.
  const std::vector<std::string> opened = Opened();
  ASSERT_EQ(opened.size(), 1u);
  const std::string prefix = portal.BaseUrl() + "/connect/twitch?challenge=";
  ASSERT_TRUE(opened[0].starts_with(prefix)) << opened[0];
  const std::string challenge = opened[0].substr(prefix.size(), 43);
  EXPECT_EQ(opened[0].substr(prefix.size() + 43), "&ver=chat-1.1.3");
  const auto polls = portal.Requests();
  ASSERT_EQ(polls.size(), 3u);
  for (const auto& poll : polls) {
    EXPECT_EQ(poll.Header("Content-Type"), "application/json");
    const json::Json body = json::ParseObject(poll.body);
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(Sha256Base64Url(json::TextOr(body, "verifier")), challenge);
  }
}

TEST_F(SignInTest, ConnectUrlForKick) {
  Start();
  Script({Ok("kick")});
  EXPECT_TRUE(SignIn(PlatformId::Kick).ok);
  const std::string url = Opened().at(0);
  const std::string prefix = portal.BaseUrl() + "/connect/kick?challenge=";
  EXPECT_TRUE(url.starts_with(prefix));
  EXPECT_EQ(url.size(), prefix.size() + 43 + std::string{"&ver=chat-1.1.3"}.size());
}

TEST_F(SignInTest, HandoffAnswersDecideTheOutcome) {
  struct Case {
    const char* name;
    std::vector<HttpAnswer> script;
    bool ok;
    LoginErrorCode code;
    std::string message;  // a prefix for Unreachable
    std::vector<int64_t> waits;
  };
  const Case cases[] = {
      {"two quiet polls then 202",
       {NoAnswer(), NoAnswer(), Status(202), Ok()},
       true,
       LoginErrorCode::None,
       "Connected as Streamer",
       {3000, 3000, 3000}},
      {"three quiet polls",
       {NoAnswer(), NoAnswer(), NoAnswer()},
       false,
       LoginErrorCode::Unreachable,
       "Could not reach the Velaro portal (network error",
       {3000, 3000}},
      {"404 after 202",
       {Status(404), Status(202), Status(404)},
       false,
       LoginErrorCode::Expired,
       "The sign-in session expired",
       {3000, 3000}},
      {"410", {Status(410)}, false, LoginErrorCode::Expired, "The sign-in session expired", {}},
      {"400 with message",
       {Status(400, R"({"error":"provider_error","message":"Kick is NOT available"})")},
       false,
       LoginErrorCode::Unavailable,
       "Kick is NOT available",
       {}},
      {"400 with error only",
       {Status(400, R"({"error":"access_denied"})")},
       false,
       LoginErrorCode::Denied,
       "Sign-in failed (access_denied)",
       {}},
      {"400 empty", {Status(400)}, false, LoginErrorCode::Failed, "Sign-in failed (400)", {}},
      {"400 no channel",
       {Status(400, R"({"reason":"no_youtube_channel","message":"None"})")},
       false,
       LoginErrorCode::NoYouTubeChannel,
       "None",
       {}},
      {"other platform",
       {Ok("kick")},
       false,
       LoginErrorCode::Failed,
       "The portal returned an unexpected sign-in",
       {}},
      {"no token",
       {Ok("twitch", "")},
       false,
       LoginErrorCode::Failed,
       "The portal returned an unexpected sign-in",
       {}},
      {"no platform named", {Ok("")}, true, LoginErrorCode::None, "Connected as Streamer", {}},
      {"unexpected status",
       {Status(418)},
       false,
       LoginErrorCode::Failed,
       "Unexpected portal response (HTTP 418)",
       {}},
      {"passing problems",
       {Status(200, R"({"status":"wait"})"), Status(408), Status(503), Ok()},
       true,
       LoginErrorCode::None,
       "Connected as Streamer",
       {3000, 3000, 3000}},
      {"429 Retry-After 1",
       {TooMany(1), Ok()},
       true,
       LoginErrorCode::None,
       "Connected as Streamer",
       {3000}},
      {"429 Retry-After 120",
       {TooMany(120), Ok()},
       true,
       LoginErrorCode::None,
       "Connected as Streamer",
       {60000}},
      {"HTML body",
       {HttpAnswer::Text("<html>busy</html>", "text/html", 503), Ok()},
       true,
       LoginErrorCode::None,
       "Connected as Streamer",
       {3000}},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    portal.ClearRequests();
    clock.ClearWaits();
    Script(c.script);
    const plx::OAuthLoginResult result = SignIn();
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.code, c.code);
    EXPECT_TRUE(result.message.starts_with(c.message)) << result.message;
    if (c.code == LoginErrorCode::Unreachable) {
      EXPECT_TRUE(result.message.ends_with(")"));
    }
    EXPECT_EQ(clock.Waits(), c.waits);
    EXPECT_FALSE(service->PendingSignIn().has_value());
  }
}

TEST_F(SignInTest, UnknownSessionKeepsPollingUntilTheDeadline) {
  Start();
  Script({});
  const plx::OAuthLoginResult result = SignIn();
  EXPECT_EQ(result.code, LoginErrorCode::TimedOut);
  EXPECT_EQ(result.message, "Sign-in timed out - try again");
  const std::vector<int64_t> waits = clock.Waits();
  EXPECT_EQ(waits.size(), 200u);
  EXPECT_EQ(portal.RequestCount(kHandoff), 201u);
}

TEST_F(SignInTest, APauseNeverRunsPastTheDeadline) {
  Start();
  std::vector<HttpAnswer> script(199, Status(404));
  script.push_back(TooMany(120));
  Script(script);
  const plx::OAuthLoginResult result = SignIn();
  EXPECT_EQ(result.code, LoginErrorCode::TimedOut);
  const std::vector<int64_t> waits = clock.Waits();
  ASSERT_EQ(waits.size(), 200u);
  EXPECT_EQ(waits.back(), 3000);  // what was left of the ten minutes, not 60 s
  EXPECT_EQ(clock.NowMs(), test::kStart + AccountService::kSignInDeadlineMs);
}

TEST_F(SignInTest, CancelEndsAWaitingSignInAtOnce) {
  clock.SetAutoAdvance(false);
  Start();
  Script({Status(202)});
  std::string error;
  ASSERT_TRUE(service->StartSignIn(PlatformId::YouTube, &error));
  EXPECT_EQ(service->PendingSignIn(), PlatformId::YouTube);
  ASSERT_TRUE(clock.WaitForSleepers(1));

  // A second start while one runs is refused and does not disturb it.
  EXPECT_FALSE(service->StartSignIn(PlatformId::Kick, &error));
  EXPECT_EQ(error, "Another sign-in is already in progress");
  EXPECT_EQ(service->PendingSignIn(), PlatformId::YouTube);
  EXPECT_EQ(Opened().size(), 1u);

  service->CancelSignIn();
  const auto result = NextResult(std::chrono::seconds{2});
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->ok);
  EXPECT_EQ(result->code, LoginErrorCode::Cancelled);
  EXPECT_EQ(result->message, "Sign-in cancelled");
  EXPECT_EQ(result->platform, PlatformId::YouTube);
  EXPECT_FALSE(service->PendingSignIn().has_value());
  EXPECT_FALSE(store->GetToken(PlatformId::YouTube).has_value());
}

TEST_F(SignInTest, ShutdownCancelsAndJoins) {
  clock.SetAutoAdvance(false);
  Start();
  Script({Status(202)});
  std::string error;
  ASSERT_TRUE(service->StartSignIn(PlatformId::Twitch, &error));
  ASSERT_TRUE(clock.WaitForSleepers(1));
  service->Shutdown();
  const auto result = NextResult(std::chrono::seconds{0});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->code, LoginErrorCode::Cancelled);
}

TEST_F(SignInTest, AFailedSignInKeepsThePreviousToken) {
  Start();
  plx::TokenRecord old;
  old.accessToken = "old";
  old.fromPortal = true;
  store->SetToken(PlatformId::Twitch, old);
  Script({Status(410)});
  EXPECT_EQ(SignIn().code, LoginErrorCode::Expired);
  EXPECT_EQ(store->GetToken(PlatformId::Twitch), old);

  // A later successful sign-in replaces it whole and clears its reconnect mark.
  old.needsReconnect = true;
  store->SetToken(PlatformId::Twitch, old);
  Script({Ok()});
  EXPECT_TRUE(SignIn().ok);
  EXPECT_EQ(store->GetToken(PlatformId::Twitch)->accessToken, "tok-1");
  EXPECT_FALSE(store->GetToken(PlatformId::Twitch)->needsReconnect);
}

// The address of a server that is gone: connections to it are refused.
std::string ClosedAddress() {
  sim::SimServer gone;
  return gone.BaseUrl();
}

TEST_F(SignInTest, FallbackPortalAnswersWhenThePrimaryIsDown) {
  const std::string primary = ClosedAddress();
  endpoints.portal = primary;
  endpoints.portalFallback = portal.BaseUrl();
  Start();
  Script({Ok()});
  const plx::OAuthLoginResult result = SignIn();
  EXPECT_TRUE(result.ok) << result.message;
  // The browser still opens the primary's connect page.
  EXPECT_TRUE(Opened().at(0).starts_with(primary + "/connect/twitch?"));
}

TEST_F(SignInTest, BothPortalsDownGiveThePrimarysFailure) {
  endpoints.portal = ClosedAddress();
  endpoints.portalFallback = ClosedAddress();
  Start();
  const plx::OAuthLoginResult failed = SignIn();
  EXPECT_EQ(failed.code, LoginErrorCode::Unreachable);
  EXPECT_EQ(failed.message, "Could not reach the Velaro portal (network error (cannot connect))");
}

}  // namespace
}  // namespace vlo
