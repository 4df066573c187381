#pragma once

#include <string_view>

#include "core/ChatHub.h"

namespace vlo {

// Hands one chat item to the hub: its alert (if any), then its removal, then its message.
// Reader thread.
void HandleYouTubeChatItem(ChatHub& hub, std::string_view itemJson);

}  // namespace vlo
