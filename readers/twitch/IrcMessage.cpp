#include "readers/twitch/IrcMessage.h"

#include <limits>

namespace vlo {

std::string_view IrcMessage::Tag(std::string_view key) const {
  const auto* tag = FindTag(key);
  return tag ? View(tag->second) : std::string_view{};
}

bool IrcMessage::HasTag(std::string_view key) const { return FindTag(key) != nullptr; }

IrcTag IrcMessage::TagAt(size_t index) const {
  return {View(tags_[index].first), View(tags_[index].second)};
}

const std::pair<IrcMessage::Span, IrcMessage::Span>* IrcMessage::FindTag(
    std::string_view key) const {
  for (const auto& tag : tags_) {
    if (tag.first.len == key.size() && View(tag.first) == key) return &tag;
  }
  return nullptr;
}

bool IrcMessage::operator==(const IrcMessage& other) const {
  if (TagCount() != other.TagCount() || ParamCount() != other.ParamCount()) return false;
  for (size_t i = 0; i < TagCount(); ++i) {
    if (TagAt(i).key != other.TagAt(i).key || TagAt(i).value != other.TagAt(i).value) {
      return false;
    }
  }
  for (size_t i = 0; i < ParamCount(); ++i) {
    if (Param(i) != other.Param(i)) return false;
  }
  return Prefix() == other.Prefix() && Command() == other.Command() &&
         Trailing() == other.Trailing() && hasTrailing_ == other.hasTrailing_;
}

void IrcMessage::Clear() {
  text_.clear();
  tags_.clear();
  params_.clear();
  prefix_ = command_ = trailing_ = {};
  hasTrailing_ = false;
}

bool ParseIrcLine(std::string_view line, IrcMessage& out) {
  using Span = IrcMessage::Span;
  out.Clear();
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.empty() || line.size() > std::numeric_limits<uint32_t>::max() / 2) return false;
  out.text_.reserve(line.size());
  auto& text = out.text_;
  const auto append = [&text](std::string_view part) {
    const Span span{static_cast<uint32_t>(text.size()), static_cast<uint32_t>(part.size())};
    text.append(part);
    return span;
  };

  if (line.front() == '@') {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    std::string_view tags = line.substr(1, space - 1);
    line.remove_prefix(space);
    while (!tags.empty()) {
      const size_t end = tags.find(';');
      const std::string_view item = tags.substr(0, end);
      tags = end == std::string_view::npos ? std::string_view{} : tags.substr(end + 1);
      if (item.empty()) continue;
      const size_t equals = item.find('=');
      const std::string_view key = item.substr(0, equals);
      const size_t valueStart = text.size();
      if (equals != std::string_view::npos) AppendUnescapedTagValue(text, item.substr(equals + 1));
      const Span value{static_cast<uint32_t>(valueStart),
                       static_cast<uint32_t>(text.size() - valueStart)};
      bool replaced{false};
      for (auto& tag : out.tags_) {
        if (tag.first.len == key.size() && out.View(tag.first) == key) {
          tag.second = value;  // a later duplicate replaces the value in place
          replaced = true;
          break;
        }
      }
      if (!replaced) out.tags_.emplace_back(append(key), value);
    }
  }

  const auto skipSpaces = [&line] {
    const size_t n = line.find_first_not_of(' ');
    line = n == std::string_view::npos ? std::string_view{} : line.substr(n);
  };
  // The rest of the line is copied once; prefix, command and parameters point into the copy.
  skipSpaces();
  const uint32_t base = static_cast<uint32_t>(text.size());
  const std::string_view rest = line;
  text.append(rest);
  const auto spanOf = [&rest, base](std::string_view part) {
    return Span{base + static_cast<uint32_t>(part.data() - rest.data()),
                static_cast<uint32_t>(part.size())};
  };

  if (line.starts_with(':')) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    out.prefix_ = spanOf(line.substr(1, space - 1));
    line.remove_prefix(space);
    skipSpaces();
  }
  const size_t commandEnd = line.find(' ');
  out.command_ = spanOf(line.substr(0, commandEnd));
  if (out.command_.len == 0) return false;
  line = commandEnd == std::string_view::npos ? std::string_view{} : line.substr(commandEnd);
  for (skipSpaces(); !line.empty(); skipSpaces()) {
    if (line.front() == ':') {
      out.trailing_ = spanOf(line.substr(1));
      out.hasTrailing_ = true;
      break;
    }
    const size_t end = line.find(' ');
    out.params_.push_back(spanOf(line.substr(0, end)));
    line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
  }
  return true;
}

std::optional<IrcMessage> ParseIrcLine(std::string_view line) {
  IrcMessage message;
  if (!ParseIrcLine(line, message)) return std::nullopt;
  return message;
}

}  // namespace vlo
