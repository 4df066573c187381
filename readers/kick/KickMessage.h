#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The removal a deletion, ban or clear event stands for; nothing for any other event (matched
// on the name's last segment) or when the payload lacks the id.
std::optional<Removal> BuildKickRemoval(std::string_view eventLeaf, const json::Json& payload);

}  // namespace vlo
