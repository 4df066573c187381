#pragma once

#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

// The YouTube reader's thread entry: finds the configured (or the signed-in user's) live stream
// on `endpoints` and reads its chat with the page reader, or the Data API reader as the backup,
// cycling until the hub stops wanting YouTube or nothing more can be done.
ReaderEntry MakeYouTubeReader(const Endpoints& endpoints);

// The same, run on the calling thread (the reader thread).
void RunYouTubeReader(ChatHub& hub, const Endpoints& endpoints);

}  // namespace vlo
