// The simulated world's account wiring: its endpoints, demo accounts and the chats accepting
// the tokens its account services issue.

#include <gtest/gtest.h>

#include "net/WebSocketClient.h"
#include "sim/accounts/Pkce.h"
#include "sim/world/SimWorld.h"
#include "tests/sim/AccountsFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

SimWorldOptions Quiet(bool autoApprove) {
  SimWorldOptions options;
  options.twitchRate = options.kickRate = options.youtubeRate = 0;
  options.autoApproveSignIn = autoApprove;
  return options;
}

class SignedInWorld : public ::testing::Test {
 protected:
  std::string Issue(PlatformId platform, const std::string& accountId) {
    return world.Accounts().IssueToken(platform, accountId, {}, "c", true).accessToken;
  }

  // The chat service's first answer to a sign-in with PASS and NICK sent as the reader sends
  // them; empty when none came.
  std::string TwitchSignIn(const std::string& token, const std::string& nick) {
    plx::WebSocketClient client;
    std::string error;
    if (!client.Connect(world.GetEndpoints().twitchChat, plx::AppUserAgent(), &error, 5000)) {
      ADD_FAILURE() << error;
      return {};
    }
    client.SendText("PASS oauth:" + token);
    client.SendText("NICK " + nick);
    std::string answer;
    client.ReceiveMessage(answer);
    return answer;
  }

  SimWorld world{Quiet(false)};
};

TEST_F(SignedInWorld, EndpointsPointAtItsAccountServices) {
  const Endpoints& e = world.GetEndpoints();
  EXPECT_EQ(e.portal, world.Accounts().PortalBase());
  EXPECT_EQ(e.portalFallback, e.portal);
  EXPECT_EQ(e.twitchHelix, world.HelixServer().BaseUrl());
  for (const std::string* base : {&e.twitchOAuth, &e.googleOAuth, &e.kickOAuth}) {
    EXPECT_TRUE(base->starts_with("http://127.0.0.1:")) << *base;
  }
  // Every account service has its own listener except the two shared with the chats' APIs.
  EXPECT_NE(e.twitchOAuth, e.googleOAuth);
  EXPECT_NE(e.googleOAuth, e.kickOAuth);
  EXPECT_NE(e.portal, e.twitchHelix);
}

TEST_F(SignedInWorld, DemoSignInWaitsForApprovalAndGivesTheChannelOwner) {
  const std::string verifier = "demo-verifier";
  ASSERT_EQ(plx::Get(world.GetEndpoints().portal +
                     "/connect/twitch?challenge=" + S256Challenge(verifier) + "&ver=chat-1.1.3")
                .status,
            200);
  const std::string handoff = world.GetEndpoints().portal + "/api/oauth/handoff";
  const std::string body = Json{{"verifier", verifier}}.dump();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(plx::PostJson(handoff, body).status, 202);
  ASSERT_TRUE(world.Accounts().Approve(PlatformId::Twitch));
  const Reply ok = ToReply(plx::PostJson(handoff, body));
  ASSERT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body["user"]["id"], SimWorld::kTwitchRoomId);
  EXPECT_EQ(ok.body["user"]["login"], "velarodemo");
  EXPECT_EQ(ok.body["user"]["displayName"], "VelaroDemo");
}

TEST(SignedInWorldAutoApproval, ApprovesAtTheFirstPollAfterTheVisit) {
  SimWorld world{Quiet(true)};
  const std::string verifier = "auto-verifier";
  ASSERT_EQ(
      plx::Get(world.GetEndpoints().portal + "/connect/kick?challenge=" + S256Challenge(verifier))
          .status,
      200);
  const std::string handoff = world.GetEndpoints().portal + "/api/oauth/handoff";
  const std::string body = Json{{"verifier", verifier}}.dump();
  const Reply ok = ToReply(plx::PostJson(handoff, body));
  ASSERT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body["user"]["id"], SimWorld::kKickUserId);
  EXPECT_EQ(ok.body["user"]["login"], "velarodemo");
}

TEST_F(SignedInWorld, TwitchChatAcceptsIssuedTokensOfTheNick) {
  const std::string token = Issue(PlatformId::Twitch, SimWorld::kTwitchRoomId);
  EXPECT_NE(TwitchSignIn(token, "velarodemo").find(" 001 velarodemo :"), std::string::npos);
  const std::string refused = "NOTICE * :Login authentication failed";
  EXPECT_NE(TwitchSignIn("made-up", "velarodemo").find(refused), std::string::npos);
  EXPECT_NE(TwitchSignIn(token, "someoneelse").find(refused), std::string::npos);
  world.Accounts().ExpireToken(token);
  EXPECT_NE(TwitchSignIn(token, "velarodemo").find(refused), std::string::npos);

  const std::vector<TwitchChatClient> clients = world.Twitch().Clients();
  ASSERT_EQ(clients.size(), 4u);
  EXPECT_TRUE(clients[0].signedIn);
  EXPECT_FALSE(clients[1].registered);
}

TEST_F(SignedInWorld, OwnChannelLookupsFollowTheToken) {
  const Endpoints& e = world.GetEndpoints();
  const std::string kick = Issue(PlatformId::Kick, SimWorld::kKickUserId);
  const Reply channel =
      ToReply(plx::Get(e.kickApi + "/public/v1/channels", plx::BearerHeaders(kick, "")));
  ASSERT_EQ(channel.status, 200);
  ASSERT_EQ(channel.body["data"].size(), 1u);
  EXPECT_EQ(channel.body["data"][0]["slug"], SimWorld::kKickChannel);
  EXPECT_EQ(plx::Get(e.kickApi + "/public/v1/channels", plx::BearerHeaders("made-up", "")).status,
            401);
  // A Kick account without a channel gets an empty list.
  world.Accounts().AddAccount({PlatformId::Kick, "4000002", "viewer", "Viewer", ""});
  const Reply none = ToReply(plx::Get(e.kickApi + "/public/v1/channels",
                                      plx::BearerHeaders(Issue(PlatformId::Kick, "4000002"), "")));
  EXPECT_EQ(none.status, 200);
  EXPECT_TRUE(none.body["data"].empty());

  const std::string broadcasts =
      e.youtubeApi + "/youtube/v3/liveBroadcasts?part=snippet&mine=true&broadcastStatus=active";
  const std::string youtube = Issue(PlatformId::YouTube, YouTubeDemo::kChannelId);
  const Reply mine = ToReply(plx::Get(broadcasts, plx::BearerHeaders(youtube, "")));
  ASSERT_EQ(mine.status, 200);
  ASSERT_EQ(mine.body["items"].size(), 1u);
  EXPECT_EQ(mine.body["items"][0]["id"], YouTubeDemo::kVideoId);
  EXPECT_EQ(plx::Get(broadcasts, plx::BearerHeaders("made-up", "")).status, 401);
  // A channel that is not live has no broadcast.
  world.Accounts().AddAccount({PlatformId::YouTube, "UCquiet000000000000000001", "@q", "Q", ""});
  const Reply quiet = ToReply(plx::Get(
      broadcasts, plx::BearerHeaders(Issue(PlatformId::YouTube, "UCquiet000000000000000001"), "")));
  EXPECT_EQ(quiet.status, 200);
  EXPECT_TRUE(quiet.body["items"].empty());
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
