#include "ui/settings/SettingsValidation.h"

#include "core/ChatSettings.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

ChannelCheck Failure(ChannelField field, std::string_view error) {
  ChannelCheck check;
  check.failed = field;
  check.error = std::string{error};
  return check;
}

bool OnlyBlanks(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

ChannelCheck CheckChannelFields(std::string_view twitch, std::string_view youtube,
                                std::string_view kick) {
  const std::optional<std::string> twitchName{NormaliseTwitchChannel(twitch)};
  if (!twitchName) return Failure(ChannelField::Twitch, kTwitchFieldError);
  if (!ParseYouTubeTarget(youtube)) return Failure(ChannelField::YouTube, kYouTubeFieldError);
  const std::optional<std::string> kickName{NormaliseKickChannel(kick)};
  if (!kickName) return Failure(ChannelField::Kick, kKickFieldError);

  ChannelCheck check;
  check.twitchChannel = *twitchName;
  check.kickChannel = *kickName;
  if (!OnlyBlanks(youtube)) check.youtubeTarget = std::string{youtube};
  return check;
}

}  // namespace vlo
