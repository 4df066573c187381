#include "readers/kick/KickMessage.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
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

// Reads the markers of one text left to right: for each "[emote:" the first ":" and the first
// "]" after it. Those positions only move forward as the markers do, so each is searched for
// again only once the walk has passed it, which keeps a text full of broken markers linear.
class MarkerReader {
 public:
  explicit MarkerReader(std::string_view content) : content_{content} {}

  struct Parts {
    size_t colon;
    size_t close;
  };
  // The marker at `at` (the position of "[emote:"), or nothing when it is not closed properly.
  std::optional<Parts> Read(size_t at) {
    const size_t start = at + kMarker.size();
    colon_ = Next(':', start, colon_);
    close_ = Next(']', start, close_);
    if (colon_ == std::string_view::npos || close_ == std::string_view::npos || close_ < colon_) {
      return std::nullopt;
    }
    return Parts{colon_, close_};
  }

 private:
  size_t Next(char c, size_t start, size_t cached) const {
    if (cached != kUnset && (cached == std::string_view::npos || cached >= start)) return cached;
    return content_.find(c, start);
  }

  static constexpr size_t kUnset = std::string_view::npos - 1;
  std::string_view content_;
  size_t colon_{kUnset};
  size_t close_{kUnset};
};

// Kick's emote ids are numbers and its names short; longer "entries" come only from text that
// merely looks like markup, and taking them would let one message hold a huge number of huge
// tags.
constexpr size_t kMaxEmoteIdSize = 32;
constexpr size_t kMaxEmoteNameSize = 128;

// Appends "kemote=ID:NAME" for every well-formed marker with a non-empty id and name, once each.
void AddEmoteTags(std::string_view content, std::vector<std::string>& tags) {
  MarkerReader markers{content};
  std::unordered_set<std::string> added;  // the entries this call appended
  for (size_t at = content.find(kMarker); at != std::string_view::npos;
       at = content.find(kMarker, at + kMarker.size())) {
    const auto parts = markers.Read(at);
    if (!parts) continue;
    const size_t idStart = at + kMarker.size();
    const std::string_view id = content.substr(idStart, parts->colon - idStart);
    const std::string_view name = content.substr(parts->colon + 1, parts->close - parts->colon - 1);
    if (id.empty() || name.empty()) continue;
    if (id.size() > kMaxEmoteIdSize || name.size() > kMaxEmoteNameSize) continue;
    std::string tag;
    tag.reserve(7 + id.size() + 1 + name.size());
    tag.append("kemote=").append(id).append(":").append(name);
    if (added.insert(tag).second) tags.push_back(std::move(tag));
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
  MarkerReader markers{content};
  size_t pos = 0;
  while (pos < content.size()) {
    const size_t at = content.find(kMarker, pos);
    if (at == std::string_view::npos) break;
    const auto parts = markers.Read(at);
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
