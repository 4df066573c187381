#pragma once

// Every simulated service at once, on loopback: what `velaro-chat --demo` reads and what the
// velaro-sim program serves.

#include <cstdint>
#include <memory>
#include <string>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "sim/SimServer.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/emotes/EmoteCatalogueSim.h"
#include "sim/kick/KickChatApi.h"
#include "sim/kick/KickSim.h"
#include "sim/twitch/HelixChatApi.h"
#include "sim/twitch/TwitchChatService.h"
#include "sim/update/UpdateSiteSim.h"
#include "sim/youtube/LiveChatApi.h"
#include "sim/youtube/YouTubeReplay.h"

namespace vlo::sim {

struct SimWorldOptions {
  // Generated chat per second on each platform; 0 sends none.
  double twitchRate{2.0};
  double kickRate{1.5};
  double youtubeRate{1.0};
  uint64_t seed{1};
  // Portal sign-ins are approved by themselves as soon as their page was visited, and sign-ins
  // with an own app registration as soon as the platform's authorization or activation page was;
  // otherwise they wait for a person to press Approve / Allow / Authorize there (or for
  // Accounts().Approve and Accounts().ApproveDevice).
  bool autoApproveSignIn{false};
};

class SimWorld {
 public:
  static constexpr const char* kTwitchChannel = "velarodemo";
  static constexpr const char* kTwitchRoomId = "100200300";
  static constexpr const char* kKickChannel = "velarodemo";
  static constexpr const char* kKickUserId = "4000001";
  // App registrations known to the platforms of this world, for signing in with an own app
  // (the Twitch one is a public client, without a secret).
  static constexpr const char* kOwnAppTwitchClientId = "velarodemoapp0000000000000001";
  static constexpr const char* kOwnAppGoogleClientId = "velaro-demo-app.apps.example";
  static constexpr const char* kOwnAppGoogleSecret = "demo-google-secret";
  static constexpr const char* kOwnAppKickClientId = "01VELARODEMOAPPKICK";
  static constexpr const char* kOwnAppKickSecret = "demo-kick-secret";

  explicit SimWorld(const SimWorldOptions& options = {});
  ~SimWorld();
  SimWorld(const SimWorld&) = delete;
  SimWorld& operator=(const SimWorld&) = delete;

  // Every service base pointed at this world.
  const Endpoints& GetEndpoints() const { return endpoints_; }
  // The demo channels: what to read to see this world's traffic.
  ChatTargets DemoTargets() const;

  TwitchChatService& Twitch() { return *twitch_; }
  KickSim& Kick() { return *kick_; }
  YouTubeSim& YouTube() { return youtube_->Sim(); }
  EmoteCatalogueSim& Emotes() { return *emotes_; }
  // The token authority; its demo accounts own the demo channels.
  AccountsSim& Accounts() { return *accounts_; }
  // The Helix API server ("twitchHelix"), for further Helix routes.
  SimServer& HelixServer() { return helix_; }
  // The maker's web site: the update manifest, the installers and the product page. It has no
  // release until a test or velaro-sim publishes one.
  UpdateSiteSim& UpdateSite() { return *updateSite_; }
  // The servers of Kick's public API and of the Data API, for scripted answers.
  SimServer& KickApiServer() { return kickApi_; }
  SimServer& YouTubeApiServer() { return youtubeApi_; }
  // The platforms' sending and moderation calls. Each channel's owner is the account whose id
  // is the channel's (Twitch room id, Kick broadcaster user id, YouTube channel id): the demo
  // accounts own the demo channels.
  HelixChatApi& TwitchApi() { return *twitchApi_; }
  KickChatApi& KickApi() { return *kickChatApi_; }
  LiveChatApi& YouTubeApi() { return *youtubeChatApi_; }
  // The account may moderate the channel with that id, besides its owner.
  void AddModerator(plx::PlatformId platform, const std::string& channelId,
                    const std::string& accountId);

 private:
  Endpoints endpoints_;
  SimServer twitchServer_;
  SimServer kickWeb_;
  SimServer kickApi_;
  SimServer pusher_;
  SimServer youtubeWeb_;
  SimServer youtubeApi_;
  SimServer portal_;
  SimServer twitchOAuth_;
  SimServer googleOAuth_;
  SimServer googleAccounts_;
  SimServer kickOAuth_;
  SimServer helix_;
  SimServer updateServer_;
  std::unique_ptr<AccountsSim> accounts_;  // outlives the chats, whose token checks call it
  std::unique_ptr<EmoteCatalogueSim> emotes_;
  std::unique_ptr<TwitchChatService> twitch_;
  std::unique_ptr<KickSim> kick_;
  std::unique_ptr<YouTubeDemo> youtube_;
  // The chat APIs go first: their handlers and delayed work call into the chats and accounts.
  std::unique_ptr<HelixChatApi> twitchApi_;
  std::unique_ptr<KickChatApi> kickChatApi_;
  std::unique_ptr<LiveChatApi> youtubeChatApi_;
  std::unique_ptr<UpdateSiteSim> updateSite_;
};

}  // namespace vlo::sim
