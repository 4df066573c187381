#pragma once

// IRC lines as the Twitch chat service sends them, with its tag sets (tags in alphabetical
// order, values escaped). Pure builders shared by the simulated service, its traffic generator
// and the benchmarks.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlo::sim {

struct TwitchViewer {
  std::string login;
  std::string displayName;  // may differ from the login (capitals, or a localised name)
  std::string userId;
  std::string color;      // "#RRGGBB", or empty when the viewer never chose one
  std::string badges;     // "moderator/1,subscriber/12,premium/1"
  std::string badgeInfo;  // "subscriber/14"
  bool mod{false};
  bool subscriber{false};
  bool vip{false};
};

struct TwitchRoom {
  std::string channel;  // without "#"
  std::string roomId;
};

using TwitchTags = std::vector<std::pair<std::string, std::string>>;

// IRCv3 escaping: ";" -> "\:", space -> "\s", "\" -> "\\", CR -> "\r", LF -> "\n".
std::string EscapeTagValue(std::string_view value);
// "@k=v;k2=v2 " with the tags sorted by key and values escaped (no "@" part when empty).
std::string TagPrefix(TwitchTags tags);

// The emote position list ("25:0-4,12-16/1902:6-10") of the service's own global emotes in
// `text`, counted in code points, in the order the service lists them (by first use).
std::string TwitchEmotePositions(std::string_view text);

struct TwitchChat {
  std::string id;  // message id (a UUID)
  std::string text;
  int64_t sentMs{0};
  bool firstMessage{false};
  bool action{false};  // sent with /me: wrapped in "\x01ACTION …\x01"
  int bits{0};         // a cheer when > 0
  std::string clientNonce;
  // A reply: the parent's author and text (the service prefixes the text with "@name ").
  const TwitchViewer* replyTo{nullptr};
  std::string replyParentId;
  std::string replyParentBody;
};

std::string TwitchPrivmsgLine(const TwitchRoom& room, const TwitchViewer& viewer,
                              const TwitchChat& chat);

// The tags every USERNOTICE carries for its user; callers add "msg-id", "msg-param-…" and
// "system-msg".
TwitchTags UserNoticeBaseTags(const TwitchRoom& room, const TwitchViewer& viewer,
                              std::string_view id, int64_t sentMs);
std::string TwitchUserNoticeLine(const TwitchRoom& room, TwitchTags tags,
                                 std::string_view userText = {});

std::string TwitchSubLine(const TwitchRoom& room, const TwitchViewer& viewer, std::string_view id,
                          int64_t sentMs, std::string_view plan);
std::string TwitchResubLine(const TwitchRoom& room, const TwitchViewer& viewer, std::string_view id,
                            int64_t sentMs, std::string_view plan, int months,
                            std::string_view userText);
// One gifted sub; `communityGiftId` is non-empty when it belongs to a mystery gift. A null
// gifter sends it as the anonymous gifter does.
std::string TwitchSubGiftLine(const TwitchRoom& room, const TwitchViewer* gifter,
                              const TwitchViewer& recipient, std::string_view id, int64_t sentMs,
                              std::string_view communityGiftId);
std::string TwitchMysteryGiftLine(const TwitchRoom& room, const TwitchViewer* gifter,
                                  std::string_view id, int64_t sentMs, int count,
                                  std::string_view communityGiftId);
std::string TwitchRaidLine(const TwitchRoom& room, const TwitchViewer& raider, std::string_view id,
                           int64_t sentMs, int viewers);
std::string TwitchAnnouncementLine(const TwitchRoom& room, const TwitchViewer& author,
                                   std::string_view id, int64_t sentMs, std::string_view text);

std::string TwitchClearMsgLine(const TwitchRoom& room, std::string_view login,
                               std::string_view targetMsgId, int64_t sentMs, std::string_view text);
// A time-out when `banSeconds` > 0, else a ban; an empty `userId` and `login` clear the chat.
std::string TwitchClearChatLine(const TwitchRoom& room, std::string_view userId,
                                std::string_view login, int64_t sentMs, int banSeconds);
std::string TwitchRoomStateLine(const TwitchRoom& room);

}  // namespace vlo::sim
