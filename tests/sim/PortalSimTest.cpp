// The simulated portal: connect page, handoff state machine, refresh and revoke, driven over
// HTTP as the program and a browser drive it.

#include <gtest/gtest.h>

#include "sim/accounts/Pkce.h"
#include "tests/sim/AccountsFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

using State = PortalSession::State;

class PortalSim : public AccountsFixture {
 protected:
  // Opens the connect page for a fresh verifier and returns the verifier.
  std::string StartSession(PlatformId platform, const std::string& verifier = "verifier-1") {
    EXPECT_EQ(Connect(platform, S256Challenge(verifier)).status, 200);
    return verifier;
  }
};

TEST(Pkce, S256MatchesTheRfcExample) {
  EXPECT_EQ(S256Challenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
            "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

TEST_F(PortalSim, ConnectPageRecordsTheSessionAndOffersApproval) {
  const plx::HttpResponse page =
      Connect(PlatformId::Twitch, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  ASSERT_EQ(page.status, 200);
  for (const char* part :
       {"<title>Velaro Studio – sign in</title>", "Sign in to Twitch", "Streamer",
        ">Approve</button>", ">Deny</button>", "action=\"/connect/approve\"",
        "action=\"/connect/deny\"", "value=\"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM\""}) {
    EXPECT_NE(page.body.find(part), std::string::npos) << part;
  }
  ASSERT_TRUE(accounts.WaitForSessions(1, 0));
  const std::vector<PortalSession> sessions = accounts.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].platform, PlatformId::Twitch);
  EXPECT_EQ(sessions[0].challenge, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  EXPECT_EQ(sessions[0].version, "chat-1.1.3");
  EXPECT_EQ(sessions[0].state, State::Pending);

  // The RFC 7636 verifier of that challenge finds the session.
  EXPECT_EQ(Poll("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk").status, 202);
  EXPECT_EQ(accounts.Sessions()[0].polls, 1);
}

TEST_F(PortalSim, ConnectPageRefusesBadLinksAndEscapesTheChallenge) {
  for (const char* target : {"/connect/tiktok?challenge=abc", "/connect/?challenge=abc",
                             "/connect/twitch?ver=chat-1.1.3", "/connect/kick?challenge="}) {
    SCOPED_TRACE(target);
    const plx::HttpResponse page = plx::Get(portal.BaseUrl() + target);
    EXPECT_EQ(page.status, 400);
    EXPECT_NE(page.body.find("<title>Velaro Studio – sign in</title>"), std::string::npos);
  }
  EXPECT_TRUE(accounts.Sessions().empty());

  const plx::HttpResponse page = Connect(PlatformId::Kick, "\"><script>x</script>");
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(page.body.find("<script>"), std::string::npos);
  EXPECT_EQ(accounts.Sessions().at(0).challenge, "\"><script>x</script>");
}

TEST_F(PortalSim, HandoffGoesPendingThenOkOnceThenUnknown) {
  EXPECT_EQ(Poll("nobody").status, 404);
  EXPECT_EQ(Poll("nobody").body, (Json{{"status", "unknown"}}));
  const std::string verifier = StartSession(PlatformId::Twitch);

  const Reply pending = Poll(verifier);
  EXPECT_EQ(pending.status, 202);
  EXPECT_EQ(pending.body, (Json{{"status", "pending"}}));

  ASSERT_TRUE(accounts.Approve(PlatformId::Twitch));
  const Reply ok = Poll(verifier);
  ASSERT_EQ(ok.status, 200);
  const Json& body = ok.body;
  EXPECT_EQ(body["status"], "ok");
  EXPECT_EQ(body["platform"], "twitch");
  EXPECT_EQ(body["expiresIn"], AccountsSim::kDefaultLifetimeSec);
  EXPECT_EQ(body["clientId"], AccountsSim::kPortalTwitchClientId);
  EXPECT_EQ(body["scopes"],
            Json::array({"chat:read", "chat:edit", "user:write:chat",
                         "moderator:manage:chat_messages", "moderator:manage:banned_users"}));
  EXPECT_EQ(body["user"], (Json{{"id", "1001"},
                                {"login", "streamer"},
                                {"displayName", "Streamer"},
                                {"avatarUrl", "https://img/1"}}));
  const std::string token = body["accessToken"];
  ASSERT_FALSE(token.empty());
  EXPECT_FALSE(body["refreshToken"].get<std::string>().empty());

  const std::optional<SimGrant> grant = accounts.Validate(PlatformId::Twitch, token);
  ASSERT_TRUE(grant);
  EXPECT_TRUE(grant->viaPortal);
  EXPECT_EQ(grant->clientId, AccountsSim::kPortalTwitchClientId);
  EXPECT_EQ(grant->account.login, "streamer");
  EXPECT_FALSE(accounts.Validate(PlatformId::Kick, token));

  EXPECT_EQ(Poll(verifier).status, 404);  // handed over once only
  EXPECT_EQ(accounts.Sessions()[0].state, State::HandedOver);
  EXPECT_EQ(accounts.Sessions()[0].polls, 2);
  EXPECT_FALSE(accounts.Approve(PlatformId::Twitch));
}

TEST_F(PortalSim, EachPlatformGetsThePortalClientAndScopes) {
  struct Case {
    PlatformId platform;
    const char* clientId;
    Json scopes;
  };
  const Case cases[] = {
      {PlatformId::YouTube, AccountsSim::kPortalGoogleClientId,
       Json::array({"https://www.googleapis.com/auth/youtube.force-ssl"})},
      {PlatformId::Kick, AccountsSim::kPortalKickClientId,
       Json::array({"user:read", "channel:read", "chat:write", "moderation:ban",
                    "moderation:chat_message:manage"})},
  };
  accounts.SetAutoApprove(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(plx::PlatformKey(c.platform));
    const std::string verifier = StartSession(c.platform, "v-" + plx::PlatformKey(c.platform));
    const Reply ok = Poll(verifier);
    ASSERT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body["platform"], plx::PlatformKey(c.platform));
    EXPECT_EQ(ok.body["clientId"], c.clientId);
    EXPECT_EQ(ok.body["scopes"], c.scopes);
    EXPECT_EQ(ok.body["user"]["id"], AccountId(c.platform));
    EXPECT_TRUE(accounts.Validate(c.platform, ok.body["accessToken"].get<std::string>()));
  }
}

TEST_F(PortalSim, DeniedAndExpiredSessions) {
  const std::string denied = StartSession(PlatformId::Twitch, "v-denied");
  ASSERT_TRUE(accounts.Deny(PlatformId::Twitch));
  const Reply refusal = Poll(denied);
  EXPECT_EQ(refusal.status, 400);
  EXPECT_EQ(
      refusal.body,
      (Json{{"error", "access_denied"}, {"reason", ""}, {"message", "You denied the sign-in."}}));

  const std::string expired = StartSession(PlatformId::Kick, "v-expired");
  EXPECT_EQ(Poll(expired).status, 202);
  ASSERT_TRUE(accounts.Expire(PlatformId::Kick));
  EXPECT_EQ(Poll(expired).status, 410);
  EXPECT_FALSE(accounts.Approve(PlatformId::Kick));  // an expired session stays expired
  EXPECT_EQ(Poll(expired).status, 410);
  EXPECT_FALSE(accounts.Deny(PlatformId::YouTube));  // no session
}

TEST_F(PortalSim, PageButtonsDecideTheSession) {
  const std::string challenge = S256Challenge("v-page");
  ASSERT_EQ(Connect(PlatformId::YouTube, challenge).status, 200);
  const plx::HttpResponse approved = plx::PostForm(portal.BaseUrl() + "/connect/approve",
                                                   "challenge=" + plx::PercentEncode(challenge));
  EXPECT_EQ(approved.status, 200);
  EXPECT_NE(approved.body.find("You can close this tab and return to Velaro Chat."),
            std::string::npos);
  EXPECT_EQ(Poll("v-page").status, 200);

  const std::string other = S256Challenge("v-page-2");
  ASSERT_EQ(Connect(PlatformId::YouTube, other).status, 200);
  const plx::HttpResponse denied =
      plx::PostForm(portal.BaseUrl() + "/connect/deny", "challenge=" + plx::PercentEncode(other));
  EXPECT_EQ(denied.status, 200);
  EXPECT_NE(denied.body.find("Sign-in denied."), std::string::npos);
  EXPECT_EQ(Poll("v-page-2").status, 400);

  EXPECT_EQ(plx::PostForm(portal.BaseUrl() + "/connect/approve", "challenge=unknown").status, 404);
}

TEST_F(PortalSim, AutoApprovalCountsThePollsOfTheSession) {
  for (const int polls : {0, 1, 3}) {
    SCOPED_TRACE(polls);
    accounts.SetAutoApprove(polls);
    const std::string verifier =
        StartSession(PlatformId::Twitch, "v-auto-" + std::to_string(polls));
    for (int i = 0; i < polls; ++i) EXPECT_EQ(Poll(verifier).status, 202);
    EXPECT_EQ(Poll(verifier).status, 200);
    EXPECT_EQ(accounts.Sessions().back().polls, polls + 1);
  }
  // Without auto-approval a session waits however often it is polled.
  accounts.SetAutoApprove(-1);
  const std::string waiting = StartSession(PlatformId::Twitch, "v-waiting");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Poll(waiting).status, 202);
}

TEST_F(PortalSim, ScriptedAnswersComeFirstAndAreNotCountedAsPolls) {
  accounts.SetAutoApprove(1);
  const std::string verifier = StartSession(PlatformId::Twitch);
  HttpAnswer busy = HttpAnswer::Json(R"({"error":"rate_limited"})", 429);
  busy.headers.emplace_back("Retry-After", "7");
  portal.AnswerNext("POST", "/api/oauth/handoff", 1, busy);
  const Reply limited = Poll(verifier);
  EXPECT_EQ(limited.status, 429);
  EXPECT_EQ(limited.retryAfter, 7);
  EXPECT_EQ(Poll(verifier).status, 202);
  EXPECT_EQ(Poll(verifier).status, 200);
}

TEST_F(PortalSim, HandoffShapesAndOddHandovers) {
  accounts.SetAutoApprove(0);
  accounts.HandOverWrongPlatformNext();
  EXPECT_EQ(Poll(StartSession(PlatformId::Twitch, "v-wrong")).body["platform"], "kick");
  EXPECT_EQ(Poll(StartSession(PlatformId::Kick, "v-wrong-kick")).body["platform"], "kick");

  accounts.HandOverWithoutTokenNext();
  const Reply empty = Poll(StartSession(PlatformId::Twitch, "v-empty"));
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body["accessToken"], "");
  EXPECT_EQ(accounts.Sessions().back().state, State::HandedOver);

  accounts.SetHandoffShape(false, true);
  accounts.AddAccount({PlatformId::YouTube, "UCsecond000000000000002", "@second", "Second", ""});
  accounts.SetPortalAccount(PlatformId::YouTube, "UCsecond000000000000002", {"a", "b"});
  const Reply shaped = Poll(StartSession(PlatformId::YouTube, "v-shape"));
  ASSERT_EQ(shaped.status, 200);
  EXPECT_FALSE(shaped.body.contains("expiresIn"));
  EXPECT_EQ(shaped.body["scopes"], "a b");
  EXPECT_EQ(shaped.body["user"]["login"], "@second");
}

TEST_F(PortalSim, PlatformWithoutAccountIsNotConfigured) {
  SimServer server;
  AccountsSim empty{{server, server, server, server, server, server, server}};
  empty.SetAutoApprove(0);
  ASSERT_EQ(plx::Get(server.BaseUrl() + "/connect/kick?challenge=" + S256Challenge("v")).status,
            200);
  const Reply reply =
      ToReply(plx::PostJson(server.BaseUrl() + "/api/oauth/handoff", R"({"verifier":"v"})"));
  EXPECT_EQ(reply.status, 400);
  EXPECT_EQ(reply.body["error"], "not_configured");
}

// A token handed over by the portal, for refresh and revoke.
class PortalTokens : public PortalSim {
 protected:
  SimTokenPair SignIn(PlatformId platform) {
    accounts.SetAutoApprove(0);
    const Reply ok = Poll(StartSession(platform, "v-" + std::to_string(++sessions_)));
    return {ok.body.value("accessToken", ""), ok.body.value("refreshToken", "")};
  }
  Reply Refresh(PlatformId platform, const std::string& refreshToken) {
    return PostPortal("/api/oauth/refresh",
                      {{"platform", plx::PlatformKey(platform)}, {"refreshToken", refreshToken}});
  }

 private:
  int sessions_{0};
};

TEST_F(PortalTokens, RefreshReplacesThePair) {
  const SimTokenPair first = SignIn(PlatformId::Kick);
  const Reply reply = Refresh(PlatformId::Kick, first.refreshToken);
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body["expiresIn"], AccountsSim::kDefaultLifetimeSec);
  EXPECT_EQ(reply.body["clientId"], AccountsSim::kPortalKickClientId);
  EXPECT_EQ(reply.body["scopes"].size(), 5u);
  const std::string access = reply.body["accessToken"];
  const std::string refresh = reply.body["refreshToken"];
  EXPECT_NE(access, first.accessToken);
  EXPECT_NE(refresh, first.refreshToken);
  EXPECT_TRUE(accounts.Validate(PlatformId::Kick, access));
  EXPECT_FALSE(accounts.Validate(PlatformId::Kick, first.accessToken));

  // The old refresh token is spent; another platform's key or a made-up token is refused.
  for (const auto& [platform, token] :
       {std::pair{PlatformId::Kick, first.refreshToken}, std::pair{PlatformId::Twitch, refresh},
        std::pair{PlatformId::Kick, std::string{"made-up"}},
        std::pair{PlatformId::Kick, std::string{}}}) {
    const Reply refused = Refresh(platform, token);
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, (Json{{"error", "invalid_grant"}}));
  }
  // A token of the program's own client is not the portal's to refresh.
  const SimTokenPair own = accounts.IssueToken(PlatformId::Kick, "2002", {}, "own", false);
  EXPECT_EQ(Refresh(PlatformId::Kick, own.refreshToken).status, 400);
  EXPECT_EQ(accounts.RefreshRequests(), 6);
}

TEST_F(PortalTokens, ScriptedRefreshAnswersComeFirst) {
  const SimTokenPair pair = SignIn(PlatformId::Twitch);
  accounts.AnswerNextRefreshes(PortalRefreshAnswer::Unavailable, 2);
  accounts.AnswerNextRefreshes(PortalRefreshAnswer::UnavailableRetry, 1, 120);
  accounts.AnswerNextRefreshes(PortalRefreshAnswer::InvalidGrant);
  accounts.AnswerNextRefreshes(PortalRefreshAnswer::EmptyAccessToken);
  struct Expected {
    int status;
    int retryAfter;
    Json body;
  };
  for (const Expected& e :
       {Expected{503, 0, {{"error", "unavailable"}}}, Expected{503, 0, {{"error", "unavailable"}}},
        Expected{503, 120, {{"error", "unavailable"}}},
        Expected{400, 0, {{"error", "invalid_grant"}}}, Expected{200, 0, {{"accessToken", ""}}}}) {
    const Reply reply = Refresh(PlatformId::Twitch, pair.refreshToken);
    EXPECT_EQ(reply.status, e.status);
    EXPECT_EQ(reply.retryAfter, e.retryAfter);
    EXPECT_EQ(reply.body, e.body);
  }
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, pair.accessToken));  // nothing replaced

  accounts.AnswerNextRefreshes(PortalRefreshAnswer::WithoutExpiresIn);
  const Reply bare = Refresh(PlatformId::Twitch, pair.refreshToken);
  ASSERT_EQ(bare.status, 200);
  EXPECT_FALSE(bare.body.contains("expiresIn"));
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, bare.body["accessToken"].get<std::string>()));
  // Then the normal behaviour again.
  const Reply normal = Refresh(PlatformId::Twitch, bare.body["refreshToken"]);
  EXPECT_EQ(normal.status, 200);
  EXPECT_TRUE(normal.body.contains("expiresIn"));
}

TEST_F(PortalTokens, RevokeEndsTheWholeGrant) {
  const SimTokenPair pair = SignIn(PlatformId::YouTube);
  const Reply reply =
      PostPortal("/api/oauth/revoke", {{"platform", "youtube"}, {"token", pair.accessToken}});
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.raw, "{}");
  EXPECT_EQ(accounts.RevokedTokens(), (std::vector<std::string>{pair.accessToken}));
  EXPECT_FALSE(accounts.Validate(PlatformId::YouTube, pair.accessToken));
  EXPECT_EQ(Refresh(PlatformId::YouTube, pair.refreshToken).status, 400);
  // Revoking what is unknown is answered the same way.
  EXPECT_EQ(PostPortal("/api/oauth/revoke", {{"platform", "kick"}, {"token", "x"}}).status, 200);
}

TEST_F(PortalTokens, ExpiredTokenStopsValidatingButStaysRefreshable) {
  const SimTokenPair pair = SignIn(PlatformId::Twitch);
  accounts.ExpireToken(pair.accessToken);
  EXPECT_FALSE(accounts.Validate(PlatformId::Twitch, pair.accessToken));
  const Reply reply = Refresh(PlatformId::Twitch, pair.refreshToken);
  ASSERT_EQ(reply.status, 200);
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, reply.body["accessToken"].get<std::string>()));
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
