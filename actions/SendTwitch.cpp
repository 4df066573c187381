#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

namespace {

using json::Json;
using plx::PlatformId;

// A 2xx answer still tells whether the message went out: data[0].is_sent false means it was
// held back (AutoMod, duplicate, slow mode …), with the reason in drop_reason.message.
SendResult HeldBackOrSent(const plx::HttpResponse& response) {
  const Json doc = json::ParseObject(response.body);
  const Json& data = json::ArrayMember(doc, "data");
  if (!data.empty() && json::BoolMember(data[0], "is_sent") == false) {
    std::string detail{"Twitch held the message back"};
    const Json* reason{json::Find(json::ObjectMember(data[0], "drop_reason"), "message")};
    if (reason && reason->is_string() && !reason->get_ref<const std::string&>().empty()) {
      detail += ": " + reason->get<std::string>();
    }
    return {PlatformId::Twitch, false, std::move(detail)};
  }
  return {PlatformId::Twitch, true, "sent"};
}

}  // namespace

SendResult SendTwitch(ChatHub& hub, const Endpoints& endpoints, const std::string& text) {
  const auto token{hub.UsableToken(PlatformId::Twitch)};
  if (!token) return {PlatformId::Twitch, false, "not signed in"};

  const std::string roomId{hub.PlatformIdOf(PlatformId::Twitch)};
  const plx::AccountInfo account{hub.Accounts().LookupAccount(PlatformId::Twitch)};
  if (roomId.empty() || !account.userId || account.userId->empty()) {
    return {PlatformId::Twitch, false, "chat not connected yet"};
  }

  const Json body{{"broadcaster_id", roomId}, {"message", text}, {"sender_id", *account.userId}};
  const plx::HttpResponse response{detail::SendJson(
      hub, "POST", endpoints.twitchHelix + "/helix/chat/messages", json::Dump(body),
      plx::BearerHeaders(token->accessToken, hub.Accounts().ClientIdFor(PlatformId::Twitch)))};

  if (response.status == 401 || response.status == 403) {
    return {PlatformId::Twitch, false,
            detail::HideToken("Twitch did not allow sending here: " + ApiErrorText(response),
                              token->accessToken)};
  }
  if (!detail::IsSuccess(response.status)) {
    return {PlatformId::Twitch, false,
            detail::HideToken(ApiErrorText(response), token->accessToken)};
  }
  SendResult result{HeldBackOrSent(response)};
  result.detail = detail::HideToken(std::move(result.detail), token->accessToken);
  return result;
}

}  // namespace vlo
