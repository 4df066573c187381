#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "tests/ui/settings/SettingsFixture.h"
#include "ui/settings/ThemeSwatch.h"
#include "ui/toolkit/KitColors.h"

namespace vlo {
namespace {

using test::SettingsFixture;
using W = SettingsWindow;

QRgb Pixel(Rgb color) { return ToQColor(color).rgb(); }

bool Contains(const QImage& image, const QRect& area, Rgb color) {
  const QRect clipped{area.intersected(image.rect())};
  for (int y{clipped.top()}; y <= clipped.bottom(); ++y) {
    for (int x{clipped.left()}; x <= clipped.right(); ++x) {
      if (image.pixel(x, y) == Pixel(color)) return true;
    }
  }
  return false;
}

TEST(SettingsPaintTest, ChoosingAThemeMovesTheSelectionOutline) {
  SettingsFixture f;
  f.Open();
  f.Click(W::kPageButton + 1);
  auto* neon{f.Get<ThemeSwatch>(W::kSwatch)};
  auto* midnight{f.Get<ThemeSwatch>(W::kSwatch + 2)};
  const Theme& neonTheme{FindTheme("neon")};
  const Theme& midnightTheme{FindTheme("midnight")};
  // The left edge, halfway down: a 2-unit accent outline when selected, else the card's
  // 1-unit border with the card's surface inside it.
  const auto edge = [](ThemeSwatch* swatch) {
    const QImage image{swatch->grab().toImage()};
    return std::pair{image.pixel(0, image.height() / 2), image.pixel(1, image.height() / 2)};
  };
  EXPECT_TRUE(neon->Selected());
  EXPECT_EQ(edge(neon), std::pair(Pixel(neonTheme.chatPalette.chatAccent),
                                  Pixel(neonTheme.chatPalette.chatAccent)));
  EXPECT_EQ(edge(midnight), std::pair(Pixel(midnightTheme.windowPalette.border),
                                      Pixel(midnightTheme.windowPalette.surface)));

  f.Click(W::kSwatch + 2);
  EXPECT_FALSE(neon->Selected());
  EXPECT_TRUE(midnight->Selected());
  EXPECT_EQ(edge(midnight).second, Pixel(midnightTheme.chatPalette.chatAccent));
  EXPECT_EQ(edge(neon).second, Pixel(neonTheme.windowPalette.surface));

  // The window itself follows the previewed theme.
  const QImage window{f.window.grab().toImage()};
  EXPECT_EQ(window.pixel(4, 4), Pixel(midnightTheme.windowPalette.windowBg));
  EXPECT_EQ(window.pixel(250, f.window.Layout().pageSeparatorY),
            Pixel(midnightTheme.windowPalette.borderSoft));
}

TEST(SettingsPaintTest, ChannelsPageDrawsNamesBadgeAndSeparators) {
  SettingsFixture f;
  f.Open();
  const QImage image{f.window.grab().toImage()};
  const SettingsLayout& l{f.window.Layout()};
  const WindowPalette& p{UiKit::Palette()};
  const Rgb names[]{Hex(0xDCC4FF), Hex(0xFFC0C0), Hex(0xC8FFB0)};
  for (int i{0}; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(image.pixel(250, l.platforms[i].separatorY), Pixel(p.borderSoft));
    EXPECT_EQ(image.pixel(l.separatorRight, l.platforms[i].separatorY), Pixel(p.windowBg));
    EXPECT_TRUE(Contains(image, l.platforms[i].nameBand.adjusted(0, 0, -48, 0), names[i]));
  }
  const QRect badgeArea{l.platforms[1].nameBand.adjusted(60, 0, 0, 0)};
  EXPECT_TRUE(Contains(image, badgeArea, Hex(0xFFBE46)));
  EXPECT_FALSE(Contains(image, l.platforms[0].nameBand, Hex(0xFFBE46)));
}

TEST(SettingsPaintTest, RendersBothPagesInTwoThemes) {
  // Writes PNGs next to the test binary for a look by eye.
  const QString folder{qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) +
                       "/ui-snapshots"};
  QDir{}.mkpath(folder);
  for (const char* key : {"neon", "calm"}) {
    SettingsFixture f;
    f.host.statuses[1].signedIn = true;
    f.host.statuses[1].account = "Velaro Live";
    ChatSettings settings;
    settings.theme = key;
    settings.twitchChannel = "somename";
    f.host.ApplySettings(settings);
    f.Open(settings);
    const auto render = [&f, &folder, key](const char* name) {
      QTest::mouseMove(&f.window, QPoint{2, 2});  // no hovered button in the picture
      QApplication::processEvents();
      const QImage image{f.window.grab().toImage()};
      EXPECT_TRUE(image.save(folder + "/settings-" + name + "-" + key + ".png"));
      EXPECT_EQ(image.pixel(4, 4), Pixel(FindTheme(key).windowPalette.windowBg));
    };
    render("channels");
    f.Click(W::kAccountButton + 2);  // Kick's sign-in under way
    f.Type(W::kChannelEdit + 2, "not valid!");
    f.Click(W::kSave);  // shows the error line
    render("channels-busy");
    f.Click(W::kPageButton + 1);
    render("look");
  }
}

}  // namespace
}  // namespace vlo
