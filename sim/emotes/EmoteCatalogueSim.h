#pragma once

// The simulated emote catalogues (7TV, BetterTTV, FrankerFaceZ) and the image servers of every
// emote source (7TV, BetterTTV and FrankerFaceZ CDNs, the Twitch emote CDN, the Kick file host).
// Catalogue APIs listen on plain HTTP; image servers on TLS, since image keys are https URLs
// (trust SimServer::TestCaPath()). Pictures are drawn at start-up.

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Endpoints.h"
#include "sim/SimServer.h"

namespace vlo::sim {

enum class Catalogue { SevenTv, BetterTtv, FrankerFaceZ };
enum class Fault { None, NotFound, ServerError, Slow };

struct NativeEmote {
  std::string name;
  std::string id;
};

class EmoteCatalogueSim {
 public:
  EmoteCatalogueSim();
  ~EmoteCatalogueSim();
  EmoteCatalogueSim(const EmoteCatalogueSim&) = delete;
  EmoteCatalogueSim& operator=(const EmoteCatalogueSim&) = delete;

  // Points sevenTvApi, bttvApi, bttvImages, ffzApi, twitchEmoteCdn and kickFiles here.
  void ApplyTo(Endpoints& endpoints) const;

  // Switches, any thread. Slow answers wait SetSlowDelay milliseconds (real time) first.
  void SetCatalogueFault(Catalogue catalogue, Fault fault);
  void SetImageFault(Fault fault);
  void SetSlowDelay(int ms);

  SimServer& Api(Catalogue catalogue);
  // Requests to every image server since the last ClearRequests.
  size_t ImageRequestCount() const;
  size_t CatalogueRequestCount() const;
  void ClearRequests();

  // Every word the simulated services send that is an emote somewhere.
  static const std::vector<std::string>& EmoteNames();
  // Twitch emotes by id (for "emotes=" tags) and Kick emotes (for "kemote=" tags).
  static const std::vector<NativeEmote>& TwitchEmotes();
  static const std::vector<NativeEmote>& KickEmotes();

 private:
  struct Image {
    std::string bytes;
    std::string contentType;
  };

  void RouteCatalogues();
  void RouteImages();
  HttpAnswer Catalogue(Catalogue catalogue, std::string body) const;
  HttpAnswer ImageAnswer(const std::string& name) const;
  std::string SevenTvSet(const std::string& id, bool channel) const;
  std::string BttvGlobal() const;
  std::string BttvUser(const std::string& id) const;
  std::string FfzGlobal() const;
  std::string FfzRoom(const std::string& id) const;

  SimServer sevenTvApi_{SimServer::Transport::Plain};
  SimServer bttvApi_{SimServer::Transport::Plain};
  SimServer ffzApi_{SimServer::Transport::Plain};
  SimServer sevenTvCdn_{SimServer::Transport::Tls};
  SimServer bttvCdn_{SimServer::Transport::Tls};
  SimServer ffzCdn_{SimServer::Transport::Tls};
  SimServer twitchCdn_{SimServer::Transport::Tls};
  SimServer kickFiles_{SimServer::Transport::Tls};

  std::map<std::string, Image> images_;  // by "<server>/<path>"; built once, then read only
  std::atomic<Fault> faults_[3]{Fault::None, Fault::None, Fault::None};
  std::atomic<Fault> imageFault_{Fault::None};
  std::atomic<int> slowMs_{1500};
};

// For the demo: starts the simulated catalogues and image servers and points `endpoints` at
// them. Destroying the result stops them.
std::unique_ptr<EmoteCatalogueSim> StartEmoteSim(Endpoints& endpoints);

}  // namespace vlo::sim
