#include <algorithm>

#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

using plx::PlatformId;

ModerationResult ModerateTwitch(ChatHub& hub, const Endpoints& endpoints,
                                const plx::ChatMessage& message, ModAction action,
                                int32_t seconds) {
  const auto token{hub.UsableToken(PlatformId::Twitch)};
  if (!token) return {false, "Sign in to Twitch first."};

  // A token granted without the scope would only be refused; an empty list means the scopes
  // are not known, so the request decides.
  const std::string_view scope{action == ModAction::Delete ? "moderator:manage:chat_messages"
                                                           : "moderator:manage:banned_users"};
  const auto& scopes{token->scopes};
  if (!scopes.empty() && std::find(scopes.begin(), scopes.end(), scope) == scopes.end()) {
    plx::HttpResponse refused;
    refused.status = 403;
    return ModerationOutcome(PlatformId::Twitch, refused);
  }

  const std::string roomId{hub.PlatformIdOf(PlatformId::Twitch)};
  const plx::AccountInfo account{hub.Accounts().LookupAccount(PlatformId::Twitch)};
  if (roomId.empty() || !account.userId || account.userId->empty()) {
    return {false, "Twitch chat is not connected."};
  }

  const std::string headers{
      plx::BearerHeaders(token->accessToken, hub.Accounts().ClientIdFor(PlatformId::Twitch))};
  const std::string query{"broadcaster_id=" + plx::PercentEncode(roomId) +
                          "&moderator_id=" + plx::PercentEncode(*account.userId)};
  plx::HttpResponse response;
  if (action == ModAction::Delete) {
    response = detail::SendBare(hub, "DELETE",
                                endpoints.twitchHelix + "/helix/moderation/chat?" + query +
                                    "&message_id=" + plx::PercentEncode(message.platformMessageId),
                                headers);
  } else {
    json::Json data{{"reason", detail::kModerationReason}, {"user_id", message.authorId}};
    if (action == ModAction::Timeout) data["duration"] = seconds;
    response =
        detail::SendJson(hub, "POST", endpoints.twitchHelix + "/helix/moderation/bans?" + query,
                         json::Dump(json::Json{{"data", data}}), headers);
  }
  ModerationResult result{ModerationOutcome(PlatformId::Twitch, response)};
  result.detail = detail::HideToken(std::move(result.detail), token->accessToken);
  return result;
}

}  // namespace vlo
