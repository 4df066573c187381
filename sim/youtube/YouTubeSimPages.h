#pragma once

// The HTML of the simulated web site's pages, shaped like the real ones where the reader looks:
// the canonical link, the owner's name, the client version and the embedded data.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

namespace vlo::sim {

// A channel's "/live" page. With a video id it is the watch page of the live stream; without,
// the channel's home page.
std::string LivePageHtml(const std::string& channelId, const std::string& title,
                         const std::string& videoId, size_t padding);

// The live chat page embedding `initialData`. `legacyMarker` writes "var ytInitialData = "
// rather than the window property form. `padding` bytes of script make the page realistically
// large.
std::string LiveChatPageHtml(const std::string& clientVersion, const nlohmann::json& initialData,
                             bool legacyMarker, size_t padding);

// The embedded data of a live chat: the feed's continuation, the view menu ("Top chat" selected,
// "Live chat" not) and the initial actions.
nlohmann::json LiveChatInitialData(const std::string& feedContinuation,
                                   const std::string& topContinuation,
                                   const std::string& liveContinuation,
                                   const nlohmann::json& actions);

}  // namespace vlo::sim
