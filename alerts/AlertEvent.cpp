#include "alerts/AlertEvent.h"

namespace vlo {
namespace {

std::string NameOrSomeone(const AlertEvent& event) {
  return event.user.empty() ? std::string{"Someone"} : event.user;
}

void AppendParenthesised(std::string& text, const std::string& amount) {
  if (!amount.empty()) text += " (" + amount + ")";
}

}  // namespace

const char* AlertKindName(AlertKind kind) {
  switch (kind) {
    case AlertKind::Follow:
      return "follow";
    case AlertKind::Subscribe:
      return "subscribe";
    case AlertKind::Resubscribe:
      return "resubscribe";
    case AlertKind::GiftSub:
      return "giftsub";
    case AlertKind::Cheer:
      return "cheer";
    case AlertKind::SuperChat:
      return "superchat";
    case AlertKind::SuperSticker:
      return "supersticker";
    case AlertKind::Membership:
      return "membership";
    case AlertKind::Raid:
      return "raid";
    case AlertKind::Gift:
      return "gift";
  }
  return "follow";
}

std::string AlertText(const AlertEvent& event) {
  std::string text = NameOrSomeone(event);
  const std::string count = std::to_string(event.count);
  switch (event.kind) {
    case AlertKind::Follow:
      return text + " followed";
    case AlertKind::Subscribe:
      text += " subscribed";
      AppendParenthesised(text, event.amount);
      return text;
    case AlertKind::Resubscribe:
      text += " resubscribed";
      if (event.count >= 2) text += " for " + count + " months";
      return text;
    case AlertKind::GiftSub: {
      const char* thing = event.platform == plx::PlatformId::YouTube ? "membership" : "sub";
      if (event.count > 1) return text + " gifted " + count + " " + thing + "s";
      text += std::string{" gifted a "} + thing;
      if (!event.message.empty()) text += " to " + event.message;
      return text;
    }
    case AlertKind::Cheer:
      return text + " cheered " + (event.amount.empty() ? std::string{"bits"} : event.amount);
    case AlertKind::SuperChat:
      text += " sent a Super Chat";
      AppendParenthesised(text, event.amount);
      return text;
    case AlertKind::SuperSticker:
      text += " sent a Super Sticker";
      AppendParenthesised(text, event.amount);
      return text;
    case AlertKind::Membership:
      if (event.count <= 0) {
        text += " became a member";
        AppendParenthesised(text, event.amount);
        return text;
      }
      return text + " has been a member for " + count + (event.count == 1 ? " month" : " months");
    case AlertKind::Raid:
      text += event.platform == plx::PlatformId::Kick ? " is hosting" : " raided";
      if (event.count >= 1) text += " with " + count + " viewers";
      return text;
    case AlertKind::Gift:
      return text + " sent " + (event.amount.empty() ? std::string{"a gift"} : event.amount);
  }
  return text;
}

std::string TierName(std::string_view plan) {
  if (plan == "Prime") return "Prime";
  if (plan == "1000") return "Tier 1";
  if (plan == "2000") return "Tier 2";
  if (plan == "3000") return "Tier 3";
  return {};
}

}  // namespace vlo
