#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Platform.h"

namespace plx {

// One line of the merged chat: a viewer message, a system line, an alert or an outbound copy.
// The kind follows from the tags (see IsViewerMessage).
struct ChatMessage {
  std::string id;
  PlatformId platform{PlatformId::Twitch};
  std::string author;
  std::string body;
  int64_t timestampMs{0};         // ms since the epoch, 0 = unknown
  std::vector<std::string> tags;  // insertion order matters
  std::string authorId;
  std::string platformMessageId;

  bool operator==(const ChatMessage&) const = default;
};

struct ChatRow : ChatMessage {
  bool deleted{false};

  bool operator==(const ChatRow&) const = default;
};

// True when the tags hold none of "outbound", "system" and "event".
bool IsViewerMessage(const ChatMessage& message);

bool HasTag(const ChatMessage& message, std::string_view tag);

// Wall-clock milliseconds since the epoch.
int64_t nowMs();

// prefix + nowMs + "-" + n, with one process-wide counter (first id ends in "-1").
std::string MakeLocalId(std::string_view prefix);
// Same, with the time supplied by the caller (an injected clock).
std::string MakeLocalId(std::string_view prefix, int64_t timeMs);

// "YYYY-MM-DDTHH:MM:SS[.fff…]…" to ms since the epoch; 0 when unreadable. Zone suffixes are
// ignored.
int64_t ParseIsoTimeMs(std::string_view text);

}  // namespace plx
