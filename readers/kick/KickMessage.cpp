#include "readers/kick/KickMessage.h"

#include <algorithm>
#include <utility>

namespace vlo {

namespace {

using json::Json;
using plx::ChatMessage;
using plx::PlatformId;

constexpr std::string_view kMarker = "[emote:";

// The member as text (a string, or an integer as decimal), moved out of `object` when it is a
// string; empty otherwise.
std::string TakeText(Json& object, std::string_view key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  if (it == object.end()) return {};
  if (it->is_string()) return std::move(it->get_ref<std::string&>());
  return json::AsText(*it).value_or(std::string{});
}

// One well-formed marker starting at `at` (the position of "[emote:"): the positions of its ":"
// and "]", or nothing when the marker is not closed properly.
struct MarkerParts {
  size_t colon;
  size_t close;
};
std::optional<MarkerParts> ReadMarker(std::string_view content, size_t at) {
  const size_t start = at + kMarker.size();
  const size_t colon = content.find(':', start);
  const size_t close = content.find(']', start);
  if (colon == std::string_view::npos || close == std::string_view::npos || close < colon) {
    return std::nullopt;
  }
  return MarkerParts{colon, close};
}

// Appends "kemote=ID:NAME" for every well-formed marker with a non-empty id and name, once each.
void AddEmoteTags(std::string_view content, std::vector<std::string>& tags) {
  for (size_t at = content.find(kMarker); at != std::string_view::npos;
       at = content.find(kMarker, at + kMarker.size())) {
    const auto parts = ReadMarker(content, at);
    if (!parts) continue;
    const size_t idStart = at + kMarker.size();
    const std::string_view id = content.substr(idStart, parts->colon - idStart);
    const std::string_view name = content.substr(parts->colon + 1, parts->close - parts->colon - 1);
    if (id.empty() || name.empty()) continue;
    std::string tag;
    tag.reserve(7 + id.size() + 1 + name.size());
    tag.append("kemote=").append(id).append(":").append(name);
    if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(std::move(tag));
  }
}

// The role tag for one Kick badge type; empty for types that carry no role.
std::string_view RoleTag(std::string_view type) {
  if (type == "broadcaster" || type == "moderator" || type == "vip") return type;
  if (type == "subscriber" || type == "founder" || type == "og") return "subscriber";
  return {};
}

}  // namespace

std::string ReplaceKickEmoteMarkup(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  size_t pos = 0;
  while (pos < content.size()) {
    const size_t at = content.find(kMarker, pos);
    if (at == std::string_view::npos) break;
    const auto parts = ReadMarker(content, at);
    if (parts) {
      out.append(content.substr(pos, at - pos));
      out.append(content.substr(parts->colon + 1, parts->close - parts->colon - 1));
      pos = parts->close + 1;
    } else {
      out.append(content.substr(pos, at + kMarker.size() - pos));
      pos = at + kMarker.size();
    }
  }
  if (pos < content.size()) out.append(content.substr(pos));
  return out;
}

std::optional<ChatMessage> BuildKickMessage(Json& payload, int64_t nowMs) {
  const std::string content = TakeText(payload, "content");
  std::string text = ReplaceKickEmoteMarkup(content);
  if (text.empty()) text = TakeText(payload, "message");

  Json& sender = payload.is_object() ? payload["sender"] : payload;
  std::string author = TakeText(sender, "username");
  if (author.empty()) author = TakeText(sender, "slug");
  if (text.empty() || author.empty()) return std::nullopt;

  ChatMessage message;
  message.platform = PlatformId::Kick;
  message.authorId = TakeText(sender, "id");

  std::string color;
  const Json& identity = json::ObjectMember(sender, "identity");
  for (const Json& badge : json::ArrayMember(identity, "badges")) {
    const Json* type = json::Find(badge, "type");
    if (!type || !type->is_string()) continue;
    const std::string_view tag = RoleTag(type->get_ref<const std::string&>());
    if (!tag.empty()) message.tags.emplace_back(tag);
  }
  if (const Json* value = json::Find(identity, "color"); value && value->is_string()) {
    const auto& text = value->get_ref<const std::string&>();
    if (text.size() == 7 && text[0] == '#') message.tags.push_back("color=" + text);
  }
  AddEmoteTags(content, message.tags);

  message.platformMessageId = TakeText(payload, "id");
  if (message.platformMessageId.empty()) {
    message.id = "kick-" + std::to_string(nowMs) + "-" + author;
  } else {
    message.id = "kick-" + message.platformMessageId;
  }
  message.author = std::move(author);
  message.body = std::move(text);
  const Json* created = json::Find(payload, "created_at");
  const int64_t createdMs = created && created->is_string()
                                ? plx::ParseIsoTimeMs(created->get_ref<const std::string&>())
                                : 0;
  message.timestampMs = createdMs != 0 ? createdMs : nowMs;
  return message;
}

std::optional<Removal> BuildKickRemoval(std::string_view eventLeaf, const Json& payload) {
  if (eventLeaf == "MessageDeletedEvent") {
    const Json* message = json::Find(payload, "message");
    if (!message || !message->is_object()) return std::nullopt;
    std::string id = json::TextOr(*message, "id");
    if (id.empty()) return std::nullopt;
    return Removal{RemovalKind::Message, PlatformId::Kick, std::move(id)};
  }
  if (eventLeaf == "UserBannedEvent") {
    const Json* user = json::Find(payload, "user");
    if (!user || !user->is_object()) return std::nullopt;
    std::string id = json::TextOr(*user, "id");
    if (id.empty()) return std::nullopt;
    return Removal{RemovalKind::Author, PlatformId::Kick, std::move(id)};
  }
  if (eventLeaf == "ChatroomClearEvent") return Removal{RemovalKind::Chat, PlatformId::Kick, {}};
  return std::nullopt;
}

}  // namespace vlo
