#pragma once

#include <string_view>

namespace vlo {

// The program's version, as the window title, the portal and the updater know it. Both are
// defined in the version stamp the build generates from the project's version (VLO_VERSION in
// the top CMakeLists.txt), so that a build for another version compiles one file again.
extern const std::string_view kAppVersion;  // "1.1.3"
// How the program names itself to the portal: "chat-" + the version.
extern const std::string_view kPortalVersionTag;
// The user agent of its own requests: "VelaroStudio/" + kPortalVersionTag.
extern const std::string_view kAppUserAgent;

}  // namespace vlo
