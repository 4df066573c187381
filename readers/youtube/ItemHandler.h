#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "core/Json.h"
#include "readers/youtube/SeenItems.h"

namespace vlo {

// Hands one chat item to the hub: its alert (if any), then its removal, then its message. An
// item whose id `seen` already knows is dropped (when `seen` is given). Reader thread.
void HandleYouTubeChatItem(ChatHub& hub, std::string_view itemJson, SeenItems* seen = nullptr);
// The same for an item already parsed; a value that is no object is dropped.
void HandleYouTubeChatValue(ChatHub& hub, const json::Json& item, SeenItems* seen = nullptr);

// Reads one continuation answer and hands its items to the hub in order, as
// ParseContinuationResponse and HandleYouTubeChatItem would (through the fast reader where it
// answers). Absent when the answer is unusable; else the next continuation, empty when the chat
// ended. Reader thread.
std::optional<std::string> HandleContinuationResponse(ChatHub& hub, std::string_view body,
                                                      SeenItems* seen = nullptr);

}  // namespace vlo
