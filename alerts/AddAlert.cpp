#include "alerts/AddAlert.h"

namespace vlo {

void AddAlert(ChatHub& hub, const AlertEvent& event) {
  if (!hub.ShowAlerts()) return;
  plx::ChatMessage row;
  row.id = "ev-" + event.id;
  row.platform = event.platform;
  row.author = "Alert";
  row.body = AlertText(event);
  if (!event.message.empty()) row.body += " \u2014 " + event.message;
  row.timestampMs = event.timestamp != 0 ? event.timestamp : hub.GetClock().NowMs();
  row.tags = {"event", AlertKindName(event.kind)};
  hub.AddMessage(std::move(row));
}

}  // namespace vlo
