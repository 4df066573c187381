#include "readers/twitch/TwitchParsers.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace vlo {
namespace {

constexpr std::string_view kActionStart =
    "\x01"
    "ACTION ";

void AppendBadgeTags(std::string_view badges, std::vector<std::string>& tags) {
  while (!badges.empty()) {
    const size_t comma = badges.find(',');
    const std::string_view badge = badges.substr(0, comma);
    badges = comma == std::string_view::npos ? std::string_view{} : badges.substr(comma + 1);
    const std::string_view name = badge.substr(0, badge.find('/'));
    if (name == "broadcaster" || name == "moderator" || name == "vip" || name == "subscriber") {
      tags.emplace_back(name);
    } else if (name == "founder") {
      tags.emplace_back("subscriber");
    }
  }
}

int64_t SentTime(std::string_view sentTs, int64_t nowMs) {
  if (sentTs.empty() || sentTs.size() > 15) return nowMs;
  int64_t value{0};
  const auto [end, ec] = std::from_chars(sentTs.data(), sentTs.data() + sentTs.size(), value);
  if (ec != std::errc{} || end != sentTs.data() + sentTs.size() || sentTs.front() == '-') {
    return nowMs;
  }
  return value;
}

// The tags a row is built from, found in one pass over the line's tags.
struct RowTags {
  std::string_view id;
  std::string_view userId;
  std::string_view displayName;
  std::string_view sentTs;
  std::string_view badges;
  std::string_view color;
  std::string_view emotes;
  std::string_view firstMsg;
};

RowTags ReadRowTags(const IrcMessage& m) {
  RowTags t;
  for (size_t i = 0; i < m.TagCount(); ++i) {
    const auto [key, value] = m.TagAt(i);
    switch (key.size()) {
      case 2:
        if (key == "id") t.id = value;
        break;
      case 5:
        if (key == "color") t.color = value;
        break;
      case 6:
        if (key == "badges") {
          t.badges = value;
        } else if (key == "emotes") {
          t.emotes = value;
        }
        break;
      case 7:
        if (key == "user-id") t.userId = value;
        break;
      case 9:
        if (key == "first-msg") t.firstMsg = value;
        break;
      case 11:
        if (key == "tmi-sent-ts") t.sentTs = value;
        break;
      case 12:
        if (key == "display-name") t.displayName = value;
        break;
      default:
        break;
    }
  }
  return t;
}

plx::ChatMessage BuildRow(const IrcMessage& m, std::string_view login, std::string_view text,
                          bool action, int64_t nowMs) {
  const RowTags t = ReadRowTags(m);
  plx::ChatMessage row;
  row.platform = plx::PlatformId::Twitch;
  row.platformMessageId = t.id;
  if (!t.id.empty()) {
    row.id.reserve(3 + t.id.size());
    row.id.append("tw-").append(t.id);
  } else {
    row.id.append("tw-").append(std::to_string(nowMs)).append("-").append(login);
  }
  row.authorId = t.userId;
  row.author = t.displayName.empty() ? login : t.displayName;
  row.body = text;
  row.timestampMs = SentTime(t.sentTs, nowMs);

  row.tags.reserve(4 + static_cast<size_t>(std::count(t.badges.begin(), t.badges.end(), ',')));
  AppendBadgeTags(t.badges, row.tags);
  if (t.firstMsg == "1") row.tags.emplace_back("first");
  if (action) row.tags.emplace_back("action");
  if (t.color.size() == 7 && t.color.front() == '#') {
    row.tags.emplace_back("color=").append(t.color);
  }
  // An action keeps its emote positions: the service counts them inside the ACTION wrapper,
  // which is exactly the body.
  if (!t.emotes.empty()) {
    std::string& tag = row.tags.emplace_back();
    tag.reserve(7 + t.emotes.size());
    tag.append("emotes=").append(t.emotes);
  }
  return row;
}

}  // namespace

std::optional<plx::ChatMessage> ParseTwitchPrivmsg(const IrcMessage& m, int64_t nowMs) {
  if (m.Command() != "PRIVMSG" || !m.HasTrailing()) return std::nullopt;
  const std::string_view prefix = m.Prefix();
  const std::string_view login = prefix.substr(0, prefix.find('!'));
  std::string_view text = m.Trailing();
  bool action{false};
  if (text.size() >= 9 && text.starts_with(kActionStart)) {
    action = true;
    text.remove_prefix(kActionStart.size());
    if (!text.empty() && text.back() == '\x01') text.remove_suffix(1);
  }
  if (text.empty()) return std::nullopt;
  return BuildRow(m, login, text, action, nowMs);
}

std::optional<plx::ChatMessage> ParseTwitchAnnouncement(const IrcMessage& m, int64_t nowMs) {
  if (m.Command() != "USERNOTICE" || m.Tag("msg-id") != "announcement" || m.Trailing().empty()) {
    return std::nullopt;
  }
  return BuildRow(m, m.Tag("login"), m.Trailing(), false, nowMs);
}

std::optional<Removal> ParseTwitchClear(const IrcMessage& m) {
  Removal removal;
  removal.platform = plx::PlatformId::Twitch;
  if (m.Command() == "CLEARMSG") {
    const std::string_view target = m.Tag("target-msg-id");
    if (target.empty()) return std::nullopt;
    removal.kind = RemovalKind::Message;
    removal.id = target;
    return removal;
  }
  if (m.Command() == "CLEARCHAT") {
    if (const std::string_view user = m.Tag("target-user-id"); !user.empty()) {
      removal.kind = RemovalKind::Author;
      removal.id = user;
      return removal;
    }
    if (!m.Trailing().empty()) return std::nullopt;  // a user named without an id
    removal.kind = RemovalKind::Chat;
    return removal;
  }
  return std::nullopt;
}

}  // namespace vlo
