#include <functional>

#include "tests/actions/ActionsFixture.h"

namespace vlo::test {
namespace {

using sim::HttpAnswer;

enum class Service { Helix, Kick, DataApi };

// What one action must put on the wire, and the service's answer in its real shape.
struct Case {
  const char* name;
  Service service;
  std::function<bool(ActionsTest&)> run;  // the action; true when it reported success
  HttpAnswer answer;
  std::string method;
  std::string path;
  std::string query;
  std::string clientId;
  std::string contentType;
  std::string body;
};

class RequestsTest : public ActionsTest {
 protected:
  RequestsTest() { SignInAndConnectAll(); }

  sim::SimServer& Server(Service service) {
    switch (service) {
      case Service::Helix:
        return helix;
      case Service::Kick:
        return kick;
      case Service::DataApi:
        return dataApi;
    }
    return helix;
  }

  static std::string TokenOf(Service service) {
    switch (service) {
      case Service::Helix:
        return kTwitchToken;
      case Service::Kick:
        return kKickToken;
      case Service::DataApi:
        return kYouTubeToken;
    }
    return {};
  }

  static std::function<bool(ActionsTest&)> SendTo(PlatformId platform) {
    return [platform](ActionsTest& t) {
      const auto results{Send(t.hub, t.endpoints, {platform}, "Hello chat")};
      return results.size() == 1 && results[0].ok;
    };
  }
  static std::function<bool(ActionsTest&)> ModerateWith(plx::ChatMessage message,
                                                        ModAction action) {
    return [message, action](ActionsTest& t) {
      return Moderate(t.hub, t.endpoints, message, action, 600).ok;
    };
  }
};

TEST_F(RequestsTest, EachActionSendsExactlyItsRequest) {
  const plx::ChatMessage twitch{Viewer(PlatformId::Twitch, "lurker_42", "90001",
                                       "885196de-cb67-427a-baa8-82f9b0fcd05f", "spam spam")};
  const plx::ChatMessage kickMessage{
      Viewer(PlatformId::Kick, "kickfan", "12345", "a1b2c3d4-0000-4f6e-9a1b-3c4d5e6f7a8b", "spam")};
  const plx::ChatMessage youtube{Viewer(PlatformId::YouTube, "Some Viewer",
                                        "UCrDkAvwZum-UTjHmzDI2iIw",
                                        "LCC.EhwKGkNQbUJ4Y3ZQbS1Rc0RGUkhJdXdZZGpBdmZ3", "spam")};
  const std::string reason{"\"reason\":\"Moderated with Velaro Chat\""};
  const std::string twitchQuery{"broadcaster_id=141981764&moderator_id=413092233"};
  const std::string kickBan{"{\"broadcaster_user_id\":668,"};

  const std::vector<Case> cases{
      {"Twitch send", Service::Helix, SendTo(PlatformId::Twitch),
       HttpAnswer::Json(R"({"data":[{"message_id":"abc-1","is_sent":true}]})"), "POST",
       "/helix/chat/messages", "", kTwitchClientId, "application/json",
       R"({"broadcaster_id":"141981764","message":"Hello chat","sender_id":"413092233"})"},
      {"Kick send", Service::Kick, SendTo(PlatformId::Kick),
       HttpAnswer::Json(R"({"data":{"is_sent":true,"message_id":"m-1"},"message":"OK"})"), "POST",
       "/public/v1/chat", "", "", "application/json",
       R"({"broadcaster_user_id":668,"content":"Hello chat","type":"user"})"},
      {"YouTube send", Service::DataApi, SendTo(PlatformId::YouTube),
       HttpAnswer::Json(R"({"kind":"youtube#liveChatMessage","id":"LCC.x","snippet":{}})"), "POST",
       "/youtube/v3/liveChat/messages", "part=snippet", "", "application/json",
       R"({"snippet":{"liveChatId":"Cg0KC2RRdzR3OVdnWGNRKicKGFVD",)"
       R"("textMessageDetails":{"messageText":"Hello chat"},"type":"textMessageEvent"}})"},

      {"Twitch delete", Service::Helix, ModerateWith(twitch, ModAction::Delete),
       HttpAnswer::Status(204), "DELETE", "/helix/moderation/chat",
       twitchQuery + "&message_id=885196de-cb67-427a-baa8-82f9b0fcd05f", kTwitchClientId, "", ""},
      {"Kick delete", Service::Kick, ModerateWith(kickMessage, ModAction::Delete),
       HttpAnswer::Status(204), "DELETE", "/public/v1/chat/a1b2c3d4-0000-4f6e-9a1b-3c4d5e6f7a8b",
       "", "", "", ""},
      {"YouTube delete", Service::DataApi, ModerateWith(youtube, ModAction::Delete),
       HttpAnswer::Status(204), "DELETE", "/youtube/v3/liveChat/messages",
       "id=LCC.EhwKGkNQbUJ4Y3ZQbS1Rc0RGUkhJdXdZZGpBdmZ3", "", "", ""},

      {"Twitch time-out", Service::Helix, ModerateWith(twitch, ModAction::Timeout),
       HttpAnswer::Json(R"({"data":[{"broadcaster_id":"141981764","user_id":"90001",)"
                        R"("end_time":"2024-01-01T00:10:00Z"}]})"),
       "POST", "/helix/moderation/bans", twitchQuery, kTwitchClientId, "application/json",
       "{\"data\":{\"duration\":600," + reason + ",\"user_id\":\"90001\"}}"},
      {"Kick time-out", Service::Kick, ModerateWith(kickMessage, ModAction::Timeout),
       HttpAnswer::Json(R"({"data":{},"message":"OK"})"), "POST", "/public/v1/moderation/bans", "",
       "", "application/json", kickBan + "\"duration\":10," + reason + ",\"user_id\":12345}"},
      {"YouTube time-out", Service::DataApi, ModerateWith(youtube, ModAction::Timeout),
       HttpAnswer::Json(R"({"kind":"youtube#liveChatBan","id":"ban-1","snippet":{}})"), "POST",
       "/youtube/v3/liveChat/bans", "part=snippet", "", "application/json",
       R"({"snippet":{"banDurationSeconds":600,"bannedUserDetails":)"
       R"({"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"},)"
       R"("liveChatId":"Cg0KC2RRdzR3OVdnWGNRKicKGFVD","type":"temporary"}})"},

      {"Twitch ban", Service::Helix, ModerateWith(twitch, ModAction::Ban),
       HttpAnswer::Json(R"({"data":[{"broadcaster_id":"141981764","user_id":"90001",)"
                        R"("end_time":null}]})"),
       "POST", "/helix/moderation/bans", twitchQuery, kTwitchClientId, "application/json",
       "{\"data\":{" + reason + ",\"user_id\":\"90001\"}}"},
      {"Kick ban", Service::Kick, ModerateWith(kickMessage, ModAction::Ban),
       HttpAnswer::Json(R"({"data":{},"message":"OK"})"), "POST", "/public/v1/moderation/bans", "",
       "", "application/json", kickBan + reason + ",\"user_id\":12345}"},
      {"YouTube ban", Service::DataApi, ModerateWith(youtube, ModAction::Ban),
       HttpAnswer::Json(R"({"kind":"youtube#liveChatBan","id":"ban-2","snippet":{}})"), "POST",
       "/youtube/v3/liveChat/bans", "part=snippet", "", "application/json",
       R"({"snippet":{"bannedUserDetails":{"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"},)"
       R"("liveChatId":"Cg0KC2RRdzR3OVdnWGNRKicKGFVD","type":"permanent"}})"},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (sim::SimServer* server : {&helix, &kick, &dataApi}) server->ClearRequests();
    sim::SimServer& server{Server(c.service)};
    server.AnswerNext(c.method, c.path, 1, c.answer);

    EXPECT_TRUE(c.run(*this));

    ASSERT_EQ(RequestsEverywhere(), 1u);
    const sim::HttpExchange request{server.Requests().at(0)};
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.path, c.path);
    EXPECT_EQ(request.query, c.query);
    EXPECT_EQ(request.Header("Authorization"), "Bearer " + TokenOf(c.service));
    EXPECT_EQ(request.Header("Client-Id"), c.clientId);
    EXPECT_EQ(request.Header("Content-Type"), c.contentType);
    EXPECT_EQ(request.body, c.body);
  }
}

}  // namespace
}  // namespace vlo::test
