#pragma once

#include "alerts/AlertEvent.h"
#include "core/ChatHub.h"

namespace vlo {

// Adds the alert's highlighted row (author "Alert", tags "event" and the kind name) through
// hub.AddMessage; does nothing while hub.ShowAlerts() is false. Any thread.
void AddAlert(ChatHub& hub, const AlertEvent& event);

}  // namespace vlo
