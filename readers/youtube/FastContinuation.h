#pragma once

// The fast reader for the live chat feed's continuation answers: one pass over the answer with
// simdjson, building the rows of the usual actions (text messages, deletions, bans) directly and
// converting the rarer ones one by one with ConvertChatAction. It answers only where its result
// is certain to match ParseContinuationResponse followed by the item handler; everything else
// (a fraction where a text is read, text simdjson refuses, deep nesting, an answer without a
// live chat) is left to them. Pure.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Json.h"

namespace vlo {

// What one action hands to the item handler: either an item converted by the general rules, or
// the effect of a usual one already worked out.
struct FeedItem {
  std::optional<json::Json> item;  // when set, handled as a chat item and the rest is unused
  std::string seenId;              // the chat item's id, offered to the seen-items set
  std::optional<Removal> removal;
  std::optional<plx::ChatMessage> message;
};

struct FeedAnswer {
  std::string continuation;  // empty = the chat ended
  std::vector<FeedItem> items;
};

// `nowMs` stands in for a missing id or time, as in ParseYouTubeChatValue. Absent when the
// answer is left to the general reader (which may still find it usable).
std::optional<FeedAnswer> ReadContinuationFast(std::string_view body, int64_t nowMs);

}  // namespace vlo
