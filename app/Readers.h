#pragma once

#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

// Gives the hub each platform's reader entry, reading from `endpoints`.
void RegisterReaders(ChatHub& hub, const Endpoints& endpoints);

}  // namespace vlo
