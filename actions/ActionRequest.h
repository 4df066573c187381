#pragma once

// Request helpers shared by the senders and the moderation calls.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "net/Http.h"

namespace vlo::detail {

inline constexpr uint32_t kActionTimeoutMs = 15000;
inline constexpr std::string_view kModerationReason = "Moderated with Velaro Chat";

bool IsSuccess(int32_t status);

// A signed 64-bit decimal integer with nothing around it.
std::optional<int64_t> ParseId(std::string_view text);

// `body` as "application/json" with the header block, 15 s time-out. Once the hub is stopped
// (the program is ending) the request ends at once as "cancelled" instead of running out its
// time-out.
plx::HttpResponse SendJson(const ChatHub& hub, std::string method, std::string url,
                           std::string body, std::string headers);
// A request without a body.
plx::HttpResponse SendBare(const ChatHub& hub, std::string method, std::string url,
                           std::string headers);

// `text` with every occurrence of `token` hidden, so that a server echoing the credentials
// back never puts them in a line the user sees (or copies into a bug report).
std::string HideToken(std::string text, std::string_view token);

}  // namespace vlo::detail
