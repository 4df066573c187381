#include "sim/twitch/TwitchChatLog.h"

#include <map>

namespace vlo::sim {
namespace {

std::string Unescape(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) break;
    switch (value[i]) {
      case ':':
        out += ';';
        break;
      case 's':
        out += ' ';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        out += value[i];
        break;
    }
  }
  return out;
}

std::string_view NextWord(std::string_view& rest) {
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  const size_t end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return word;
}

// The parts of a line this log reads: its tags, the sender's login, command, first parameter
// and trailing text.
struct Line {
  std::map<std::string, std::string, std::less<>> tags;
  std::string login;
  std::string_view command;
  std::string_view target;
  std::string_view trailing;
};

Line Parse(std::string_view rest) {
  Line line;
  if (rest.starts_with('@')) {
    std::string_view tags = NextWord(rest).substr(1);
    while (!tags.empty()) {
      const size_t end = tags.find(';');
      const std::string_view tag = tags.substr(0, end);
      tags = end == std::string_view::npos ? std::string_view{} : tags.substr(end + 1);
      const size_t equals = tag.find('=');
      line.tags[std::string{tag.substr(0, equals)}] =
          equals == std::string_view::npos ? std::string{} : Unescape(tag.substr(equals + 1));
    }
  }
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  if (rest.starts_with(':')) {
    const std::string_view prefix = NextWord(rest).substr(1);
    line.login = prefix.substr(0, prefix.find('!'));
  }
  line.command = NextWord(rest);
  line.target = NextWord(rest);
  const size_t colon = rest.find(" :");
  if (colon != std::string_view::npos) line.trailing = rest.substr(colon + 2);
  return line;
}

std::string Tag(const Line& line, std::string_view key) {
  const auto it = line.tags.find(key);
  return it == line.tags.end() ? std::string{} : it->second;
}

}  // namespace

void TwitchChatLog::Observe(std::string_view text) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    while (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) ObserveLine(line);
  }
}

void TwitchChatLog::ObserveLine(std::string_view text) {
  const Line line = Parse(text);
  if (!line.target.starts_with('#')) return;
  const std::string_view channel = line.target.substr(1);
  if (line.command == "CLEARMSG") {
    if (TwitchLoggedMessage* message = Find(channel, Tag(line, "target-msg-id"))) {
      message->deleted = true;
    }
    return;
  }
  if (line.command != "PRIVMSG") return;
  TwitchLoggedMessage message{std::string{channel}, Tag(line, "id"), Tag(line, "user-id"),
                              line.login, std::string{line.trailing}};
  if (message.id.empty()) return;  // nothing could name it
  messages_.push_back(std::move(message));
  if (messages_.size() > kCapacity) messages_.pop_front();
}

TwitchLoggedMessage* TwitchChatLog::Find(std::string_view channel, std::string_view id) {
  if (id.empty()) return nullptr;
  for (auto it = messages_.rbegin(); it != messages_.rend(); ++it) {
    if (it->id == id && it->channel == channel) return &*it;
  }
  return nullptr;
}

std::string TwitchChatLog::LoginOf(std::string_view channel, std::string_view userId) const {
  for (auto it = messages_.rbegin(); it != messages_.rend(); ++it) {
    if (!userId.empty() && it->userId == userId && it->channel == channel) return it->login;
  }
  return {};
}

}  // namespace vlo::sim
