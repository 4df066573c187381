#include <gtest/gtest.h>

#include "ui/toolkit/ButtonStyle.h"

namespace vlo {
namespace {

TEST(ButtonStyleTest, ColoursByKindAndState) {
  const WindowPalette& p{FindTheme("neon").windowPalette};
  struct Case {
    const char* what;
    ButtonKind kind;
    ButtonState state;
    ButtonColors expected;
  };
  const Case cases[]{
      {"plain", ButtonKind::Plain, {}, {p.surface, p.border, Hex(0xF5F3F5)}},
      {"plain hovered",
       ButtonKind::Plain,
       {.hovered = true},
       {blend(p.hoverTint, p.surface, 12), blend(p.hoverTint, p.border, 60), Hex(0xF5F3F5)}},
      {"plain pressed",
       ButtonKind::Plain,
       {.pressed = true},
       {blend(p.hoverTint, p.surface, 30), p.hoverTint, Hex(0xF5F3F5)}},
      {"primary", ButtonKind::Primary, {}, {p.accent, p.accent, Hex(0xFFFFFF)}},
      {"primary hovered",
       ButtonKind::Primary,
       {.hovered = true},
       {blend(p.accentBright, p.accent, 30), blend(p.accentBright, p.accent, 30), Hex(0xFFFFFF)}},
      {"primary pressed",
       ButtonKind::Primary,
       {.hovered = true, .pressed = true},
       {blend(p.accent, Hex(0), 80), blend(p.accent, Hex(0), 80), Hex(0xFFFFFF)}},
      {"primary disabled",
       ButtonKind::Primary,
       {.disabled = true},
       {p.surface, p.borderSoft, Hex(0x9A94A4)}},
      {"hover ignored while disabled",
       ButtonKind::Plain,
       {.hovered = true, .disabled = true},
       {p.surface, p.borderSoft, Hex(0x9A94A4)}},
      {"danger hovered",
       ButtonKind::Danger,
       {.hovered = true},
       {blend(Hex(0xC42B4A), Hex(0x2A1018), 30), Hex(0xC42B4A), Hex(0xFFC0C8)}},
      {"positive", ButtonKind::Positive, {}, {p.surface, Hex(0x39FF14), Hex(0x39FF14)}},
      {"toggle", ButtonKind::Toggle, {}, {p.toggleBg, p.toggleBg, Hex(0xC8C2D0)}},
      {"toggle hovered",
       ButtonKind::Toggle,
       {.hovered = true},
       {blend(p.hoverTint, p.toggleBg, 12), blend(p.hoverTint, p.toggleBg, 12), Hex(0xF5F3F5)}},
      {"toggle on",
       ButtonKind::ToggleOn,
       {},
       {blend(p.hoverTint, p.toggleBg, 26), blend(p.hoverTint, p.toggleBg, 45),
        blend(p.accent, Hex(0xFFFFFF), 45)}},
      {"toggle on pressed",
       ButtonKind::ToggleOn,
       {.pressed = true},
       {blend(p.hoverTint, p.toggleBg, 34), blend(p.hoverTint, p.toggleBg, 34),
        blend(p.accent, Hex(0xFFFFFF), 45)}},
      {"toggle disabled",
       ButtonKind::Toggle,
       {.disabled = true},
       {p.toggleBg, p.toggleBg, Hex(0x9A94A4)}},
      {"kick", ButtonKind::KickBrand, {}, {Hex(0x53FC18), Hex(0x53FC18), Hex(0x0B0B0B)}},
      {"twitch hovered",
       ButtonKind::TwitchBrand,
       {.hovered = true},
       {blend(Hex(0xFFFFFF), Hex(0x9146FF), 14), blend(Hex(0xFFFFFF), Hex(0x9146FF), 14),
        Hex(0xFFFFFF)}},
      {"youtube pressed",
       ButtonKind::YouTubeBrand,
       {.pressed = true},
       {blend(Hex(0xCC0000), Hex(0), 80), blend(Hex(0xCC0000), Hex(0), 80), Hex(0xFFFFFF)}},
  };
  for (const Case& c : cases) {
    ButtonColors got{ComputeButtonColors(p, c.kind, c.state)};
    EXPECT_EQ(ToHex(got.face), ToHex(c.expected.face)) << c.what;
    EXPECT_EQ(ToHex(got.border), ToHex(c.expected.border)) << c.what;
    EXPECT_EQ(ToHex(got.text), ToHex(c.expected.text)) << c.what;
  }
}

TEST(ButtonStyleTest, ShapeAndFontByKind) {
  EXPECT_EQ(CornerDiameter(ButtonKind::Toggle), 16);
  EXPECT_EQ(CornerDiameter(ButtonKind::Primary), 12);
  EXPECT_TRUE(UsesSemibold(ButtonKind::KickBrand));
  EXPECT_FALSE(UsesSemibold(ButtonKind::Plain));
  EXPECT_EQ(FocusMarkColor(Hex(0x000000)), blend(Hex(0x39FF14), Hex(0), 70));
}

}  // namespace
}  // namespace vlo
