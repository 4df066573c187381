#pragma once

#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

// The Twitch chat reader's thread entry for the hub: reads the hub's Twitch channel over the
// chat WebSocket at `endpoints.twitchChat`, anonymously or signed in, until the hub no longer
// wants it. The endpoints are copied.
ReaderEntry MakeTwitchReader(const Endpoints& endpoints);

}  // namespace vlo
