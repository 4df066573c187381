#include <string>

#include "alerts/AlertDecoders.h"
#include "alerts/AlertFields.h"
#include "alerts/TwitchTags.h"
#include "core/TextRules.h"

namespace vlo {
namespace {

constexpr std::string_view kAnonymousGifter = "An anonymous gifter";

// The parts of a tagged IRC line the decoder needs, as views into the line.
struct LineParts {
  std::string_view tags;
  std::string_view command;
  std::string_view trailing;  // after the first " :" that follows the command; may be empty
};

std::optional<LineParts> SplitLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (!line.starts_with('@')) return std::nullopt;
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  LineParts parts;
  parts.tags = line.substr(1, space - 1);
  std::string_view rest = line.substr(space);
  const auto skipSpaces = [&rest] {
    const size_t n = rest.find_first_not_of(' ');
    rest = n == std::string_view::npos ? std::string_view{} : rest.substr(n);
  };
  skipSpaces();
  if (rest.starts_with(':')) {  // the source prefix
    const size_t end = rest.find(' ');
    if (end == std::string_view::npos) return std::nullopt;
    rest = rest.substr(end);
    skipSpaces();
  }
  const size_t commandEnd = rest.find(' ');
  parts.command = rest.substr(0, commandEnd);
  if (commandEnd != std::string_view::npos) {
    const size_t colon = rest.find(" :", commandEnd);
    if (colon != std::string_view::npos) parts.trailing = rest.substr(colon + 2);
  }
  return parts;
}

AlertEvent BaseEvent(std::string_view tags, std::string_view idPrefix, int64_t nowMs) {
  AlertEvent event;
  event.platform = plx::PlatformId::Twitch;
  event.timestamp = nowMs;
  event.user = TagValue(tags, "display-name");
  if (event.user.empty()) event.user = TagValue(tags, "login");
  const std::string id = TagValue(tags, "id");
  event.id = std::string{idPrefix} + (id.empty() ? std::to_string(nowMs) : id);
  return event;
}

bool FromAnonymousLogin(std::string_view tags) {
  return AsciiLower(TagValue(tags, "login")) == "ananonymousgifter";
}

std::optional<AlertEvent> DecodeUserNotice(const LineParts& parts, int64_t nowMs) {
  const std::string msgId = TagValue(parts.tags, "msg-id");
  AlertEvent event = BaseEvent(parts.tags, "tw-ev-", nowMs);
  event.message = std::string{alert_fields::StripAction(parts.trailing)};
  const auto param = [&parts](std::string_view key) { return TagValue(parts.tags, key); };
  if (msgId == "sub") {
    event.kind = AlertKind::Subscribe;
    event.amount = TierName(param("msg-param-sub-plan"));
  } else if (msgId == "resub") {
    event.kind = AlertKind::Resubscribe;
    event.count = alert_fields::Number(param("msg-param-cumulative-months"));
    event.amount = TierName(param("msg-param-sub-plan"));
  } else if (msgId == "subgift" || msgId == "anonsubgift") {
    // A single gift that belongs to a mystery gift is already counted by the mystery gift.
    if (!param("msg-param-community-gift-id").empty()) return std::nullopt;
    event.kind = AlertKind::GiftSub;
    event.count = 1;
    event.message = param("msg-param-recipient-display-name");
    if (msgId == "anonsubgift" || FromAnonymousLogin(parts.tags)) event.user = kAnonymousGifter;
  } else if (msgId == "submysterygift" || msgId == "anonsubmysterygift") {
    event.kind = AlertKind::GiftSub;
    event.count = alert_fields::Number(param("msg-param-mass-gift-count"));
    if (msgId == "anonsubmysterygift" || FromAnonymousLogin(parts.tags)) {
      event.user = kAnonymousGifter;
    }
  } else if (msgId == "raid") {
    event.kind = AlertKind::Raid;
    if (std::string raider = param("msg-param-displayName"); !raider.empty()) {
      event.user = std::move(raider);
    }
    event.count = alert_fields::Number(param("msg-param-viewerCount"));
  } else {
    return std::nullopt;
  }
  return event;
}

std::optional<AlertEvent> DecodeCheer(const LineParts& parts, int64_t nowMs) {
  const auto bits = RawTagValue(parts.tags, "bits");
  if (!bits) return std::nullopt;
  const int32_t count = alert_fields::Number(UnescapeTagValue(*bits));
  if (count < 1) return std::nullopt;
  AlertEvent event = BaseEvent(parts.tags, "tw-cheer-", nowMs);
  event.kind = AlertKind::Cheer;
  event.count = count;
  event.amount = std::to_string(count) + (count == 1 ? " bit" : " bits");
  event.message = std::string{alert_fields::StripAction(parts.trailing)};
  return event;
}

}  // namespace

std::optional<AlertEvent> DecodeTwitchAlert(std::string_view line, int64_t nowMs) {
  const auto parts = SplitLine(line);
  if (!parts) return std::nullopt;
  if (parts->command == "USERNOTICE") return DecodeUserNotice(*parts, nowMs);
  if (parts->command == "PRIVMSG") return DecodeCheer(*parts, nowMs);
  return std::nullopt;
}

}  // namespace vlo
