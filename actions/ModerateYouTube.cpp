#include <cstdlib>

#include "actions/ActionRequest.h"
#include "actions/Actions.h"
#include "core/Json.h"

namespace vlo {

namespace {

using json::Json;
using plx::PlatformId;

constexpr int64_t kSameMessageWithinMs{5000};

plx::HttpResponse DeleteMessage(ChatHub& hub, const Endpoints& endpoints, const std::string& id,
                                const std::string& headers) {
  return detail::SendBare(
      hub, "DELETE",
      endpoints.youtubeApi + "/youtube/v3/liveChat/messages?id=" + plx::PercentEncode(id), headers);
}

// The page reader's message ids are unknown to the Data API: finds the Data API's id of the
// same message among the chat's recent items, by author and then by text or time.
std::string FindDataApiId(ChatHub& hub, const Endpoints& endpoints, const plx::ChatMessage& message,
                          const std::string& liveChatId, const std::string& headers) {
  const plx::HttpResponse response{detail::SendBare(
      hub, "GET",
      endpoints.youtubeApi + "/youtube/v3/liveChat/messages?liveChatId=" +
          plx::PercentEncode(liveChatId) + "&part=snippet,authorDetails&maxResults=200",
      headers)};
  if (!detail::IsSuccess(response.status)) return {};
  const Json doc = json::ParseObject(response.body);
  const Json* items{json::Find(doc, "items")};
  if (!items || !items->is_array()) return {};
  for (const Json& item : *items) {
    const Json& snippet = json::ObjectMember(item, "snippet");
    if (json::TextMember(json::ObjectMember(item, "authorDetails"), "channelId") !=
        message.authorId) {
      continue;
    }
    const bool sameText{json::TextMember(snippet, "displayMessage") == message.body};
    const int64_t published{plx::ParseIsoTimeMs(json::TextOr(snippet, "publishedAt"))};
    const bool sameTime{published != 0 &&
                        std::llabs(published - message.timestampMs) <= kSameMessageWithinMs};
    if (!sameText && !sameTime) continue;
    return json::TextOr(item, "id");
  }
  return {};
}

}  // namespace

ModerationResult ModerateYouTube(ChatHub& hub, const Endpoints& endpoints,
                                 const plx::ChatMessage& message, ModAction action,
                                 int32_t seconds) {
  const auto token{hub.UsableToken(PlatformId::YouTube)};
  if (!token) return {false, "Sign in to YouTube first."};

  const std::string headers{plx::BearerHeaders(token->accessToken, {})};
  const std::string liveChatId{hub.PlatformIdOf(PlatformId::YouTube)};
  plx::HttpResponse response;
  if (action == ModAction::Delete) {
    response = DeleteMessage(hub, endpoints, message.platformMessageId, headers);
    if ((response.status == 400 || response.status == 404) && !liveChatId.empty()) {
      const std::string id{FindDataApiId(hub, endpoints, message, liveChatId, headers)};
      if (!id.empty()) response = DeleteMessage(hub, endpoints, id, headers);
    }
  } else {
    if (liveChatId.empty()) return {false, "The YouTube live chat is not connected."};
    Json snippet{{"bannedUserDetails", {{"channelId", message.authorId}}},
                 {"liveChatId", liveChatId}};
    if (action == ModAction::Timeout) {
      snippet["banDurationSeconds"] = seconds;
      snippet["type"] = "temporary";
    } else {
      snippet["type"] = "permanent";
    }
    response = detail::SendJson(hub, "POST",
                                endpoints.youtubeApi + "/youtube/v3/liveChat/bans?part=snippet",
                                json::Dump(Json{{"snippet", snippet}}), headers);
  }
  ModerationResult result{ModerationOutcome(PlatformId::YouTube, response)};
  result.detail = detail::HideToken(std::move(result.detail), token->accessToken);
  return result;
}

}  // namespace vlo
