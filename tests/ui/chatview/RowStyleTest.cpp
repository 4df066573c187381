#include <gtest/gtest.h>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/themes/RowStyle.h"

namespace vlo {
namespace {

const ChatPalette& Neon() { return FindTheme("neon").chatPalette; }

TEST(RowStyleTest, DarkViewerColoursAreLifted) {
  struct Case {
    uint32_t in;
    uint32_t out;
  };
  const Case cases[]{
      {0x000000, 0x8D8D8D},                        // two steps
      {0x0000FF, 0x8D8DFF}, {0x808080, 0xAAAAAA},  // brightness 128000: one step
      {0xFFFFFF, 0xFFFFFF}, {0xFF7F50, 0xFF7F50},  // bright enough already
      {0x1E90FF, 0x69B5FF},                        // brightness 122568: one step
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHex(LiftDarkColor(Hex(c.in))), c.out) << std::hex << c.in;
  }
}

TEST(RowStyleTest, ViewerColourComesFromTheFirstWellFormedTag) {
  using test::Row;
  EXPECT_EQ(ViewerColor(Row("a", "", {"color=#1E90FF"})), Hex(0x1E90FF));
  EXPECT_EQ(ViewerColor(Row("a", "", {"color=#1E90F", "color=#00FF00"})), Hex(0x00FF00));
  EXPECT_EQ(ViewerColor(Row("a", "", {"color=#zzzzzz", "color=#00FF00"})), std::nullopt);
  EXPECT_EQ(ViewerColor(Row("a", "", {"subscriber"})), std::nullopt);
}

TEST(RowStyleTest, NameColourByStyleAndOverrides) {
  using test::Row;
  ChatPalette p{Neon()};
  p.nameSoftenPercent = 10;
  const plx::ChatRow viewer{Row("a", "", {"color=#000000"})};
  EXPECT_EQ(NameColor(viewer, p, NameStyle::Viewer), mix(p.text, Hex(0x8D8D8D), 10));
  EXPECT_EQ(NameColor(viewer, p, NameStyle::Softer), mix(p.text, Hex(0x8D8D8D), 55));
  EXPECT_EQ(NameColor(viewer, p, NameStyle::Platform), mix(p.text, p.twitchName, 10));
  p.nameSoftenPercent = 60;  // softer clamps at 80
  EXPECT_EQ(NameColor(viewer, p, NameStyle::Softer), mix(p.text, Hex(0x8D8D8D), 80));
  EXPECT_EQ(NameColor(Row("a", "", {}, plx::PlatformId::Kick), p, NameStyle::Viewer),
            mix(p.text, p.kickName, 60));

  EXPECT_EQ(NameColor(Row("o", "", {"outbound"}), p, NameStyle::Viewer),
            mix(p.chatAccent, p.text, 70));
  EXPECT_EQ(NameColor(Row("e", "", {"outbound", "event"}), p, NameStyle::Viewer), p.text);
  plx::ChatRow deleted{Row("d", "", {"event"})};
  deleted.deleted = true;
  EXPECT_EQ(NameColor(deleted, p, NameStyle::Viewer), p.textMuted);
  EXPECT_EQ(BodyColor(deleted, p, NameStyle::Viewer), p.textMuted);
  EXPECT_EQ(BodyColor(Row("m", "", {"action", "color=#FFFFFF"}), p, NameStyle::Viewer),
            mix(p.text, Hex(0xFFFFFF), 60));
  EXPECT_EQ(BodyColor(viewer, p, NameStyle::Viewer), p.text);
}

TEST(RowStyleTest, BackgroundsAndTints) {
  using test::Row;
  ChatPalette p{Neon()};
  EXPECT_EQ(RowBackground(Row("a", ""), p, false), p.chatBg);
  EXPECT_EQ(RowBackground(Row("a", "", {"event"}), p, false), mix(p.chatAccent, p.chatBg, 16));
  EXPECT_EQ(RowBackground(Row("a", "", {"outbound"}), p, false), mix(p.chatAccent, p.chatBg, 8));
  p.alertTintPercent = 7;  // half is 3, raised to 4
  EXPECT_EQ(RowBackground(Row("a", "", {"outbound"}), p, false), mix(p.chatAccent, p.chatBg, 4));
  EXPECT_EQ(RowBackground(Row("a", ""), p, true), mix(p.text, p.chatBg, 5));
  EXPECT_EQ(RowBackground(Row("a", "", {"system"}), p, true), p.chatBg);
}

TEST(RowStyleTest, BadgesInOrderWithTheirColours) {
  using test::Row;
  ChatPalette p{Neon()};
  p.nameSoftenPercent = 25;
  plx::ChatRow row{
      Row("a", "", {"first", "member", "subscriber", "vip", "moderator", "broadcaster", "event"},
          plx::PlatformId::YouTube)};
  row.deleted = true;
  const std::vector<Badge> expected{
      {"YT", p.youtubeColor},
      {"ALERT", p.chatAccent},
      {"HOST", p.chatAccent},
      {"MOD", p.positive},
      {"VIP", mix(Hex(0xE05BD0), p.textSecondary, 75)},
      {"SUB", mix(p.chatAccent, p.textSecondary, 55)},
      {"MEMBER", mix(Hex(0x2BA640), p.textSecondary, 75)},
      {"FIRST", p.warning},
      {"DELETED", p.danger},
  };
  EXPECT_EQ(HeaderBadges(row, p), expected);

  const std::vector<Badge> outbound{
      {"KICK", p.kickColor}, {"TW", p.twitchColor}, {"?", p.chatAccent}, {"?", p.chatAccent}};
  EXPECT_EQ(HeaderBadges(Row("o", "",
                             {"outbound", "kick", "twitch", "tiktok", "custom-20", "custom-21",
                              "subscriber"}),
                         p)
                .size(),
            5u);
  std::vector<Badge> got{HeaderBadges(
      Row("o", "", {"outbound", "kick", "twitch", "tiktok", "custom-20", "custom-21"}), p)};
  EXPECT_EQ(got, outbound);
}

TEST(RowStyleTest, PillAndTimeTexts) {
  EXPECT_EQ(JumpPillText(0), "\u2193  Jump to latest");
  EXPECT_EQ(JumpPillText(-3), "\u2193  Jump to latest");
  EXPECT_EQ(JumpPillText(1), "\u2193  1 new message");
  EXPECT_EQ(JumpPillText(5), "\u2193  5 new messages");
  EXPECT_EQ(TimeText(0), "");
  EXPECT_EQ(TimeText(1'700'000'000'000).size(), 5u);
}

}  // namespace
}  // namespace vlo
