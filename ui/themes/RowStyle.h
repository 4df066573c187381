#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ChatMessage.h"
#include "ui/themes/Theme.h"

namespace vlo {

// 0 viewer colours, 1 softer, 2 platform colours.
enum class NameStyle : int { Viewer = 0, Softer = 1, Platform = 2 };

// The colour of the first tag that is exactly "color=#" + 6 characters; nothing when there is no
// such tag or it does not read as hexadecimal (the search stops at the first such tag).
std::optional<Rgb> ViewerColor(const plx::ChatMessage& message);

// Moves each channel a third of the way to 255 while 299 R + 587 G + 114 B <= 129999, at most 8
// times, so that dark viewer colours stay readable on the dark themes.
Rgb LiftDarkColor(Rgb color);

// A tint the user's rules give a viewer row: a highlight (mention, word or user) or a first
// message.
enum class RowTint : uint8_t { None = 0, Highlight = 1, First = 2 };

Rgb NameColor(const plx::ChatRow& row, const ChatPalette& palette, NameStyle style);
Rgb BodyColor(const plx::ChatRow& row, const ChatPalette& palette, NameStyle style);
// Alert, outbound, highlight and first-message tints, then the hover tint (never on system rows).
Rgb RowBackground(const plx::ChatRow& row, const ChatPalette& palette, bool hovered,
                  RowTint tint = RowTint::None);
// The left bar and the dot of system rows; highlights have a bar of their own colour.
Rgb RowBarColor(const plx::ChatRow& row, const ChatPalette& palette, RowTint tint = RowTint::None);

struct Badge {
  std::string label;
  Rgb color;

  bool operator==(const Badge&) const = default;
};

// Platform badge(s) first (one per platform tag on outbound rows), then ALERT, HOST, MOD, VIP,
// SUB, MEMBER, FIRST and DELETED as present.
std::vector<Badge> HeaderBadges(const plx::ChatRow& row, const ChatPalette& palette);

// "TW", "YT", "KICK"; "?" for any other platform.
const char* PlatformShortName(plx::PlatformId platform);

// Local "%H:%M"; empty for a time that is not positive or does not convert.
std::string TimeText(int64_t timestampMs);

// "↓  Jump to latest" below 1, else "↓  N new message" + "s" unless N is 1 (UTF-8).
std::string JumpPillText(int newCount);
// "Paused" while no row waits, else "Paused · N new" (UTF-8).
std::string PausedPillText(int heldCount);

}  // namespace vlo
