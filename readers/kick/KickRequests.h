#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Endpoints.h"

namespace vlo {

// Pure builders and readers of the Kick web, public API and realtime exchanges. No I/O.

// What a channel lookup on the Kick web site found.
struct KickChannelInfo {
  int64_t chatroomId{0};
  int64_t channelId{0};  // 0 when the answer has no top-level numeric "id"
  std::string broadcasterUserId;

  bool operator==(const KickChannelInfo&) const = default;
};

// The Pusher credentials the realtime endpoint handed out.
struct PusherCredentials {
  std::string appKey;
  std::string cluster;

  bool operator==(const PusherCredentials&) const = default;
};

// The web site's lookup paths, tried in this order.
inline constexpr std::string_view kKickLookupPaths[] = {"/api/v2/channels/", "/api/v1/channels/"};

// The slug of the first channel in the public API's own-channel answer; empty when there is none.
std::string ParseOwnChannelSlug(std::string_view body);

// A lookup answer with a "chatroom" object whose "id" is a number; nothing otherwise.
std::optional<KickChannelInfo> ParseKickChannel(std::string_view body);

// The realtime connection request body for the client id "vlo-<clientNumber>".
std::string RealtimeRequestBody(uint32_t clientNumber);

// The first usable Pusher entry of a realtime answer's connections: provider
// "pusher" and an app key and cluster of 1 to 64 ASCII letters or digits.
std::optional<PusherCredentials> ParseRealtimeConnection(std::string_view body);

// "<pusher base for the cluster>/app/<key>?protocol=7&client=js&version=8.4.0&flash=false".
std::string PusherSocketUrl(const Endpoints& endpoints, const PusherCredentials& credentials);

// "scheme://host[:port]" of a base URL: the Origin the web site expects from its own pages.
std::string OriginOf(std::string_view baseUrl);

// The compact subscription frame for one Pusher channel.
std::string PusherSubscribeFrame(std::string_view channel);

inline constexpr std::string_view kPusherPingFrame = R"({"event":"pusher:ping","data":{}})";
inline constexpr std::string_view kPusherPongFrame = R"({"event":"pusher:pong","data":{}})";

}  // namespace vlo
