#include "readers/youtube/ItemHandler.h"

#include "alerts/AddAlert.h"
#include "alerts/AlertDecoders.h"
#include "readers/youtube/ChatItem.h"
#include "readers/youtube/FastContinuation.h"
#include "readers/youtube/PageChat.h"

namespace vlo {

void HandleYouTubeChatItem(ChatHub& hub, std::string_view itemJson, SeenItems* seen) {
  HandleYouTubeChatValue(hub, json::ParseAny(itemJson), seen);
}

void HandleYouTubeChatValue(ChatHub& hub, const json::Json& item, SeenItems* seen) {
  const int64_t now = hub.GetClock().NowMs();
  if (!item.is_object()) return;
  if (seen && !seen->FirstTime(json::TextOr(item, "id"))) return;
  if (std::optional<AlertEvent> alert = DecodeYouTubeAlert(item, now)) AddAlert(hub, *alert);
  YouTubeItemResult result = ParseYouTubeChatValue(item, now);
  if (result.removal) hub.ApplyRemoval(*result.removal);
  if (result.message) hub.AddMessage(std::move(*result.message));
}

std::optional<std::string> HandleContinuationResponse(ChatHub& hub, std::string_view body,
                                                      SeenItems* seen) {
  std::optional<FeedAnswer> answer = ReadContinuationFast(body, hub.GetClock().NowMs());
  if (!answer) {
    std::optional<PageChat> chat = ParseContinuationResponse(body);
    if (!chat) return std::nullopt;
    for (const std::string& item : chat->items) HandleYouTubeChatItem(hub, item, seen);
    return std::move(chat->continuation);
  }
  for (FeedItem& entry : answer->items) {
    if (entry.item) {
      HandleYouTubeChatValue(hub, *entry.item, seen);
      continue;
    }
    if (seen && !seen->FirstTime(entry.seenId)) continue;
    if (entry.removal) hub.ApplyRemoval(*entry.removal);
    if (entry.message) hub.AddMessage(std::move(*entry.message));
  }
  return std::move(answer->continuation);
}

}  // namespace vlo
