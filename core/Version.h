#pragma once

#include <string_view>

namespace vlo {

// The program's version, as the window title, the portal and the updater know it.
inline constexpr std::string_view kAppVersion = "1.1.3";
// How the program names itself to the portal: "chat-" + the version.
inline constexpr std::string_view kPortalVersionTag = "chat-1.1.3";

}  // namespace vlo
