#pragma once

// The overlay for streaming software: a small web server on 127.0.0.1 that serves the merged chat
// as a page a browser source loads ("/overlay"), the rows as a live event stream ("/events"),
// and the emote images of those rows from the image cache ("/emote/<name>"). It reads the hub
// and nothing else: no request can send, moderate, or see settings or accounts.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "overlay/OverlayFeed.h"

namespace vlo {

class ChatHub;
class EmoteRegistry;
class ImageCache;

struct OverlayConfig {
  int port{17830};
  // The image cache's folder; emote images are read from there, never from anywhere else.
  std::filesystem::path imageFolder;
  RowSplitter split;
  // Asks for an emote image that is not on disk yet (the image cache's GetImage).
  std::function<void(const std::string& key)> wantImage;
  // How long a request for an emote that is not on disk yet waits for its download.
  int imageWaitMs{4000};
  size_t maxConnections{256};
  // A stream client that falls this far behind is dropped; its page reconnects and starts anew.
  size_t maxQueuedBytes{4u << 20};
};

// The settings of a server that draws emotes as the chat view does: from `images` (its folder and
// its downloads), with the native emote hosts of `registry` and, when `catalogues`, its provider
// catalogues. Both must outlive the server.
OverlayConfig OverlayConfigFor(int port, ImageCache& images, const EmoteRegistry& registry,
                               bool catalogues);

class OverlayServer {
 public:
  static constexpr int kDefaultPort = 17830;
  static constexpr size_t kResetRows = 200;  // rows a page is given when it (re)connects

  OverlayServer(ChatHub& hub, OverlayConfig config);
  // Stops.
  ~OverlayServer();
  OverlayServer(const OverlayServer&) = delete;
  OverlayServer& operator=(const OverlayServer&) = delete;

  // Listens on 127.0.0.1:port and starts the server's thread; false with a sentence for the
  // user when the port cannot be used. Port 0 takes a free one (tests).
  bool Start(std::string* error);
  // Closes every connection and joins the thread; safe to call twice.
  void Stop();
  bool Running() const;
  int Port() const;

  // "http://127.0.0.1:<port>/overlay"
  static std::string PageAddress(int port);

  struct Counts {
    size_t connections{0};  // open now
    size_t streams{0};      // event streams open now
    uint64_t refused{0};    // requests refused (host, origin, method, size, too many)
    uint64_t dropped{0};    // stream clients dropped for falling behind
  };
  Counts GetCounts() const;

 private:
  class Core;
  std::shared_ptr<Core> core_;
};

}  // namespace vlo
