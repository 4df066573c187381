// Sending and moderation end to end: portal sign-in, the three real readers reading the
// simulated world, and the program's actions against the simulated platform APIs, which put the
// sent message and their own moderation notices into the chats a moment later.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "actions/Actions.h"
#include "core/ChatHub.h"
#include "net/Http.h"
#include "sim/platform/ApiAnswers.h"
#include "sim/world/SimWorld.h"
#include "tests/WorldAccounts.h"

namespace vlo {
namespace {

using plx::PlatformId;
using namespace std::chrono_literals;

constexpr PlatformId kTwitch = PlatformId::Twitch;
constexpr PlatformId kYouTube = PlatformId::YouTube;
constexpr PlatformId kKick = PlatformId::Kick;
constexpr std::array kPlatforms{kTwitch, kYouTube, kKick};
constexpr const char* kLiveChatId = test::kDemoLiveChatId;
using test::Eventually;
using test::Viewer;

const Viewer kAnn{"Ann", 1};
const Viewer kBob{"Bob", 2};
const Viewer kCat{"Cat", 3};
const Viewer kDan{"Dan", 4};
const Viewer kEve{"Eve", 5};

class ActionsWorldTest : public test::WorldAccountsTest {
 protected:
  void Says(PlatformId platform, const Viewer& viewer, const std::string& text) {
    chat->Says(platform, viewer, text);
  }
  void OwnerSays(PlatformId platform, const std::string& text) { chat->OwnerSays(platform, text); }
  const sim::ChatDeliveries& Deliveries(PlatformId platform) { return chat->Deliveries(platform); }

  std::optional<plx::ChatRow> Row(PlatformId platform, const std::string& author,
                                  const std::string& body) {
    for (const plx::ChatRow& row : hub->Snapshot()) {
      if (row.platform == platform && row.author == author && row.body == body) return row;
    }
    return std::nullopt;
  }
  // Waits (bounded) for the viewer row.
  plx::ChatRow WaitForRow(PlatformId platform, const std::string& author, const std::string& body) {
    EXPECT_TRUE(Eventually([&] { return Row(platform, author, body).has_value(); }))
        << plx::PlatformName(platform) << ": no row " << author << ": " << body;
    return Row(platform, author, body).value_or(plx::ChatRow{});
  }
  std::vector<std::string> SystemLines(PlatformId platform) {
    std::vector<std::string> lines;
    for (const plx::ChatRow& row : hub->Snapshot()) {
      if (row.platform == platform && plx::HasTag(row, "system")) lines.push_back(row.body);
    }
    return lines;
  }

  std::string TokenOf(PlatformId platform) {
    const std::optional<plx::TokenRecord> token = store->GetToken(platform);
    return token ? token->accessToken : std::string{};
  }
};

TEST_F(ActionsWorldTest, TheOwnerSendsOnceAndModeratesEveryPlatform) {
  ASSERT_NO_FATAL_FAILURE(SignInEverywhere());
  ASSERT_NO_FATAL_FAILURE(StartReading({}));  // each reader finds the user's own channel
  const Endpoints& endpoints = world->GetEndpoints();

  // --- One send to all three: one local copy, and each platform's copy is not shown. ---
  const std::string text = "Hello from Velaro";
  EXPECT_EQ(Send(*hub, endpoints, {kTwitch, kYouTube, kKick}, text),
            (std::vector<SendResult>{
                {kTwitch, true, "sent"}, {kYouTube, true, "sent"}, {kKick, true, "sent"}}));
  std::vector<plx::ChatRow> outbound;
  for (const plx::ChatRow& row : hub->Snapshot()) {
    if (plx::HasTag(row, "outbound")) outbound.push_back(row);
  }
  ASSERT_EQ(outbound.size(), 1u);
  EXPECT_EQ(outbound[0].body, text);
  EXPECT_EQ(outbound[0].author, "You");
  EXPECT_EQ(outbound[0].tags, (std::vector<std::string>{"outbound", "twitch", "youtube", "kick"}));

  // Once each platform's copy is in its chat, a viewer says the same: the echo entry held one
  // copy per platform, so the viewer's is shown, and it is the only row of that text.
  for (const PlatformId platform : kPlatforms) {
    ASSERT_TRUE(Deliveries(platform).WaitFor(1)) << plx::PlatformName(platform);
    EXPECT_EQ(Deliveries(platform).All()[0].kind, sim::ChatDelivery::Kind::Echo);
    Says(platform, kAnn, text);
    // Rows to moderate below, from viewers and from the owner typing elsewhere.
    Says(platform, kBob, "delete me");
    Says(platform, kBob, "keep me");
    Says(platform, kCat, "time me out");
    Says(platform, kDan, "ban me");
    Says(platform, kDan, "ban me too");
    OwnerSays(platform, "the owner speaks");
  }
  for (const PlatformId platform : kPlatforms) {
    WaitForRow(platform, kAnn.name, text);
    size_t copies{0};
    for (const plx::ChatRow& row : hub->Snapshot()) {
      copies += row.platform == platform && row.body == text && plx::IsViewerMessage(row);
    }
    EXPECT_EQ(copies, 1u) << plx::PlatformName(platform);
  }

  // --- Moderation of rows the chats carried from viewers, and of the owner's own row. ---
  const std::map<PlatformId, std::string> ownerNames{
      {kTwitch, "VelaroDemo"}, {kKick, "velarodemo"}, {kYouTube, sim::YouTubeDemo::kTitle}};
  const std::map<PlatformId, std::string> ownerRefusals{
      {kTwitch, "The user specified in the user_id field may not be banned."},
      {kKick, "You cannot ban the broadcaster."},
      {kYouTube, "The owner of the live chat cannot be banned."}};
  std::map<PlatformId, std::string> deletedIds;          // the platform id of Bob's deleted row
  std::map<PlatformId, std::vector<std::string>> lines;  // the system lines expected
  for (const PlatformId platform : kPlatforms) {
    SCOPED_TRACE(plx::PlatformName(platform));
    const plx::ChatRow bob = WaitForRow(platform, kBob.name, "delete me");
    WaitForRow(platform, kBob.name, "keep me");
    const plx::ChatRow cat = WaitForRow(platform, kCat.name, "time me out");
    const plx::ChatRow dan = WaitForRow(platform, kDan.name, "ban me");
    WaitForRow(platform, kDan.name, "ban me too");
    const plx::ChatRow owner = WaitForRow(platform, ownerNames.at(platform), "the owner speaks");
    const std::vector<std::string> linesBefore = SystemLines(platform);
    deletedIds[platform] = bob.platformMessageId;

    const auto moderate = [&](const plx::ChatRow& row, ModAction action, int32_t seconds) {
      const ModerationResult result = Moderate(*hub, endpoints, row, action, seconds);
      ReportModeration(*hub, row, action, seconds, result);
      return result;
    };
    EXPECT_EQ(moderate(bob, ModAction::Delete, 0), (ModerationResult{true, "done"}));
    EXPECT_TRUE(Row(platform, kBob.name, "delete me")->deleted);
    EXPECT_FALSE(Row(platform, kBob.name, "keep me")->deleted);
    EXPECT_EQ(moderate(cat, ModAction::Timeout, 600), (ModerationResult{true, "done"}));
    EXPECT_TRUE(Row(platform, kCat.name, "time me out")->deleted);
    EXPECT_EQ(moderate(dan, ModAction::Ban, 0), (ModerationResult{true, "done"}));
    EXPECT_TRUE(Row(platform, kDan.name, "ban me")->deleted);
    EXPECT_TRUE(Row(platform, kDan.name, "ban me too")->deleted);
    EXPECT_EQ(moderate(owner, ModAction::Ban, 0),
              (ModerationResult{false, ownerRefusals.at(platform)}));
    EXPECT_FALSE(Row(platform, ownerNames.at(platform), "the owner speaks")->deleted);

    lines[platform] = linesBefore;
    lines[platform].push_back("Timed out Cat for 10 minutes");
    lines[platform].push_back("Banned Dan");
    lines[platform].push_back("Could not ban " + ownerNames.at(platform) + ": " +
                              ownerRefusals.at(platform));
    EXPECT_EQ(SystemLines(platform), lines[platform]);
  }

  // Each platform's own notices (deletion, time-out, ban) arrive later and change nothing:
  // once they are in, and a later row after them, the chat is as moderation left it.
  const size_t rowsModerated = hub->Snapshot().size();
  for (const PlatformId platform : kPlatforms) {
    ASSERT_TRUE(Deliveries(platform).WaitFor(4)) << plx::PlatformName(platform);
    Says(platform, kEve, "after the notices");
  }
  for (const PlatformId platform : kPlatforms) WaitForRow(platform, kEve.name, "after the notices");
  const std::vector<plx::ChatRow> after = hub->Snapshot();
  EXPECT_EQ(after.size(), rowsModerated + kPlatforms.size());
  for (const plx::ChatRow& row : after) {
    const bool removed = (row.author == kBob.name && row.body == "delete me") ||
                         row.author == kCat.name || row.author == kDan.name;
    EXPECT_EQ(row.deleted, removed)
        << plx::PlatformName(row.platform) << " " << row.author << ": " << row.body;
  }
  for (const PlatformId platform : kPlatforms) EXPECT_EQ(SystemLines(platform), lines[platform]);

  // --- The requests, as each platform's API received them. ---
  struct Expected {
    sim::SimServer* server;
    std::string method;
    std::string path;
    std::string query;
    std::string body;  // empty: none
    std::string clientId;
  };
  const std::string helix = sim::AccountsSim::kPortalTwitchClientId;
  const std::string moderation = "broadcaster_id=100200300&moderator_id=100200300";
  const std::string youtubeMessages = "/youtube/v3/liveChat/messages";
  const Expected expected[] = {
      {&world->HelixServer(), "POST", "/helix/chat/messages", "",
       R"({"broadcaster_id":"100200300","message":"Hello from Velaro","sender_id":"100200300"})",
       helix},
      {&world->HelixServer(), "DELETE", "/helix/moderation/chat",
       moderation + "&message_id=" + deletedIds[kTwitch], "", helix},
      {&world->HelixServer(), "POST", "/helix/moderation/bans", moderation,
       R"({"data":{"duration":600,"reason":"Moderated with Velaro Chat","user_id":"500003"}})",
       helix},
      {&world->HelixServer(), "POST", "/helix/moderation/bans", moderation,
       R"({"data":{"reason":"Moderated with Velaro Chat","user_id":"500004"}})", helix},
      {&world->KickApiServer(), "POST", "/public/v1/chat", "",
       R"({"broadcaster_user_id":4000001,"content":"Hello from Velaro","type":"user"})", ""},
      {&world->KickApiServer(), "DELETE", "/public/v1/chat/" + deletedIds[kKick], "", "", ""},
      {&world->KickApiServer(), "POST", "/public/v1/moderation/bans", "",
       R"({"broadcaster_user_id":4000001,"duration":10,"reason":"Moderated with Velaro Chat","user_id":7000003})",
       ""},
      {&world->KickApiServer(), "POST", "/public/v1/moderation/bans", "",
       R"({"broadcaster_user_id":4000001,"reason":"Moderated with Velaro Chat","user_id":7000004})",
       ""},
      {&world->YouTubeApiServer(), "POST", youtubeMessages, "part=snippet",
       R"({"snippet":{"liveChatId":"velaro-demo-live-chat","textMessageDetails":{"messageText":"Hello from Velaro"},"type":"textMessageEvent"}})",
       ""},
      // The page reader's id is unknown to the Data API: found in the list, deleted by its own.
      {&world->YouTubeApiServer(), "DELETE", youtubeMessages, "id=" + deletedIds[kYouTube], "", ""},
      {&world->YouTubeApiServer(), "GET", youtubeMessages,
       std::string{"liveChatId="} + kLiveChatId + "&part=snippet,authorDetails&maxResults=200", "",
       ""},
      {&world->YouTubeApiServer(), "DELETE", youtubeMessages,
       "id=" + sim::ApiMessageId(deletedIds[kYouTube]), "", ""},
      {&world->YouTubeApiServer(), "POST", "/youtube/v3/liveChat/bans", "part=snippet",
       R"({"snippet":{"banDurationSeconds":600,"bannedUserDetails":{"channelId":"UCworldViewer00000000003"},"liveChatId":"velaro-demo-live-chat","type":"temporary"}})",
       ""},
      {&world->YouTubeApiServer(), "POST", "/youtube/v3/liveChat/bans", "part=snippet",
       R"({"snippet":{"bannedUserDetails":{"channelId":"UCworldViewer00000000004"},"liveChatId":"velaro-demo-live-chat","type":"permanent"}})",
       ""},
  };
  const std::map<sim::SimServer*, PlatformId> platformOf{{&world->HelixServer(), kTwitch},
                                                         {&world->KickApiServer(), kKick},
                                                         {&world->YouTubeApiServer(), kYouTube}};
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.method + " " + e.path + "?" + e.query + " " + e.body);
    const std::vector<sim::HttpExchange> requests = e.server->Requests();
    const auto found =
        std::find_if(requests.begin(), requests.end(), [&](const sim::HttpExchange& r) {
          return r.method == e.method && r.path == e.path && r.query == e.query && r.body == e.body;
        });
    ASSERT_NE(found, requests.end());
    EXPECT_EQ(found->Header("Authorization"), "Bearer " + TokenOf(platformOf.at(e.server)));
    EXPECT_EQ(found->Header("Client-Id"), e.clientId);
    EXPECT_EQ(found->Header("Content-Type"), e.body.empty() ? "" : "application/json");
  }
  // The two YouTube deletions and the look-up between them came in that order.
  std::vector<std::string> youtubeCalls;
  for (const sim::HttpExchange& r : world->YouTubeApiServer().Requests()) {
    if (r.path == youtubeMessages && r.method != "POST") youtubeCalls.push_back(r.method);
  }
  EXPECT_EQ(youtubeCalls, (std::vector<std::string>{"DELETE", "GET", "DELETE"}));
}

// A signed-in viewer without a role is refused with the platform's sentence; once the owner
// makes them a moderator, the same ban goes through.
TEST_F(ActionsWorldTest, AViewerMayBanOnlyOnceMadeAModerator) {
  const std::map<PlatformId, std::string> ids{
      {kTwitch, "600001"}, {kKick, "8000001"}, {kYouTube, "UCmoderatorToBe000000001"}};
  for (const PlatformId platform : kPlatforms) {
    world->Accounts().AddAccount({platform, ids.at(platform), "helper", "Helper", ""});
    world->Accounts().SetPortalAccount(platform, ids.at(platform));
  }
  ASSERT_NO_FATAL_FAILURE(SignInEverywhere());
  ASSERT_NO_FATAL_FAILURE(StartReading(world->DemoTargets()));
  const Endpoints& endpoints = world->GetEndpoints();
  const std::map<PlatformId, std::string> owners{{kTwitch, sim::SimWorld::kTwitchRoomId},
                                                 {kKick, sim::SimWorld::kKickUserId},
                                                 {kYouTube, sim::YouTubeDemo::kChannelId}};
  for (const PlatformId platform : kPlatforms) Says(platform, kBob, "rude words");
  for (const PlatformId platform : kPlatforms) {
    SCOPED_TRACE(plx::PlatformName(platform));
    const plx::ChatRow bob = WaitForRow(platform, kBob.name, "rude words");
    const ModerationResult refused = Moderate(*hub, endpoints, bob, ModAction::Ban, 0);
    ReportModeration(*hub, bob, ModAction::Ban, 0, refused);
    EXPECT_FALSE(Row(platform, kBob.name, "rude words")->deleted);

    world->AddModerator(platform, owners.at(platform), ids.at(platform));
    const ModerationResult banned = Moderate(*hub, endpoints, bob, ModAction::Ban, 0);
    ReportModeration(*hub, bob, ModAction::Ban, 0, banned);
    EXPECT_TRUE(banned.ok) << banned.detail;
    EXPECT_TRUE(Row(platform, kBob.name, "rude words")->deleted);

    const std::string refusal =
        platform == kKick
            ? "Kick moderation is not enabled for Velaro yet - moderate this one on " +
                  HostOf(endpoints.kickWeb) + "."
            : std::string{plx::PlatformName(platform)} +
                  " did not allow this. You need to be the channel owner or a moderator there; "
                  "if you are, sign in again under Channels & accounts.";
    const std::vector<std::string> lines = SystemLines(platform);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Could not ban Bob: " + refusal);
    EXPECT_EQ(lines.back(), "Banned Bob");
    ASSERT_TRUE(Deliveries(platform).WaitFor(1));
    EXPECT_EQ(Deliveries(platform).All()[0].kind, sim::ChatDelivery::Kind::Ban);
  }
}

}  // namespace
}  // namespace vlo
