#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

using plx::PlatformId;

SendResult SendKick(ChatHub& hub, const Endpoints& endpoints, const std::string& text) {
  const auto token{hub.UsableToken(PlatformId::Kick)};
  if (!token) return {PlatformId::Kick, false, "not signed in"};

  const std::string broadcaster{hub.PlatformIdOf(PlatformId::Kick)};
  if (broadcaster.empty()) return {PlatformId::Kick, false, "chat not connected yet"};
  const auto broadcasterId{detail::ParseId(broadcaster)};
  if (!broadcasterId) return {PlatformId::Kick, false, "unexpected Kick channel id"};

  const json::Json body{
      {"broadcaster_user_id", *broadcasterId}, {"content", text}, {"type", "user"}};
  const plx::HttpResponse response{
      detail::SendJson(hub, "POST", endpoints.kickApi + "/public/v1/chat", json::Dump(body),
                       plx::BearerHeaders(token->accessToken, {}))};
  if (!detail::IsSuccess(response.status)) {
    return {PlatformId::Kick, false, detail::HideToken(ApiErrorText(response), token->accessToken)};
  }
  return {PlatformId::Kick, true, "sent"};
}

}  // namespace vlo
