#include <algorithm>

#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

using plx::PlatformId;

ModerationResult ModerateKick(ChatHub& hub, const Endpoints& endpoints,
                              const plx::ChatMessage& message, ModAction action, int32_t seconds) {
  const auto token{hub.UsableToken(PlatformId::Kick)};
  if (!token) return {false, "Sign in to Kick first."};

  const std::string headers{plx::BearerHeaders(token->accessToken, {})};
  plx::HttpResponse response;
  if (action == ModAction::Delete) {
    response = detail::SendBare(
        hub, "DELETE",
        endpoints.kickApi + "/public/v1/chat/" + plx::PercentEncode(message.platformMessageId),
        headers);
  } else {
    const auto broadcasterId{detail::ParseId(hub.PlatformIdOf(PlatformId::Kick))};
    const auto userId{detail::ParseId(message.authorId)};
    if (!broadcasterId || !userId) return {false, "Kick channel or user id unknown."};
    json::Json body{{"broadcaster_user_id", *broadcasterId},
                    {"reason", detail::kModerationReason},
                    {"user_id", *userId}};
    // Kick counts time-outs in whole minutes.
    if (action == ModAction::Timeout) body["duration"] = std::max(1, seconds / 60);
    response = detail::SendJson(hub, "POST", endpoints.kickApi + "/public/v1/moderation/bans",
                                json::Dump(body), headers);
  }

  // Kick answers 403 when the application has not been granted moderation; a 401 is a token
  // that expired or was revoked, which signing in again mends.
  if (response.status == 403) {
    return {false, "Kick moderation is not enabled for Velaro yet - moderate this one on " +
                       HostOf(endpoints.kickWeb) + "."};
  }
  ModerationResult result{ModerationOutcome(PlatformId::Kick, response)};
  result.detail = detail::HideToken(std::move(result.detail), token->accessToken);
  return result;
}

}  // namespace vlo
