#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Json.h"

namespace vlo {

// One decoded Pusher frame of the Kick chat connection.
struct KickEvent {
  std::string event;     // the frame's "event": a string, or an integer as decimal
  std::string dataText;  // "data" as text: a string unchanged, other values as compact JSON
  std::optional<plx::ChatMessage> message;
  std::optional<Removal> removal;
  // The decoded data when the frame gave neither a message nor a removal, so that the alert
  // decoder need not parse `dataText` again. Null when "data" was absent or did not parse.
  json::Json payload;

  bool operator==(const KickEvent&) const = default;
};

// Decodes one text frame; never throws. A frame that is not a JSON object gives an empty event.
// `nowMs` is the receipt time, used for fallback ids and timestamps. A chat message frame of the
// usual shape is read by a fast reader; any other frame, and any frame on which the two readers
// could judge differently, by ParseKickEventDom.
KickEvent ParseKickEvent(std::string_view frame, int64_t nowMs);
// The same through a whole document tree: the reference for every frame.
KickEvent ParseKickEventDom(std::string_view frame, int64_t nowMs);
// The fast reader alone: the event of a chat message frame of the usual shape, or nothing when
// the frame needs ParseKickEventDom.
std::optional<KickEvent> ParseKickChatFrame(std::string_view frame, int64_t nowMs);

// The part of an event name after its last backslash ("App\Events\ChatMessageEvent" gives
// "ChatMessageEvent"); the whole name when it has none. Kick event names are matched on this.
std::string_view KickEventLeaf(std::string_view eventName);

}  // namespace vlo
