#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/themes/Theme.h"

namespace vlo {
namespace {

TEST(ThemeTest, TableHoldsTheNineThemesInOrder) {
  const char* keys[]{"neon",  "calm",     "midnight", "forest", "ocean",
                     "ember", "lavender", "graphite", "oled"};
  ASSERT_EQ(ThemeTable().size(), 9u);
  for (size_t i{0}; i < 9; ++i) EXPECT_EQ(ThemeTable()[i].key, keys[i]);
  EXPECT_EQ(ThemeTable()[8].name, "OLED black");
  EXPECT_EQ(ThemeTable()[1].description, "Soft slate and sage, easy on the eyes");
}

TEST(ThemeTest, SpotValuesFromEveryColumnGroup) {
  const Theme& graphite{FindTheme("graphite")};
  EXPECT_EQ(ToHex(graphite.windowPalette.windowBg), 0x111214u);
  EXPECT_EQ(ToHex(graphite.windowPalette.accentBright), 0xD4D6DEu);
  EXPECT_EQ(ToHex(graphite.chatPalette.danger), 0xC98080u);
  EXPECT_EQ(ToHex(graphite.chatPalette.kickName), 0xC9D6C6u);
  EXPECT_EQ(graphite.chatPalette.badgeFillPercent, 14);
  EXPECT_EQ(graphite.chatPalette.nameSoftenPercent, 60);
  EXPECT_EQ(graphite.chatPalette.alertTintPercent, 8);
  const Theme& ember{FindTheme("ember")};
  EXPECT_EQ(ToHex(ember.chatPalette.chatAccent), 0xFF9A55u);
  EXPECT_EQ(ToHex(ember.windowPalette.hoverTint), 0x9A3412u);
}

TEST(ThemeTest, FindThemeFallsBackToNeon) {
  for (const char* key : {"", "sunset", "Calm", " calm", "calm ", "CALM"}) {
    EXPECT_EQ(FindTheme(key).key, "neon") << '"' << key << '"';
  }
  EXPECT_EQ(FindTheme("calm").key, "calm");
  EXPECT_EQ(&FindTheme("oled"), &ThemeTable()[8]);
}

TEST(ThemeTest, PlatformColoursByIdentifier) {
  const ChatPalette& p{FindTheme("neon").chatPalette};
  EXPECT_EQ(PlatformColor(p, plx::PlatformId::YouTube), p.youtubeColor);
  EXPECT_EQ(PlatformColor(p, plx::PlatformId::Kick), p.kickColor);
  EXPECT_EQ(PlatformColor(p, plx::PlatformId::TikTok), p.chatAccent);
  EXPECT_EQ(PlatformNameColor(p, plx::PlatformId::Kick), p.kickName);
  EXPECT_EQ(PlatformNameColor(p, plx::PlatformId::TikTok), p.twitchName);
}

}  // namespace
}  // namespace vlo
