#include <gtest/gtest.h>

#include "ui/settings/SettingsLayout.h"

namespace vlo {
namespace {

TEST(SettingsLayoutTest, ChannelsPageAt96Dpi) {
  const SettingsLayout l{ComputeSettingsLayout(9, 96)};
  EXPECT_EQ(l.title, QRect(20, 14, 460, 30));
  EXPECT_EQ(l.pageButtons[0], QRect(20, 52, 168, 32));
  EXPECT_EQ(l.pageButtons[1], QRect(194, 52, 96, 32));
  EXPECT_EQ(l.pageButtons[3], QRect(296, 52, 102, 32));
  EXPECT_EQ(l.pageButtons[2], QRect(404, 52, 76, 32));
  const PlatformRowLayout& youtube{l.platforms[1]};
  EXPECT_EQ(youtube.separatorY, 212);
  EXPECT_EQ(youtube.nameBand, QRect(20, 220, 128, 30));
  EXPECT_EQ(youtube.accountButton, QRect(368, 220, 112, 30));
  EXPECT_EQ(youtube.accountLine, QRect(152, 226, 208, 20));  // ends 8 before the button
  EXPECT_EQ(youtube.edit, QRect(20, 256, 460, 32));
  EXPECT_EQ(youtube.hint, QRect(20, 292, 460, 32));
  EXPECT_EQ(l.platforms[2].nameBand, QRect(20, 338, 80, 30));
  EXPECT_EQ(l.platforms[2].accountLine.left(), 104);
  EXPECT_EQ(l.separatorLeft, 20);
  EXPECT_EQ(l.separatorRight, 480);
}

TEST(SettingsLayoutTest, LookPageAndFooterAt96Dpi) {
  const SettingsLayout l{ComputeSettingsLayout(9, 96)};
  ASSERT_EQ(l.swatches.size(), 9u);
  EXPECT_EQ(l.themeLabel, QRect(20, 96, 460, 22));
  EXPECT_EQ(l.swatches[0], QRect(20, 122, 148, 56));
  EXPECT_EQ(l.swatches[4], QRect(176, 186, 148, 56));
  EXPECT_EQ(l.swatches[8], QRect(332, 250, 148, 56));
  EXPECT_EQ(l.themeLine, QRect(20, 314, 460, 20));
  EXPECT_EQ(l.pageSeparatorY, 338);
  EXPECT_EQ(l.options[0].label, QRect(20, 351, 96, 20));
  EXPECT_EQ(l.options[0].buttons[2], QRect(364, 344, 116, 30));
  EXPECT_EQ(l.options[2].buttons[1], QRect(304, 416, 176, 30));
  EXPECT_EQ(l.options[3].buttons[0], QRect(124, 452, 86, 30));
  EXPECT_EQ(l.options[3].buttons[3], QRect(394, 452, 86, 30));
  // Switches in command order: on top, times, alerts, animated, provider emotes.
  EXPECT_EQ(l.switches[0], QRect(20, 494, 222, 26));
  EXPECT_EQ(l.switches[1], QRect(250, 494, 230, 26));
  EXPECT_EQ(l.switches[4], QRect(20, 524, 222, 26));
  EXPECT_EQ(l.switches[3], QRect(250, 524, 230, 26));
  EXPECT_EQ(l.switches[2], QRect(20, 554, 460, 26));
  EXPECT_EQ(l.error, QRect(20, 588, 460, 30));
  EXPECT_EQ(l.save, QRect(384, 622, 96, 34));
  EXPECT_EQ(l.cancel, QRect(280, 622, 96, 34));
  EXPECT_EQ(l.footer, QRect(20, 624, 252, 32));
  EXPECT_EQ(l.clientWidth, 500);
  EXPECT_EQ(l.clientHeight, 674);
}

TEST(SettingsLayoutTest, OwnAppBlockFollowsThePlatformsInTheirRhythm) {
  const SettingsLayout l{ComputeSettingsLayout(9, 96)};
  const OwnAppLayout& own{l.ownApps};
  EXPECT_EQ(own.separatorY, 448);
  EXPECT_EQ(own.label, QRect(20, 456, 460, 30));
  EXPECT_EQ(own.buttons[0], QRect(20, 492, 148, 30));
  EXPECT_EQ(own.buttons[1], QRect(176, 492, 148, 30));
  EXPECT_EQ(own.buttons[2], QRect(332, 492, 148, 30));
  EXPECT_EQ(own.note, QRect(20, 528, 460, 32));
  EXPECT_LT(own.note.bottom(), l.error.top());  // the error line keeps its place
  const SettingsLayout wide{ComputeSettingsLayout(9, 144)};
  EXPECT_EQ(wide.ownApps.buttons[2], QRect(498, 738, 222, 45));
}

TEST(SettingsLayoutTest, FewerThemesMoveTheOptionsUpButNotTheErrorLine) {
  // One line of swatches: the switches end above the end of the channels page (the own-app
  // note and a hint's gap below it), where the error line then stays.
  const SettingsLayout l{ComputeSettingsLayout(3, 96)};
  EXPECT_EQ(l.themeLine.top(), 186);
  EXPECT_EQ(l.switches[2].top(), 426);
  EXPECT_EQ(l.error.top(), 574);
  const SettingsLayout none{ComputeSettingsLayout(0, 96)};
  EXPECT_TRUE(none.swatches.empty());
  EXPECT_EQ(none.error.top(), 574);
}

TEST(SettingsLayoutTest, EveryLengthScalesOnItsOwn) {
  const SettingsLayout l{ComputeSettingsLayout(9, 144)};
  EXPECT_EQ(l.clientWidth, 750);
  EXPECT_EQ(l.clientHeight, 1011);
  EXPECT_EQ(l.save, QRect(576, 933, 144, 51));
  EXPECT_EQ(l.swatches[1], QRect(264, 183, 222, 84));
  const SettingsLayout zero{ComputeSettingsLayout(9, 0)};  // unknown DPI counts as 96
  EXPECT_EQ(zero.clientHeight, 674);
}

TEST(SettingsLayoutTest, PlacementCentresOnTheOwnerAndStaysInTheWorkArea) {
  struct Case {
    QRect owner;
    QSize size;
    QRect work;
    QPoint expected;
  };
  const Case cases[]{
      {{100, 100, 440, 760}, {500, 674}, {0, 0, 1920, 1080}, {70, 143}},
      // Past the right and bottom edges: moved back in.
      {{1700, 700, 440, 760}, {500, 674}, {0, 0, 1920, 1080}, {1420, 406}},
      // Past the left and top edges of a second monitor.
      {{1900, -300, 100, 100}, {500, 674}, {1920, 0, 1280, 1024}, {1920, 0}},
      // Larger than the work area: the left and top edges win.
      {{0, 0, 400, 400}, {500, 674}, {0, 0, 480, 600}, {0, 0}},
      // No work area known: centred only.
      {{0, 0, 400, 400}, {500, 674}, {}, {-50, -137}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceOverOwner(c.owner, c.size, c.work), c.expected);
  }
}

}  // namespace
}  // namespace vlo
