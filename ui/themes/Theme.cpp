#include "ui/themes/Theme.h"

#include <array>

namespace vlo {

namespace {

// clang-format off
constexpr std::array<Theme, 9> kThemes{{
    {"neon", "Neon", "The Velaro look: plum black, hot magenta",
     {Hex(0x0B050F), Hex(0x1A0A1F), Hex(0x07040A), Hex(0x040206), Hex(0x35223A), Hex(0x28182C), Hex(0x110614), Hex(0x09040D), Hex(0xD8128F), Hex(0xA3209C), Hex(0xFF1FB4)},
     {Hex(0x07040A), Hex(0xF5F3F5), Hex(0xC8C2D0), Hex(0x9A94A4), Hex(0xFF1FB4), Hex(0x39FF14), Hex(0xF2B54A), Hex(0xC42B4A),
      Hex(0x9146FF), Hex(0xFF4D4D), Hex(0x53FC18), Hex(0xDCC4FF), Hex(0xFFC0C0), Hex(0xC8FFB0),
      28, 0, 16}},
    {"calm", "Calm", "Soft slate and sage, easy on the eyes",
     {Hex(0x151A20), Hex(0x1C232B), Hex(0x12171C), Hex(0x0E1216), Hex(0x2C3640), Hex(0x232C35), Hex(0x181F26), Hex(0x11161B), Hex(0x3F6E5E), Hex(0x355C4F), Hex(0x8FC1AE)},
     {Hex(0x12171C), Hex(0xD8DEE4), Hex(0x9FA9B3), Hex(0x6E7984), Hex(0x8FC1AE), Hex(0x7FB89A), Hex(0xD2B47A), Hex(0xC07070),
      Hex(0x8D80C2), Hex(0xC27F7F), Hex(0x86B57E), Hex(0xB9B0DE), Hex(0xDDB0B0), Hex(0xB8D6B2),
      16, 45, 8}},
    {"midnight", "Midnight", "Deep navy with electric blue",
     {Hex(0x0A0E1A), Hex(0x121A2E), Hex(0x080B14), Hex(0x05070D), Hex(0x263252), Hex(0x1B2540), Hex(0x0E1424), Hex(0x070A12), Hex(0x1F63E0), Hex(0x3A4CC8), Hex(0x4DA3FF)},
     {Hex(0x080B14), Hex(0xE8EEFA), Hex(0xB4C0D8), Hex(0x7E8AA6), Hex(0x4DA3FF), Hex(0x3DDC97), Hex(0xF2B54A), Hex(0xE0566B),
      Hex(0x9146FF), Hex(0xFF5C5C), Hex(0x53FC18), Hex(0xD0C4FF), Hex(0xFFC2C2), Hex(0xC8FFB0),
      26, 0, 14}},
    {"forest", "Forest", "Dark pine green, moss and warm light",
     {Hex(0x0C140F), Hex(0x15211A), Hex(0x09100C), Hex(0x060A08), Hex(0x2A3D31), Hex(0x1F2E25), Hex(0x101A14), Hex(0x08100B), Hex(0x2B7349), Hex(0x245F42), Hex(0x7FD3A0)},
     {Hex(0x09100C), Hex(0xE6EFE6), Hex(0xAFC2B3), Hex(0x7A8F80), Hex(0x7FD3A0), Hex(0x7FD36E), Hex(0xE2C26A), Hex(0xD06A5A),
      Hex(0x9C86E6), Hex(0xE07A6E), Hex(0x7BD65A), Hex(0xD2C7F5), Hex(0xF2C2BB), Hex(0xCBEFB9),
      22, 15, 12}},
    {"ocean", "Ocean", "Teal depths with a cool glow",
     {Hex(0x081316), Hex(0x0F2126), Hex(0x060E10), Hex(0x040A0B), Hex(0x1F3E45), Hex(0x172F35), Hex(0x0B1A1E), Hex(0x050D0F), Hex(0x0E6A84), Hex(0x155E75), Hex(0x5EEAD4)},
     {Hex(0x060E10), Hex(0xE3F4F5), Hex(0xA6C8CC), Hex(0x6F9399), Hex(0x5EEAD4), Hex(0x7EE0A0), Hex(0xF0C674), Hex(0xE07070),
      Hex(0x9F8BFF), Hex(0xFF7A7A), Hex(0x6EE06A), Hex(0xD4CCFF), Hex(0xFFC8C8), Hex(0xCBF5C4),
      22, 10, 12}},
    {"ember", "Ember", "Warm charcoal and glowing amber",
     {Hex(0x140D09), Hex(0x21150F), Hex(0x0F0906), Hex(0x0A0604), Hex(0x3F2A1F), Hex(0x2E1F17), Hex(0x1A110C), Hex(0x0D0806), Hex(0xC2410C), Hex(0x9A3412), Hex(0xFF8A3D)},
     {Hex(0x0F0906), Hex(0xF6EDE6), Hex(0xD2BFB2), Hex(0x9C887B), Hex(0xFF9A55), Hex(0x9BE36B), Hex(0xFFC266), Hex(0xE05252),
      Hex(0xA98BFF), Hex(0xFF6B5C), Hex(0x8FE85A), Hex(0xDCCBFF), Hex(0xFFC6BE), Hex(0xD2F5BE),
      26, 10, 16}},
    {"lavender", "Lavender", "Cosy violet with pastel tones",
     {Hex(0x15111F), Hex(0x1F1830), Hex(0x110D19), Hex(0x0B0911), Hex(0x3A2F55), Hex(0x2B2340), Hex(0x1A1428), Hex(0x0F0C17), Hex(0x6F4FCC), Hex(0x5C42AE), Hex(0xC9B6FF)},
     {Hex(0x110D19), Hex(0xECE6FA), Hex(0xC2B8DC), Hex(0x8B82A6), Hex(0xC9B6FF), Hex(0x9FE0C0), Hex(0xF0CC8A), Hex(0xE07A9A),
      Hex(0xB39DFF), Hex(0xF29AB0), Hex(0xA8E6A0), Hex(0xDCD0FF), Hex(0xF8CCD8), Hex(0xD2F2CC),
      22, 25, 12}},
    {"graphite", "Graphite", "Quiet greys, colour only where it counts",
     {Hex(0x111214), Hex(0x1B1C1F), Hex(0x0D0E10), Hex(0x08090A), Hex(0x2F3136), Hex(0x24262A), Hex(0x16171A), Hex(0x0C0D0F), Hex(0x55575F), Hex(0x47494F), Hex(0xD4D6DE)},
     {Hex(0x0D0E10), Hex(0xE4E5E8), Hex(0xA8AAB0), Hex(0x75787F), Hex(0xD4D6DE), Hex(0xA8D5A0), Hex(0xD9C08A), Hex(0xC98080),
      Hex(0x8F88A8), Hex(0xA88E8E), Hex(0x8EA88A), Hex(0xC9C6D6), Hex(0xD6C9C9), Hex(0xC9D6C6),
      14, 60, 8}},
    {"oled", "OLED black", "True black, neon accents, great for overlays",
     {Hex(0x000000), Hex(0x0F0F11), Hex(0x000000), Hex(0x000000), Hex(0x2B2B30), Hex(0x1D1D21), Hex(0x08080A), Hex(0x000000), Hex(0xD8128F), Hex(0xA3209C), Hex(0xFF1FB4)},
     {Hex(0x000000), Hex(0xF5F3F5), Hex(0xC8C2D0), Hex(0x8E8898), Hex(0xFF1FB4), Hex(0x39FF14), Hex(0xF2B54A), Hex(0xE0405E),
      Hex(0x9146FF), Hex(0xFF4D4D), Hex(0x53FC18), Hex(0xDCC4FF), Hex(0xFFC0C0), Hex(0xC8FFB0),
      30, 0, 18}},
}};
// clang-format on

}  // namespace

std::span<const Theme> ThemeTable() { return kThemes; }

const Theme& FindTheme(std::string_view key) {
  for (const Theme& theme : kThemes) {
    if (theme.key == key) return theme;
  }
  return kThemes.front();
}

Rgb PlatformColor(const ChatPalette& palette, plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::Twitch:
      return palette.twitchColor;
    case plx::PlatformId::YouTube:
      return palette.youtubeColor;
    case plx::PlatformId::Kick:
      return palette.kickColor;
    default:
      return palette.chatAccent;
  }
}

Rgb PlatformNameColor(const ChatPalette& palette, plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return palette.youtubeName;
    case plx::PlatformId::Kick:
      return palette.kickName;
    default:
      return palette.twitchName;
  }
}

}  // namespace vlo
