#include "ui/mainwindow/ComposeModel.h"

#include <algorithm>

namespace vlo {

using plx::PlatformId;

std::vector<PlatformId> ReadyPlatforms(const std::array<PlatformStatus, 3>& statuses) {
  std::vector<PlatformId> ready;
  for (size_t i = 0; i < statuses.size(); ++i) {
    if (statuses[i].canSend) ready.push_back(plx::kReadPlatforms[i]);
  }
  return ready;
}

std::string TargetLabel(int sendTarget) {
  switch (sendTarget) {
    case 1:
      return "Twitch ▾";
    case 2:
      return "YouTube ▾";
    case 3:
      return "Kick ▾";
    default:
      return "All ▾";
  }
}

std::optional<PlatformId> TargetPlatform(int sendTarget) {
  if (sendTarget < 1 || sendTarget > 3) return std::nullopt;
  return plx::kReadPlatforms[sendTarget - 1];
}

std::string ComposePlaceholder(const std::vector<PlatformId>& ready, int sendTarget) {
  if (ready.empty()) return "Sign in under Settings to send messages";
  if (const auto single = TargetPlatform(sendTarget)) {
    return std::string{"Message "} + plx::PlatformName(*single);
  }
  std::string text = "Message ";
  for (size_t i = 0; i < ready.size(); ++i) {
    if (i > 0) text += i + 1 == ready.size() ? " and " : ", ";
    text += plx::PlatformName(ready[i]);
  }
  return text;
}

ComposeTargets ResolveComposeTargets(const std::vector<PlatformId>& ready, int sendTarget) {
  ComposeTargets targets;
  const auto single = TargetPlatform(sendTarget);
  if (!single) {
    targets.platforms = ready;
    return targets;
  }
  if (std::find(ready.begin(), ready.end(), *single) != ready.end()) {
    targets.platforms = {*single};
  } else {
    targets.notReadyLine =
        std::string{plx::PlatformName(*single)} +
        " chat is not ready for sending - sign in under Settings, or pick another target.";
  }
  return targets;
}

std::string_view TrimCompose(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

}  // namespace vlo
