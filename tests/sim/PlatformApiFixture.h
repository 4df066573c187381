#pragma once

// The simulated world with viewers and moderators besides the demo owners, tokens for each of
// them, requests to the platforms' chat APIs through the program's transport, and clients that
// watch each chat the way a reader would.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Json.h"
#include "net/Http.h"
#include "net/WebSocketClient.h"
#include "sim/platform/ApiAnswers.h"
#include "sim/world/SimWorld.h"

namespace vlo::sim::testing_platform {

using Json = json::Json;
using plx::PlatformId;

// One answer as a client saw it.
struct Reply {
  int status{0};
  Json body;  // an empty object when the body is not a JSON object
  std::string raw;
};

inline constexpr char kClientId[] = "simtestclient00000000000000";
inline constexpr char kYouTubeScope[] = "https://www.googleapis.com/auth/youtube.force-ssl";

// Who calls: the channel's owner, one of its moderators, or a viewer without a role.
enum class Who { Owner, Moderator, Viewer };

// The account ids of each role on each platform.
inline std::string AccountId(PlatformId platform, Who who) {
  switch (platform) {
    case PlatformId::Kick:
      return who == Who::Owner       ? SimWorld::kKickUserId
             : who == Who::Moderator ? "5000002"
                                     : "5000001";
    case PlatformId::YouTube:
      return who == Who::Owner       ? YouTubeDemo::kChannelId
             : who == Who::Moderator ? "UChelperChannel000000001"
                                     : "UCviewerChannel000000001";
    default:
      return who == Who::Owner       ? SimWorld::kTwitchRoomId
             : who == Who::Moderator ? "200002"
                                     : "200001";
  }
}

inline std::vector<std::string> AllScopes(PlatformId platform) {
  switch (platform) {
    case PlatformId::Kick:
      return {"user:read", "chat:write", "moderation:ban", "moderation:chat_message:manage"};
    case PlatformId::YouTube:
      return {kYouTubeScope};
    default:
      return {"user:write:chat", "moderator:manage:chat_messages", "moderator:manage:banned_users"};
  }
}

// Watches a Twitch channel anonymously, as the reader does before sign-in.
class TwitchWatcher {
 public:
  explicit TwitchWatcher(const std::string& url) {
    std::string error;
    EXPECT_TRUE(client_.Connect(url, plx::BrowserUserAgent(), &error, 5000)) << error;
    client_.SendText("NICK justinfan12345");
    client_.SendText(std::string{"JOIN #"} + SimWorld::kTwitchChannel);
    EXPECT_TRUE(Next("ROOMSTATE")) << "not joined";
  }
  // The next line holding `text` (lines in between are skipped); nothing after 5 s.
  std::optional<std::string> Next(std::string_view text) {
    while (true) {
      while (!lines_.empty()) {
        std::string line = std::move(lines_.front());
        lines_.erase(lines_.begin());
        if (line.find(text) != std::string::npos) return line;
      }
      std::string message;
      if (!client_.ReceiveMessage(message)) return std::nullopt;
      for (size_t start = 0; start < message.size();) {
        const size_t end = message.find("\r\n", start);
        lines_.push_back(message.substr(start, end - start));
        start = end == std::string::npos ? message.size() : end + 2;
      }
    }
  }

 private:
  plx::WebSocketClient client_;
  std::vector<std::string> lines_;
};

// Watches the demo chatroom on the Pusher server, as the Kick reader subscribes.
class KickWatcher {
 public:
  explicit KickWatcher(const SimWorld& world) {
    const std::string url = world.GetEndpoints().PusherBase(KickSim::kCluster) + "/app/" +
                            KickSim::kAppKey + "?protocol=7&client=js&version=8.4.0&flash=false";
    std::string error;
    EXPECT_TRUE(client_.Connect(url, plx::BrowserUserAgent(), &error, 5000)) << error;
    client_.SendText(
        json::Dump(Json{{"data", {{"auth", ""}, {"channel", ChatroomTopic(kChatroomId)}}},
                        {"event", "pusher:subscribe"}}));
    EXPECT_TRUE(Next("pusher_internal:subscription_succeeded")) << "not subscribed";
  }
  static constexpr int64_t kChatroomId = 2000001;

  // The data of the next frame whose event ends with `event`; nothing after 5 s.
  std::optional<Json> Next(std::string_view event) {
    std::string frame;
    while (client_.ReceiveMessage(frame)) {
      const Json doc = json::ParseObject(frame);
      if (!json::TextOr(doc, "event").ends_with(event)) continue;
      const std::string data = json::TextOr(doc, "data");
      return data.empty() ? Json::object() : json::ParseObject(data);
    }
    return std::nullopt;
  }

 private:
  plx::WebSocketClient client_;
};

class PlatformApiTest : public ::testing::Test {
 protected:
  static SimWorldOptions Quiet() {
    SimWorldOptions options;
    options.twitchRate = options.kickRate = options.youtubeRate = 0;
    return options;
  }

  PlatformApiTest() {
    AccountsSim& accounts = world.Accounts();
    accounts.AddAccount({PlatformId::Twitch, AccountId(PlatformId::Twitch, Who::Viewer),
                         "viewerone", "ViewerOne", ""});
    accounts.AddAccount({PlatformId::Twitch, AccountId(PlatformId::Twitch, Who::Moderator),
                         "helperone", "HelperOne", ""});
    accounts.AddAccount(
        {PlatformId::Kick, AccountId(PlatformId::Kick, Who::Viewer), "viewerone", "ViewerOne", ""});
    accounts.AddAccount({PlatformId::Kick, AccountId(PlatformId::Kick, Who::Moderator), "helperone",
                         "HelperOne", ""});
    accounts.AddAccount({PlatformId::YouTube, AccountId(PlatformId::YouTube, Who::Viewer),
                         "@viewerone", "Viewer One", ""});
    accounts.AddAccount({PlatformId::YouTube, AccountId(PlatformId::YouTube, Who::Moderator),
                         "@helperone", "Helper One", ""});
    for (const PlatformId platform : plx::kReadPlatforms) {
      world.AddModerator(platform, AccountId(platform, Who::Owner),
                         AccountId(platform, Who::Moderator));
    }
  }

  std::string Token(PlatformId platform, Who who, std::vector<std::string> scopes) {
    return world.Accounts()
        .IssueToken(platform, AccountId(platform, who), std::move(scopes), kClientId, true)
        .accessToken;
  }
  std::string Token(PlatformId platform, Who who) {
    return Token(platform, who, AllScopes(platform));
  }

  static Reply Call(const std::string& method, const std::string& url, const std::string& headers,
                    std::optional<std::string> body = std::nullopt) {
    plx::HttpRequest request;
    request.method = method;
    request.url = url;
    request.headers = headers;
    if (body) {
      request.body = std::move(body);
      request.contentType = "application/json";
    }
    request.timeoutMs = 5000;
    const plx::HttpResponse response = plx::Perform(request);
    return Reply{response.status, json::ParseObject(response.body), response.body};
  }

  SimWorld world{Quiet()};
};

}  // namespace vlo::sim::testing_platform
