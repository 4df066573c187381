// The platforms' token endpoints (direct refresh) and account lookups of the simulated account
// services, in each platform's shapes.

#include <gtest/gtest.h>

#include "sim/youtube/YouTubeSim.h"
#include "tests/sim/AccountsFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

struct TokenEndpoint {
  PlatformId platform;
  const char* path;
};
constexpr TokenEndpoint kEndpoints[] = {{PlatformId::Twitch, "/oauth2/token"},
                                        {PlatformId::YouTube, "/token"},
                                        {PlatformId::Kick, "/oauth/token"}};

class DirectRefresh : public AccountsFixture {
 protected:
  DirectRefresh() {
    for (const PlatformId platform : kPlatforms) {
      accounts.AddClient(platform, "own-" + plx::PlatformKey(platform), "secret");
    }
  }

  SimTokenPair Issue(PlatformId platform) {
    return accounts.IssueToken(platform, AccountId(platform), {"s1", "s2"},
                               "own-" + plx::PlatformKey(platform), false);
  }

  // The form as the program sends it; an empty secret is left out.
  Reply Refresh(PlatformId platform, const std::string& clientId, const std::string& secret,
                const std::string& refreshToken) {
    std::string form = "client_id=" + plx::PercentEncode(clientId);
    if (!secret.empty()) form += "&client_secret=" + plx::PercentEncode(secret);
    form += "&grant_type=refresh_token&refresh_token=" + plx::PercentEncode(refreshToken);
    SimServer& server = platform == PlatformId::Twitch    ? twitchOAuth
                        : platform == PlatformId::YouTube ? googleOAuth
                                                          : kickOAuth;
    for (const TokenEndpoint& e : kEndpoints) {
      if (e.platform == platform) return ToReply(plx::PostForm(server.BaseUrl() + e.path, form));
    }
    return {};
  }
};

TEST_F(DirectRefresh, AnswersInEachPlatformsShape) {
  for (const PlatformId platform : kPlatforms) {
    SCOPED_TRACE(plx::PlatformKey(platform));
    const SimTokenPair pair = Issue(platform);
    const std::string clientId = "own-" + plx::PlatformKey(platform);
    const Reply reply = Refresh(platform, clientId, "secret", pair.refreshToken);
    ASSERT_EQ(reply.status, 200);
    const Json& body = reply.body;
    EXPECT_EQ(body["expires_in"], AccountsSim::kDefaultLifetimeSec);
    const std::string access = body["access_token"];
    EXPECT_TRUE(accounts.Validate(platform, access));
    EXPECT_FALSE(accounts.Validate(platform, pair.accessToken));
    EXPECT_EQ(accounts.Validate(platform, access)->clientId, clientId);

    switch (platform) {
      case PlatformId::Twitch:
        EXPECT_EQ(body["scope"], Json::array({"s1", "s2"}));
        EXPECT_EQ(body["token_type"], "bearer");
        break;
      case PlatformId::YouTube:
        EXPECT_EQ(body["scope"], "s1 s2");
        EXPECT_EQ(body["token_type"], "Bearer");
        break;
      default:
        EXPECT_EQ(body["scope"], "s1 s2");
        EXPECT_EQ(body["token_type"], "Bearer");
    }
    // Google keeps the refresh token; Twitch and Kick replace it and spend the old one.
    if (platform == PlatformId::YouTube) {
      EXPECT_FALSE(body.contains("refresh_token"));
      EXPECT_EQ(Refresh(platform, clientId, "secret", pair.refreshToken).status, 200);
    } else {
      const std::string next = body["refresh_token"];
      EXPECT_NE(next, pair.refreshToken);
      EXPECT_EQ(Refresh(platform, clientId, "secret", pair.refreshToken).status, 400);
      EXPECT_EQ(Refresh(platform, clientId, "secret", next).status, 200);
    }
    EXPECT_EQ(accounts.DirectRefreshes(platform), platform == PlatformId::YouTube ? 2 : 3);
  }
}

TEST_F(DirectRefresh, RefusalsInEachPlatformsShape) {
  const Json twitchBad = {{"status", 400}, {"message", "Invalid refresh token"}};
  const Json googleBad = {{"error", "invalid_grant"},
                          {"error_description", "Token has been expired or revoked."}};
  accounts.AddClient(PlatformId::Twitch, "other", "secret");
  accounts.AddClient(PlatformId::YouTube, "other", "secret");
  accounts.AddClient(PlatformId::Kick, "other", "secret");
  const SimTokenPair twitch = Issue(PlatformId::Twitch);
  const SimTokenPair youtube = Issue(PlatformId::YouTube);
  const SimTokenPair kick = Issue(PlatformId::Kick);
  const SimTokenPair portal =
      accounts.IssueToken(PlatformId::Twitch, "1001", {}, AccountsSim::kPortalTwitchClientId, true);
  struct Case {
    const char* what;
    PlatformId platform;
    std::string clientId;
    std::string secret;
    std::string refreshToken;
    int status;
    Json body;  // null: only the status is checked
  };
  const Case cases[] = {
      {"twitch: made-up token", PlatformId::Twitch, "own-twitch", "secret", "x", 400, twitchBad},
      {"twitch: another client's token", PlatformId::Twitch, "other", "secret", twitch.refreshToken,
       400, twitchBad},
      {"twitch: another platform's token", PlatformId::Twitch, "own-twitch", "secret",
       kick.refreshToken, 400, twitchBad},
      {"twitch: a portal token",
       PlatformId::Twitch,
       AccountsSim::kPortalTwitchClientId,
       "",
       portal.refreshToken,
       400,
       {}},
      {"twitch: wrong secret",
       PlatformId::Twitch,
       "own-twitch",
       "nope",
       twitch.refreshToken,
       403,
       {}},
      {"twitch: unknown client",
       PlatformId::Twitch,
       "ghost",
       "secret",
       twitch.refreshToken,
       400,
       {}},
      {"google: made-up token", PlatformId::YouTube, "own-youtube", "secret", "x", 400, googleBad},
      {"google: another client's token", PlatformId::YouTube, "other", "secret",
       youtube.refreshToken, 400, googleBad},
      {"google: no secret", PlatformId::YouTube, "own-youtube", "", youtube.refreshToken, 400, {}},
      {"google: wrong secret",
       PlatformId::YouTube,
       "own-youtube",
       "nope",
       youtube.refreshToken,
       401,
       {}},
      {"kick: made-up token", PlatformId::Kick, "own-kick", "secret", "x", 400, {}},
      {"kick: wrong secret", PlatformId::Kick, "own-kick", "nope", kick.refreshToken, 401, {}},
      {"kick: no secret", PlatformId::Kick, "own-kick", "", kick.refreshToken, 401, {}},
      {"kick: unknown client", PlatformId::Kick, "ghost", "secret", kick.refreshToken, 401, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply reply = Refresh(c.platform, c.clientId, c.secret, c.refreshToken);
    EXPECT_EQ(reply.status, c.status);
    if (!c.body.is_null()) {
      EXPECT_EQ(reply.body, c.body);
    }
    if (c.platform == PlatformId::Kick) {
      EXPECT_EQ(reply.body["error"], c.status == 401 ? "invalid_client" : "invalid_grant");
    }
  }
  // Nothing refused was spent.
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, twitch.accessToken));
  EXPECT_TRUE(accounts.Validate(PlatformId::YouTube, youtube.accessToken));
  EXPECT_TRUE(accounts.Validate(PlatformId::Kick, kick.accessToken));
}

TEST_F(DirectRefresh, TwitchPublicClientNeedsNoSecret) {
  accounts.AddClient(PlatformId::Twitch, "public", "");
  const SimTokenPair pair = accounts.IssueToken(PlatformId::Twitch, "1001", {}, "public", false);
  EXPECT_EQ(Refresh(PlatformId::Twitch, "public", "made-up", pair.refreshToken).status, 403);
  const Reply reply = Refresh(PlatformId::Twitch, "public", "", pair.refreshToken);
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, reply.body["access_token"].get<std::string>()));
}

TEST_F(DirectRefresh, OnlyFormPostsWithASupportedGrant) {
  const SimTokenPair pair = Issue(PlatformId::Kick);
  const std::string form =
      "client_id=own-kick&client_secret=secret&grant_type=refresh_token"
      "&refresh_token=" +
      pair.refreshToken;
  EXPECT_EQ(plx::PostJson(kickOAuth.BaseUrl() + "/oauth/token", form).status, 400);
  std::string password = form;
  password.replace(password.find("refresh_token&"), 13, "password");
  const Reply wrongGrant = ToReply(plx::PostForm(kickOAuth.BaseUrl() + "/oauth/token", password));
  EXPECT_EQ(wrongGrant.status, 400);
  EXPECT_EQ(wrongGrant.body["error"], "unsupported_grant_type");
  EXPECT_TRUE(accounts.Validate(PlatformId::Kick, pair.accessToken));
}

class Lookups : public AccountsFixture {
 protected:
  Reply Get(SimServer& server, const std::string& target, const std::string& token,
            const std::string& clientId = {}) {
    return ToReply(plx::Get(server.BaseUrl() + target, plx::BearerHeaders(token, clientId)));
  }
};

TEST_F(Lookups, HelixUsersNeedsTheTokensClientId) {
  const std::string token =
      accounts.IssueToken(PlatformId::Twitch, "1001", {}, "cid", false).accessToken;
  const Reply me = Get(helix, "/helix/users", token, "cid");
  ASSERT_EQ(me.status, 200);
  ASSERT_EQ(me.body["data"].size(), 1u);
  const Json& user = me.body["data"][0];
  EXPECT_EQ(user["id"], "1001");
  EXPECT_EQ(user["login"], "streamer");
  EXPECT_EQ(user["display_name"], "Streamer");
  EXPECT_EQ(user["profile_image_url"], "https://img/1");
  for (const char* key : {"type", "broadcaster_type", "description", "created_at"}) {
    EXPECT_TRUE(user.contains(key)) << key;
  }

  accounts.AddAccount({PlatformId::Twitch, "1002", "other", "Other", ""});
  EXPECT_EQ(Get(helix, "/helix/users?login=Other", token, "cid").body["data"][0]["id"], "1002");
  EXPECT_EQ(Get(helix, "/helix/users?id=1002", token, "cid").body["data"][0]["login"], "other");
  EXPECT_TRUE(Get(helix, "/helix/users?login=ghost", token, "cid").body["data"].empty());

  struct Case {
    std::string token;
    std::string clientId;
    const char* message;
  };
  for (const Case& c :
       {Case{token, "another", "Client ID and OAuth token do not match"},
        Case{token, "", "Client ID and OAuth token do not match"},
        Case{"made-up", "cid", "Invalid OAuth token"}, Case{"", "cid", "OAuth token is missing"}}) {
    SCOPED_TRACE(c.message);
    const Reply refused = Get(helix, "/helix/users", c.token, c.clientId);
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.body,
              (Json{{"error", "Unauthorized"}, {"status", 401}, {"message", c.message}}));
  }
}

TEST_F(Lookups, DataApiOwnChannel) {
  const std::string token =
      accounts.IssueToken(PlatformId::YouTube, "UCtubechannel00000000001", {}, "g", true)
          .accessToken;
  const Reply me = Get(youtubeApi, "/youtube/v3/channels?part=snippet&mine=true", token);
  ASSERT_EQ(me.status, 200);
  EXPECT_EQ(me.body["kind"], "youtube#channelListResponse");
  ASSERT_EQ(me.body["items"].size(), 1u);
  const Json& channel = me.body["items"][0];
  EXPECT_EQ(channel["kind"], "youtube#channel");
  EXPECT_EQ(channel["id"], "UCtubechannel00000000001");
  EXPECT_EQ(channel["snippet"]["title"], "Tube");
  EXPECT_EQ(channel["snippet"]["customUrl"], "@tube");
  EXPECT_TRUE(channel["snippet"]["thumbnails"].contains("default"));

  // Another platform's token, a made-up one, none.
  const std::string twitch =
      accounts.IssueToken(PlatformId::Twitch, "1001", {}, "c", true).accessToken;
  for (const std::string& bad : {twitch, std::string{"made-up"}, std::string{}}) {
    const Reply refused = Get(youtubeApi, "/youtube/v3/channels?part=snippet&mine=true", bad);
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.raw, YouTubeSim::ApiErrorBody(401, "authError"));
  }
}

TEST_F(Lookups, KickUsers) {
  const std::string token =
      accounts.IssueToken(PlatformId::Kick, "2002", {}, "k", true).accessToken;
  const Reply me = Get(kickApi, "/public/v1/users", token);
  ASSERT_EQ(me.status, 200);
  EXPECT_EQ(me.body["message"], "OK");
  ASSERT_EQ(me.body["data"].size(), 1u);
  const Json& user = me.body["data"][0];
  EXPECT_EQ(user["user_id"], 2002);  // a number
  EXPECT_EQ(user["name"], "Kicker");
  EXPECT_TRUE(user.contains("email"));
  EXPECT_TRUE(user.contains("profile_picture"));

  for (const std::string& bad : {std::string{"made-up"}, std::string{}}) {
    const Reply refused = Get(kickApi, "/public/v1/users", bad);
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.body["message"], "Unauthenticated");
  }
}

TEST_F(Lookups, RefusedOnceExpiredReplacedOrRevoked) {
  const SimTokenPair pair = accounts.IssueToken(PlatformId::Kick, "2002", {}, "k", true);
  ASSERT_EQ(Get(kickApi, "/public/v1/users", pair.accessToken).status, 200);
  accounts.ExpireToken(pair.accessToken);
  EXPECT_EQ(Get(kickApi, "/public/v1/users", pair.accessToken).status, 401);

  const Reply refreshed = ToReply(
      plx::PostJson(portal.BaseUrl() + "/api/oauth/refresh",
                    Json{{"platform", "kick"}, {"refreshToken", pair.refreshToken}}.dump()));
  const std::string fresh = refreshed.body.value("accessToken", "");
  EXPECT_EQ(Get(kickApi, "/public/v1/users", fresh).status, 200);

  plx::PostJson(portal.BaseUrl() + "/api/oauth/revoke",
                Json{{"platform", "kick"}, {"token", fresh}}.dump());
  EXPECT_EQ(Get(kickApi, "/public/v1/users", fresh).status, 401);
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
