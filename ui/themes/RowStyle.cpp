#include "ui/themes/RowStyle.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace vlo {

namespace {

struct PlatformTag {
  std::string_view tag;
  plx::PlatformId platform;
};

// Outbound rows name their targets with these tags; custom targets have no colour of their own.
std::optional<plx::PlatformId> TagPlatform(std::string_view tag) {
  constexpr PlatformTag kTags[]{{"twitch", plx::PlatformId::Twitch},
                                {"youtube", plx::PlatformId::YouTube},
                                {"kick", plx::PlatformId::Kick},
                                {"tiktok", plx::PlatformId::TikTok},
                                {"youtube-shorts", plx::PlatformId::YouTubeShorts}};
  for (const PlatformTag& known : kTags) {
    if (tag == known.tag) return known.platform;
  }
  if (tag.starts_with("custom-")) {
    std::string_view number{tag.substr(7)};
    if (number.empty() || number.size() > 2 || number.front() == '0') return std::nullopt;
    int n{0};
    for (char c : number) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    // Custom targets use the identifiers 32..51 of the shared configuration format.
    if (n >= 1 && n <= 20) return static_cast<plx::PlatformId>(31 + n);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Rgb> ViewerColor(const plx::ChatMessage& message) {
  for (const std::string& tag : message.tags) {
    if (tag.size() != 13 || !tag.starts_with("color=#")) continue;
    unsigned value{0};
    if (std::sscanf(tag.c_str() + 7, "%6x", &value) != 1) return std::nullopt;
    return Hex(value & 0xFFFFFFu);
  }
  return std::nullopt;
}

Rgb LiftDarkColor(Rgb c) {
  for (int step{0}; step < 8; ++step) {
    if (299 * c.r + 587 * c.g + 114 * c.b > 129999) break;
    c.r = static_cast<uint8_t>(c.r + (255 - c.r) / 3);
    c.g = static_cast<uint8_t>(c.g + (255 - c.g) / 3);
    c.b = static_cast<uint8_t>(c.b + (255 - c.b) / 3);
  }
  return c;
}

Rgb NameColor(const plx::ChatRow& row, const ChatPalette& p, NameStyle style) {
  // Overrides, the later winning: outbound, then alert, then deleted.
  if (row.deleted) return p.textMuted;
  if (plx::HasTag(row, "event")) return p.text;
  if (plx::HasTag(row, "outbound")) return mix(p.chatAccent, p.text, 70);
  std::optional<Rgb> viewer{ViewerColor(row)};
  Rgb used{viewer && style != NameStyle::Platform ? LiftDarkColor(*viewer)
                                                  : PlatformNameColor(p, row.platform)};
  int soften{std::clamp(p.nameSoftenPercent + (style == NameStyle::Softer ? 45 : 0), 0, 80)};
  return mix(p.text, used, soften);
}

Rgb BodyColor(const plx::ChatRow& row, const ChatPalette& p, NameStyle style) {
  if (row.deleted) return p.textMuted;
  if (plx::HasTag(row, "action")) return NameColor(row, p, style);
  return p.text;
}

Rgb RowBackground(const plx::ChatRow& row, const ChatPalette& p, bool hovered, RowTint tint) {
  Rgb background{p.chatBg};
  if (plx::HasTag(row, "event")) {
    background = mix(p.chatAccent, p.chatBg, p.alertTintPercent);
  } else if (plx::HasTag(row, "outbound")) {
    background = mix(p.chatAccent, p.chatBg, std::max(4, p.alertTintPercent / 2));
  } else if (tint == RowTint::Highlight) {
    background = mix(p.warning, p.chatBg, std::clamp(p.alertTintPercent, 12, 18));
  } else if (tint == RowTint::First) {
    background = mix(p.positive, p.chatBg, std::clamp(p.alertTintPercent / 2, 6, 9));
  }
  if (hovered && !plx::HasTag(row, "system")) background = mix(p.text, background, 5);
  return background;
}

Rgb RowBarColor(const plx::ChatRow& row, const ChatPalette& p, RowTint tint) {
  if (plx::HasTag(row, "outbound")) return p.chatAccent;
  if (tint == RowTint::Highlight && !plx::HasTag(row, "event")) return p.warning;
  return PlatformColor(p, row.platform);
}

const char* PlatformShortName(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::Twitch:
      return "TW";
    case plx::PlatformId::YouTube:
      return "YT";
    case plx::PlatformId::Kick:
      return "KICK";
    default:
      return "?";
  }
}

std::vector<Badge> HeaderBadges(const plx::ChatRow& row, const ChatPalette& p) {
  std::vector<Badge> badges;
  if (plx::HasTag(row, "outbound")) {
    for (const std::string& tag : row.tags) {
      if (std::optional<plx::PlatformId> target{TagPlatform(tag)}) {
        badges.push_back({PlatformShortName(*target), PlatformColor(p, *target)});
      }
    }
  } else {
    badges.push_back({PlatformShortName(row.platform), PlatformColor(p, row.platform)});
  }
  const int muted{100 - p.nameSoftenPercent};
  const struct {
    const char* tag;
    const char* label;
    Rgb color;
  } kFlags[]{
      {"event", "ALERT", p.chatAccent},
      {"broadcaster", "HOST", p.chatAccent},
      {"moderator", "MOD", p.positive},
      {"vip", "VIP", mix(Hex(0xE05BD0), p.textSecondary, muted)},
      {"subscriber", "SUB", mix(p.chatAccent, p.textSecondary, 55)},
      {"member", "MEMBER", mix(Hex(0x2BA640), p.textSecondary, muted)},
      {"first", "FIRST", p.warning},
  };
  for (const auto& flag : kFlags) {
    if (plx::HasTag(row, flag.tag)) badges.push_back({flag.label, flag.color});
  }
  if (row.deleted) badges.push_back({"DELETED", p.danger});
  return badges;
}

std::string TimeText(int64_t timestampMs) {
  if (timestampMs <= 0) return {};
  std::time_t seconds{static_cast<std::time_t>(timestampMs / 1000)};
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return {};
  char text[16]{};
  if (std::strftime(text, sizeof text, "%H:%M", &local) == 0) return {};
  return text;
}

std::string JumpPillText(int newCount) {
  if (newCount < 1) return "\u2193  Jump to latest";
  return "\u2193  " + std::to_string(newCount) + " new message" + (newCount != 1 ? "s" : "");
}

std::string PausedPillText(int heldCount) {
  if (heldCount < 1) return "Paused";
  return "Paused \u00b7 " + std::to_string(heldCount) + " new";
}

}  // namespace vlo
