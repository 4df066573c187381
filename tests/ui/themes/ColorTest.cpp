#include <gtest/gtest.h>

#include "ui/themes/Color.h"
#include "ui/themes/Theme.h"

namespace vlo {
namespace {

TEST(ColorTest, MixRoundsAndClampsTheShare) {
  struct Case {
    Rgb a;
    Rgb b;
    int p;
    Rgb expected;
  };
  const Case cases[]{
      {Hex(0xFF1FB4), Hex(0x07040A), -20, Hex(0x07040A)},  // below 0 acts as 0: b unchanged
      {Hex(0xFF1FB4), Hex(0x07040A), 0, Hex(0x07040A)},
      {Hex(0xFF1FB4), Hex(0x07040A), 100, Hex(0xFF1FB4)},
      {Hex(0xFF1FB4), Hex(0x07040A), 250, Hex(0xFF1FB4)},  // above 100 acts as 100
      {Hex(0x000001), Hex(0x000000), 50, Hex(0x000001)},   // 0.5 rounds up
      {Hex(0x0000FF), Hex(0x000000), 33, Hex(0x000054)},   // 84.15 -> 84
      {Hex(0xFF1FB4), Hex(0x07040A), 16, Hex(0x2F0825)},   // the neon alert tint
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHex(mix(c.a, c.b, c.p)), ToHex(c.expected)) << "p=" << c.p;
  }
}

TEST(ColorTest, BlendTruncates) {
  struct Case {
    Rgb a;
    Rgb b;
    int p;
    Rgb expected;
  };
  const Case cases[]{
      {Hex(0x000001), Hex(0x000000), 50, Hex(0x000000)},  // mix would give 1
      {Hex(0x0000FF), Hex(0x000000), 33, Hex(0x000054)},
      {Hex(0xFFFFFF), Hex(0x000000), 99, Hex(0xFCFCFC)},  // 252.45
      {Hex(0x123456), Hex(0xABCDEF), -5, Hex(0xABCDEF)},
      {Hex(0x123456), Hex(0xABCDEF), 105, Hex(0x123456)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHex(blend(c.a, c.b, c.p)), ToHex(c.expected)) << "p=" << c.p;
  }
}

TEST(ColorTest, ContrastOfBlackAndWhiteIsTwentyOne) {
  EXPECT_NEAR(ContrastRatio(Hex(0x000000), Hex(0xFFFFFF)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Hex(0xFFFFFF), Hex(0x000000)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Hex(0x777777), Hex(0x777777)), 1.0, 1e-9);
}

TEST(ColorTest, ReadableAccentDarkensChatAccents) {
  struct Case {
    uint32_t in;
    uint32_t out;
  };
  const Case cases[]{
      {0xFF1FB4, 0xD41995},  // 3 steps
      {0x4DA3FF, 0x3877BB},  // 5 steps
      {0xD4D6DE, 0x727477},  // 10 steps
      {0x000000, 0x000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToHex(readableAccent(Hex(c.in))), c.out) << std::hex << c.in;
  }
}

TEST(ColorTest, ReadableAccentKeepsEveryWindowAccent) {
  for (const Theme& theme : ThemeTable()) {
    Rgb accent{theme.windowPalette.accent};
    EXPECT_EQ(readableAccent(accent), accent) << theme.key;
  }
}

TEST(ColorTest, DarkeningStopsAfterTheStepLimit) {
  // No colour needs 40 steps to reach 4.5:1, so the limit is checked with an unreachable ratio.
  // White after n steps of round(0.94 v): 255 240 226 212 199 187 176 165 155 146 137 ...
  EXPECT_EQ(ToHex(DarkenForWhiteText(Hex(0xFFFFFF), 22.0, 3)), 0xD4D4D4u);
  Rgb forty{DarkenForWhiteText(Hex(0xFFFFFF), 22.0, 40)};
  EXPECT_EQ(forty, DarkenForWhiteText(DarkenForWhiteText(Hex(0xFFFFFF), 22.0, 39), 22.0, 1));
  EXPECT_LT(ContrastRatio(forty, Hex(0xFFFFFF)), 22.0);
  EXPECT_NE(forty, DarkenForWhiteText(Hex(0xFFFFFF), 22.0, 41));
  // An exact half rounds up: 25 × 0.94 = 23.5 -> 24.
  EXPECT_EQ(DarkenForWhiteText(Hex(0x191919), 22.0, 1), Hex(0x181818));
}

}  // namespace
}  // namespace vlo
