#pragma once

#include <cstdint>
#include <string>

namespace plx {

// Shared with the sibling product's configuration files: values 3, 4 and 32..51 exist only there.
enum class PlatformId : int32_t {
  Twitch = 0,
  YouTube = 1,
  Kick = 2,
  TikTok = 3,
  YouTubeShorts = 4,
};

inline constexpr PlatformId kReadPlatforms[] = {PlatformId::Twitch, PlatformId::YouTube,
                                                PlatformId::Kick};

const char* PlatformName(PlatformId id);
// Never fails: an unknown value maps to "twitch".
std::string PlatformKey(PlatformId id);

}  // namespace plx
