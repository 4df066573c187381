#pragma once

// The live chat page and its continuation feed: reading the page's embedded data, building the
// continuation request and reading its answers. Pure functions; the page is hundreds of KB, so
// every scan here is a single pass.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"

namespace vlo {

struct PageChat {
  std::string clientVersion;       // from the page only; empty in poll results
  std::string continuation;        // token of the next poll; empty = the chat ended
  std::vector<std::string> items;  // chat items as compact JSON, in arrival order

  bool operator==(const PageChat&) const = default;
};

// The client version, the full-chat continuation and the initial items of a live chat page;
// absent when the page holds no live chat.
std::optional<PageChat> InitPageChat(std::string_view html);

// The token of the first usable entry of a "continuations" array; empty when none.
std::string ChooseContinuation(const json::Json& continuations);

// {"context":{"client":{"clientName":"WEB","clientVersion":…,"hl":"en"}},"continuation":…}
std::string BuildContinuationRequest(std::string_view clientVersion, std::string_view continuation);

// One poll's answer; absent when unusable. An answer holding only "responseContext" gives an
// empty continuation and no items (the chat ended).
std::optional<PageChat> ParseContinuationResponse(std::string_view body);

// The embedded data object's text ("{…}") after its marker; empty when missing or unbalanced.
std::string_view FindInitialData(std::string_view html);

}  // namespace vlo
