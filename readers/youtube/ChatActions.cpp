#include "readers/youtube/ChatActions.h"

#include <algorithm>
#include <cstdio>

namespace vlo {

namespace {

using json::Json;

std::string IdText(const Json& object, std::string_view key) { return json::TextOr(object, key); }

std::string TextOf(const Json& object, std::string_view key) {
  const Json* value = json::Find(object, key);
  return value ? RunsToText(*value) : std::string{};
}

// `nameHolder` is the object whose "authorName" names the author (normally the renderer).
Json AuthorDetails(const Json& renderer, const Json& nameHolder) {
  bool owner = false;
  bool moderator = false;
  bool sponsor = false;
  bool verified = false;
  for (const Json& badge : json::ArrayMember(renderer, "authorBadges")) {
    const Json* badgeRenderer = json::Find(badge, "liveChatAuthorBadgeRenderer");
    if (!badgeRenderer || !badgeRenderer->is_object()) continue;
    const std::string icon = json::TextOr(json::ObjectMember(*badgeRenderer, "icon"), "iconType");
    if (icon == "OWNER") {
      owner = true;
    } else if (icon == "MODERATOR") {
      moderator = true;
    } else if (icon == "VERIFIED" || icon == "CHECK_CIRCLE_THICK") {
      verified = true;
    } else if (json::Find(*badgeRenderer, "customThumbnail")) {
      sponsor = true;
    }
  }
  Json details = Json::object();
  details["displayName"] = TextOf(nameHolder, "authorName");
  details["channelId"] = IdText(renderer, "authorExternalChannelId");
  details["isChatOwner"] = owner;
  details["isChatModerator"] = moderator;
  details["isChatSponsor"] = sponsor;
  details["isVerified"] = verified;
  return details;
}

std::string JoinNonEmpty(const std::string& first, std::string_view separator,
                         const std::string& second) {
  return second.empty() ? first : first + std::string{separator} + second;
}

// The snippet's type, display message and details for one renderer kind; false for other kinds.
bool FillSnippet(std::string_view kind, const Json& r, Json& snippet) {
  if (kind == "liveChatTextMessageRenderer") {
    std::string message = TextOf(r, "message");
    if (message.empty()) return false;
    snippet["type"] = "textMessageEvent";
    snippet["displayMessage"] = std::move(message);
    return true;
  }
  if (kind == "liveChatPaidMessageRenderer") {
    const std::string amount = TextOf(r, "purchaseAmountText");
    const std::string message = TextOf(r, "message");
    snippet["type"] = "superChatEvent";
    snippet["displayMessage"] = JoinNonEmpty(amount, " ", message);
    snippet["superChatDetails"] = {{"amountDisplayString", amount}, {"userComment", message}};
    return true;
  }
  if (kind == "liveChatPaidStickerRenderer") {
    const std::string amount = TextOf(r, "purchaseAmountText");
    const Json& accessibility =
        json::ObjectMember(json::ObjectMember(r, "sticker"), "accessibility");
    const std::string label =
        json::TextOr(json::ObjectMember(accessibility, "accessibilityData"), "label");
    snippet["type"] = "superStickerEvent";
    snippet["displayMessage"] = JoinNonEmpty(amount, " ", label);
    snippet["superStickerDetails"] = {{"amountDisplayString", amount},
                                      {"superStickerMetadata", {{"altText", label}}}};
    return true;
  }
  if (kind == "liveChatMembershipItemRenderer") {
    const std::string primary = TextOf(r, "headerPrimaryText");
    const std::string subtext = TextOf(r, "headerSubtext");
    if (!primary.empty()) {
      const std::string message = TextOf(r, "message");
      snippet["type"] = "memberMilestoneChatEvent";
      snippet["displayMessage"] = JoinNonEmpty(primary, ": ", message);
      snippet["memberMilestoneChatDetails"] = {{"memberMonth", NumberInText(primary)},
                                               {"memberLevelName", subtext},
                                               {"userComment", message}};
    } else {
      snippet["type"] = "newSponsorEvent";
      snippet["displayMessage"] = subtext.empty() ? std::string{"New member"} : subtext;
      snippet["newSponsorDetails"] = {{"memberLevelName", ""}};
    }
    return true;
  }
  if (kind == "liveChatSponsorshipsGiftPurchaseAnnouncementRenderer") {
    const Json& header =
        json::ObjectMember(json::ObjectMember(r, "header"), "liveChatSponsorshipsHeaderRenderer");
    const std::string primary = TextOf(header, "primaryText");
    snippet["type"] = "membershipGiftingEvent";
    snippet["displayMessage"] = primary.empty() ? std::string{"Gifted memberships"} : primary;
    snippet["membershipGiftingDetails"] = {
        {"giftMembershipsCount", std::max<int64_t>(1, NumberInText(primary))}};
    return true;
  }
  return false;
}

constexpr std::string_view kRendererKinds[] = {
    "liveChatTextMessageRenderer",
    "liveChatPaidMessageRenderer",
    "liveChatPaidStickerRenderer",
    "liveChatMembershipItemRenderer",
    "liveChatSponsorshipsGiftPurchaseAnnouncementRenderer",
};

// The renderer the item holds; an item carries one, so the lookup order only settles oddities.
std::pair<std::string_view, const Json*> FindRenderer(const Json& item) {
  for (std::string_view kind : kRendererKinds) {
    const Json* renderer = json::Find(item, kind);
    if (renderer && renderer->is_object()) return {kind, renderer};
  }
  return {{}, nullptr};
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string RunsToText(const Json& text) {
  if (!text.is_object()) return {};
  const Json* simple = json::Find(text, "simpleText");
  if (simple && simple->is_string()) return simple->get<std::string>();
  std::string out;
  for (const Json& run : json::ArrayMember(text, "runs")) {
    const Json* runText = json::Find(run, "text");
    if (runText && runText->is_string()) {
      out += runText->get_ref<const std::string&>();
      continue;
    }
    const Json* emoji = json::Find(run, "emoji");
    if (!emoji || !emoji->is_object()) continue;
    if (json::BoolMember(*emoji, "isCustomEmoji").value_or(false)) {
      const Json& shortcuts = json::ArrayMember(*emoji, "shortcuts");
      if (!shortcuts.empty() && shortcuts[0].is_string()) {
        out += shortcuts[0].get_ref<const std::string&>();
        continue;
      }
    }
    out += json::TextOr(*emoji, "emojiId");
  }
  return out;
}

std::string UsecToIso(std::string_view usec) {
  if (usec.empty() || usec.size() > 19) return {};
  uint64_t value = 0;
  for (char c : usec) {
    if (c < '0' || c > '9') return {};
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  const auto seconds = static_cast<int64_t>(value / 1000000);
  const auto millis = static_cast<int>((value / 1000) % 1000);
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(seconds / 86400, year, month, day);
  const int64_t secondOfDay = seconds % 86400;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<long long>(year), month, day, static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60),
                millis);
  return buffer;
}

int64_t NumberInText(std::string_view text) {
  int64_t value = 0;
  bool seen = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      seen = true;
      if (value <= 99999) value = value * 10 + (c - '0');
    } else if (seen && c != ',' && c != '.') {
      break;
    }
  }
  return value;
}

std::optional<Json> ConvertRenderer(const Json& item) {
  const auto [kind, renderer] = FindRenderer(item);
  if (!renderer) return std::nullopt;

  Json snippet = Json::object();
  if (!FillSnippet(kind, *renderer, snippet)) return std::nullopt;
  snippet["publishedAt"] = UsecToIso(json::TextOr(*renderer, "timestampUsec"));

  Json chatItem = Json::object();
  if (auto id = json::TextMember(*renderer, "id"); id && !id->empty()) chatItem["id"] = *id;
  chatItem["snippet"] = std::move(snippet);
  const Json* nameHolder = renderer;
  if (kind == "liveChatSponsorshipsGiftPurchaseAnnouncementRenderer" &&
      !json::Find(*renderer, "authorName")) {
    // The gifter's name sits in the announcement's header.
    nameHolder = &json::ObjectMember(json::ObjectMember(*renderer, "header"),
                                     "liveChatSponsorshipsHeaderRenderer");
  }
  chatItem["authorDetails"] = AuthorDetails(*renderer, *nameHolder);
  return chatItem;
}

std::optional<Json> ConvertChatAction(const Json& action) {
  if (!action.is_object()) return std::nullopt;
  std::optional<Json> chatItem;
  if (const Json* add = json::Find(action, "addChatItemAction"); add && add->is_object()) {
    if (const Json* item = json::Find(*add, "item")) chatItem = ConvertRenderer(*item);
  } else if (const Json* remove = json::Find(action, "removeChatItemAction")
                                      ? json::Find(action, "removeChatItemAction")
                                      : json::Find(action, "markChatItemAsDeletedAction")) {
    chatItem = Json{{"snippet",
                     {{"type", "messageDeletedEvent"},
                      {"messageDeletedDetails",
                       {{"deletedMessageId", json::TextOr(*remove, "targetItemId")}}}}}};
  } else if (const Json* ban = json::Find(action, "removeChatItemByAuthorAction")
                                   ? json::Find(action, "removeChatItemByAuthorAction")
                                   : json::Find(action, "markChatItemsByAuthorAsDeletedAction")) {
    chatItem = Json{
        {"snippet",
         {{"type", "userBannedEvent"},
          {"userBannedDetails",
           {{"bannedUserDetails", {{"channelId", json::TextOr(*ban, "externalChannelId")}}}}}}}};
  }
  if (chatItem && !chatItem->is_object()) return std::nullopt;
  return chatItem;
}

void ConvertChatActions(const Json& actions, std::vector<std::string>& items) {
  if (!actions.is_array()) return;
  for (const Json& action : actions) {
    if (std::optional<Json> chatItem = ConvertChatAction(action)) {
      items.push_back(json::Dump(*chatItem));
    }
  }
}

}  // namespace vlo
