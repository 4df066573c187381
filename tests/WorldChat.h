#pragma once

// Shared by the end-to-end tests against the simulated world: a world without generated traffic
// whose sign-ins approve themselves, bounded waiting, and viewers who type into the simulated
// chats.

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Platform.h"
#include "sim/kick/KickFrames.h"
#include "sim/kick/KickTraffic.h"
#include "sim/platform/ApiAnswers.h"
#include "sim/platform/ChatDeliveries.h"
#include "sim/twitch/TwitchLines.h"
#include "sim/world/SimWorld.h"
#include "tests/Eventually.h"

namespace vlo::test {

inline constexpr int64_t kDemoKickChatroom = 2000001;
inline constexpr const char* kDemoLiveChatId = "velaro-demo-live-chat";

// The simulated world with no generated chat; a sign-in is approved at its first poll. Tokens
// stay in the test's folder: no keyring is reachable.
inline std::unique_ptr<sim::SimWorld> QuietWorld() {
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  sim::SimWorldOptions options;
  options.twitchRate = options.kickRate = options.youtubeRate = 0;
  auto world = std::make_unique<sim::SimWorld>(options);
  world->Accounts().SetAutoApprove(0);
  return world;
}

// A viewer of all three chats: the same name everywhere, an account id per platform.
struct Viewer {
  std::string name;
  int number{0};

  std::string Id(plx::PlatformId platform) const {
    switch (platform) {
      case plx::PlatformId::Kick:
        return std::to_string(7000000 + number);
      case plx::PlatformId::YouTube:
        return "UCworldViewer0000000000" + std::to_string(number);
      default:
        return std::to_string(500000 + number);
    }
  }
};

// Types into the demo channels of a world as viewers or as the channel's owner.
class WorldChat {
 public:
  explicit WorldChat(sim::SimWorld& world) : world_{world} {}

  void Says(plx::PlatformId platform, const Viewer& viewer, const std::string& text) {
    Says(platform, viewer.name, viewer.Id(platform), text, false);
  }
  // A viewer's first message in the Twitch channel, which Twitch marks as such.
  void SaysFirstTime(const Viewer& viewer, const std::string& text) {
    Says(plx::PlatformId::Twitch, viewer.name, viewer.Id(plx::PlatformId::Twitch), text, false,
         true);
  }
  // The channel's owner, typing in the chat from elsewhere.
  void OwnerSays(plx::PlatformId platform, const std::string& text) {
    switch (platform) {
      case plx::PlatformId::Twitch:
        return Says(platform, "VelaroDemo", sim::SimWorld::kTwitchRoomId, text, true);
      case plx::PlatformId::Kick:
        return Says(platform, "velarodemo", sim::SimWorld::kKickUserId, text, true);
      default:
        return Says(platform, sim::YouTubeDemo::kTitle, sim::YouTubeDemo::kChannelId, text, true);
    }
  }

  // What the platform's API put into its chat so far (echoes and notices).
  const sim::ChatDeliveries& Deliveries(plx::PlatformId platform) {
    switch (platform) {
      case plx::PlatformId::Twitch:
        return world_.TwitchApi().Deliveries();
      case plx::PlatformId::Kick:
        return world_.KickApi().Deliveries();
      default:
        return world_.YouTubeApi().Deliveries();
    }
  }

 private:
  void Says(plx::PlatformId platform, const std::string& name, const std::string& id,
            const std::string& text, bool owner, bool first = false) {
    switch (platform) {
      case plx::PlatformId::Twitch: {
        sim::TwitchViewer viewer;
        viewer.login = owner ? sim::SimWorld::kTwitchChannel : "login" + id;
        viewer.displayName = name;
        viewer.userId = id;
        if (owner) viewer.badges = "broadcaster/1";
        sim::TwitchChat chat;
        chat.id = "0d0c0b0a-0000-4000-8000-" + std::to_string(100000000000 + ++said_);
        chat.text = text;
        chat.sentMs = sim::WallMs();
        chat.firstMessage = first;
        world_.Twitch().SendLines(
            sim::SimWorld::kTwitchChannel,
            {sim::TwitchPrivmsgLine({sim::SimWorld::kTwitchChannel, sim::SimWorld::kTwitchRoomId},
                                    viewer, chat)});
        return;
      }
      case plx::PlatformId::Kick: {
        const sim::KickViewer viewer{
            name, std::stoll(id), "#FFAA00",
            owner ? std::vector<std::string>{"broadcaster"} : std::vector<std::string>{}};
        world_.Kick().Emit(
            sim::ChatroomTopic(kDemoKickChatroom),
            sim::KickChatFrame(kDemoKickChatroom,
                               "7e7e7e7e-0000-4000-8000-" + std::to_string(100000000000 + ++said_),
                               viewer, text, sim::KickTimestamp(sim::WallMs())));
        return;
      }
      default: {
        sim::YouTubeViewer viewer;
        viewer.name = name;
        viewer.channelId = id;
        viewer.owner = owner;
        world_.YouTube().PushText(sim::YouTubeDemo::kVideoId, viewer, text);
        return;
      }
    }
  }

  sim::SimWorld& world_;
  int said_{0};
};

}  // namespace vlo::test
