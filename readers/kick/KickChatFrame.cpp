// The fast reader for the frames that make up nearly all Kick traffic: a chat message event whose
// data is the payload as JSON text. It answers only where its verdict is certain to match the
// general decoder's; everything else is left to ParseKickEventDom.

#include <simdjson.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "readers/kick/KickEvent.h"
#include "readers/kick/KickMessage.h"

namespace vlo {
namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

// Documents nested deeper are left to the general decoder, which applies the nesting limit.
constexpr size_t kMaxFastDepth = 64;

simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser parser;
  thread_local const bool ready = !parser.allocate(4096, kMaxFastDepth);
  (void)ready;
  return parser;
}

// The element as an object or an array: false when it is not one.
bool AsObject(element value, object& out) { return !value.get_object().get(out); }
bool AsArray(element value, array& out) { return !value.get_array().get(out); }
// The element's string; empty when it is not a string.
std::string_view StringOf(element value) {
  std::string_view text;
  if (value.get_string().get(text)) return {};
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the "\uXXXX" escape at `at`, or -1.
int32_t UnitAt(std::string_view text, size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
  int32_t unit{0};
  for (size_t i = at + 2; i < at + 6; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

// Whether the readers are sure to agree on the text's bytes: no control characters (raw ones
// inside strings are an error for one reader only), and every surrogate escape in a proper
// pair (readers differ on lone halves). Backslashes occur only inside strings in valid JSON,
// so the escapes can be read in order without tracking the strings.
bool PlainText(std::string_view text) {
  // Eight bytes at a time: a byte below 0x20 leaves its high bit set in (x - 0x20..) & ~x.
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  size_t i{0};
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t x;
    std::memcpy(&x, text.data() + i, 8);
    if (((x - kOnes * 0x20) & ~x & (kOnes * 0x80)) != 0) return false;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x20) return false;
  }
  for (size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at)) {
    if (at + 1 >= text.size()) return false;
    if (text[at + 1] != 'u') {
      at += 2;
      continue;
    }
    const int32_t unit = UnitAt(text, at);
    if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const int32_t low = UnitAt(text, at + 6);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      at += 12;
    } else {
      at += 6;
    }
  }
  return true;
}

// A member read as text the way the general decoder reads it (a string, or an integer in
// decimal, else empty); false for a fraction, which the readers may type differently.
bool ReadText(const std::optional<element>& member, std::string_view& out, std::string& number) {
  if (!member) return true;
  const element value = *member;
  switch (value.type()) {
    case element_type::STRING:
      out = StringOf(value);
      return true;
    case element_type::INT64:
      number = std::to_string(int64_t{value.get_int64().value_unsafe()});
      out = number;
      return true;
    case element_type::UINT64:
      number = std::to_string(uint64_t{value.get_uint64().value_unsafe()});
      out = number;
      return true;
    case element_type::DOUBLE:
      return false;
    default:
      out = {};
      return true;
  }
}

// The sender's fields. Members are read in order with the last of a repeated name winning, as
// the general decoder's objects keep them.
bool ReadSender(object sender, KickMessageFields& f) {
  std::optional<element> username, slug, id, identity;
  for (const auto field : sender) {
    if (field.key == "username") {
      username = field.value;
    } else if (field.key == "slug") {
      slug = field.value;
    } else if (field.key == "id") {
      id = field.value;
    } else if (field.key == "identity") {
      identity = field.value;
    }
  }
  if (!ReadText(username, f.username, f.numbers[2]) || !ReadText(slug, f.slug, f.numbers[3]) ||
      !ReadText(id, f.senderId, f.numbers[4])) {
    return false;
  }
  object identityObject;
  if (!identity || !AsObject(*identity, identityObject)) return true;
  std::optional<element> badges, color;
  for (const auto field : identityObject) {
    if (field.key == "badges") {
      badges = field.value;
    } else if (field.key == "color") {
      color = field.value;
    }
  }
  array badgeArray;
  if (badges && AsArray(*badges, badgeArray)) {
    for (const element badge : badgeArray) {
      object badgeObject;
      if (!AsObject(badge, badgeObject)) continue;
      std::optional<element> type;
      for (const auto field : badgeObject) {
        if (field.key == "type") type = field.value;
      }
      if (!type || !type->is_string()) continue;
      const std::string_view tag = KickRoleTag(StringOf(*type));
      if (!tag.empty()) f.roleTags.push_back(tag);
    }
  }
  if (color && color->is_string()) f.color = StringOf(*color);
  return true;
}

bool ReadPayload(object payload, KickMessageFields& f) {
  std::optional<element> content, message, sender, id, created;
  for (const auto field : payload) {
    if (field.key == "content") {
      content = field.value;
    } else if (field.key == "message") {
      message = field.value;
    } else if (field.key == "sender") {
      sender = field.value;
    } else if (field.key == "id") {
      id = field.value;
    } else if (field.key == "created_at") {
      created = field.value;
    }
  }
  if (!ReadText(content, f.content, f.numbers[0]) || !ReadText(message, f.message, f.numbers[1]) ||
      !ReadText(id, f.id, f.numbers[5])) {
    return false;
  }
  object senderObject;
  if (sender && AsObject(*sender, senderObject) && !ReadSender(senderObject, f)) return false;
  if (created && created->is_string()) f.createdAt = StringOf(*created);
  return true;
}

}  // namespace

std::optional<KickEvent> ParseKickChatFrame(std::string_view frame, int64_t nowMs) {
  if (!PlainText(frame)) return std::nullopt;
  simdjson::dom::parser& parser = Parser();
  element root;
  object rootObject;
  if (parser.parse(frame.data(), frame.size(), true).get(root) || !AsObject(root, rootObject)) {
    return std::nullopt;
  }
  std::optional<element> event, data;
  for (const auto field : rootObject) {
    if (field.key == "event") {
      event = field.value;
    } else if (field.key == "data") {
      data = field.value;
    }
  }
  if (!event || !event->is_string() || !data || !data->is_string()) return std::nullopt;
  const std::string_view name = StringOf(*event);
  if (KickEventLeaf(name) != "ChatMessageEvent" && name != "chat.message.sent") {
    return std::nullopt;
  }
  KickEvent result;
  result.event = name;
  result.dataText = StringOf(*data);
  // The frame's document ends here: the parser is reused for the payload.
  if (!PlainText(result.dataText)) return std::nullopt;
  element payload;
  object payloadObject;
  if (parser.parse(result.dataText.data(), result.dataText.size(), true).get(payload) ||
      !AsObject(payload, payloadObject)) {
    return std::nullopt;
  }
  KickMessageFields fields;
  if (!ReadPayload(payloadObject, fields)) return std::nullopt;
  result.message = AssembleKickMessage(fields, nowMs);
  return result;
}

}  // namespace vlo
