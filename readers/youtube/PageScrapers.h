#pragma once

// Small scrapers over a channel's live page. Pure; each is one forward scan of the page.

#include <string>
#include <string_view>

namespace vlo {

// YouTube's own https origin, as the site writes it into its pages and expects as Origin.
inline constexpr std::string_view kYouTubeOrigin = "https://www.youtube.com";

// The video id of the page's canonical watch link; empty when the page has none.
std::string FindCanonicalVideoId(std::string_view html);

// The channel's display name ("ownerChannelName", else "author"); empty when neither is usable.
std::string FindChannelTitle(std::string_view html);

}  // namespace vlo
