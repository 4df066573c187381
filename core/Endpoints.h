#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vlo {

// Base URLs of every remote service. Hosts are configuration; the paths the program appends are
// fixed. A base may carry a scheme, host, port and path prefix, and never ends in "/".
struct Endpoints {
  // Twitch
  std::string twitchChat{"wss://irc-ws.chat.twitch.tv:443"};
  std::string twitchHelix{"https://api.twitch.tv"};
  std::string twitchOAuth{"https://id.twitch.tv"};
  std::string twitchEmoteCdn{"https://static-cdn.jtvnw.net"};
  // Kick
  std::string kickWeb{"https://kick.com"};
  std::string kickApi{"https://api.kick.com"};
  std::string kickOAuth{"https://id.kick.com"};
  std::string kickFiles{"https://files.kick.com"};
  // The Pusher WebSocket base; "{cluster}" is replaced by the cluster name.
  std::string pusher{"wss://ws-{cluster}.pusher.com"};
  // YouTube
  std::string youtubeWeb{"https://www.youtube.com"};
  std::string youtubeApi{"https://www.googleapis.com"};
  std::string googleOAuth{"https://oauth2.googleapis.com"};
  // Google's authorization page (a sign-in with the user's own app registration).
  std::string googleAccounts{"https://accounts.google.com"};
  // Emote catalogues
  std::string sevenTvApi{"https://7tv.io"};
  std::string bttvApi{"https://api.betterttv.net"};
  std::string bttvImages{"https://cdn.betterttv.net"};
  std::string ffzApi{"https://api.frankerfacez.com"};
  // The maker's portal and update site
  std::string portal{"https://portal.velaro.studio"};
  std::string portalFallback{"https://auth.velaro.studio"};
  std::string updateSite{"https://velaro.studio"};

  // The Pusher base with the cluster name filled in.
  std::string PusherBase(std::string_view cluster) const;

  bool operator==(const Endpoints&) const = default;
};

// Overrides the defaults with the keys present in a JSON object (the member names above).
// Unknown keys are ignored; a value that is not a string or not an http(s)/ws(s) URL is reported.
// Returns false and fills `error` when the document is unusable.
bool ApplyEndpointsJson(std::string_view text, Endpoints& endpoints, std::string* error);

// Reads a file and applies it as above.
bool LoadEndpointsFile(const std::string& path, Endpoints& endpoints, std::string* error);

// All endpoints as a JSON object (sorted keys, indent 2), the format ApplyEndpointsJson reads.
std::string EndpointsToJson(const Endpoints& endpoints);

// The host of a base URL without scheme, port or path: "https://www.youtube.com" ->
// "www.youtube.com".
std::string HostOf(std::string_view url);

}  // namespace vlo
