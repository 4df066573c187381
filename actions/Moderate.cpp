#include <algorithm>
#include <array>

#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

namespace {

using json::Json;
using plx::PlatformId;

constexpr int32_t kMinTimeoutSeconds{60};
constexpr int32_t kMaxTimeoutSeconds{1209600};

// Data API 403 reasons that are about the quota or the chat itself rather than the user's
// rights in the channel: the owner-or-moderator sentence would send the user the wrong way.
bool IsNotAboutPermission(const std::string& reason) {
  static constexpr std::array<std::string_view, 6> kReasons{
      "quotaExceeded", "rateLimitExceeded", "dailyLimitExceeded",
      "liveChatEnded", "liveChatDisabled",  "liveChatNotFound",
  };
  std::string lower{reason};
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower.find("quota") != std::string::npos) return true;
  return std::find(kReasons.begin(), kReasons.end(), reason) != kReasons.end();
}

bool YouTubeRefusalIsNotAboutPermission(const plx::HttpResponse& response) {
  const Json doc = json::ParseObject(response.body);
  for (const Json& error : json::ArrayMember(json::ObjectMember(doc, "error"), "errors")) {
    const Json* reason{json::Find(error, "reason")};
    if (reason && reason->is_string() && IsNotAboutPermission(reason->get<std::string>())) {
      return true;
    }
  }
  return false;
}

}  // namespace

ModerationResult ModerationOutcome(PlatformId platform, const plx::HttpResponse& response) {
  if (detail::IsSuccess(response.status)) return {true, "done"};
  const bool refused{response.status == 401 || response.status == 403};
  const bool quotaOrChat{platform == PlatformId::YouTube && response.status == 403 &&
                         YouTubeRefusalIsNotAboutPermission(response)};
  if (refused && !quotaOrChat) {
    return {false, std::string{plx::PlatformName(platform)} +
                       " did not allow this. You need to be the channel owner or a moderator "
                       "there; if you are, sign in again under Channels & accounts."};
  }
  return {false, ApiErrorText(response)};
}

ModerationResult Moderate(ChatHub& hub, const Endpoints& endpoints, const plx::ChatMessage& message,
                          ModAction action, int32_t seconds) {
  if (!plx::IsViewerMessage(message)) return {false, "Only viewer messages can be moderated."};
  if (action == ModAction::Delete) {
    if (message.platformMessageId.empty()) {
      return {false, "This message has no platform id, so it cannot be deleted."};
    }
  } else if (message.authorId.empty()) {
    return {false, "The sender's account id is unknown."};
  }
  seconds = std::clamp(seconds, kMinTimeoutSeconds, kMaxTimeoutSeconds);

  ModerationResult result;
  switch (message.platform) {
    case PlatformId::Twitch:
      result = ModerateTwitch(hub, endpoints, message, action, seconds);
      break;
    case PlatformId::YouTube:
      result = ModerateYouTube(hub, endpoints, message, action, seconds);
      break;
    case PlatformId::Kick:
      result = ModerateKick(hub, endpoints, message, action, seconds);
      break;
    default:
      return {false, "Moderation is not available here."};
  }

  // Shown at once; the platform's own notice, when it comes, changes nothing more.
  if (result.ok) {
    if (action == ModAction::Delete) {
      hub.ApplyRemoval({RemovalKind::Message, message.platform, message.platformMessageId});
    } else {
      hub.ApplyRemoval({RemovalKind::Author, message.platform, message.authorId});
    }
  }
  return result;
}

}  // namespace vlo
