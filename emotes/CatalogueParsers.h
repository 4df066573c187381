#pragma once

#include <string_view>
#include <vector>

#include "emotes/EmoteTypes.h"

namespace vlo {

// Pure parsers of the three catalogue responses. Bodies that are not JSON, or not of the expected
// shape, give an empty list; entries without a usable name or image are skipped. `channel` is
// copied into every definition.

// A 7TV emote set (or a user with an "emote_set"): the best file of each emote's host.
std::vector<EmoteDef> ParseSevenTvEmotes(std::string_view body, bool channel);
// A BetterTTV global list, or a user's "channelEmotes" and "sharedEmotes". `imageHost` is the
// image host with any port ("cdn.betterttv.net").
std::vector<EmoteDef> ParseBttvEmotes(std::string_view body, bool channel,
                                      std::string_view imageHost);
// A FrankerFaceZ set list ("sets", filtered by "default_sets" when present).
std::vector<EmoteDef> ParseFfzEmotes(std::string_view body, bool channel);

// Dispatch by source; other sources give an empty list.
std::vector<EmoteDef> ParseCatalogue(EmoteSource source, std::string_view body, bool channel,
                                     const NativeImageHosts& hosts);

// A protocol-relative "//host/…" gets "https:" in front; anything not https then gives "".
std::string NormaliseImageUrl(std::string_view url);

}  // namespace vlo
