#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

using plx::PlatformId;

SendResult SendYouTube(ChatHub& hub, const Endpoints& endpoints, const std::string& text) {
  const auto token{hub.UsableToken(PlatformId::YouTube)};
  if (!token) return {PlatformId::YouTube, false, "not signed in"};

  const std::string liveChatId{hub.PlatformIdOf(PlatformId::YouTube)};
  if (liveChatId.empty()) return {PlatformId::YouTube, false, "no live chat"};

  const json::Json body{{"snippet",
                         {{"liveChatId", liveChatId},
                          {"textMessageDetails", {{"messageText", text}}},
                          {"type", "textMessageEvent"}}}};
  const plx::HttpResponse response{detail::SendJson(
      hub, "POST", endpoints.youtubeApi + "/youtube/v3/liveChat/messages?part=snippet",
      json::Dump(body), plx::BearerHeaders(token->accessToken, {}))};
  if (!detail::IsSuccess(response.status)) {
    return {PlatformId::YouTube, false,
            detail::HideToken(ApiErrorText(response), token->accessToken)};
  }
  return {PlatformId::YouTube, true, "sent"};
}

}  // namespace vlo
