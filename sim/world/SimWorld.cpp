#include "sim/world/SimWorld.h"

namespace vlo::sim {

SimWorld::SimWorld(const SimWorldOptions& options) {
  emotes_ = StartEmoteSim(endpoints_);

  twitch_ = std::make_unique<TwitchChatService>(twitchServer_);
  twitch_->AddChannel(kTwitchChannel, kTwitchRoomId);
  endpoints_.twitchChat = twitch_->ChatUrl();

  kick_ = std::make_unique<KickSim>(kickWeb_, kickApi_, pusher_);
  kick_->AddChannel(KickSimChannel{kKickChannel, 2000001, 3000001, "4000001", true});
  endpoints_.kickWeb = kick_->WebBase();
  endpoints_.kickApi = kick_->ApiBase();
  endpoints_.pusher = kick_->PusherPattern();

  youtube_ = std::make_unique<YouTubeDemo>(youtubeWeb_, youtubeApi_, options.youtubeRate,
                                           options.seed + 2);
  endpoints_.youtubeWeb = youtubeWeb_.BaseUrl();
  endpoints_.youtubeApi = youtubeApi_.BaseUrl();

  if (options.twitchRate > 0)
    twitch_->StartTraffic(kTwitchChannel, options.twitchRate, options.seed);
  if (options.kickRate > 0) kick_->StartTraffic(kKickChannel, options.kickRate, options.seed + 1);
}

SimWorld::~SimWorld() {
  // Generators first, then the services, then the servers (members, in reverse order).
  twitch_->StopTraffic();
  kick_->StopTraffic();
  youtube_.reset();
  kick_.reset();
  twitch_.reset();
  emotes_.reset();
}

ChatTargets SimWorld::DemoTargets() const {
  return ChatTargets{kTwitchChannel, kKickChannel, std::string{"@"} + YouTubeDemo::kHandle};
}

}  // namespace vlo::sim
