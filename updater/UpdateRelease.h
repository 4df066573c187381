#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Clock.h"

namespace plx {

// One published release, as the site's manifest names it.
struct UpdateRelease {
  std::string version;  // three numbers, "1.1.4"
  std::string url;      // the installer's address, built from the version (InstallerUrl)
  std::string sha256;   // 64 lower-case hexadecimal digits
  int64_t size{0};      // the installer's size in bytes

  bool operator==(const UpdateRelease&) const = default;
};

// The maker's site as the updater reaches it.
struct UpdateSite {
  std::string base;  // scheme, host, optional port and path prefix; no trailing "/"
  // The clock of the download's ten-minute limit. Not owned; outlives every use.
  vlo::Clock* clock{&vlo::SystemClock()};
  // For the download's connection and for any pause of its transfer.
  uint32_t timeoutMs{5000};
};

inline constexpr std::string_view kManifestPath = "/downloads/chat-latest.json";
inline constexpr std::string_view kProductPagePath = "/chat";

// "VelaroChat-Setup-" + version + ".sh".
std::string InstallerFileName(std::string_view version);
// The site base, then "/downloads/", then InstallerFileName.
std::string InstallerUrl(std::string_view siteBase, std::string_view version);

// Whether the updater may talk to this site base at all: HTTPS, or plain HTTP to this machine
// (the simulated site). A manifest or installer fetched over plain HTTP from elsewhere could be
// swapped on the way, digest and all.
bool IsSecureSite(std::string_view siteBase);

}  // namespace plx
