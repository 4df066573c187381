#include "updater/UpdateRelease.h"

#include <algorithm>
#include <cctype>

#include "core/Endpoints.h"

namespace plx {

std::string InstallerFileName(std::string_view version) {
  return "VelaroChat-Setup-" + std::string{version} + ".sh";
}

std::string InstallerUrl(std::string_view siteBase, std::string_view version) {
  return std::string{siteBase} + "/downloads/" + InstallerFileName(version);
}

bool IsSecureSite(std::string_view siteBase) {
  std::string scheme{siteBase.substr(0, siteBase.find("://"))};
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme == "https") return true;
  if (scheme != "http") return false;
  const std::string host = vlo::HostOf(siteBase);
  return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
}

}  // namespace plx
