#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/chatview/LayoutCache.h"
#include "ui/chatview/RowLayout.h"
#include "ui/chatview/ViewMetrics.h"

namespace vlo {
namespace {

using test::Row;

// BuildLayout with the sample catalogue and a chosen set of images.
struct LayoutFixture : testing::Test {
  LayoutFixture() {
    images->Add("https://e.example/tall", sample::MakeFace(10, 100, 30));
    images->Add("https://e.example/long", sample::MakeFace(1000, 10, 90));
    images->Add(sample::kGrinKey, sample::MakeFace(56, 56, 45));
    images->Add(sample::kHatKey, sample::MakeHat(56));
    images->Fail("https://e.example/broken");
  }

  RowLayout Build(const plx::ChatRow& row, int width = 440) {
    LayoutInputs inputs{&metrics, images.get(), lookup, {}};
    return BuildLayout(row, width, inputs);
  }

  ViewMetrics metrics{ViewMetrics::Build(1, false, 96)};
  std::shared_ptr<MapImageSource> images{std::make_shared<MapImageSource>()};
  PlatformEmoteLookup lookup{[](plx::PlatformId, std::string_view word) -> std::optional<EmoteDef> {
    auto def = [](std::string name, std::string url, bool zeroWidth) {
      return EmoteDef{std::move(name), std::move(url), EmoteSource::SevenTv, zeroWidth, false};
    };
    if (word == "tall") return def("tall", "https://e.example/tall", false);
    if (word == "long") return def("long", "https://e.example/long", false);
    if (word == "grin") return def("grin", sample::kGrinKey, false);
    if (word == "hat") return def("hat", sample::kHatKey, true);
    if (word == "broken") return def("broken", "https://e.example/broken", false);
    if (word == "later") return def("later", "https://e.example/later", false);
    return std::nullopt;
  }};
};

TEST_F(LayoutFixture, EmptyBodyIsOneSpaceWithTheNormalHeight) {
  RowLayout empty{Build(Row("a", ""))};
  RowLayout plain{Build(Row("b", "hi"))};
  ASSERT_TRUE(empty.layout);
  EXPECT_EQ(empty.layout->text(), " ");
  EXPECT_EQ(empty.height, plain.height);
  EXPECT_EQ(empty.layout->lineCount(), 1);
  EXPECT_FLOAT_EQ(empty.bodyLeft, 14);
  EXPECT_FLOAT_EQ(empty.bodyTop, metrics.lineHeight + 5 + 1);
  EXPECT_EQ(plain.height,
            static_cast<int>(std::ceil(plain.layout->lineAt(0).height() + plain.bodyTop + 7)));
}

TEST_F(LayoutFixture, NarrowViewsKeepFortyPixelsOfText) {
  for (int width : {66, 30, 0}) {
    RowLayout layout{Build(Row("a", "some words that wrap"), width)};
    ASSERT_TRUE(layout.layout);
    EXPECT_DOUBLE_EQ(layout.layout->lineAt(0).width(), 40.0) << width;
  }
  RowLayout wide{Build(Row("a", "some words"), 200)};
  EXPECT_DOUBLE_EQ(wide.layout->lineAt(0).width(), 200.0 - 12 - 14);
  RowLayout system{Build(Row("s", "slow mode", {"system"}), 50)};
  EXPECT_DOUBLE_EQ(system.layout->lineAt(0).width(), 40.0);
  EXPECT_FLOAT_EQ(system.bodyLeft, 26);
  EXPECT_TRUE(system.emotes.empty());
}

TEST_F(LayoutFixture, EmoteAspectIsClampedAndBoxesTakeTheirWidth) {
  RowLayout layout{Build(Row("a", "tall long x"))};
  ASSERT_EQ(layout.emotes.size(), 2u);
  const double h{static_cast<double>(metrics.emoteHeight)};
  EXPECT_DOUBLE_EQ(layout.emotes[0].width, h * 0.25);  // 10 × 100
  EXPECT_DOUBLE_EQ(layout.emotes[1].width, h * 4);     // 1000 × 10
  EXPECT_DOUBLE_EQ(layout.emotes[0].rect.height(), h);
  // Each box occupies its width in the line: the next one starts after it and a blank.
  const QTextLine line{layout.layout->lineAt(0)};
  EXPECT_NEAR(line.cursorToX(layout.emotes[0].textPosition + 1) - layout.emotes[0].rect.left(),
              h * 0.25, 0.05);
  EXPECT_NEAR(layout.emotes[1].rect.left(), line.cursorToX(layout.emotes[1].textPosition), 0.01);
  // The line grows to the emote: the baseline sits 0.8 × emoteHeight below the emote's top.
  EXPECT_NEAR(line.y() + line.ascent() - layout.emotes[0].rect.top(), metrics.emoteBaseline, 0.01);
  EXPECT_FALSE(layout.pending);
  EXPECT_EQ(layout.emotes[0].tooltip, "tall\n7TV global emote");
}

TEST_F(LayoutFixture, OverlayIsCentredOnItsBaseAndAddsNoWidth) {
  RowLayout with{Build(Row("a", "long hat"))};
  RowLayout without{Build(Row("b", "long"))};
  ASSERT_EQ(with.emotes.size(), 2u);
  const EmotePlacement& base{with.emotes[0]};
  const EmotePlacement& hat{with.emotes[1]};
  EXPECT_TRUE(hat.overlay);
  EXPECT_DOUBLE_EQ(hat.width, metrics.emoteHeight);  // drawn at full width
  EXPECT_DOUBLE_EQ(hat.rect.center().x(), base.rect.center().x());
  EXPECT_DOUBLE_EQ(hat.rect.top(), base.rect.top());
  EXPECT_DOUBLE_EQ(hat.rect.bottom(), base.rect.bottom());
  EXPECT_DOUBLE_EQ(with.layout->lineAt(0).naturalTextWidth(),
                   without.layout->lineAt(0).naturalTextWidth());
  EXPECT_EQ(hat.tooltip, "hat\n7TV global emote (overlay)");
}

TEST_F(LayoutFixture, OverlayWithoutAnEmoteBeforeItIsAnOrdinaryEmote) {
  for (const char* body : {"hat grin", "broken hat"}) {
    RowLayout layout{Build(Row("a", body))};
    const EmotePlacement& hat{layout.emotes.front().imageKey == sample::kHatKey
                                  ? layout.emotes.front()
                                  : layout.emotes.back()};
    EXPECT_FALSE(hat.overlay) << body;
    EXPECT_NEAR(layout.layout->lineAt(0).cursorToX(hat.textPosition + 1) - hat.rect.left(),
                metrics.emoteHeight, 0.05)
        << body;
  }
}

TEST_F(LayoutFixture, FailedImagesShowTheCodeAndMissingOnesArePending) {
  RowLayout failed{Build(Row("a", "broken text"))};
  EXPECT_TRUE(failed.emotes.empty());
  EXPECT_EQ(failed.layout->text(), "broken text");
  RowLayout waiting{Build(Row("b", "later"))};
  ASSERT_EQ(waiting.emotes.size(), 1u);
  EXPECT_TRUE(waiting.pending);
  EXPECT_DOUBLE_EQ(waiting.emotes[0].width, metrics.emoteHeight);  // aspect 1 meanwhile
  LayoutInputs noImages{&metrics, nullptr, lookup, {}};
  EXPECT_EQ(BuildLayout(Row("c", "grin"), 440, noImages).layout->text(), "grin");
}

TEST_F(LayoutFixture, DeletedRowsAreStruckAndKeyedApart) {
  plx::ChatRow row{Row("abc", "gone grin")};
  EXPECT_EQ(LayoutCache::Key(row), "abc");
  row.deleted = true;
  EXPECT_EQ(LayoutCache::Key(row), "abc#d");
  EXPECT_NE(LayoutCache::Hash(row), LayoutCache::Hash(Row("abc", "")));
  RowLayout layout{Build(row)};
  const auto formats{layout.layout->formats()};
  ASSERT_FALSE(formats.empty());
  EXPECT_TRUE(formats.front().format.fontStrikeOut());
  EXPECT_EQ(formats.front().length, layout.layout->text().size());
}

TEST(ViewMetricsTest, TextSizeIsClampedAndCompactShrinksEmotes) {
  EXPECT_EQ(ViewMetrics::Build(-1, false, 96).bodySize, 13);
  EXPECT_EQ(ViewMetrics::Build(7, false, 96).bodySize, 18);
  EXPECT_EQ(ViewMetrics::Build(7, false, 96).emoteHeight, 34);
  EXPECT_EQ(ViewMetrics::Build(1, true, 96).emoteHeight, 24);  // 28 × 0.85 = 23.8
  EXPECT_EQ(ViewMetrics::Build(1, true, 96).emoteBaseline, 19);
  EXPECT_EQ(ViewMetrics::Build(1, false, 144).emoteHeight, 42);
  EXPECT_DOUBLE_EQ(ViewMetrics::Build(1, true, 96).padBottom, 3);
}

TEST(ChatViewLayoutTest, DeletingARowLaysItOutFreshAndTheOldLayoutAgesOut) {
  test::ViewFixture f;
  std::vector<plx::ChatRow> rows{Row("a", "hello"), Row("b", "world")};
  f.view.SetRows(rows);
  const ChatView::RowLayout* before{f.view.CachedLayout(0)};
  ASSERT_NE(before, nullptr);
  const QTextLayout* oldText{before->layout.get()};
  rows[0].deleted = true;
  f.view.SetRows(rows);
  const ChatView::RowLayout* after{f.view.CachedLayout(0)};
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after->layout.get(), oldText);
  EXPECT_TRUE(after->layout->formats().front().format.fontStrikeOut());
  EXPECT_EQ(f.view.LayoutCacheSize(), 3u);  // the old entry stays until the cache is pruned

  std::vector<plx::ChatRow> many{test::Rows(0, 400)};
  f.view.SetRows(many);
  EXPECT_LE(f.view.LayoutCacheSize(), 400u + 300u);
  f.view.SetRows(test::Rows(400, 402));
  EXPECT_EQ(f.view.LayoutCacheSize(), 2u);  // 402 > 2 + 300: rebuilt with the current rows
}

TEST(ChatViewLayoutTest, RowsStackFromFourPixels) {
  test::ViewFixture f;
  f.view.SetRows({Row("a", "one"), Row("b", "two")});
  const ScrollModel& scroll{f.view.Scroll()};
  ASSERT_EQ(scroll.rowTops.size(), 2u);
  EXPECT_EQ(scroll.rowTops[0], 4);
  EXPECT_EQ(scroll.rowTops[1], 4 + f.view.CachedLayout(0)->height);
  EXPECT_EQ(scroll.contentHeight, scroll.rowTops[1] + f.view.CachedLayout(1)->height + 6);
}

}  // namespace
}  // namespace vlo
