// The simulated Helix calls for sending and moderating: their checks, answers and what each
// accepted call shows in the chat.

#include <algorithm>

#include "core/ChatMessage.h"
#include "readers/twitch/IrcMessage.h"
#include "sim/twitch/TwitchLines.h"
#include "tests/sim/PlatformApiFixture.h"

namespace vlo::sim::testing_platform {
namespace {

constexpr PlatformId kTwitch = PlatformId::Twitch;
const std::string kRoom = SimWorld::kTwitchRoomId;

class HelixApiTest : public PlatformApiTest {
 protected:
  std::string Url(const std::string& path) { return world.GetEndpoints().twitchHelix + path; }

  // A viewer's message in the demo channel, sent as the generators send theirs; its id.
  std::string ViewerSays(const std::string& userId, const std::string& login,
                         const std::string& text) {
    TwitchViewer viewer;
    viewer.login = login;
    viewer.displayName = login;
    viewer.userId = userId;
    TwitchChat chat;
    chat.id = "0a1b2c3d-0000-4000-8000-" + std::to_string(100000000000 + ++said_);
    chat.text = text;
    chat.sentMs = WallMs();
    world.Twitch().SendLines(SimWorld::kTwitchChannel,
                             {TwitchPrivmsgLine({SimWorld::kTwitchChannel, kRoom}, viewer, chat)});
    return chat.id;
  }

  Reply Send(const std::string& headers, const std::string& senderId, const std::string& text) {
    return Call(
        "POST", Url(HelixChatApi::kMessagesPath), headers,
        json::Dump(Json{{"broadcaster_id", kRoom}, {"message", text}, {"sender_id", senderId}}));
  }
  Reply Delete(const std::string& headers, const std::string& moderatorId,
               const std::string& messageId) {
    return Call("DELETE",
                Url(std::string{HelixChatApi::kModerationChatPath} + "?broadcaster_id=" + kRoom +
                    "&moderator_id=" + moderatorId + "&message_id=" + messageId),
                headers);
  }
  Reply Ban(const std::string& headers, const std::string& moderatorId, const std::string& userId,
            std::optional<int> seconds) {
    Json data{{"reason", "Moderated with Velaro Chat"}, {"user_id", userId}};
    if (seconds) data["duration"] = *seconds;
    return Call("POST",
                Url(std::string{HelixChatApi::kBansPath} + "?broadcaster_id=" + kRoom +
                    "&moderator_id=" + moderatorId),
                headers, json::Dump(Json{{"data", data}}));
  }

  std::string Owner() { return plx::BearerHeaders(Token(kTwitch, Who::Owner), kClientId); }

 private:
  int said_{0};
};

TEST_F(HelixApiTest, EveryCallChecksTokenClientScopeUserAndRole) {
  enum class Call_ { Send, Delete, Ban };
  enum class Credential { None, Made, OtherClient, NoScope, OtherUser, Good };
  struct Case {
    Call_ call;
    Credential credential;
    Who who;
    int status;
    const char* message;  // of the error answer
  };
  const Case cases[] = {
      {Call_::Send, Credential::None, Who::Owner, 401, "OAuth token is missing"},
      {Call_::Send, Credential::Made, Who::Owner, 401, "Invalid OAuth token"},
      {Call_::Send, Credential::OtherClient, Who::Owner, 401,
       "Client ID and OAuth token do not match"},
      {Call_::Send, Credential::NoScope, Who::Owner, 401, "Missing scope: user:write:chat"},
      {Call_::Send, Credential::OtherUser, Who::Viewer, 401,
       "The ID in sender_id must match the user ID in the access token."},
      {Call_::Send, Credential::Good, Who::Viewer, 200, ""},  // anyone may chat
      {Call_::Delete, Credential::None, Who::Owner, 401, "OAuth token is missing"},
      {Call_::Delete, Credential::Made, Who::Owner, 401, "Invalid OAuth token"},
      {Call_::Delete, Credential::OtherClient, Who::Owner, 401,
       "Client ID and OAuth token do not match"},
      {Call_::Delete, Credential::NoScope, Who::Owner, 401,
       "Missing scope: moderator:manage:chat_messages"},
      {Call_::Delete, Credential::OtherUser, Who::Viewer, 401,
       "The ID in moderator_id must match the user ID in the access token."},
      {Call_::Delete, Credential::Good, Who::Viewer, 403,
       "The user in moderator_id is not one of the broadcaster's moderators."},
      {Call_::Delete, Credential::Good, Who::Moderator, 204, ""},
      {Call_::Delete, Credential::Good, Who::Owner, 204, ""},
      {Call_::Ban, Credential::None, Who::Owner, 401, "OAuth token is missing"},
      {Call_::Ban, Credential::Made, Who::Owner, 401, "Invalid OAuth token"},
      {Call_::Ban, Credential::OtherClient, Who::Owner, 401,
       "Client ID and OAuth token do not match"},
      {Call_::Ban, Credential::NoScope, Who::Owner, 401,
       "Missing scope: moderator:manage:banned_users"},
      {Call_::Ban, Credential::OtherUser, Who::Viewer, 401,
       "The ID in moderator_id must match the user ID in the access token."},
      {Call_::Ban, Credential::Good, Who::Viewer, 403,
       "The user in moderator_id is not one of the broadcaster's moderators."},
      {Call_::Ban, Credential::Good, Who::Moderator, 200, ""},
      {Call_::Ban, Credential::Good, Who::Owner, 200, ""},
  };
  const char* scopes[] = {"user:write:chat", "moderator:manage:chat_messages",
                          "moderator:manage:banned_users"};
  size_t accepted{0};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    const size_t callIndex = static_cast<size_t>(c.call);
    std::vector<std::string> granted = AllScopes(kTwitch);
    if (c.credential == Credential::NoScope) std::erase(granted, scopes[callIndex]);
    std::string headers = std::string{"Client-Id: "} + kClientId + "\r\n";
    if (c.credential == Credential::Made) headers = plx::BearerHeaders("made-up", kClientId);
    if (c.credential >= Credential::OtherClient) {
      headers = plx::BearerHeaders(Token(kTwitch, c.who, granted),
                                   c.credential == Credential::OtherClient ? "another" : kClientId);
    }
    const std::string acting =
        AccountId(kTwitch, c.credential == Credential::OtherUser ? Who::Owner : c.who);
    Reply reply;
    switch (c.call) {
      case Call_::Send:
        reply = Send(headers, acting, "case " + std::to_string(i));
        break;
      case Call_::Delete:
        reply = Delete(headers, acting, ViewerSays("300001", "somebody", "delete me"));
        break;
      case Call_::Ban:
        reply = Ban(headers, acting, "3000" + std::to_string(i), 600);
        break;
    }
    EXPECT_EQ(reply.status, c.status) << reply.raw;
    if (c.status >= 400) {
      EXPECT_EQ(reply.body, (Json{{"error", c.status == 401 ? "Unauthorized" : "Forbidden"},
                                  {"status", c.status},
                                  {"message", c.message}}));
    } else {
      ++accepted;
    }
  }
  // Only the accepted calls show in the chat: a last one arrives right after them.
  ASSERT_EQ(Send(Owner(), kRoom, "last").status, 200);
  ASSERT_TRUE(world.TwitchApi().Deliveries().WaitFor(accepted + 1));
  const std::vector<ChatDelivery> deliveries = world.TwitchApi().Deliveries().All();
  ASSERT_EQ(deliveries.size(), accepted + 1);
  EXPECT_NE(deliveries.back().text.find(" :last"), std::string::npos);
}

TEST_F(HelixApiTest, ASentMessageComesBackFromTheSenderWithItsId) {
  TwitchWatcher chat{world.GetEndpoints().twitchChat};
  const Reply reply = Send(Owner(), kRoom, "hello chat Kappa");
  ASSERT_EQ(reply.status, 200) << reply.raw;
  ASSERT_TRUE(reply.body["data"].is_array() && reply.body["data"].size() == 1) << reply.raw;
  const Json& sent = reply.body["data"][0];
  EXPECT_EQ(sent["is_sent"], true);
  EXPECT_TRUE(sent["drop_reason"].is_null());
  const std::string id = sent["message_id"];
  EXPECT_EQ(id.size(), 36u);

  const std::optional<std::string> line = chat.Next("PRIVMSG");
  ASSERT_TRUE(line);
  const std::optional<IrcMessage> message = ParseIrcLine(*line);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->Prefix(), "velarodemo!velarodemo@velarodemo.tmi.twitch.tv");
  EXPECT_EQ(message->Trailing(), "hello chat Kappa");
  EXPECT_EQ(message->Tag("id"), id);
  EXPECT_EQ(message->Tag("user-id"), kRoom);
  EXPECT_EQ(message->Tag("display-name"), "VelaroDemo");
  EXPECT_EQ(message->Tag("badges"), "broadcaster/1");
  EXPECT_EQ(message->Tag("room-id"), kRoom);
  EXPECT_EQ(message->Tag("emotes"), "25:11-15");
  const std::string sentAt{message->Tag("tmi-sent-ts")};
  EXPECT_NEAR(std::stoll(sentAt), WallMs(), 5000);

  // A moderator's copy carries the moderator badge.
  ASSERT_EQ(Send(plx::BearerHeaders(Token(kTwitch, Who::Moderator), kClientId),
                 AccountId(kTwitch, Who::Moderator), "from the mod")
                .status,
            200);
  const std::optional<IrcMessage> mod = ParseIrcLine(chat.Next("from the mod").value_or(""));
  ASSERT_TRUE(mod);
  EXPECT_EQ(mod->Tag("badges"), "moderator/1");
  EXPECT_EQ(mod->Tag("mod"), "1");
}

TEST_F(HelixApiTest, SendChecksItsBody) {
  struct Case {
    Json body;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{{"message", "hi"}, {"sender_id", kRoom}},
       400,
       "Missing required parameter \"broadcaster_id\""},
      {{{"broadcaster_id", kRoom}, {"message", "hi"}},
       400,
       "Missing required parameter \"sender_id\""},
      {{{"broadcaster_id", kRoom}, {"sender_id", kRoom}},
       400,
       "Missing required parameter \"message\""},
      {{{"broadcaster_id", "999"}, {"message", "hi"}, {"sender_id", kRoom}},
       400,
       "The broadcaster_id is not valid."},
      {{{"broadcaster_id", kRoom}, {"message", std::string(501, 'a')}, {"sender_id", kRoom}},
       400,
       "The message may not be longer than 500 characters."},
  };
  for (const Case& c : cases) {
    const Reply reply = Call("POST", Url(HelixChatApi::kMessagesPath), Owner(), json::Dump(c.body));
    EXPECT_EQ(reply.status, c.status) << c.body;
    EXPECT_EQ(reply.body["message"], c.message) << c.body;
  }
}

TEST_F(HelixApiTest, DeletingAGeneratedMessageSendsClearMsg) {
  TwitchWatcher chat{world.GetEndpoints().twitchChat};
  const std::string id = ViewerSays("300001", "somebody", "spam spam");
  ASSERT_TRUE(chat.Next("spam spam"));
  const std::string owner = Owner();
  ASSERT_EQ(Delete(owner, kRoom, id).status, 204);

  const std::optional<IrcMessage> clear = ParseIrcLine(chat.Next("CLEARMSG").value_or(""));
  ASSERT_TRUE(clear);
  EXPECT_EQ(clear->Tag("target-msg-id"), id);
  EXPECT_EQ(clear->Tag("login"), "somebody");
  EXPECT_EQ(clear->Trailing(), "spam spam");

  const Json notFound = {
      {"error", "Not Found"}, {"status", 404}, {"message", "The ID in message_id was not found."}};
  EXPECT_EQ(Delete(owner, kRoom, id).body, notFound);  // already gone
  EXPECT_EQ(Delete(owner, kRoom, "no-such-message").body, notFound);
  // The broadcaster's own messages stay, and a moderator may not delete another moderator's.
  EXPECT_EQ(Delete(owner, kRoom, ViewerSays(kRoom, "velarodemo", "mine")).body["message"],
            "You may not delete the broadcaster's messages.");
  world.AddModerator(kTwitch, kRoom, "300002");
  const Reply other =
      Delete(plx::BearerHeaders(Token(kTwitch, Who::Moderator), kClientId),
             AccountId(kTwitch, Who::Moderator), ViewerSays("300002", "othermod", "mod talk"));
  EXPECT_EQ(other.status, 400);
  EXPECT_EQ(other.body["message"], "You may not delete another moderator's messages.");
}

TEST_F(HelixApiTest, DeletingWithoutAMessageIdClearsTheChat) {
  TwitchWatcher chat{world.GetEndpoints().twitchChat};
  const Reply reply = Call("DELETE",
                           Url(std::string{HelixChatApi::kModerationChatPath} +
                               "?broadcaster_id=" + kRoom + "&moderator_id=" + kRoom),
                           Owner());
  EXPECT_EQ(reply.status, 204);
  const std::optional<IrcMessage> clear = ParseIrcLine(chat.Next("CLEARCHAT").value_or(""));
  ASSERT_TRUE(clear);
  EXPECT_FALSE(clear->HasTag("target-user-id"));
  EXPECT_FALSE(clear->HasTrailing());
}

TEST_F(HelixApiTest, TimeOutsAndBansSendClearChatForTheUser) {
  TwitchWatcher chat{world.GetEndpoints().twitchChat};
  ViewerSays("300001", "somebody", "hi");
  ViewerSays("300003", "loudone", "HI");
  const std::string owner = Owner();

  const Reply timeout = Ban(owner, kRoom, "300001", 600);
  ASSERT_EQ(timeout.status, 200) << timeout.raw;
  const Json& entry = timeout.body["data"][0];
  EXPECT_EQ(entry["broadcaster_id"], kRoom);
  EXPECT_EQ(entry["moderator_id"], kRoom);
  EXPECT_EQ(entry["user_id"], "300001");
  EXPECT_EQ(plx::ParseIsoTimeMs(entry["end_time"].get<std::string>()) -
                plx::ParseIsoTimeMs(entry["created_at"].get<std::string>()),
            600000);
  const std::optional<IrcMessage> timedOut = ParseIrcLine(chat.Next("CLEARCHAT").value_or(""));
  ASSERT_TRUE(timedOut);
  EXPECT_EQ(timedOut->Tag("target-user-id"), "300001");
  EXPECT_EQ(timedOut->Tag("ban-duration"), "600");
  EXPECT_EQ(timedOut->Trailing(), "somebody");

  const Reply ban = Ban(owner, kRoom, "300003", std::nullopt);
  ASSERT_EQ(ban.status, 200);
  EXPECT_TRUE(ban.body["data"][0]["end_time"].is_null());
  const std::optional<IrcMessage> banned = ParseIrcLine(chat.Next("CLEARCHAT").value_or(""));
  ASSERT_TRUE(banned);
  EXPECT_EQ(banned->Tag("target-user-id"), "300003");
  EXPECT_FALSE(banned->HasTag("ban-duration"));
  EXPECT_EQ(banned->Trailing(), "loudone");

  struct Case {
    std::string userId;
    std::optional<int> seconds;
    const char* message;
  };
  const Case refused[] = {
      {"300003", std::nullopt, "The user specified in the user_id field is already banned."},
      {kRoom, std::nullopt, "The user specified in the user_id field may not be banned."},
      {"300004", 0, "The value in the duration field is not valid."},
      {"300004", 1209601, "The value in the duration field is not valid."},
  };
  for (const Case& c : refused) {
    const Reply reply = Ban(owner, kRoom, c.userId, c.seconds);
    EXPECT_EQ(reply.status, 400) << c.userId;
    EXPECT_EQ(reply.body["message"], c.message) << c.userId;
  }
}

// The scripted answers a test gives Helix, each as the program reads it, and none shows in the
// chat.
TEST_F(HelixApiTest, ScriptedAnswersGoAheadOfTheRealOnes) {
  SimServer& helix = world.HelixServer();
  const std::string path = HelixChatApi::kMessagesPath;
  helix.AnswerNext("POST", path, 1, TooManyRequests("Slow down"));
  helix.AnswerNext("POST", path, 1, HtmlError(500));
  helix.AnswerNext("POST", path, 1, HelixNotSent("msg_duplicate", "Your message is identical."));
  helix.AnswerNext("POST", path, 1, HelixNotSent());
  helix.AnswerNext("POST", path, 1, NoAnswer());
  const std::string owner = Owner();

  const Reply limited = Send(owner, kRoom, "one");
  EXPECT_EQ(limited.status, 429);
  EXPECT_EQ(limited.body,
            (Json{{"error", "Too Many Requests"}, {"status", 429}, {"message", "Slow down"}}));
  const Reply broken = Send(owner, kRoom, "two");
  EXPECT_EQ(broken.status, 500);
  EXPECT_TRUE(broken.raw.starts_with("<!DOCTYPE html>")) << broken.raw;
  const Json duplicate = {
      {"message_id", ""},
      {"is_sent", false},
      {"drop_reason", {{"code", "msg_duplicate"}, {"message", "Your message is identical."}}}};
  EXPECT_EQ(Send(owner, kRoom, "three").body, (Json{{"data", Json::array({duplicate})}}));
  const Json held = {{"message_id", ""}, {"is_sent", false}, {"drop_reason", nullptr}};
  EXPECT_EQ(Send(owner, kRoom, "four").body, (Json{{"data", Json::array({held})}}));
  EXPECT_EQ(Send(owner, kRoom, "five").status, 0);  // closed without an answer

  ASSERT_EQ(Send(owner, kRoom, "six").status, 200);
  ASSERT_TRUE(world.TwitchApi().Deliveries().WaitFor(1));
  const std::vector<ChatDelivery> deliveries = world.TwitchApi().Deliveries().All();
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_NE(deliveries[0].text.find(" :six"), std::string::npos);
}

}  // namespace
}  // namespace vlo::sim::testing_platform
