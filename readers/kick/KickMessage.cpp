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

// The member as text (a string, or an integer as decimal, kept in `number`); empty otherwise.
std::string_view TextOf(const Json& object, std::string_view key, std::string& number) {
  const Json* value = json::Find(object, key);
  if (!value) return {};
  if (value->is_string()) return value->get_ref<const std::string&>();
  number = json::AsText(*value).value_or(std::string{});
  return number;
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

}  // namespace

std::string_view KickRoleTag(std::string_view type) {
  if (type == "broadcaster" || type == "moderator" || type == "vip") return type;
  if (type == "subscriber" || type == "founder" || type == "og") return "subscriber";
  return {};
}

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
  KickMessageFields f;
  f.content = TextOf(payload, "content", f.numbers[0]);
  f.message = TextOf(payload, "message", f.numbers[1]);
  const Json* sender = json::Find(payload, "sender");
  if (sender && sender->is_object()) {
    f.username = TextOf(*sender, "username", f.numbers[2]);
    f.slug = TextOf(*sender, "slug", f.numbers[3]);
    f.senderId = TextOf(*sender, "id", f.numbers[4]);
    const Json& identity = json::ObjectMember(*sender, "identity");
    for (const Json& badge : json::ArrayMember(identity, "badges")) {
      const Json* type = json::Find(badge, "type");
      if (!type || !type->is_string()) continue;
      const std::string_view tag = KickRoleTag(type->get_ref<const std::string&>());
      if (!tag.empty()) f.roleTags.push_back(tag);
    }
    if (const Json* value = json::Find(identity, "color"); value && value->is_string()) {
      f.color = value->get_ref<const std::string&>();
    }
  }
  f.id = TextOf(payload, "id", f.numbers[5]);
  if (const Json* created = json::Find(payload, "created_at"); created && created->is_string()) {
    f.createdAt = created->get_ref<const std::string&>();
  }
  return AssembleKickMessage(f, nowMs);
}

std::optional<ChatMessage> AssembleKickMessage(const KickMessageFields& f, int64_t nowMs) {
  std::string text = ReplaceKickEmoteMarkup(f.content);
  if (text.empty()) text = f.message;
  const std::string_view author = f.username.empty() ? f.slug : f.username;
  if (text.empty() || author.empty()) return std::nullopt;

  ChatMessage message;
  message.platform = PlatformId::Kick;
  message.authorId = f.senderId;
  message.tags.reserve(f.roleTags.size() + 2);
  for (const std::string_view tag : f.roleTags) message.tags.emplace_back(tag);
  if (f.color.size() == 7 && f.color[0] == '#') message.tags.emplace_back("color=").append(f.color);
  AddEmoteTags(f.content, message.tags);

  message.platformMessageId = f.id;
  if (message.platformMessageId.empty()) {
    message.id.append("kick-").append(std::to_string(nowMs)).append("-").append(author);
  } else {
    message.id.reserve(5 + f.id.size());
    message.id.append("kick-").append(f.id);
  }
  message.author = author;
  message.body = std::move(text);
  const int64_t createdMs = f.createdAt.empty() ? 0 : plx::ParseIsoTimeMs(f.createdAt);
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
