#include <string>

#include "alerts/AlertDecoders.h"
#include "alerts/AlertFields.h"
#include "core/ChatMessage.h"

namespace vlo {
namespace {

using alert_fields::NumberMember;
using alert_fields::Text;

int64_t PublishedMs(const json::Json& snippet, int64_t nowMs) {
  const int64_t ms = plx::ParseIsoTimeMs(Text(snippet, "publishedAt"));
  const int64_t wholeSeconds = ms / 1000 * 1000;
  return wholeSeconds > 0 ? wholeSeconds : nowMs;
}

}  // namespace

std::optional<AlertEvent> DecodeYouTubeAlert(const json::Json& item, int64_t nowMs) {
  const json::Json& snippet = json::ObjectMember(item, "snippet");
  const std::string type = Text(snippet, "type");
  AlertEvent event;
  if (type == "superChatEvent") {
    const json::Json& details = json::ObjectMember(snippet, "superChatDetails");
    event.kind = AlertKind::SuperChat;
    event.amount = Text(details, "amountDisplayString");
    event.message = Text(details, "userComment");
  } else if (type == "superStickerEvent") {
    const json::Json& details = json::ObjectMember(snippet, "superStickerDetails");
    event.kind = AlertKind::SuperSticker;
    event.amount = Text(details, "amountDisplayString");
    event.message = Text(json::ObjectMember(details, "superStickerMetadata"), "altText");
  } else if (type == "newSponsorEvent") {
    event.kind = AlertKind::Membership;
    event.amount = Text(json::ObjectMember(snippet, "newSponsorDetails"), "memberLevelName");
  } else if (type == "memberMilestoneChatEvent") {
    const json::Json& details = json::ObjectMember(snippet, "memberMilestoneChatDetails");
    event.kind = AlertKind::Membership;
    event.count = NumberMember(details, "memberMonth");
    event.amount = Text(details, "memberLevelName");
    event.message = Text(details, "userComment");
  } else if (type == "membershipGiftingEvent") {
    event.kind = AlertKind::GiftSub;
    event.count = NumberMember(json::ObjectMember(snippet, "membershipGiftingDetails"),
                               "giftMembershipsCount");
  } else {
    return std::nullopt;
  }
  event.platform = plx::PlatformId::YouTube;
  event.user = Text(json::ObjectMember(item, "authorDetails"), "displayName");
  const std::string itemId = Text(item, "id");
  event.id = "yt-ev-" + (itemId.empty() ? std::to_string(nowMs) : itemId);
  event.timestamp = PublishedMs(snippet, nowMs);
  return event;
}

std::optional<AlertEvent> DecodeYouTubeAlert(std::string_view itemJson, int64_t nowMs) {
  return DecodeYouTubeAlert(json::ParseObject(itemJson), nowMs);
}

}  // namespace vlo
