#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Json.h"

namespace vlo {

// Content with every well-formed "[emote:ID:NAME]" replaced by NAME; a marker without its ":"
// and "]" is kept as text.
std::string ReplaceKickEmoteMarkup(std::string_view content);

// A chat message from a chat event's payload (an object); nothing when the text or the author
// name is empty. `payload` is taken apart, so the caller must not use it afterwards.
std::optional<plx::ChatMessage> BuildKickMessage(json::Json& payload, int64_t nowMs);

// What a chat message is built from, read from a chat event's payload by whichever JSON reader
// decoded it. Texts are a member's string, or an integer member in decimal, else empty; the
// views point into the decoded payload or into `numbers`.
struct KickMessageFields {
  std::string_view content;
  std::string_view message;   // the text when the content gives none
  std::string_view username;  // of the sender
  std::string_view slug;      // of the sender, when the user name is empty
  std::string_view senderId;
  std::vector<std::string_view> roleTags;  // from the sender's badges, in order
  std::string_view color;                  // the sender's colour when it is a string
  std::string_view id;
  std::string_view createdAt;          // when it is a string
  std::array<std::string, 6> numbers;  // decimal forms of integer members
};

// The chat message the fields stand for; nothing when the text or the author name is empty.
std::optional<plx::ChatMessage> AssembleKickMessage(const KickMessageFields& fields, int64_t nowMs);

// The role tag for one Kick badge type; empty for types that carry no role.
std::string_view KickRoleTag(std::string_view type);

// The removal a deletion, ban or clear event stands for; nothing for any other event (matched
// on the name's last segment) or when the payload lacks the id.
std::optional<Removal> BuildKickRemoval(std::string_view eventLeaf, const json::Json& payload);

}  // namespace vlo
