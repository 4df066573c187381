#pragma once

#include <cstdint>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "core/Json.h"
#include "readers/youtube/Discovery.h"
#include "readers/youtube/SeenItems.h"

namespace vlo {

// The wait before the next Data API poll: the answer's "pollingIntervalMillis" kept within
// 8–30 s, and from the third empty poll in a row at least 10 s, rising by 2 s a poll up to 16 s.
int64_t ApiPollInterval(const json::Json& answer, int emptyPolls);

// The backup reader: polls the Data API's live chat messages for `found.liveChatId` until the
// chat ends, the sign-in is gone or the hub stops wanting YouTube. Never reports a lost feed.
// Sets its own statuses and does its own closing wait; a failed poll shows until the next good
// one, and polling goes on from the same page token. Reader thread.
ReaderEnd RunApiReader(ChatHub& hub, const Endpoints& endpoints, const YouTubeDiscovery& found,
                       SeenItems& seen);

}  // namespace vlo
