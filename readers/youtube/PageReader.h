#pragma once

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "readers/youtube/Discovery.h"
#include "readers/youtube/PageChat.h"

namespace vlo {

// Reads the live chat through the web site's continuation feed until the chat ends, the feed is
// lost (five failed polls in a row) or the hub stops wanting YouTube. Sets its own statuses and
// does its own closing wait. Reader thread.
ReaderEnd RunPageReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                        const PageChat& chat);

}  // namespace vlo
