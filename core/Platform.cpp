#include "core/Platform.h"

namespace plx {

namespace {
bool IsCustom(int32_t v) { return v >= 32 && v <= 51; }
}  // namespace

const char* PlatformName(PlatformId id) {
  const auto v = static_cast<int32_t>(id);
  switch (v) {
    case 0:
      return "Twitch";
    case 1:
      return "YouTube";
    case 2:
      return "Kick";
    case 3:
      return "TikTok";
    case 4:
      return "YouTube Shorts";
    default:
      return IsCustom(v) ? "Custom destination" : "Unknown";
  }
}

std::string PlatformKey(PlatformId id) {
  const auto v = static_cast<int32_t>(id);
  switch (v) {
    case 0:
      return "twitch";
    case 1:
      return "youtube";
    case 2:
      return "kick";
    case 3:
      return "tiktok";
    case 4:
      return "youtube-shorts";
    default:
      return IsCustom(v) ? "custom-" + std::to_string(v - 31) : "twitch";
  }
}

}  // namespace plx
