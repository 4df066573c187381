#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vlo {

enum class YouTubeTargetKind : int32_t { None = 0, Video = 1, ChannelHandle = 2, Channel = 3 };

struct YouTubeTarget {
  YouTubeTargetKind kind{YouTubeTargetKind::None};
  std::string value;  // video id, handle without "@", or channel id; empty for None

  bool operator==(const YouTubeTarget&) const = default;
};

// Parses what the user typed: a video or channel link, "@handle", a channel id, a video id or a
// handle. Empty input is None; absent means invalid. Links are matched against YouTube's real
// host names whatever the configured endpoints are.
std::optional<YouTubeTarget> ParseYouTubeTarget(std::string_view text);

// "Your live stream", "Video " + id, "@" + handle, or the channel id.
std::string YouTubeTargetLabel(const YouTubeTarget& target);

bool IsVideoId(std::string_view text);
bool IsChannelId(std::string_view text);
bool IsHandle(std::string_view text);

}  // namespace vlo
