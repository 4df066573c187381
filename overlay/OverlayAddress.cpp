#include "overlay/OverlayAddress.h"

#include <algorithm>
#include <utility>

#include "overlay/OverlayServer.h"

namespace vlo {

std::string OverlayPageAddress(const ChatSettings& s) {
  constexpr const char* kSizes[]{"small", "normal", "large"};
  constexpr const char* kNames[]{"viewer", "softer", "platform"};
  std::string address = OverlayServer::PageAddress(s.overlayPort);
  address += "?theme=" + s.theme;
  address += std::string{"&size="} + kSizes[std::clamp(s.textSize, 0, 2)];
  address += std::string{"&names="} + kNames[std::clamp(s.nameStyle, 0, 2)];
  std::string platforms;
  const std::pair<int, const char*> bits[]{{1, "twitch"}, {2, "youtube"}, {4, "kick"}};
  for (const auto& [bit, name] : bits) {
    if (s.overlayPlatforms & bit) platforms += (platforms.empty() ? "" : ",") + std::string{name};
  }
  address += "&platforms=" + platforms;
  address += "&max=" + std::to_string(s.overlayMaxRows);
  if (s.overlayFadeSeconds > 0) address += "&fade=" + std::to_string(s.overlayFadeSeconds);
  if (s.overlayShow == 1) address += "&alerts=0";
  if (s.overlayShow == 2) address += "&only=alerts";
  if (s.showTimestamps) address += "&time=1";
  return address;
}

}  // namespace vlo
