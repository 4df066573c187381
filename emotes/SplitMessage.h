#pragma once

#include <vector>

#include "core/ChatMessage.h"
#include "emotes/EmoteTypes.h"

namespace vlo {

// Splits a message body into text runs and emote runs: Twitch ranges from "emotes=" tags (Twitch
// messages only), Kick emotes named by "kemote=<id>:<name>" tags, then catalogue words through
// `lookup` (may be empty). Zero-width emotes directly after an emote become overlays of it.
// Pure; safe on any thread.
std::vector<EmoteRun> SplitMessage(const plx::ChatMessage& message, const EmoteLookup& lookup = {},
                                   const NativeImageHosts& hosts = {});

}  // namespace vlo
