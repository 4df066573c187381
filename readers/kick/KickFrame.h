#pragma once

#include <cstdint>
#include <string_view>

#include "core/ChatHub.h"
#include "readers/kick/KickEvent.h"

namespace vlo {

// The Kick reader's per-frame work: decodes `frame` and hands its chat message, removal or alert
// to the hub. Events of the Pusher protocol itself (names starting with "pusher") are left to
// the caller, which gets the decoded event back. `nowMs` is the receipt time.
KickEvent HandleKickFrame(ChatHub& hub, std::string_view frame, int64_t nowMs);

}  // namespace vlo
