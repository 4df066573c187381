#pragma once

// The compose bar's rules, without widgets: which platforms are ready, the target button's
// label, the field's placeholder and what a send goes to.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Platform.h"
#include "core/PlatformStatus.h"

namespace vlo {

inline constexpr int kComposeMaxChars = 500;

// The platforms with a chat connection that can send, in the order Twitch, YouTube, Kick.
// `statuses` are those of Twitch, YouTube and Kick.
std::vector<plx::PlatformId> ReadyPlatforms(const std::array<PlatformStatus, 3>& statuses);

// "All ▾", "Twitch ▾", "YouTube ▾" or "Kick ▾" for the stored send target (0 all, 1..3).
std::string TargetLabel(int sendTarget);

std::string ComposePlaceholder(const std::vector<plx::PlatformId>& ready, int sendTarget);

// The platform a single send target (1..3) stands for; nothing for 0 (all).
std::optional<plx::PlatformId> TargetPlatform(int sendTarget);

struct ComposeTargets {
  std::vector<plx::PlatformId> platforms;  // empty: nothing is sent, the field keeps its text
  // The system line for a single target that is not ready, on that platform.
  std::optional<std::string> notReadyLine;
};
ComposeTargets ResolveComposeTargets(const std::vector<plx::PlatformId>& ready, int sendTarget);

// The text with leading and trailing spaces, tabs, carriage returns and line feeds removed.
std::string_view TrimCompose(std::string_view text);

}  // namespace vlo
