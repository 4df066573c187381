// The simulated Kick public API calls for sending and moderating: their checks, answers and what
// each accepted call shows in the chatroom.

#include "sim/kick/KickFrames.h"
#include "sim/kick/KickTraffic.h"
#include "tests/sim/PlatformApiFixture.h"

namespace vlo::sim::testing_platform {
namespace {

constexpr PlatformId kKick = PlatformId::Kick;
constexpr int64_t kChatroom = KickWatcher::kChatroomId;
const int64_t kOwnerId = std::stoll(SimWorld::kKickUserId);

class KickApiTest : public PlatformApiTest {
 protected:
  std::string Url(const std::string& path) { return world.GetEndpoints().kickApi + path; }

  // A viewer's message in the demo chatroom, emitted as the generators emit theirs; its id.
  std::string ViewerSays(int64_t userId, const std::string& username, const std::string& text) {
    const KickViewer viewer{username, userId, "#00FF00", {}};
    const std::string id = "5c1d7a9e-0000-4000-8000-" + std::to_string(100000000000 + ++said_);
    world.Kick().Emit(ChatroomTopic(kChatroom),
                      KickChatFrame(kChatroom, id, viewer, text, KickTimestamp(WallMs())));
    return id;
  }

  Reply SendBody(const std::string& headers, const Json& body) {
    return Call("POST", Url(KickChatApi::kChatPath), headers, json::Dump(body));
  }
  Reply Send(const std::string& headers, const std::string& text) {
    return SendBody(headers,
                    Json{{"broadcaster_user_id", kOwnerId}, {"content", text}, {"type", "user"}});
  }
  Reply Delete(const std::string& headers, const std::string& id) {
    return Call("DELETE", Url(KickChatApi::kDeletePrefix + plx::PercentEncode(id)), headers);
  }
  Reply Ban(const std::string& headers, int64_t userId, std::optional<int> minutes) {
    Json body{{"broadcaster_user_id", kOwnerId},
              {"reason", "Moderated with Velaro Chat"},
              {"user_id", userId}};
    if (minutes) body["duration"] = *minutes;
    return Call("POST", Url(KickChatApi::kBansPath), headers, json::Dump(body));
  }

  std::string As(Who who) { return plx::BearerHeaders(Token(kKick, who), ""); }

 private:
  int said_{0};
};

TEST_F(KickApiTest, EveryCallChecksTokenScopeAndRole) {
  enum class Call_ { Send, Delete, Ban };
  enum class Credential { None, Made, NoScope, Good };
  struct Case {
    Call_ call;
    Credential credential;
    Who who;
    int status;
  };
  const Case cases[] = {
      {Call_::Send, Credential::None, Who::Owner, 401},
      {Call_::Send, Credential::Made, Who::Owner, 401},
      {Call_::Send, Credential::NoScope, Who::Owner, 403},
      {Call_::Send, Credential::Good, Who::Viewer, 200},  // anyone may chat
      {Call_::Delete, Credential::None, Who::Owner, 401},
      {Call_::Delete, Credential::Made, Who::Owner, 401},
      {Call_::Delete, Credential::NoScope, Who::Owner, 403},
      {Call_::Delete, Credential::Good, Who::Viewer, 403},
      {Call_::Delete, Credential::Good, Who::Moderator, 204},
      {Call_::Delete, Credential::Good, Who::Owner, 204},
      {Call_::Ban, Credential::None, Who::Owner, 401},
      {Call_::Ban, Credential::Made, Who::Owner, 401},
      {Call_::Ban, Credential::NoScope, Who::Owner, 403},
      {Call_::Ban, Credential::Good, Who::Viewer, 403},
      {Call_::Ban, Credential::Good, Who::Moderator, 200},
      {Call_::Ban, Credential::Good, Who::Owner, 200},
  };
  const char* scopes[] = {"chat:write", "moderation:chat_message:manage", "moderation:ban"};
  size_t accepted{0};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    std::vector<std::string> granted = AllScopes(kKick);
    if (c.credential == Credential::NoScope) {
      std::erase(granted, scopes[static_cast<size_t>(c.call)]);
    }
    std::string headers;
    if (c.credential == Credential::Made) headers = plx::BearerHeaders("made-up", "");
    if (c.credential >= Credential::NoScope) {
      headers = plx::BearerHeaders(Token(kKick, c.who, granted), "");
    }
    Reply reply;
    switch (c.call) {
      case Call_::Send:
        reply = Send(headers, "case " + std::to_string(i));
        break;
      case Call_::Delete:
        reply = Delete(headers, ViewerSays(6000001, "somebody", "delete me"));
        break;
      case Call_::Ban:
        reply = Ban(headers, 6000100 + static_cast<int64_t>(i), 10);
        break;
    }
    EXPECT_EQ(reply.status, c.status) << reply.raw;
    if (c.status == 401) {
      EXPECT_EQ(reply.body, (Json{{"message", "Unauthorized"}}));
    } else if (c.status == 403) {
      EXPECT_EQ(reply.body, (Json{{"message", "Forbidden"}}));
    }
    if (c.status < 300) ++accepted;
  }
  // Only the accepted calls show in the chat: a last one arrives right after them.
  ASSERT_EQ(Send(As(Who::Owner), "last").status, 200);
  ASSERT_TRUE(world.KickApi().Deliveries().WaitFor(accepted + 1));
  const std::vector<ChatDelivery> deliveries = world.KickApi().Deliveries().All();
  ASSERT_EQ(deliveries.size(), accepted + 1);
  EXPECT_NE(deliveries.back().text.find(R"(\"content\":\"last\")"), std::string::npos)
      << deliveries.back().text;
}

TEST_F(KickApiTest, ASentMessageComesBackFromTheSenderWithItsId) {
  KickWatcher chat{world};
  const Reply reply = Send(As(Who::Owner), "hi [emote:37226:KEKW]");
  ASSERT_EQ(reply.status, 200) << reply.raw;
  const std::string id = json::TextOr(json::ObjectMember(reply.body, "data"), "message_id");
  EXPECT_EQ(reply.body,
            (Json{{"data", {{"is_sent", true}, {"message_id", id}}}, {"message", "OK"}}));
  EXPECT_EQ(id.size(), 36u);

  const std::optional<Json> message = chat.Next("ChatMessageEvent");
  ASSERT_TRUE(message);
  EXPECT_EQ((*message)["id"], id);
  EXPECT_EQ((*message)["chatroom_id"], kChatroom);
  EXPECT_EQ((*message)["content"], "hi [emote:37226:KEKW]");
  EXPECT_EQ((*message)["sender"]["id"], kOwnerId);
  EXPECT_EQ((*message)["sender"]["username"], "velarodemo");
  EXPECT_EQ((*message)["sender"]["identity"]["badges"][0]["type"], "broadcaster");
  EXPECT_GT(plx::ParseIsoTimeMs((*message)["created_at"].get<std::string>()), 0);

  // A bot writes to the channel of its own account.
  ASSERT_EQ(SendBody(As(Who::Owner), Json{{"content", "from the bot"}, {"type", "bot"}}).status,
            200);
  const std::optional<Json> bot = chat.Next("ChatMessageEvent");
  ASSERT_TRUE(bot);
  EXPECT_EQ((*bot)["content"], "from the bot");
}

TEST_F(KickApiTest, SendChecksItsBody) {
  struct Case {
    Json body;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{{"broadcaster_user_id", kOwnerId}, {"content", "hi"}},
       400,
       "The selected type is invalid."},
      {{{"broadcaster_user_id", kOwnerId}, {"type", "user"}},
       400,
       "The content field is required."},
      {{{"content", "hi"}, {"type", "user"}},
       400,
       "The broadcaster user id field is required when type is user."},
      {{{"broadcaster_user_id", kOwnerId}, {"content", std::string(501, 'a')}, {"type", "user"}},
       400,
       "The content may not be greater than 500 characters."},
      {{{"broadcaster_user_id", 12345}, {"content", "hi"}, {"type", "user"}},
       404,
       "Channel not found"},
  };
  for (const Case& c : cases) {
    const Reply reply = SendBody(As(Who::Owner), c.body);
    EXPECT_EQ(reply.status, c.status) << c.body;
    EXPECT_EQ(reply.body, (Json{{"message", c.message}})) << c.body;
  }
}

TEST_F(KickApiTest, DeletingAGeneratedMessageSendsMessageDeletedEvent) {
  KickWatcher chat{world};
  const std::string id = ViewerSays(6000001, "somebody", "spam");
  ASSERT_TRUE(chat.Next("ChatMessageEvent"));
  const std::string owner = As(Who::Owner);
  ASSERT_EQ(Delete(owner, id).status, 204);
  const std::optional<Json> deleted = chat.Next("MessageDeletedEvent");
  ASSERT_TRUE(deleted);
  EXPECT_EQ((*deleted)["message"]["id"], id);

  const Json notFound = {{"message", "Message not found"}};
  EXPECT_EQ(Delete(owner, id).body, notFound);  // already gone
  const Reply unknown = Delete(owner, "no-such-message");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(unknown.body, notFound);
}

TEST_F(KickApiTest, TimeOutsAndBansSendUserBannedEvent) {
  KickWatcher chat{world};
  ViewerSays(6000001, "somebody", "hi");
  ViewerSays(6000002, "loudone", "HI");
  const std::string owner = As(Who::Owner);

  const Reply timeout = Ban(owner, 6000001, 10);
  ASSERT_EQ(timeout.status, 200) << timeout.raw;
  EXPECT_EQ(timeout.body, (Json{{"data", Json::object()}, {"message", "OK"}}));
  std::optional<Json> banned = chat.Next("UserBannedEvent");
  ASSERT_TRUE(banned);
  EXPECT_EQ((*banned)["user"]["id"], 6000001);
  EXPECT_EQ((*banned)["user"]["username"], "somebody");
  EXPECT_EQ((*banned)["permanent"], false);
  EXPECT_EQ((*banned)["duration"], 10);

  ASSERT_EQ(Ban(owner, 6000002, std::nullopt).status, 200);
  banned = chat.Next("UserBannedEvent");
  ASSERT_TRUE(banned);
  EXPECT_EQ((*banned)["user"]["id"], 6000002);
  EXPECT_EQ((*banned)["permanent"], true);
  EXPECT_FALSE(banned->contains("duration"));

  struct Case {
    int64_t userId;
    std::optional<int> minutes;
    const char* message;
  };
  const Case refused[] = {
      {kOwnerId, std::nullopt, "You cannot ban the broadcaster."},
      {6000003, 0, "The duration must be between 1 and 10080."},
      {6000003, 10081, "The duration must be between 1 and 10080."},
  };
  for (const Case& c : refused) {
    const Reply reply = Ban(owner, c.userId, c.minutes);
    EXPECT_EQ(reply.status, 400) << c.userId;
    EXPECT_EQ(reply.body, (Json{{"message", c.message}})) << c.userId;
  }
}

}  // namespace
}  // namespace vlo::sim::testing_platform
