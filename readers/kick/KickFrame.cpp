#include "readers/kick/KickFrame.h"

#include <utility>

#include "alerts/AddAlert.h"
#include "alerts/AlertDecoders.h"

namespace vlo {

KickEvent HandleKickFrame(ChatHub& hub, std::string_view frame, int64_t nowMs) {
  KickEvent event = ParseKickEvent(frame, nowMs);
  if (event.event.starts_with("pusher")) return event;
  if (event.message) {
    hub.AddMessage(std::move(*event.message));
  } else if (event.removal) {
    hub.ApplyRemoval(*event.removal);
  } else if (!event.event.empty() && !event.payload.is_null()) {
    if (auto alert = DecodeKickAlert(event.event, event.payload, nowMs)) AddAlert(hub, *alert);
  }
  return event;
}

}  // namespace vlo
