#include <gtest/gtest.h>

#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <thread>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/toolkit/KitButton.h"

namespace vlo {
namespace {

using test::Row;

struct Call {
  std::string id;
  ModAction action;
  int argument;
};

QStringList Items(const QMenu& menu, bool enabledOnly = false) {
  QStringList items;
  for (QAction* action : menu.actions()) {
    if (action->isSeparator() || (enabledOnly && !action->isEnabled())) continue;
    items << action->text();
  }
  return items;
}

struct MenuFixture : testing::Test {
  MenuFixture() {
    f.view.SetModerationCallbacks(
        [this](const plx::ChatMessage& m, ModAction a, int arg) {
          calls.push_back({m.id, a, arg});
        },
        [this](plx::PlatformId) { return canModerate; });
  }
  test::ViewFixture f;
  std::vector<Call> calls;
  bool canModerate{true};
};

TEST_F(MenuFixture, OutboundAndSystemRowsOnlyCopy) {
  f.view.SetRows({Row("o", "sent", {"outbound", "twitch"}), Row("s", "joined", {"system"})});
  for (int i : {0, 1}) {
    std::unique_ptr<QMenu> menu{f.view.BuildRowMenu(i)};
    ASSERT_TRUE(menu);
    EXPECT_EQ(Items(*menu), QStringList{"Copy message"});
  }
  EXPECT_EQ(f.view.BuildRowMenu(2), nullptr);
  EXPECT_EQ(f.view.BuildRowMenu(-1), nullptr);
}

TEST_F(MenuFixture, ViewerRowMenuFollowsTheModerationRights) {
  plx::ChatRow noIds{Row("n", "hi", {}, plx::PlatformId::Kick)};
  noIds.authorId.clear();
  noIds.platformMessageId.clear();
  f.view.SetRows({Row("v", "hi"), noIds});

  std::unique_ptr<QMenu> menu{f.view.BuildRowMenu(0)};
  EXPECT_EQ(Items(*menu), (QStringList{"viewer  \u00b7  Twitch", "Delete message", "Time out",
                                       "Ban from chat\u2026", "Copy message", "Copy name"}));
  EXPECT_EQ(Items(*menu, true), (QStringList{"Delete message", "Time out", "Ban from chat\u2026",
                                             "Copy message", "Copy name"}));

  menu = f.view.BuildRowMenu(1);
  EXPECT_EQ(Items(*menu, true), (QStringList{"Copy message", "Copy name"}));

  canModerate = false;
  menu = f.view.BuildRowMenu(0);
  EXPECT_TRUE(Items(*menu).contains("Sign in under Settings to moderate (owner or moderator)"));
  EXPECT_EQ(Items(*menu, true), (QStringList{"Copy message", "Copy name"}));
}

TEST_F(MenuFixture, CommandsCallModerationWithTheirArguments) {
  const plx::ChatRow row{Row("v", "hello there")};
  f.view.SetRows({row});
  for (int command : {ChatView::kDelete, ChatView::kTimeout1m, ChatView::kTimeout10m,
                      ChatView::kTimeout1h, ChatView::kTimeout24h}) {
    f.view.RunRowCommand(row, command);
  }
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].action, ModAction::Delete);
  const int seconds[]{60, 600, 3600, 86400};
  for (int i{0}; i < 4; ++i) {
    EXPECT_EQ(calls[i + 1].action, ModAction::Timeout);
    EXPECT_EQ(calls[i + 1].argument, seconds[i]);
  }
  f.view.RunRowCommand(row, ChatView::kCopyMessage);
  EXPECT_EQ(QApplication::clipboard()->text(), "viewer: hello there");
  f.view.RunRowCommand(row, ChatView::kCopyName);
  EXPECT_EQ(QApplication::clipboard()->text(), "viewer");
}

TEST_F(MenuFixture, BanAsksFirstAndCancellingSendsNothing) {
  const plx::ChatRow row{Row("v", "hi", {}, plx::PlatformId::YouTube)};
  f.view.SetRows({row});
  QString content;
  QTimer::singleShot(0, [&content] {
    QWidget* dialog{QApplication::activeModalWidget()};
    ASSERT_NE(dialog, nullptr);
    for (QLabel* label : dialog->findChildren<QLabel*>()) content += label->text() + "|";
    dialog->close();
  });
  f.view.RunRowCommand(row, ChatView::kBan);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(content,
            "Ban this viewer?|Ban viewer from this YouTube chat? They can no longer chat there "
            "until a moderator unbans them.|");

  QTimer::singleShot(0, [] {
    for (KitButton* button : QApplication::activeModalWidget()->findChildren<KitButton*>()) {
      if (button->text().endsWith("Ban")) button->click();
    }
  });
  f.view.RunRowCommand(row, ChatView::kBan);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].action, ModAction::Ban);
  EXPECT_EQ(calls[0].argument, 0);
}

TEST(TooltipTest, OverlayIsFoundBeforeItsBase) {
  test::ViewFixture f;
  f.view.SetRows({Row("a", "grin hat"), Row("b", "wide")});
  const ChatView::RowLayout* layout{f.view.CachedLayout(0)};
  ASSERT_NE(layout, nullptr);
  ASSERT_EQ(layout->emotes.size(), 2u);
  const int top{f.view.Scroll().rowTops[0] - f.view.Scroll().scrollY};
  const QPointF origin{layout->bodyLeft, top + layout->bodyTop};
  const QPoint centre{layout->emotes[0].rect.translated(origin).center().toPoint()};
  EXPECT_EQ(f.view.EmoteTooltipAt(centre), "hat\n7TV global emote (overlay)");
  const QRectF grin{layout->emotes[0].rect.translated(origin)};
  EXPECT_EQ(f.view.EmoteTooltipAt(grin.topLeft().toPoint() + QPoint{1, 1}),
            "hat\n7TV global emote (overlay)");  // same box
  EXPECT_EQ(f.view.EmoteTooltipAt(QPoint{2, top + 2}), "");
}

TEST(ImageArrivalTest, ArrivalsStartOneTimerAndRelayoutPendingRows) {
  test::ViewFixture f;
  f.view.SetRows({Row("a", "grin later")});
  auto lookup = [](plx::PlatformId, std::string_view word) -> std::optional<EmoteDef> {
    if (word == "later")
      return EmoteDef{"later", "https://e.example/later", EmoteSource::BetterTtv};
    return std::nullopt;
  };
  f.view.SetImageSource(f.images, lookup);
  ASSERT_TRUE(f.view.CachedLayout(0)->pending);
  EXPECT_DOUBLE_EQ(f.view.CachedLayout(0)->emotes[0].width, f.view.Metrics().emoteHeight);

  std::function<void()> arrived{f.view.ArrivalCallback()};
  std::thread worker{[&arrived] {
    arrived();
    arrived();
  }};
  worker.join();
  QApplication::processEvents();
  EXPECT_TRUE(f.view.ImageTimerPending());

  f.images->Add("https://e.example/later", sample::MakeFace(112, 56, 10));
  f.view.RelayoutPending();  // what the timer does
  ASSERT_FALSE(f.view.CachedLayout(0)->pending);
  EXPECT_DOUBLE_EQ(f.view.CachedLayout(0)->emotes[0].width, 2.0 * f.view.Metrics().emoteHeight);
}

TEST(ImageArrivalTest, CallbackOutlivesTheView) {
  std::function<void()> arrived;
  {
    test::ViewFixture f;
    arrived = f.view.ArrivalCallback();
  }
  arrived();  // must not touch the destroyed view
  QApplication::processEvents();
}

}  // namespace
}  // namespace vlo
