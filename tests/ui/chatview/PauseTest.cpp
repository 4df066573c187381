#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/toolkit/KitColors.h"

namespace vlo {
namespace {

using test::Rows;

void Hover(ChatView& view, QPoint at = {100, 150}) {
  QTest::mouseMove(view.viewport(), at);
  QMouseEvent move{QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier};
  QApplication::sendEvent(view.viewport(), &move);
}

void Leave(ChatView& view) {
  QEvent leave{QEvent::Leave};
  QApplication::sendEvent(view.viewport(), &leave);
}

struct PauseFixture : testing::Test {
  PauseFixture() {
    f.view.SetPauseOnHover(true, 0);
    f.view.SetRows(Rows(0, 40));
  }
  test::ViewFixture f;
};

TEST_F(PauseFixture, RowsWaitUnderThePointerAndComeWhenItLeaves) {
  EXPECT_FALSE(f.view.PillShown());
  Hover(f.view);
  ASSERT_TRUE(f.view.Paused());
  EXPECT_EQ(f.view.PillText(), "Paused");
  ASSERT_GE(f.view.HoverRow(), 0);
  const std::string hovered{f.view.Rows()[f.view.HoverRow()].id};

  f.view.SetRows(Rows(3, 45));  // three rows left at the top, five new at the bottom
  EXPECT_EQ(f.view.HeldCount(), 5);
  EXPECT_EQ(f.view.PillText(), "Paused \u00b7 5 new");
  EXPECT_EQ(f.view.Rows().back().id, "r39");
  // The bottom row stays where it was, so the rows under the pointer do not move.
  EXPECT_EQ(f.view.Scroll().MaxScroll() - f.view.Scroll().scrollY, 0);
  ASSERT_GE(f.view.HoverRow(), 0);
  EXPECT_EQ(f.view.Rows()[f.view.HoverRow()].id, hovered);

  Leave(f.view);
  EXPECT_FALSE(f.view.Paused());
  EXPECT_FALSE(f.view.PillShown());
  EXPECT_EQ(f.view.Rows().back().id, "r44");
  EXPECT_TRUE(f.view.Scroll().following);
}

TEST_F(PauseFixture, ScrollingUpKeepsThePlaceAndCountsTheWaitingRowsAsNew) {
  Hover(f.view);
  f.view.SetRows(Rows(0, 43));
  QPointF at{100, 100};
  QWheelEvent wheel{at,           f.view.viewport()->mapToGlobal(at),
                    QPoint{},     QPoint{0, 120},
                    Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false};
  QApplication::sendEvent(f.view.viewport(), &wheel);
  EXPECT_FALSE(f.view.Paused());
  EXPECT_FALSE(f.view.Scroll().following);
  EXPECT_EQ(f.view.Rows().size(), 43u);
  EXPECT_EQ(f.view.PillText(), "\u2193  3 new messages");
}

TEST_F(PauseFixture, APauseEndsAfterTheRestTimeAndNeverStartsScrolledUp) {
  f.view.SetPauseOnHover(true, 1);
  Hover(f.view);
  f.view.SetRows(Rows(0, 41));
  ASSERT_TRUE(f.view.Paused());
  QTRY_VERIFY_WITH_TIMEOUT(!f.view.Paused(), 5000);
  EXPECT_EQ(f.view.Rows().size(), 41u);

  f.view.ScrollTo(0);
  Hover(f.view);
  EXPECT_FALSE(f.view.Paused());  // only a view at the bottom pauses
}

TEST_F(PauseFixture, AFloodPastTheHeldRowReleasesAndSwitchingOffReleases) {
  Hover(f.view);
  f.view.SetRows(Rows(100, 140));  // the last row shown is gone from the new list
  EXPECT_FALSE(f.view.Paused());
  EXPECT_EQ(f.view.Rows().back().id, "r139");

  Hover(f.view);
  f.view.SetRows(Rows(100, 142));
  EXPECT_EQ(f.view.HeldCount(), 2);
  f.view.SetPauseOnHover(false, 0);
  EXPECT_FALSE(f.view.Paused());
  EXPECT_EQ(f.view.Rows().back().id, "r141");
  Hover(f.view);
  EXPECT_FALSE(f.view.Paused());
}

TEST_F(PauseFixture, TheRowMenuActsOnTheRowItWasOpenedOn) {
  std::vector<std::string> deleted;
  f.view.SetModerationCallbacks(
      [&](const plx::ChatMessage& m, ModAction, int) { deleted.push_back(m.id); },
      [](plx::PlatformId) { return true; });
  Hover(f.view, {100, 150});
  const int index{f.view.HoverRow()};
  ASSERT_GE(index, 0);
  const std::string id{f.view.Rows()[index].id};
  // Rows arrive and leave the top while the menu is open: the row under it stays the same.
  std::string under;
  bool paused{false};
  QTimer::singleShot(0, [&] {
    f.view.SetRows(Rows(5, 50));
    paused = f.view.Paused();
    const int at{f.view.Scroll().RowAt(150)};
    if (at >= 0) under = f.view.Rows()[at].id;
    for (QWidget* popup : QApplication::topLevelWidgets()) {
      if (auto* menu = qobject_cast<QMenu*>(popup); menu && menu->isVisible()) {
        for (QAction* action : menu->actions()) {
          if (action->data().toInt() == ChatView::kDelete) menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
      }
    }
  });
  QContextMenuEvent event{QContextMenuEvent::Mouse, QPoint{100, 150},
                          f.view.viewport()->mapToGlobal(QPoint{100, 150})};
  QApplication::sendEvent(f.view.viewport(), &event);
  EXPECT_TRUE(paused);
  EXPECT_EQ(under, id);
  EXPECT_EQ(deleted, std::vector<std::string>{id});
}

TEST(TintTest, HighlightAndFirstRowsAreTintedInEveryTheme) {
  test::ViewFixture f;
  f.view.SetRows({test::Row("a", "plain"), test::Row("b", "@me hi"), test::Row("c", "first")},
                 {RowTint::None, RowTint::Highlight, RowTint::First});
  for (const Theme& theme : ThemeTable()) {
    const ChatPalette& p{theme.chatPalette};
    f.view.SetChatPalette(p);
    const QImage image{f.view.viewport()->grab().toImage()};
    const ScrollModel& s{f.view.Scroll()};
    const int x{f.view.viewport()->width() - 4};
    auto middle = [&](int i) { return s.rowTops[i] - s.scrollY + 10; };
    const Rgb highlight{RowBackground(f.view.Rows()[1], p, false, RowTint::Highlight)};
    const Rgb first{RowBackground(f.view.Rows()[2], p, false, RowTint::First)};
    EXPECT_EQ(image.pixel(x, middle(0)), ToQColor(p.chatBg).rgb()) << theme.key;
    EXPECT_EQ(image.pixel(x, middle(1)), ToQColor(highlight).rgb()) << theme.key;
    EXPECT_EQ(image.pixel(5, middle(1)), ToQColor(p.warning).rgb()) << theme.key;
    EXPECT_EQ(image.pixel(x, middle(2)), ToQColor(first).rgb()) << theme.key;
    EXPECT_NE(highlight, p.chatBg);
    EXPECT_NE(first, p.chatBg);
    // Readable: the body text keeps a strong contrast on both tints.
    EXPECT_GE(ContrastRatio(p.text, highlight), 7.0) << theme.key;
    EXPECT_GE(ContrastRatio(p.text, first), 7.0) << theme.key;
  }
}

TEST(ScrollToRowTest, PutsTheRowInTheMiddle) {
  test::ViewFixture f;
  f.view.SetRows(Rows(0, 80));
  ASSERT_TRUE(f.view.ScrollToRow("r20"));
  EXPECT_FALSE(f.view.Scroll().following);
  const int middle{f.view.Scroll().RowAt(f.view.viewport()->height() / 2)};
  EXPECT_NEAR(middle, 20, 1);
  EXPECT_FALSE(f.view.ScrollToRow("gone"));
}

}  // namespace
}  // namespace vlo
