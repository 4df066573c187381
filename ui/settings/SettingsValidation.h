#pragma once

#include <string>
#include <string_view>

namespace vlo {

inline constexpr std::string_view kTwitchFieldError{
    "That Twitch channel name doesn't look right (letters, numbers and _ only)."};
inline constexpr std::string_view kYouTubeFieldError{
    "Paste a YouTube live video link, a channel link or an @handle - or leave it empty."};
inline constexpr std::string_view kKickFieldError{"That Kick channel name doesn't look right."};

// Which channel field failed first, in the order the fields are checked.
enum class ChannelField { None, Twitch, YouTube, Kick };

// What Save makes of the three channel fields.
struct ChannelCheck {
  ChannelField failed{ChannelField::None};
  std::string error;          // the text for the error line; empty when every field is valid
  std::string twitchChannel;  // normalised
  std::string youtubeTarget;  // as typed, or empty when it holds only spaces and tabs
  std::string kickChannel;    // normalised

  bool ok() const { return failed == ChannelField::None; }
};

// Checks Twitch, then YouTube, then Kick (UTF-8 text as typed); the first failure wins.
ChannelCheck CheckChannelFields(std::string_view twitch, std::string_view youtube,
                                std::string_view kick);

}  // namespace vlo
