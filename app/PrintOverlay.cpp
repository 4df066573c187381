#include "app/PrintOverlay.h"

namespace vlo {

PrintOverlay::PrintOverlay(ChatHub& hub, const Endpoints& endpoints,
                           const std::filesystem::path& dataFolder, int port, bool catalogues)
    : hub_{hub},
      catalogues_{catalogues},
      images_{dataFolder / "emotes", 4},
      registry_{endpoints},
      server_{std::make_unique<OverlayServer>(
          hub, OverlayConfigFor(port, images_, registry_, catalogues))} {}

PrintOverlay::~PrintOverlay() {
  if (listener_ != 0) hub_.RemoveChangeListener(listener_);
  server_.reset();
  registry_.Stop();
}

bool PrintOverlay::Start(std::string* error) {
  if (!server_->Start(error)) return false;
  if (catalogues_) {
    registry_.FetchGlobals();
    // Called on reader threads after each change; cheap unless a broadcaster id is new.
    listener_ = hub_.AddChangeListener([this] { FollowChannels(); });
  }
  return true;
}

void PrintOverlay::FollowChannels() {
  const auto follow = [this](plx::PlatformId platform, std::string& last) {
    const std::string id = hub_.GetStatus(platform).broadcasterId;
    {
      std::lock_guard lock{channelsLock_};
      if (id.empty() || id == last) return;
      last = id;
    }
    registry_.SetChannel(platform, id);
  };
  follow(plx::PlatformId::Twitch, twitchChannel_);
  follow(plx::PlatformId::Kick, kickChannel_);
}

}  // namespace vlo
