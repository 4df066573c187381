#include "sim/twitch/TwitchLines.h"

#include <algorithm>
#include <array>

namespace vlo::sim {
namespace {

struct GlobalEmote {
  std::string_view name;
  std::string_view id;
};
// A few of the service's own global emotes; catalogue emotes (KEKW, catJAM, …) are plain words.
constexpr std::array<GlobalEmote, 10> kGlobalEmotes{{{"Kappa", "25"},
                                                     {"Keepo", "1902"},
                                                     {"PogChamp", "305954156"},
                                                     {"LUL", "425618"},
                                                     {"BibleThump", "86"},
                                                     {"Kreygasm", "41"},
                                                     {"SeemsGood", "64138"},
                                                     {"NotLikeThis", "58765"},
                                                     {"HeyGuys", "30259"},
                                                     {"VoHiYo", "81274"}}};

std::string_view GlobalEmoteId(std::string_view word) {
  for (const auto& emote : kGlobalEmotes) {
    if (emote.name == word) return emote.id;
  }
  return {};
}

size_t CodePoints(std::string_view text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Line(TwitchTags tags, std::string_view rest) {
  std::string line = TagPrefix(std::move(tags));
  line.append(rest);
  return line;
}

std::string UserPrefix(const TwitchViewer& viewer) {
  return ":" + viewer.login + "!" + viewer.login + "@" + viewer.login + ".tmi.twitch.tv";
}

std::string PlanName(std::string_view plan) {
  if (plan == "Prime") return "Prime";
  if (plan == "2000") return "Tier 2";
  if (plan == "3000") return "Tier 3";
  return "Tier 1";
}

const TwitchViewer& AnonymousGifter() {
  static const TwitchViewer gifter{
      "ananonymousgifter", "AnAnonymousGifter", "274598607", "", "", "", false, false, false};
  return gifter;
}

}  // namespace

std::string EscapeTagValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case ';':
        out += "\\:";
        break;
      case ' ':
        out += "\\s";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string TagPrefix(TwitchTags tags) {
  if (tags.empty()) return {};
  std::sort(tags.begin(), tags.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string out{"@"};
  for (size_t i = 0; i < tags.size(); ++i) {
    if (i > 0) out += ';';
    out += tags[i].first;
    out += '=';
    out += EscapeTagValue(tags[i].second);
  }
  out += ' ';
  return out;
}

std::string TwitchEmotePositions(std::string_view text) {
  std::vector<std::pair<std::string_view, std::string>> byEmote;  // id -> "a-b,c-d"
  size_t position{0};
  size_t offset{0};
  while (offset <= text.size()) {
    const size_t end = std::min(text.find(' ', offset), text.size());
    const std::string_view word = text.substr(offset, end - offset);
    const size_t length = CodePoints(word);
    if (const std::string_view id = GlobalEmoteId(word); !id.empty()) {
      auto it = std::find_if(byEmote.begin(), byEmote.end(),
                             [id](const auto& entry) { return entry.first == id; });
      if (it == byEmote.end()) it = byEmote.insert(byEmote.end(), {id, {}});
      if (!it->second.empty()) it->second += ',';
      it->second += std::to_string(position) + "-" + std::to_string(position + length - 1);
    }
    position += length + 1;
    offset = end + 1;
  }
  std::string out;
  for (const auto& [id, ranges] : byEmote) {
    if (!out.empty()) out += '/';
    out.append(id).append(":").append(ranges);
  }
  return out;
}

std::string TwitchPrivmsgLine(const TwitchRoom& room, const TwitchViewer& viewer,
                              const TwitchChat& chat) {
  std::string text = chat.text;
  if (chat.replyTo != nullptr) text = "@" + chat.replyTo->displayName + " " + text;
  TwitchTags tags{
      {"badge-info", viewer.badgeInfo},
      {"badges", viewer.badges},
      {"client-nonce", chat.clientNonce},
      {"color", viewer.color},
      {"display-name", viewer.displayName},
      {"emotes", TwitchEmotePositions(chat.action ? chat.text : text)},
      {"first-msg", chat.firstMessage ? "1" : "0"},
      {"flags", ""},
      {"id", chat.id},
      {"mod", viewer.mod ? "1" : "0"},
      {"returning-chatter", "0"},
      {"room-id", room.roomId},
      {"subscriber", viewer.subscriber ? "1" : "0"},
      {"tmi-sent-ts", std::to_string(chat.sentMs)},
      {"turbo", "0"},
      {"user-id", viewer.userId},
      {"user-type", viewer.mod ? "mod" : ""},
  };
  if (viewer.vip) tags.emplace_back("vip", "1");
  if (chat.bits > 0) tags.emplace_back("bits", std::to_string(chat.bits));
  if (chat.replyTo != nullptr) {
    const TwitchViewer& parent = *chat.replyTo;
    for (const char* kind : {"reply-parent-", "reply-thread-parent-"}) {
      const std::string k{kind};
      tags.emplace_back(k + "display-name", parent.displayName);
      tags.emplace_back(k + "msg-id", chat.replyParentId);
      tags.emplace_back(k + "user-id", parent.userId);
      tags.emplace_back(k + "user-login", parent.login);
    }
    tags.emplace_back("reply-parent-msg-body", chat.replyParentBody);
  }
  const std::string body = chat.action ? "\x01"
                                         "ACTION " +
                                             text + "\x01"
                                       : text;
  return Line(std::move(tags), UserPrefix(viewer) + " PRIVMSG #" + room.channel + " :" + body);
}

TwitchTags UserNoticeBaseTags(const TwitchRoom& room, const TwitchViewer& viewer,
                              std::string_view id, int64_t sentMs) {
  return {
      {"badge-info", viewer.badgeInfo},
      {"badges", viewer.badges},
      {"color", viewer.color},
      {"display-name", viewer.displayName},
      {"emotes", ""},
      {"flags", ""},
      {"id", std::string{id}},
      {"login", viewer.login},
      {"mod", viewer.mod ? "1" : "0"},
      {"room-id", room.roomId},
      {"subscriber", viewer.subscriber ? "1" : "0"},
      {"tmi-sent-ts", std::to_string(sentMs)},
      {"user-id", viewer.userId},
      {"user-type", viewer.mod ? "mod" : ""},
      {"vip", viewer.vip ? "1" : "0"},
  };
}

std::string TwitchUserNoticeLine(const TwitchRoom& room, TwitchTags tags,
                                 std::string_view userText) {
  std::string rest = ":tmi.twitch.tv USERNOTICE #" + room.channel;
  if (!userText.empty()) rest.append(" :").append(userText);
  if (!userText.empty()) {
    for (auto& [key, value] : tags) {
      if (key == "emotes") value = TwitchEmotePositions(userText);
    }
  }
  return Line(std::move(tags), rest);
}

std::string TwitchSubLine(const TwitchRoom& room, const TwitchViewer& viewer, std::string_view id,
                          int64_t sentMs, std::string_view plan) {
  TwitchTags tags = UserNoticeBaseTags(room, viewer, id, sentMs);
  const std::string how = plan == "Prime" ? "with Prime" : "at " + PlanName(plan);
  tags.insert(tags.end(),
              {{"msg-id", "sub"},
               {"msg-param-cumulative-months", "1"},
               {"msg-param-months", "0"},
               {"msg-param-multimonth-duration", "1"},
               {"msg-param-multimonth-tenure", "0"},
               {"msg-param-should-share-streak", "0"},
               {"msg-param-sub-plan-name", "Channel Subscription (" + room.channel + ")"},
               {"msg-param-sub-plan", std::string{plan}},
               {"msg-param-was-gifted", "false"},
               {"system-msg", viewer.displayName + " subscribed " + how + "."}});
  return TwitchUserNoticeLine(room, std::move(tags));
}

std::string TwitchResubLine(const TwitchRoom& room, const TwitchViewer& viewer, std::string_view id,
                            int64_t sentMs, std::string_view plan, int months,
                            std::string_view userText) {
  TwitchTags tags = UserNoticeBaseTags(room, viewer, id, sentMs);
  const std::string count = std::to_string(months);
  tags.insert(tags.end(),
              {{"msg-id", "resub"},
               {"msg-param-cumulative-months", count},
               {"msg-param-months", "0"},
               {"msg-param-multimonth-duration", "0"},
               {"msg-param-multimonth-tenure", "0"},
               {"msg-param-should-share-streak", "0"},
               {"msg-param-sub-plan-name", "Channel Subscription (" + room.channel + ")"},
               {"msg-param-sub-plan", std::string{plan}},
               {"msg-param-was-gifted", "false"},
               {"system-msg", viewer.displayName + " subscribed at " + PlanName(plan) +
                                  ". They've subscribed for " + count + " months!"}});
  return TwitchUserNoticeLine(room, std::move(tags), userText);
}

std::string TwitchSubGiftLine(const TwitchRoom& room, const TwitchViewer* gifter,
                              const TwitchViewer& recipient, std::string_view id, int64_t sentMs,
                              std::string_view communityGiftId) {
  const TwitchViewer& from = gifter ? *gifter : AnonymousGifter();
  TwitchTags tags = UserNoticeBaseTags(room, from, id, sentMs);
  tags.insert(tags.end(),
              {{"msg-id", "subgift"},
               {"msg-param-gift-months", "1"},
               {"msg-param-months", "1"},
               {"msg-param-origin-id", std::string{id}},
               {"msg-param-recipient-display-name", recipient.displayName},
               {"msg-param-recipient-id", recipient.userId},
               {"msg-param-recipient-user-name", recipient.login},
               {"msg-param-sender-count", "0"},
               {"msg-param-sub-plan-name", "Channel Subscription (" + room.channel + ")"},
               {"msg-param-sub-plan", "1000"},
               {"system-msg", (gifter ? from.displayName : "An anonymous user") +
                                  " gifted a Tier 1 sub to " + recipient.displayName + "!"}});
  if (!communityGiftId.empty()) {
    tags.emplace_back("msg-param-community-gift-id", std::string{communityGiftId});
  }
  return TwitchUserNoticeLine(room, std::move(tags));
}

std::string TwitchMysteryGiftLine(const TwitchRoom& room, const TwitchViewer* gifter,
                                  std::string_view id, int64_t sentMs, int count,
                                  std::string_view communityGiftId) {
  const TwitchViewer& from = gifter ? *gifter : AnonymousGifter();
  TwitchTags tags = UserNoticeBaseTags(room, from, id, sentMs);
  const std::string n = std::to_string(count);
  tags.insert(tags.end(),
              {{"msg-id", "submysterygift"},
               {"msg-param-community-gift-id", std::string{communityGiftId}},
               {"msg-param-mass-gift-count", n},
               {"msg-param-origin-id", std::string{communityGiftId}},
               {"msg-param-sender-count", gifter ? n : "0"},
               {"msg-param-sub-plan", "1000"},
               {"system-msg", (gifter ? from.displayName : "An anonymous user") + " is gifting " +
                                  n + " Tier 1 Subs to " + room.channel + "'s community!"}});
  return TwitchUserNoticeLine(room, std::move(tags));
}

std::string TwitchRaidLine(const TwitchRoom& room, const TwitchViewer& raider, std::string_view id,
                           int64_t sentMs, int viewers) {
  TwitchTags tags = UserNoticeBaseTags(room, raider, id, sentMs);
  const std::string n = std::to_string(viewers);
  tags.insert(tags.end(),
              {{"msg-id", "raid"},
               {"msg-param-displayName", raider.displayName},
               {"msg-param-login", raider.login},
               {"msg-param-profileImageURL", "https://static-cdn.jtvnw.net/jtv_user_pictures/" +
                                                 raider.login + "-profile_image-70x70.png"},
               {"msg-param-viewerCount", n},
               {"system-msg", n + " raiders from " + raider.displayName + " have joined!"}});
  return TwitchUserNoticeLine(room, std::move(tags));
}

std::string TwitchAnnouncementLine(const TwitchRoom& room, const TwitchViewer& author,
                                   std::string_view id, int64_t sentMs, std::string_view text) {
  TwitchTags tags = UserNoticeBaseTags(room, author, id, sentMs);
  tags.insert(tags.end(),
              {{"msg-id", "announcement"}, {"msg-param-color", "PRIMARY"}, {"system-msg", ""}});
  return TwitchUserNoticeLine(room, std::move(tags), text);
}

std::string TwitchClearMsgLine(const TwitchRoom& room, std::string_view login,
                               std::string_view targetMsgId, int64_t sentMs,
                               std::string_view text) {
  return Line({{"login", std::string{login}},
               {"room-id", ""},
               {"target-msg-id", std::string{targetMsgId}},
               {"tmi-sent-ts", std::to_string(sentMs)}},
              ":tmi.twitch.tv CLEARMSG #" + room.channel + " :" + std::string{text});
}

std::string TwitchClearChatLine(const TwitchRoom& room, std::string_view userId,
                                std::string_view login, int64_t sentMs, int banSeconds) {
  TwitchTags tags{{"room-id", room.roomId}, {"tmi-sent-ts", std::to_string(sentMs)}};
  if (userId.empty()) return Line(std::move(tags), ":tmi.twitch.tv CLEARCHAT #" + room.channel);
  tags.emplace_back("target-user-id", std::string{userId});
  if (banSeconds > 0) tags.emplace_back("ban-duration", std::to_string(banSeconds));
  return Line(std::move(tags),
              ":tmi.twitch.tv CLEARCHAT #" + room.channel + " :" + std::string{login});
}

std::string TwitchRoomStateLine(const TwitchRoom& room) {
  return Line({{"emote-only", "0"},
               {"followers-only", "-1"},
               {"r9k", "0"},
               {"room-id", room.roomId},
               {"slow", "0"},
               {"subs-only", "0"}},
              ":tmi.twitch.tv ROOMSTATE #" + room.channel);
}

}  // namespace vlo::sim
