#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {
namespace {

using test::Row;

QImage Render(ChatView& view) { return view.viewport()->grab().toImage(); }

QRgb At(const QImage& image, double x, double y) {
  return image.pixel(static_cast<int>(x), static_cast<int>(y));
}

bool Contains(const QImage& image, Rgb color) {
  for (int y{0}; y < image.height(); ++y) {
    for (int x{0}; x < image.width(); ++x) {
      if (image.pixel(x, y) == ToQColor(color).rgb()) return true;
    }
  }
  return false;
}

TEST(PaintTest, AlertRowIsTintedAndHasThePlatformBar) {
  test::ViewFixture f;
  const ChatPalette& p{FindTheme("neon").chatPalette};
  f.view.SetChatPalette(p);
  f.view.SetRows({Row("a", "plain"), Row("b", "gifted 5 subs", {"event"}, plx::PlatformId::Kick),
                  Row("c", "sent", {"outbound", "youtube"}, plx::PlatformId::YouTube)});
  const QImage image{Render(f.view)};
  const ScrollModel& s{f.view.Scroll()};
  const int width{f.view.viewport()->width()};
  const int alertTop{s.rowTops[1] - s.scrollY};
  const int alertHeight{f.view.CachedLayout(1)->height};
  EXPECT_EQ(At(image, width - 4, alertTop + alertHeight / 2),
            ToQColor(mix(p.chatAccent, p.chatBg, p.alertTintPercent)).rgb());
  EXPECT_EQ(At(image, 5, alertTop + alertHeight / 2), ToQColor(p.kickColor).rgb());
  // Around the bar (x 4..7) the row background shows.
  EXPECT_EQ(At(image, 2, alertTop + alertHeight / 2),
            ToQColor(mix(p.chatAccent, p.chatBg, p.alertTintPercent)).rgb());

  const int outboundTop{s.rowTops[2] - s.scrollY};
  EXPECT_EQ(At(image, width - 4, outboundTop + 10), ToQColor(mix(p.chatAccent, p.chatBg, 8)).rgb());
  EXPECT_EQ(At(image, 5, outboundTop + 10), ToQColor(p.chatAccent).rgb());
  EXPECT_EQ(At(image, width - 4, s.rowTops[0] - s.scrollY + 10), ToQColor(p.chatBg).rgb());
}

TEST(PaintTest, DeletedRowsDrawEmotesFaded) {
  test::ViewFixture f;
  auto solid{std::make_shared<DecodedImage>()};
  solid->width = solid->height = 8;
  solid->frames.push_back(std::vector<uint8_t>(8 * 8 * 4, 0xFF));  // opaque white
  f.images->Add(sample::kGrinKey, solid);
  f.view.SetImageSource(f.images, sample::SampleLookup());
  plx::ChatRow row{Row("a", "grin")};
  f.view.SetRows({row});
  auto centreOfEmote = [&f] {
    const ChatView::RowLayout* layout{f.view.CachedLayout(0)};
    const int top{f.view.Scroll().rowTops[0] - f.view.Scroll().scrollY};
    return layout->emotes[0].rect.translated(layout->bodyLeft, top + layout->bodyTop).center();
  };
  QImage image{Render(f.view)};
  EXPECT_EQ(qRed(At(image, centreOfEmote().x(), centreOfEmote().y())), 255);
  row.deleted = true;
  f.view.SetRows({row});
  image = Render(f.view);
  const Rgb bg{FindTheme("neon").chatPalette.chatBg};
  const int expected{static_cast<int>(std::lround(0.35 * 255 + 0.65 * bg.r))};
  EXPECT_NEAR(qRed(At(image, centreOfEmote().x(), centreOfEmote().y())), expected, 2);
}

TEST(PaintTest, PendingEmotesDrawThePlaceholderBox) {
  test::ViewFixture f;
  auto lookup = [](plx::PlatformId, std::string_view word) -> std::optional<EmoteDef> {
    if (word == "later") return EmoteDef{"later", "https://e.example/later"};
    return std::nullopt;
  };
  f.view.SetImageSource(f.images, lookup);
  f.view.SetRows({Row("a", "later")});
  const ChatView::RowLayout* layout{f.view.CachedLayout(0)};
  const int top{f.view.Scroll().rowTops[0] - f.view.Scroll().scrollY};
  const QPointF centre{
      layout->emotes[0].rect.translated(layout->bodyLeft, top + layout->bodyTop).center()};
  const Rgb bg{FindTheme("neon").chatPalette.chatBg};
  const Rgb box{UiKit::Palette().borderSoft};
  const QRgb got{At(Render(f.view), centre.x(), centre.y())};
  EXPECT_NEAR(qGreen(got), std::lround(0.6 * box.g + 0.4 * bg.g), 2);
}

TEST(PaintTest, AnimationRunsOnlyWhileAnAnimatedEmoteIsVisible) {
  test::ViewFixture f;
  f.view.SetRows({Row("a", "spin")});
  Render(f.view);
  EXPECT_TRUE(f.view.Animating());
  f.view.SetEmoteOptions(false, true);
  Render(f.view);
  EXPECT_FALSE(f.view.Animating());
  f.view.SetEmoteOptions(true, true);
  std::vector<plx::ChatRow> rows{Row("a", "spin")};
  for (int i{0}; i < 40; ++i) rows.push_back(Row("p" + std::to_string(i), "plain text"));
  f.view.SetRows(rows);  // following: the animated row scrolled out of sight
  Render(f.view);
  EXPECT_FALSE(f.view.Animating());
}

TEST(PaintTest, EmptyViewShowsTheTextsAndNoPill) {
  test::ViewFixture f;
  f.view.SetRows(test::Rows(0, 40));
  f.view.ScrollTo(0);
  ASSERT_FALSE(f.view.Scroll().following);
  ASSERT_TRUE(Contains(Render(f.view), UiKit::Palette().accent));  // the pill
  f.view.SetRows({});
  f.view.SetEmptyTexts("Nothing here", "Add a channel in Settings");
  const QImage image{Render(f.view)};
  EXPECT_FALSE(Contains(image, UiKit::Palette().accent));
  EXPECT_TRUE(Contains(image, FindTheme("neon").chatPalette.chatBg));
}

TEST(PaintTest, SampleChatRendersInTwoThemes) {
  // Writes PNGs next to the test binary for a look by eye; checks only that rendering works.
  const QString folder{qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) +
                       "/ui-snapshots"};
  QDir{}.mkpath(folder);
  for (const char* key : {"neon", "lavender"}) {
    test::ViewFixture f;
    f.view.SetChatPalette(FindTheme(key).chatPalette);
    f.view.SetRows(sample::SampleRows(1'700'000'000'000));
    f.view.resize(440, f.view.Scroll().contentHeight);
    QApplication::processEvents();
    const QImage image{f.view.grab().toImage()};
    EXPECT_TRUE(image.save(folder + "/chatview-test-" + key + ".png"));
    EXPECT_TRUE(Contains(image, FindTheme(key).chatPalette.twitchColor));
  }
}

}  // namespace
}  // namespace vlo
