#include "sim/youtube/YouTubeSimEvents.h"

#include <ctime>

namespace vlo::sim {

namespace {

using Json = nlohmann::json;

Json Simple(const std::string& text) { return Json{{"simpleText", text}}; }

Json Badge(const char* iconType, const char* tooltip) {
  return Json{
      {"liveChatAuthorBadgeRenderer", {{"icon", {{"iconType", iconType}}}, {"tooltip", tooltip}}}};
}

Json Badges(const YouTubeViewer& viewer) {
  Json badges = Json::array();
  if (viewer.owner) badges.push_back(Badge("OWNER", "Owner"));
  if (viewer.moderator) badges.push_back(Badge("MODERATOR", "Moderator"));
  if (viewer.verified) badges.push_back(Badge("CHECK_CIRCLE_THICK", "Verified"));
  if (viewer.member) {
    badges.push_back(Json{
        {"liveChatAuthorBadgeRenderer",
         {{"customThumbnail", {{"thumbnails", {{{"url", "https://yt3.ggpht.com/badge=s16"}}}}}},
          {"tooltip", "Member (6 months)"}}}});
  }
  return badges;
}

std::string Usec(int64_t timeMs) { return std::to_string(timeMs * 1000); }

std::string Iso(int64_t timeMs) {
  const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(timeMs % 1000));
  return buffer;
}

Json Renderer(const YouTubeEvent& e) {
  return Json{{"id", e.id},
              {"timestampUsec", Usec(e.timeMs)},
              {"authorName", Simple(e.viewer.name)},
              {"authorExternalChannelId", e.viewer.channelId},
              {"authorPhoto", {{"thumbnails", {{{"url", "https://yt3.ggpht.com/a=s64"}}}}}},
              {"authorBadges", Badges(e.viewer)}};
}

Json AddAction(const char* kind, Json renderer) {
  return Json{{"addChatItemAction", {{"item", {{kind, std::move(renderer)}}}, {"clientId", ""}}}};
}

std::string DisplayMessage(const YouTubeEvent& e) {
  auto join = [](const std::string& a, const char* sep, const std::string& b) {
    return b.empty() ? a : a + sep + b;
  };
  switch (e.kind) {
    case YouTubeEventKind::Text:
      return e.text;
    case YouTubeEventKind::SuperChat:
    case YouTubeEventKind::SuperSticker:
      return join(e.amount, " ", e.text);
    case YouTubeEventKind::NewMember:
      return e.text.empty() ? "New member" : "Welcome to " + e.text;
    case YouTubeEventKind::Milestone:
      return join("Member for " + std::to_string(e.count) + " months", ": ", e.text);
    case YouTubeEventKind::Gift:
      return "Sent " + std::to_string(e.count) + " gift memberships";
    default:
      return {};
  }
}

// What the page shows in place of a message a moderator removed.
Json DeletedState() { return Json{{"runs", {{{"text", "[message deleted]"}}}}}; }

}  // namespace

std::string ApiMessageId(const std::string& pageId) { return "LCC." + pageId; }

Json TextRuns(const std::string& text) {
  Json runs = Json::array();
  std::string plain;
  size_t i = 0;
  while (i < text.size()) {
    const size_t close = text[i] == ':' ? text.find(':', i + 1) : std::string::npos;
    const bool emoji = close != std::string::npos && close > i + 1 &&
                       text.find(' ', i) > close;  // ":name:" without spaces
    if (!emoji) {
      plain += text[i++];
      continue;
    }
    if (!plain.empty()) runs.push_back(Json{{"text", plain}});
    plain.clear();
    const std::string shortcut = text.substr(i, close - i + 1);
    runs.push_back(Json{{"emoji",
                         {{"emojiId", "UCsim/" + shortcut.substr(1, shortcut.size() - 2)},
                          {"shortcuts", {shortcut}},
                          {"searchTerms", {shortcut.substr(1, shortcut.size() - 2)}},
                          {"isCustomEmoji", true}}}});
    i = close + 1;
  }
  if (!plain.empty()) runs.push_back(Json{{"text", plain}});
  return Json{{"runs", runs}};
}

Json PageAction(const YouTubeEvent& e) {
  Json r = Renderer(e);
  switch (e.kind) {
    case YouTubeEventKind::Text:
      r["message"] = TextRuns(e.text);
      return AddAction("liveChatTextMessageRenderer", std::move(r));
    case YouTubeEventKind::SuperChat:
      r["purchaseAmountText"] = Simple(e.amount);
      if (!e.text.empty()) r["message"] = TextRuns(e.text);
      r["headerBackgroundColor"] = 4278239141u;
      return AddAction("liveChatPaidMessageRenderer", std::move(r));
    case YouTubeEventKind::SuperSticker:
      r["purchaseAmountText"] = Simple(e.amount);
      r["sticker"] = {{"thumbnails", {{{"url", "//lh3.googleusercontent.com/sticker"}}}},
                      {"accessibility", {{"accessibilityData", {{"label", e.text}}}}}};
      return AddAction("liveChatPaidStickerRenderer", std::move(r));
    case YouTubeEventKind::NewMember:
      r["headerSubtext"] = Json{{"runs", {{{"text", "Welcome to "}}, {{"text", e.text}}}}};
      if (e.text.empty()) r.erase("headerSubtext");
      return AddAction("liveChatMembershipItemRenderer", std::move(r));
    case YouTubeEventKind::Milestone:
      r["headerPrimaryText"] = Json{{"runs",
                                     {{{"text", "Member for "}},
                                      {{"text", std::to_string(e.count)}},
                                      {{"text", " months"}}}}};
      r["headerSubtext"] = Simple(e.level);
      if (!e.text.empty()) r["message"] = TextRuns(e.text);
      return AddAction("liveChatMembershipItemRenderer", std::move(r));
    case YouTubeEventKind::Gift: {
      // The gifter's name and badges sit in the announcement's header, as on the site.
      Json header = {{"authorName", Simple(e.viewer.name)},
                     {"authorBadges", Badges(e.viewer)},
                     {"primaryText",
                      {{"runs",
                        {{{"text", "Sent "}},
                         {{"text", std::to_string(e.count)}},
                         {{"text", " " + e.level + " gift memberships"}}}}}}};
      r.erase("authorName");
      r.erase("authorBadges");
      r["header"] = {{"liveChatSponsorshipsHeaderRenderer", std::move(header)}};
      return AddAction("liveChatSponsorshipsGiftPurchaseAnnouncementRenderer", std::move(r));
    }
    case YouTubeEventKind::Delete:
      if (e.byModerator) {
        return Json{{"markChatItemAsDeletedAction",
                     {{"deletedStateMessage", DeletedState()}, {"targetItemId", e.targetId}}}};
      }
      return Json{{"removeChatItemAction", {{"targetItemId", e.targetId}}}};
    case YouTubeEventKind::Ban:
      if (e.byModerator) {
        return Json{{"markChatItemsByAuthorAsDeletedAction",
                     {{"deletedStateMessage", DeletedState()}, {"externalChannelId", e.targetId}}}};
      }
      return Json{{"removeChatItemByAuthorAction", {{"externalChannelId", e.targetId}}}};
  }
  return Json::object();
}

Json ApiItem(const YouTubeEvent& e, const std::string& liveChatId) {
  Json snippet = {{"liveChatId", liveChatId},
                  {"authorChannelId", e.viewer.channelId},
                  {"publishedAt", Iso(e.timeMs)},
                  {"hasDisplayContent", true},
                  {"displayMessage", DisplayMessage(e)}};
  switch (e.kind) {
    case YouTubeEventKind::Text:
      snippet["type"] = "textMessageEvent";
      snippet["textMessageDetails"] = {{"messageText", e.text}};
      break;
    case YouTubeEventKind::SuperChat:
      snippet["type"] = "superChatEvent";
      snippet["superChatDetails"] = {{"amountDisplayString", e.amount},
                                     {"userComment", e.text},
                                     {"currency", "USD"},
                                     {"tier", 2}};
      break;
    case YouTubeEventKind::SuperSticker:
      snippet["type"] = "superStickerEvent";
      snippet["superStickerDetails"] = {{"amountDisplayString", e.amount},
                                        {"superStickerMetadata", {{"altText", e.text}}}};
      break;
    case YouTubeEventKind::NewMember:
      snippet["type"] = "newSponsorEvent";
      snippet["newSponsorDetails"] = {{"memberLevelName", e.text}, {"isUpgrade", false}};
      break;
    case YouTubeEventKind::Milestone:
      snippet["type"] = "memberMilestoneChatEvent";
      snippet["memberMilestoneChatDetails"] = {
          {"memberMonth", e.count}, {"memberLevelName", e.level}, {"userComment", e.text}};
      break;
    case YouTubeEventKind::Gift:
      snippet["type"] = "membershipGiftingEvent";
      snippet["membershipGiftingDetails"] = {{"giftMembershipsCount", e.count},
                                             {"giftMembershipsLevelName", e.level}};
      break;
    case YouTubeEventKind::Delete:
      snippet = {{"type", "messageDeletedEvent"},
                 {"liveChatId", liveChatId},
                 {"publishedAt", Iso(e.timeMs)},
                 {"hasDisplayContent", false},
                 {"messageDeletedDetails", {{"deletedMessageId", ApiMessageId(e.targetId)}}}};
      break;
    case YouTubeEventKind::Ban: {
      Json details = {{"bannedUserDetails", {{"channelId", e.targetId}}},
                      {"banType", e.count > 0 ? "temporary" : "permanent"}};
      if (e.count > 0) details["banDurationSeconds"] = e.count;
      snippet = {{"type", "userBannedEvent"},
                 {"liveChatId", liveChatId},
                 {"publishedAt", Iso(e.timeMs)},
                 {"hasDisplayContent", true},
                 {"userBannedDetails", std::move(details)}};
      break;
    }
  }
  return Json{{"kind", "youtube#liveChatMessage"},
              {"etag", "sim-" + e.id},
              {"id", ApiMessageId(e.id)},
              {"snippet", std::move(snippet)},
              {"authorDetails",
               {{"channelId", e.viewer.channelId},
                {"channelUrl", "http://www.youtube.com/channel/" + e.viewer.channelId},
                {"displayName", e.viewer.name},
                {"isVerified", e.viewer.verified},
                {"isChatOwner", e.viewer.owner},
                {"isChatSponsor", e.viewer.member},
                {"isChatModerator", e.viewer.moderator}}}};
}

}  // namespace vlo::sim
