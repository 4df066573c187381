#include <string>

#include "alerts/AlertDecoders.h"
#include "alerts/AlertFields.h"

namespace vlo {
namespace {

using alert_fields::NumberMember;
using alert_fields::Text;

// "App\Events\SubscriptionEvent" -> "SubscriptionEvent".
std::string_view LastSegment(std::string_view eventName) {
  const size_t slash = eventName.rfind('\\');
  return slash == std::string_view::npos ? eventName : eventName.substr(slash + 1);
}

// Fills kind, user, count, amount and message; false when the event is no alert.
bool DecodeFields(std::string_view name, const json::Json& data, AlertEvent& event) {
  // A subscription arrives as both "ChannelSubscriptionEvent" and "SubscriptionEvent"; only the
  // latter becomes the alert, so one subscription gives one row.
  if (name == "SubscriptionEvent") {
    event.user = Text(data, "username");
    event.count = NumberMember(data, "months");
    event.kind = event.count < 2 ? AlertKind::Subscribe : AlertKind::Resubscribe;
  } else if (name == "GiftedSubscriptionsEvent") {
    event.kind = AlertKind::GiftSub;
    event.user = Text(data, "gifter_username");
    if (const json::Json* names = json::Find(data, "gifted_usernames");
        names && names->is_array()) {
      event.count = static_cast<int32_t>(std::min<size_t>(names->size(), INT32_MAX));
      if (names->size() == 1 && (*names)[0].is_string()) {
        event.message = (*names)[0].get<std::string>();
      }
    }
    if (event.count < 1) event.count = 1;
  } else if (name == "StreamHostEvent") {
    event.kind = AlertKind::Raid;
    event.user = Text(data, "host_username");
    event.count = NumberMember(data, "number_viewers");
    event.message = Text(data, "optional_message");
  } else if (name == "StreamHostedEvent") {
    const json::Json& message = json::ObjectMember(data, "message");
    event.kind = AlertKind::Raid;
    event.user = Text(json::ObjectMember(data, "user"), "username");
    event.count = NumberMember(message, "numberOfViewers");
    event.message = Text(message, "optionalMessage");
  } else if (name == "KicksGifted") {
    const json::Json& gift = json::ObjectMember(data, "gift");
    event.kind = AlertKind::Gift;
    event.user = Text(json::ObjectMember(data, "sender"), "username");
    event.count = NumberMember(gift, "amount");
    event.amount = event.count >= 1 ? std::to_string(event.count) + " Kicks" : Text(gift, "name");
    event.message = Text(data, "message");
  } else if (name == "FollowersUpdated") {
    if (json::BoolMember(data, "followed") != true) return false;
    event.kind = AlertKind::Follow;
    event.user = Text(data, "username");
  } else {
    return false;
  }
  return true;
}

std::string PayloadId(std::string_view name, const json::Json& data) {
  std::string id = Text(data, "id");
  if (id.empty() && name == "StreamHostedEvent")
    id = Text(json::ObjectMember(data, "message"), "id");
  return id;
}

}  // namespace

std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName, const json::Json& data,
                                          int64_t nowMs) {
  if (data.is_string()) {
    return DecodeKickAlert(eventName, std::string_view{data.get_ref<const std::string&>()}, nowMs);
  }
  if (!data.is_object()) return std::nullopt;
  const std::string_view name = LastSegment(eventName);
  AlertEvent event;
  if (!DecodeFields(name, data, event) || event.user.empty()) return std::nullopt;
  const std::string payloadId = PayloadId(name, data);
  event.id = "kick-ev-" + (payloadId.empty() ? std::to_string(nowMs) + "-" +
                                                   AlertKindName(event.kind) + "-" + event.user
                                             : payloadId);
  event.platform = plx::PlatformId::Kick;
  event.timestamp = nowMs;
  return event;
}

std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName, std::string_view dataText,
                                          int64_t nowMs) {
  json::Json data = json::ParseAny(dataText);
  if (data.is_string()) data = json::ParseAny(data.get_ref<const std::string&>());
  if (!data.is_object()) return std::nullopt;
  return DecodeKickAlert(eventName, data, nowMs);
}

}  // namespace vlo
