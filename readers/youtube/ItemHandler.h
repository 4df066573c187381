#pragma once

#include <string_view>

#include "core/ChatHub.h"
#include "readers/youtube/SeenItems.h"

namespace vlo {

// Hands one chat item to the hub: its alert (if any), then its removal, then its message. An
// item whose id `seen` already knows is dropped (when `seen` is given). Reader thread.
void HandleYouTubeChatItem(ChatHub& hub, std::string_view itemJson, SeenItems* seen = nullptr);

}  // namespace vlo
