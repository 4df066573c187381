#pragma once

#include <cstdint>
#include <optional>

#include "core/ChatHub.h"  // Removal
#include "core/ChatMessage.h"
#include "readers/twitch/IrcMessage.h"

namespace vlo {

// A chat row from a PRIVMSG with a trailing text; nothing for other commands or an empty text.
// `nowMs` is the receipt time (the id fallback and the time when "tmi-sent-ts" is unusable).
std::optional<plx::ChatMessage> ParseTwitchPrivmsg(const IrcMessage& message, int64_t nowMs);

// A moderator's announcement (USERNOTICE with "msg-id" "announcement") as a viewer row built
// the way a PRIVMSG is, so that it is shown and can be deleted; nothing for any other line.
std::optional<plx::ChatMessage> ParseTwitchAnnouncement(const IrcMessage& message, int64_t nowMs);

// CLEARMSG: one message; CLEARCHAT: one user's messages, or the whole chat when it names no
// one. Nothing for a CLEARCHAT that names a user without an id, or for other commands.
std::optional<Removal> ParseTwitchClear(const IrcMessage& message);

}  // namespace vlo
