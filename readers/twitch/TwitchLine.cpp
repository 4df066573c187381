#include "readers/twitch/TwitchLine.h"

#include <utility>

#include "alerts/AddAlert.h"
#include "alerts/AlertDecoders.h"
#include "readers/twitch/TwitchParsers.h"

namespace vlo {

TwitchLineResult ReadTwitchLine(std::string_view line, int64_t nowMs, IrcMessage& m) {
  TwitchLineResult result;
  if (!ParseIrcLine(line, m)) return result;
  const std::string_view command = m.Command();
  if (command == "PRIVMSG") {
    // Only a line with a "bits" tag can be a cheer; skip the decoder for the rest.
    if (!m.Tag("bits").empty()) result.alert = DecodeTwitchAlert(line, nowMs);
    result.row = ParseTwitchPrivmsg(m, nowMs);
  } else if (command == "PING") {
    result.action = TwitchLineAction::Ping;
  } else if (command == "USERNOTICE") {
    result.alert = DecodeTwitchAlert(line, nowMs);
    result.row = ParseTwitchAnnouncement(m, nowMs);
  } else if (command == "CLEARMSG" || command == "CLEARCHAT") {
    result.removal = ParseTwitchClear(m);
  } else if (command == "ROOMSTATE") {
    result.action = TwitchLineAction::RoomState;
  } else if (command == "NOTICE") {
    result.action = TwitchLineAction::Notice;
  } else if (command == "RECONNECT") {
    result.action = TwitchLineAction::Reconnect;
  }
  return result;
}

TwitchLineAction HandleTwitchLine(ChatHub& hub, std::string_view line, IrcMessage& m) {
  TwitchLineResult result = ReadTwitchLine(line, hub.GetClock().NowMs(), m);
  if (result.alert) AddAlert(hub, *result.alert);
  if (result.row) hub.AddMessage(std::move(*result.row));
  if (result.removal) hub.ApplyRemoval(*result.removal);
  return result.action;
}

}  // namespace vlo
