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

plx::ChatMessage BuildRow(const IrcMessage& m, std::string_view login, std::string_view text,
                          bool action, int64_t nowMs) {
  plx::ChatMessage row;
  row.platform = plx::PlatformId::Twitch;
  const std::string_view messageId = m.Tag("id");
  row.platformMessageId = messageId;
  if (!messageId.empty()) {
    row.id.reserve(3 + messageId.size());
    row.id.append("tw-").append(messageId);
  } else {
    row.id.append("tw-").append(std::to_string(nowMs)).append("-").append(login);
  }
  row.authorId = m.Tag("user-id");
  const std::string_view displayName = m.Tag("display-name");
  row.author = displayName.empty() ? login : displayName;
  row.body = text;
  row.timestampMs = SentTime(m.Tag("tmi-sent-ts"), nowMs);

  const std::string_view badges = m.Tag("badges");
  const std::string_view color = m.Tag("color");
  const std::string_view emotes = m.Tag("emotes");
  row.tags.reserve(4 + static_cast<size_t>(std::count(badges.begin(), badges.end(), ',')));
  AppendBadgeTags(badges, row.tags);
  if (m.Tag("first-msg") == "1") row.tags.emplace_back("first");
  if (action) row.tags.emplace_back("action");
  if (color.size() == 7 && color.front() == '#') row.tags.emplace_back("color=").append(color);
  // An action keeps its emote positions: the service counts them inside the ACTION wrapper,
  // which is exactly the body.
  if (!emotes.empty()) row.tags.emplace_back("emotes=").append(emotes);
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
