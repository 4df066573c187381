#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "alerts/AlertEvent.h"
#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "readers/twitch/IrcMessage.h"

namespace vlo {

// What a line still asks of the connection once its chat content is handled.
enum class TwitchLineAction { None, Ping, Notice, RoomState, Reconnect };

// The chat content of one line: a row, an alert, a removal, or a command for the session.
struct TwitchLineResult {
  TwitchLineAction action{TwitchLineAction::None};
  std::optional<plx::ChatMessage> row;
  std::optional<AlertEvent> alert;
  std::optional<Removal> removal;
};

// The reader's per-line work without the hub: parses `line` into `m` (reused between lines; its
// views point into `line`) and builds what the line stands for. `nowMs` is the receipt time.
TwitchLineResult ReadTwitchLine(std::string_view line, int64_t nowMs, IrcMessage& m);

// The same, handing the row, alert and removal to the hub (the receipt time from its clock).
// PING, NOTICE, ROOMSTATE and RECONNECT are left to the caller, with `m` holding the line.
TwitchLineAction HandleTwitchLine(ChatHub& hub, std::string_view line, IrcMessage& m);

}  // namespace vlo
