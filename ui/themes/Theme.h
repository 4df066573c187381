#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/Platform.h"
#include "ui/themes/Color.h"

namespace vlo {

// Chrome colours painted by the toolkit.
struct WindowPalette {
  Rgb windowBg;
  Rgb surface;
  Rgb inset;
  Rgb deepest;
  Rgb border;
  Rgb borderSoft;
  Rgb fieldBg;
  Rgb toggleBg;
  Rgb accent;
  Rgb hoverTint;
  Rgb accentBright;

  bool operator==(const WindowPalette&) const = default;
};

// Chat view colours, with the three shares the view derives its tints from.
struct ChatPalette {
  Rgb chatBg;
  Rgb text;
  Rgb textSecondary;
  Rgb textMuted;
  Rgb chatAccent;
  Rgb positive;
  Rgb warning;
  Rgb danger;
  Rgb twitchColor;
  Rgb youtubeColor;
  Rgb kickColor;
  Rgb twitchName;
  Rgb youtubeName;
  Rgb kickName;
  int badgeFillPercent{};
  int nameSoftenPercent{};  // pull of viewer names toward `text`, of VIP/MEMBER toward secondary
  int alertTintPercent{};   // outbound rows use max(4, half of it)

  bool operator==(const ChatPalette&) const = default;
};

struct Theme {
  std::string_view key;
  std::string_view name;  // UTF-8
  std::string_view description;
  WindowPalette windowPalette;
  ChatPalette chatPalette;
};

// The nine built-in themes in their listing order; static for the life of the process.
std::span<const Theme> ThemeTable();

// Exact (case-sensitive) key match; any other key gives the first theme ("neon").
const Theme& FindTheme(std::string_view key);

// Bar, badge and dot colour of a platform: the Twitch/YouTube/Kick trio, else chatAccent.
Rgb PlatformColor(const ChatPalette& palette, plx::PlatformId platform);
// Default name colour of a platform: the trio, else twitchName.
Rgb PlatformNameColor(const ChatPalette& palette, plx::PlatformId platform);

}  // namespace vlo
