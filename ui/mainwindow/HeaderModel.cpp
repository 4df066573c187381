#include "ui/mainwindow/HeaderModel.h"

#include <algorithm>

#include "net/Http.h"

namespace vlo {

WindowLayout ComputeLayout(int width, int height, bool bannerShown) {
  WindowLayout l;
  const int pillWidth = std::max(40, (width - 156) / 3);
  for (int i = 0; i < 3; ++i) l.pills[i] = QRect{10 + i * (pillWidth + 6), 8, pillWidth, 40};
  l.mentions = QRect{width - 126, 10, 36, 36};
  l.pin = QRect{width - 86, 10, 36, 36};
  l.gear = QRect{width - 46, 10, 36, 36};
  const int banner = bannerShown ? kBannerHeight : 0;
  l.banner = bannerShown ? QRect{0, kHeaderHeight, width, kBannerHeight} : QRect{};
  l.compose = QRect{0, height - kComposeHeight, width, kComposeHeight};
  l.chat = QRect{0, kHeaderHeight + banner, width,
                 std::max(0, height - banner - kComposeHeight - kHeaderHeight)};
  const int controlsTop = height - kComposeHeight + 9;
  l.targetButton = QRect{10, controlsTop, 84, 34};
  l.composeEdit = QRect{100, controlsTop, std::max(40, width - 188), 34};
  l.sendButton = QRect{width - 82, controlsTop, 72, 34};
  return l;
}

int HitTest(const WindowLayout& layout, QPoint point, bool bannerShown) {
  for (int i = 0; i < 3; ++i) {
    if (layout.pills[i].contains(point)) return kItemTwitch + i;
  }
  if (layout.mentions.contains(point)) return kItemMentions;
  if (layout.pin.contains(point)) return kItemPin;
  if (layout.gear.contains(point)) return kItemGear;
  if (bannerShown && layout.banner.contains(point)) return kItemBanner;
  return kItemNone;
}

std::string MentionsTooltip(bool on, int highlighted) {
  if (on) return "Showing mentions and highlights only – click to show the whole chat";
  std::string text = "Show mentions and highlights only";
  if (highlighted > 0) text += " (" + std::to_string(highlighted) + " in the chat now)";
  return text;
}

std::string StatusLine(const PlatformStatus& status) {
  switch (status.state) {
    case ConnectionState::Off:
      return status.signedIn ? "Off" : "Not set up";
    case ConnectionState::Connecting:
      return "Connecting…";
    case ConnectionState::Connected:
      return status.channel;
    case ConnectionState::Offline:
      return status.channel.empty() ? "Offline" : status.channel + " · offline";
    case ConnectionState::Problem:
      return "Problem – hover for details";
  }
  return {};
}

plx::PlatformId FilterPlatform(int filter) {
  switch (filter) {
    case 2:
      return plx::PlatformId::YouTube;
    case 3:
      return plx::PlatformId::Kick;
    default:
      return plx::PlatformId::Twitch;
  }
}

std::string PillTooltip(int item, const PlatformStatus& status, int filter) {
  std::string text = plx::PlatformName(FilterPlatform(item));
  if (!status.channel.empty()) text += ": " + status.channel;
  if (!status.detail.empty()) text += "\n" + status.detail;
  text += status.signedIn ? "\nSigned in as " + status.account : std::string{"\nNot signed in"};
  text += filter == item ? "\nClick to show all chats again" : "\nClick to show only this chat";
  return text;
}

std::string PinTooltip(bool onTop) {
  return onTop ? "Stop keeping the window on top" : "Keep the window on top";
}

bool ShowsRow(const plx::ChatRow& row, int filter) {
  if (filter < 1 || filter > 3) return true;
  const plx::PlatformId platform = FilterPlatform(filter);
  if (!plx::HasTag(row, "outbound")) return row.platform == platform;
  return plx::HasTag(row, plx::PlatformKey(platform));
}

std::vector<plx::ChatRow> FilterRows(const std::vector<plx::ChatRow>& rows, int filter) {
  if (filter < 1 || filter > 3) return rows;
  std::vector<plx::ChatRow> kept;
  kept.reserve(rows.size());
  for (const plx::ChatRow& row : rows) {
    if (ShowsRow(row, filter)) kept.push_back(row);
  }
  return kept;
}

EmptyTexts EmptyViewTexts(const std::array<PlatformStatus, 3>& statuses, int filter) {
  const bool anyActive = std::any_of(statuses.begin(), statuses.end(),
                                     [](const auto& s) { return s.state != ConnectionState::Off; });
  if (anyActive && filter >= 1 && filter <= 3) {
    return {"Nothing from this platform yet",
            "Click the highlighted platform at the top again to show all chats."};
  }
  if (anyActive) {
    return {"Waiting for messages…",
            "Twitch, YouTube and Kick messages show up here as they arrive."};
  }
  return {"Welcome to Velaro Chat (Beta)",
          "Open Settings (gear icon, top right) to choose channels or sign in. Twitch, Kick and "
          "YouTube channels can be read without signing in. Beta: if YouTube chat does not show "
          "up, enter the channel name in Settings. Moderate YouTube chat on YouTube itself."};
}

Placement ChoosePlacement(int x, int y, int w, int h, const std::vector<QRect>& screens) {
  if (w < 201 || h < 201) return {QRect{0, 0, kDefaultWindowWidth, kDefaultWindowHeight}, false};
  const QRect stored{x, y, w, h};
  const bool onScreen = std::any_of(screens.begin(), screens.end(),
                                    [&](const QRect& screen) { return screen.intersects(stored); });
  if (onScreen) return {stored, true};
  return {QRect{0, 0, kDefaultWindowWidth, kDefaultWindowHeight}, false};
}

std::string EmoteFailureLine(std::string_view provider, std::string_view reason) {
  const bool answered =
      reason.empty() || reason.starts_with("HTTP ") || reason == "unreadable answer";
  if (reason == plx::kAnswerTooLarge) {
    return std::string{provider} +
           "'s answer was too large to read, so its emotes are missing for now";
  }
  if (answered) {
    return std::string{provider} + " is not answering right now, so its emotes are missing for now";
  }
  return "Could not reach " + std::string{provider} + " (" + std::string{reason} +
         "), so its emotes are missing for now";
}

}  // namespace vlo
