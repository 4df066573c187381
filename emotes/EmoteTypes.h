#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Platform.h"

namespace vlo {

struct Endpoints;

// Where an emote comes from. The values are stable.
enum class EmoteSource : int32_t {
  Twitch = 0,
  Kick = 1,
  SevenTv = 2,
  BetterTtv = 3,
  FrankerFaceZ = 4,
};

// One catalogue entry of a provider (7TV, BetterTTV, FrankerFaceZ).
struct EmoteDef {
  std::string name;  // the word that is replaced (exact, case-sensitive)
  std::string url;   // https URL of the image; the image cache's key
  EmoteSource source{EmoteSource::SevenTv};
  bool zeroWidth{false};  // drawn on top of the preceding emote
  bool channel{false};    // from a channel set rather than a global set

  bool operator==(const EmoteDef&) const = default;
};

// One piece of a split message: text, or an emote to draw in its place.
struct EmoteRun {
  bool isEmote{false};
  std::string text;      // the text of a text run, or the emote's code
  std::string imageKey;  // https URL for an emote run, empty for text
  EmoteSource source{EmoteSource::Twitch};
  bool overlay{false};  // draw over the emote run just before this one
  bool channel{false};

  bool operator==(const EmoteRun&) const = default;
};

// One finished catalogue download.
struct FetchReport {
  plx::PlatformId platform{plx::PlatformId::Twitch};
  bool channel{false};
  EmoteSource source{EmoteSource::SevenTv};
  int count{0};  // definitions parsed, before duplicate names are dropped
  bool failed{false};
  // Why it failed: the transport text when nothing answered ("network timeout", "the server's
  // certificate is not trusted" …), else "HTTP <status>" or "unreadable answer". Empty on
  // success.
  std::string reason{};

  bool operator==(const FetchReport&) const = default;
};

// Word lookup used by the splitter (usually EmoteRegistry::Find bound to a platform).
using EmoteLookup = std::function<std::optional<EmoteDef>(std::string_view word)>;

// "Twitch", "Kick", "7TV", "BetterTTV", "FrankerFaceZ"; empty for any other value.
std::string_view ProviderName(EmoteSource source);

// The bases of the native emote image keys: "https://" + host (with port and path prefix when
// the endpoint has them). Defaults are the public services.
struct NativeImageHosts {
  std::string twitchEmoteCdn{"static-cdn.jtvnw.net"};
  std::string kickFiles{"files.kick.com"};
  std::string bttvImages{"cdn.betterttv.net"};

  static NativeImageHosts From(const Endpoints& endpoints);
  bool operator==(const NativeImageHosts&) const = default;
};

// "https://<cdn>/emoticons/v2/<id>/default/dark/2.0"
std::string TwitchEmoteKey(const NativeImageHosts& hosts, std::string_view id);
// "https://<files>/emotes/<id>/fullsize"
std::string KickEmoteKey(const NativeImageHosts& hosts, std::string_view id);

// True for 1 to 64 characters, each an ASCII letter, digit, "_" or "-".
bool IsEmoteId(std::string_view id);

}  // namespace vlo
