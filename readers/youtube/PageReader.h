#pragma once

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "readers/youtube/Discovery.h"
#include "readers/youtube/PageChat.h"
#include "readers/youtube/SeenItems.h"

namespace vlo {

// Reads the live chat through the web site's continuation feed until the chat ends, the feed is
// lost (five failed polls in a row) or the hub stops wanting YouTube. Sets its own statuses and
// does its own closing wait. A failed poll shows in the status at once (a stalled one after its
// 15 s time-out) and is tried again with the same continuation, so nothing said meanwhile is
// lost; the next good poll puts the status back. Reader thread.
// `seen` remembers the items handed on, across readers and cycles.
ReaderEnd RunPageReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                        const PageChat& chat, SeenItems& seen);

}  // namespace vlo
