#pragma once

// A YouTube chat item (one live chat message resource in the Data API's shape) to a chat message
// or a removal. Pure.

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Json.h"

namespace vlo {

struct YouTubeItemResult {
  std::optional<plx::ChatMessage> message;
  std::optional<Removal> removal;

  bool operator==(const YouTubeItemResult&) const = default;
};

// `nowMs` stands in for a missing id or time.
YouTubeItemResult ParseYouTubeChatItem(std::string_view itemJson, int64_t nowMs);
// The same for an item already parsed.
YouTubeItemResult ParseYouTubeChatValue(const json::Json& item, int64_t nowMs);

}  // namespace vlo
