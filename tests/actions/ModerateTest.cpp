#include <functional>

#include "core/Json.h"
#include "tests/actions/ActionsFixture.h"

namespace vlo::test {
namespace {

using sim::HttpAnswer;

constexpr char kTwitchRefusal[]{
    "Twitch did not allow this. You need to be the channel owner or a moderator there; if you "
    "are, sign in again under Channels & accounts."};
constexpr char kTwitchBanScope[]{"moderator:manage:banned_users"};
constexpr char kTwitchDeleteScope[]{"moderator:manage:chat_messages"};

class ModerateTest : public ActionsTest {
 protected:
  ModerateTest() { SignInAndConnectAll(); }

  // Adds the message as a row and returns it.
  plx::ChatMessage Shown(plx::ChatMessage message) {
    hub.AddMessage(message);
    return message;
  }

  std::string LastLine() const {
    const auto rows{hub.Snapshot()};
    return rows.empty() || !plx::HasTag(rows.back(), "system") ? std::string{} : rows.back().body;
  }
};

TEST_F(ModerateTest, OnlyViewerMessagesCanBeModerated) {
  plx::ChatMessage system{Viewer(PlatformId::Twitch, "Velaro Chat", "", "", "Connected")};
  system.tags = {"system"};
  plx::ChatMessage alert{Viewer(PlatformId::Kick, "raider", "777", "ev-1", "raided")};
  alert.tags = {"event", "raid"};
  plx::ChatMessage outbound{Viewer(PlatformId::YouTube, "You", "", "", "hi")};
  outbound.tags = {"outbound", "youtube"};

  for (const plx::ChatMessage& message : {system, alert, outbound}) {
    for (const ModAction action : {ModAction::Delete, ModAction::Timeout, ModAction::Ban}) {
      const ModerationResult result{Moderate(hub, endpoints, message, action, 600)};
      EXPECT_EQ(result, (ModerationResult{false, "Only viewer messages can be moderated."}));
    }
  }
  EXPECT_EQ(RequestsEverywhere(), 0u);

  const ModerationResult refused{false, "Only viewer messages can be moderated."};
  EXPECT_EQ(ModerationLine(alert, ModAction::Delete, 600, refused),
            "Could not delete the message: Only viewer messages can be moderated.");
  EXPECT_EQ(ModerationLine(alert, ModAction::Timeout, 600, refused),
            "Could not time out raider: Only viewer messages can be moderated.");
  EXPECT_EQ(ModerationLine(alert, ModAction::Ban, 600, refused),
            "Could not ban raider: Only viewer messages can be moderated.");

  ReportModeration(hub, alert, ModAction::Ban, 600, refused);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0].platform, PlatformId::Kick);
  EXPECT_EQ(LastLine(), "Could not ban raider: Only viewer messages can be moderated.");
}

// Failures found before any request is made.
TEST_F(ModerateTest, MissingIdsAndSignInsFailWithoutARequest) {
  struct Case {
    const char* name;
    std::function<void(ModerateTest&)> setUp;  // from signed in and connected everywhere
    plx::ChatMessage message;
    ModAction action;
    std::string detail;
  };
  const auto none{[](ModerateTest&) {}};
  const plx::ChatMessage twitch{Viewer(PlatformId::Twitch, "a", "90001", "t-1", "x")};
  const plx::ChatMessage kickMessage{Viewer(PlatformId::Kick, "b", "12345", "k-1", "x")};
  const plx::ChatMessage youtube{Viewer(PlatformId::YouTube, "c", "UCabc", "y-1", "x")};
  plx::ChatMessage noAuthor{twitch};
  noAuthor.authorId.clear();
  plx::ChatMessage noMessageId{kickMessage};
  noMessageId.platformMessageId.clear();
  plx::ChatMessage kickNamedAuthor{kickMessage};
  kickNamedAuthor.authorId = "b_user";
  plx::ChatMessage elsewhere{twitch};
  elsewhere.platform = PlatformId::TikTok;

  const std::vector<Case> cases{
      {"no author id", none, noAuthor, ModAction::Timeout, "The sender's account id is unknown."},
      {"no author id, ban", none, noAuthor, ModAction::Ban, "The sender's account id is unknown."},
      {"no message id", none, noMessageId, ModAction::Delete,
       "This message has no platform id, so it cannot be deleted."},
      {"other platform", none, elsewhere, ModAction::Ban, "Moderation is not available here."},
      {"Twitch signed out", [](ModerateTest& t) { t.accounts.tokens.erase(PlatformId::Twitch); },
       twitch, ModAction::Delete, "Sign in to Twitch first."},
      {"Kick signed out", [](ModerateTest& t) { t.accounts.tokens.erase(PlatformId::Kick); },
       kickMessage, ModAction::Delete, "Sign in to Kick first."},
      {"YouTube token needs reconnecting",
       [](ModerateTest& t) { t.accounts.tokens[PlatformId::YouTube].needsReconnect = true; },
       youtube, ModAction::Ban, "Sign in to YouTube first."},
      {"Twitch room id unknown",
       [](ModerateTest& t) { t.hub.SetPlatformId(PlatformId::Twitch, ""); }, twitch, ModAction::Ban,
       "Twitch chat is not connected."},
      {"Twitch moderator id unknown",
       [](ModerateTest& t) { t.accounts.userIds.erase(PlatformId::Twitch); }, twitch,
       ModAction::Delete, "Twitch chat is not connected."},
      {"Kick broadcaster id unknown",
       [](ModerateTest& t) { t.hub.SetPlatformId(PlatformId::Kick, ""); }, kickMessage,
       ModAction::Timeout, "Kick channel or user id unknown."},
      {"Kick author id not a number", none, kickNamedAuthor, ModAction::Ban,
       "Kick channel or user id unknown."},
      {"YouTube live chat unknown",
       [](ModerateTest& t) { t.hub.SetPlatformId(PlatformId::YouTube, ""); }, youtube,
       ModAction::Timeout, "The YouTube live chat is not connected."},
      {"Twitch token without the ban scope",
       [](ModerateTest& t) {
         t.SignIn(PlatformId::Twitch, {kTwitchDeleteScope, "user:write:chat"});
       },
       twitch, ModAction::Ban, kTwitchRefusal},
      {"Twitch token without the delete scope",
       [](ModerateTest& t) { t.SignIn(PlatformId::Twitch, {kTwitchBanScope}); }, twitch,
       ModAction::Delete, kTwitchRefusal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SignInAndConnectAll();
    c.setUp(*this);
    EXPECT_EQ(Moderate(hub, endpoints, c.message, c.action, 600),
              (ModerationResult{false, c.detail}));
  }
  EXPECT_EQ(RequestsEverywhere(), 0u);
}

TEST_F(ModerateTest, TheScopeCheckPassesOrIsSkipped) {
  helix.Route("DELETE", "/helix/moderation/chat",
              [](const sim::HttpExchange&) { return HttpAnswer::Status(204); });
  const plx::ChatMessage message{Shown(Viewer(PlatformId::Twitch, "a", "90001", "t-1", "x"))};

  SignIn(PlatformId::Twitch, {"chat:read", kTwitchDeleteScope});
  EXPECT_TRUE(Moderate(hub, endpoints, message, ModAction::Delete, 0).ok);
  SignIn(PlatformId::Twitch, {});  // scopes not known
  EXPECT_TRUE(Moderate(hub, endpoints, message, ModAction::Delete, 0).ok);
  EXPECT_EQ(helix.Requests().size(), 2u);
}

TEST_F(ModerateTest, ATwitchTimeOutMarksTheAuthorsTwitchRows) {
  helix.AnswerNext("POST", "/helix/moderation/bans", 1,
                   HttpAnswer::Json(R"({"data":[{"broadcaster_id":"141981764",)"
                                    R"("moderator_id":"413092233","user_id":"90001",)"
                                    R"("created_at":"2024-05-01T12:00:00Z",)"
                                    R"("end_time":"2024-05-01T12:10:00Z"}]})"));
  Shown(Viewer(PlatformId::Twitch, "spammer", "90001", "t-1", "buy followers"));
  Shown(Viewer(PlatformId::Kick, "namesake", "90001", "k-1", "same id, other platform"));
  Shown(Viewer(PlatformId::Twitch, "regular", "90002", "t-2", "hi all"));
  const plx::ChatMessage last{
      Shown(Viewer(PlatformId::Twitch, "spammer", "90001", "t-3", "cheap"))};

  const ModerationResult result{Moderate(hub, endpoints, last, ModAction::Timeout, 600)};
  ASSERT_EQ(result, (ModerationResult{true, "done"}));
  EXPECT_EQ(Deleted(), (std::vector<bool>{true, false, false, true}));

  ReportModeration(hub, last, ModAction::Timeout, 600, result);
  EXPECT_EQ(LastLine(), "Timed out spammer for 10 minutes");
  EXPECT_EQ(Rows().back().platform, PlatformId::Twitch);
}

TEST_F(ModerateTest, TimeOutLengthsAreNamedInWholeMinutesOrHours) {
  const plx::ChatMessage message{Viewer(PlatformId::Twitch, "spammer", "90001", "t-1", "x")};
  const struct {
    int32_t seconds;
    std::string line;
  } cases[]{
      {60, "Timed out spammer for 1 minute"},    {90, "Timed out spammer for 1 minute"},
      {600, "Timed out spammer for 10 minutes"}, {3600, "Timed out spammer for 1 hour"},
      {7200, "Timed out spammer for 2 hours"},   {86400, "Timed out spammer for 24 hours"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModerationLine(message, ModAction::Timeout, c.seconds, {true, "done"}), c.line)
        << c.seconds;
  }
  EXPECT_EQ(ModerationLine(message, ModAction::Ban, 600, {true, "done"}), "Banned spammer");
  EXPECT_EQ(ModerationLine(message, ModAction::Delete, 600, {true, "done"}), "");
}

TEST_F(ModerateTest, TimeOutsAreClampedBeforeTheRequestButNotInTheLine) {
  const plx::ChatMessage message{Viewer(PlatformId::Twitch, "spammer", "90001", "t-1", "x")};
  const struct {
    int32_t seconds;
    int64_t sent;
  } cases[]{{30, 60}, {-5, 60}, {1209600, 1209600}, {2000000, 1209600}};
  for (const auto& c : cases) {
    helix.ClearRequests();
    helix.AnswerNext("POST", "/helix/moderation/bans", 1, HttpAnswer::Json(R"({"data":[]})"));
    ASSERT_TRUE(Moderate(hub, endpoints, message, ModAction::Timeout, c.seconds).ok);
    ASSERT_EQ(helix.Requests().size(), 1u);
    const json::Json body = json::ParseObject(helix.Requests()[0].body);
    EXPECT_EQ(json::IntMember(json::ObjectMember(body, "data"), "duration"), c.sent) << c.seconds;
  }
  EXPECT_EQ(ModerationLine(message, ModAction::Timeout, 30, {true, "done"}),
            "Timed out spammer for 0 minutes");
}

TEST_F(ModerateTest, KickTimeOutsAreSentInWholeMinutes) {
  const plx::ChatMessage message{Viewer(PlatformId::Kick, "spammer", "12345", "k-1", "x")};
  const struct {
    int32_t seconds;
    int64_t minutes;
  } cases[]{{90, 1}, {600, 10}, {119, 1}, {86400, 1440}};
  for (const auto& c : cases) {
    kick.ClearRequests();
    kick.AnswerNext("POST", "/public/v1/moderation/bans", 1,
                    HttpAnswer::Json(R"({"data":{},"message":"OK"})"));
    ASSERT_TRUE(Moderate(hub, endpoints, message, ModAction::Timeout, c.seconds).ok);
    ASSERT_EQ(kick.Requests().size(), 1u);
    const json::Json body = json::ParseObject(kick.Requests()[0].body);
    EXPECT_EQ(json::IntMember(body, "duration"), c.minutes) << c.seconds;
  }
}

TEST_F(ModerateTest, RefusalsBecomeTheirSentences) {
  const plx::ChatMessage twitch{Viewer(PlatformId::Twitch, "a", "90001", "t-1", "x")};
  const plx::ChatMessage kickMessage{Viewer(PlatformId::Kick, "b", "12345", "k-1", "x")};
  const plx::ChatMessage youtube{Viewer(PlatformId::YouTube, "c", "UCabc", "y-1", "x")};
  const std::string dataApiQuota{
      R"({"error":{"code":403,"message":"The request cannot be completed because you have )"
      R"(exceeded your \u003ca href=\"/youtube/v3/getting-started#quota\"\u003equota\u003c/a\u003e.",)"
      R"("errors":[{"message":"The request cannot be completed because you have exceeded your )"
      R"(\u003ca href=\"/youtube/v3/getting-started#quota\"\u003equota\u003c/a\u003e.",)"
      R"("domain":"youtube.quota","reason":"quotaExceeded"}]}})"};
  const std::string dataApiForbidden{
      R"({"error":{"code":403,"message":"The caller does not have permission",)"
      R"("errors":[{"message":"The caller does not have permission","domain":"global",)"
      R"("reason":"forbidden"}],"status":"PERMISSION_DENIED"}})"};

  const struct {
    const char* name;
    plx::ChatMessage message;
    ModAction action;
    HttpAnswer answer;
    std::string detail;
  } cases[]{
      {"Twitch 403", twitch, ModAction::Ban,
       HttpAnswer::Json(R"({"error":"Forbidden","status":403,)"
                        R"("message":"The user in moderator_id is not one of the moderators"})",
                        403),
       kTwitchRefusal},
      {"Twitch 400", twitch, ModAction::Ban,
       HttpAnswer::Json(
           R"({"error":"Bad Request","status":400,)"
           R"("message":"The user specified in the user_id field may not be banned."})",
           400),
       "The user specified in the user_id field may not be banned."},
      {"Twitch 500 with an empty message", twitch, ModAction::Delete,
       HttpAnswer::Json(R"({"error":"Internal Server Error","status":500,"message":""})", 500),
       "Internal Server Error"},
      {"Kick 403", kickMessage, ModAction::Ban, HttpAnswer::Json(R"({"message":"Forbidden"})", 403),
       "Kick moderation is not enabled for Velaro yet - moderate this one on kick.com."},
      {"Kick 401", kickMessage, ModAction::Delete,
       HttpAnswer::Json(R"({"message":"Unauthorized"})", 401),
       "Kick did not allow this. You need to be the channel owner or a moderator there; if you "
       "are, sign in again under Channels & accounts."},
      {"YouTube quota", youtube, ModAction::Timeout, HttpAnswer::Json(dataApiQuota, 403),
       "The request cannot be completed because you have exceeded your quota."},
      {"YouTube permission", youtube, ModAction::Timeout, HttpAnswer::Json(dataApiForbidden, 403),
       "YouTube did not allow this. You need to be the channel owner or a moderator there; if "
       "you are, sign in again under Channels & accounts."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (sim::SimServer* server : {&helix, &kick, &dataApi}) {
      server->RoutePrefix("*", "/",
                          [answer = c.answer](const sim::HttpExchange&) { return answer; });
    }
    EXPECT_EQ(Moderate(hub, endpoints, c.message, c.action, 600),
              (ModerationResult{false, c.detail}));
  }
  EXPECT_EQ(RequestsEverywhere(), std::size(cases));
}

TEST_F(ModerateTest, KickNamesItsOwnSiteInTheRefusal) {
  endpoints.kickWeb = "http://127.0.0.1:4100/kick";
  kick.AnswerNext("DELETE", "/public/v1/chat/k-1", 1, HttpAnswer::Status(403));
  const plx::ChatMessage message{Viewer(PlatformId::Kick, "b", "12345", "k-1", "x")};

  EXPECT_EQ(Moderate(hub, endpoints, message, ModAction::Delete, 0).detail,
            "Kick moderation is not enabled for Velaro yet - moderate this one on 127.0.0.1.");
}

TEST_F(ModerateTest, BansMarkEveryRowOfTheAuthorOnThatPlatform) {
  helix.AnswerNext("POST", "/helix/moderation/bans", 1, HttpAnswer::Json(R"({"data":[{}]})"));
  kick.AnswerNext("POST", "/public/v1/moderation/bans", 1,
                  HttpAnswer::Json(R"({"data":{},"message":"OK"})"));
  dataApi.AnswerNext("POST", "/youtube/v3/liveChat/bans", 1,
                     HttpAnswer::Json(R"({"kind":"youtube#liveChatBan","id":"b-1"})"));
  const struct {
    PlatformId platform;
    std::string authorId;
  } authors[]{
      {PlatformId::Twitch, "90001"}, {PlatformId::Kick, "12345"}, {PlatformId::YouTube, "UCabc"}};
  for (const auto& a : authors) {
    Shown(Viewer(a.platform, "troll", a.authorId, "m-" + a.authorId + "-1", "first"));
    Shown(Viewer(a.platform, "bystander", "1" + a.authorId, "m-" + a.authorId + "-2", "hi"));
  }
  for (size_t i{0}; i < std::size(authors); ++i) {
    const plx::ChatMessage target{Viewer(authors[i].platform, "troll", authors[i].authorId,
                                         "m-" + authors[i].authorId + "-3", "again")};
    hub.AddMessage(target);
    const ModerationResult result{Moderate(hub, endpoints, target, ModAction::Ban, 0)};
    ASSERT_EQ(result, (ModerationResult{true, "done"})) << i;
    ReportModeration(hub, target, ModAction::Ban, 0, result);
    EXPECT_EQ(LastLine(), "Banned troll");
  }
  std::vector<bool> expected;
  for (const auto& row : Rows()) {
    expected.push_back(row.author == "troll");
  }
  EXPECT_EQ(Deleted(), expected);
}

TEST_F(ModerateTest, ATokenEchoedByTheServiceIsNotShown) {
  helix.Route("POST", "/helix/moderation/bans", [](const sim::HttpExchange& request) {
    return HttpAnswer::Json(R"({"error":"Bad Request","status":400,"message":"Token )" +
                                request.Header("Authorization").substr(7) + R"( is malformed"})",
                            400);
  });
  const plx::ChatMessage message{Viewer(PlatformId::Twitch, "a", "90001", "t-1", "x")};

  EXPECT_EQ(Moderate(hub, endpoints, message, ModAction::Ban, 0).detail,
            "Token [token] is malformed");
}

}  // namespace
}  // namespace vlo::test
