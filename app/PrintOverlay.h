#pragma once

#include <memory>
#include <string>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "overlay/OverlayServer.h"

namespace vlo {

// The overlay server of a run without a window, with the emote catalogues and image cache the
// window would have: the channel catalogues follow the readers' broadcaster ids.
class PrintOverlay {
 public:
  PrintOverlay(ChatHub& hub, const Endpoints& endpoints, const std::filesystem::path& dataFolder,
               int port, bool catalogues);
  // Stops the server, then the downloads.
  ~PrintOverlay();
  PrintOverlay(const PrintOverlay&) = delete;
  PrintOverlay& operator=(const PrintOverlay&) = delete;

  // False with the sentence for the user when the port cannot be used.
  bool Start(std::string* error);
  int Port() const { return server_->Port(); }

 private:
  void FollowChannels();

  ChatHub& hub_;
  const bool catalogues_;
  ImageCache images_;
  EmoteRegistry registry_;
  std::unique_ptr<OverlayServer> server_;
  uint64_t listener_{0};
  std::mutex channelsLock_;
  std::string twitchChannel_;  // guarded by channelsLock_
  std::string kickChannel_;
};

}  // namespace vlo
