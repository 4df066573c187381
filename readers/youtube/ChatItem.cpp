#include "readers/youtube/ChatItem.h"

namespace vlo {

using json::Json;

YouTubeItemResult ParseYouTubeChatItem(std::string_view itemJson, int64_t nowMs) {
  return ParseYouTubeChatValue(json::ParseAny(itemJson), nowMs);
}

YouTubeItemResult ParseYouTubeChatValue(const Json& item, int64_t nowMs) {
  YouTubeItemResult result;
  if (!item.is_object()) return result;
  const Json& snippet = json::ObjectMember(item, "snippet");
  const Json& author = json::ObjectMember(item, "authorDetails");
  const std::string type = json::TextOr(snippet, "type");

  if (type == "messageDeletedEvent") {
    std::string id =
        json::TextOr(json::ObjectMember(snippet, "messageDeletedDetails"), "deletedMessageId");
    if (!id.empty()) result.removal = Removal{RemovalKind::Message, plx::PlatformId::YouTube, id};
    return result;
  }
  if (type == "userBannedEvent") {
    const Json& banned = json::ObjectMember(snippet, "userBannedDetails");
    std::string id = json::TextOr(json::ObjectMember(banned, "bannedUserDetails"), "channelId");
    if (!id.empty()) result.removal = Removal{RemovalKind::Author, plx::PlatformId::YouTube, id};
    return result;
  }
  if (type == "chatEndedEvent" || type == "tombstone") return result;

  plx::ChatMessage message;
  message.author = json::TextOr(author, "displayName");
  message.body = json::TextOr(snippet, "displayMessage");
  if (message.author.empty() || message.body.empty()) return result;

  // An empty id would make every such item a duplicate of the first; treat it as missing.
  message.platformMessageId = json::TextOr(item, "id");
  message.id = "yt-" + (message.platformMessageId.empty() ? std::to_string(nowMs)
                                                          : message.platformMessageId);
  message.platform = plx::PlatformId::YouTube;
  message.authorId = json::TextOr(author, "channelId");
  const std::pair<std::string_view, const char*> roles[] = {{"isChatOwner", "broadcaster"},
                                                            {"isChatModerator", "moderator"},
                                                            {"isChatSponsor", "member"},
                                                            {"isVerified", "verified"}};
  for (const auto& [flag, tag] : roles) {
    if (json::BoolMember(author, flag).value_or(false)) message.tags.emplace_back(tag);
  }
  message.timestampMs = plx::ParseIsoTimeMs(json::TextOr(snippet, "publishedAt"));
  if (message.timestampMs == 0) message.timestampMs = nowMs;
  result.message = std::move(message);
  return result;
}

}  // namespace vlo
