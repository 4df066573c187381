#include "readers/youtube/ItemHandler.h"

#include "alerts/AddAlert.h"
#include "alerts/AlertDecoders.h"
#include "readers/youtube/ChatItem.h"

namespace vlo {

void HandleYouTubeChatItem(ChatHub& hub, std::string_view itemJson, SeenItems* seen) {
  const int64_t now = hub.GetClock().NowMs();
  const json::Json item = json::ParseAny(itemJson);
  if (!item.is_object()) return;
  if (seen && !seen->FirstTime(json::TextOr(item, "id"))) return;
  if (std::optional<AlertEvent> alert = DecodeYouTubeAlert(item, now)) AddAlert(hub, *alert);
  YouTubeItemResult result = ParseYouTubeChatValue(item, now);
  if (result.removal) hub.ApplyRemoval(*result.removal);
  if (result.message) hub.AddMessage(std::move(*result.message));
}

}  // namespace vlo
