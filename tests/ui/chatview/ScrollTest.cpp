#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "tests/ui/chatview/ViewFixture.h"

namespace vlo {
namespace {

using test::Row;
using test::Rows;

void Wheel(ChatView& view, int delta) {
  QPointF at{100, 100};
  QWheelEvent event{at,
                    view.viewport()->mapToGlobal(at),
                    QPoint{},
                    QPoint{0, delta},
                    Qt::NoButton,
                    Qt::NoModifier,
                    Qt::NoScrollPhase,
                    false};
  QApplication::sendEvent(view.viewport(), &event);
}

// Scrolled up by a few rows from the bottom of 40 rows.
struct ScrolledUp : testing::Test {
  ScrolledUp() {
    f.view.SetRows(Rows(0, 40));
    f.view.ScrollTo(f.view.Scroll().MaxScroll() - 200);
  }
  test::ViewFixture f;
};

TEST(ScrollTest, WheelNotchScrollsThreeLinesAndSmallDeltasAccumulate) {
  test::ViewFixture f;
  // Find a text size and DPI whose line height is 21 pixels with the fonts of this machine.
  bool found{false};
  for (int size{0}; size < 3 && !found; ++size) {
    for (int dpi{96}; dpi <= 160 && !found; ++dpi) {
      f.view.SetTextOptions(size, true, dpi);
      found = f.view.LineHeightPx() == 21;
    }
  }
  ASSERT_TRUE(found);
  f.view.SetRows(Rows(0, 60));
  const int bottom{f.view.Scroll().scrollY};
  ASSERT_GT(bottom, 200);
  Wheel(f.view, 120);
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 63);
  EXPECT_FALSE(f.view.Scroll().following);
  Wheel(f.view, 30);  // a touchpad delta: not yet a step
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 63);
  Wheel(f.view, 10);
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 84);
  EXPECT_EQ(f.view.Scroll().wheelRemainder, 0);
  Wheel(f.view, -120);
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 21);
}

TEST(ScrollTest, WithinTwoPixelsOfTheBottomCountsAsFollowing) {
  test::ViewFixture f;
  f.view.SetRows(Rows(0, 40));
  const int max{f.view.Scroll().MaxScroll()};
  f.view.ScrollTo(max - 3);
  EXPECT_FALSE(f.view.Scroll().following);
  f.view.ScrollTo(max - 2);
  EXPECT_TRUE(f.view.Scroll().following);
  f.view.ScrollTo(max + 500);
  EXPECT_EQ(f.view.Scroll().scrollY, max);
  f.view.ScrollTo(-50);
  EXPECT_EQ(f.view.Scroll().scrollY, 0);
}

TEST_F(ScrolledUp, NewRowsAreCountedInThePill) {
  EXPECT_EQ(f.view.PillText(), "\u2193  Jump to latest");
  EXPECT_EQ(f.view.PillRect().width(), 130);
  f.view.SetRows(Rows(0, 45));
  EXPECT_EQ(f.view.PillText(), "\u2193  5 new messages");
  EXPECT_EQ(f.view.PillRect().width(), 170);
  f.view.SetRows(Rows(1, 46));  // one more, the oldest trimmed
  EXPECT_EQ(f.view.Scroll().newCount, 6);

  test::ViewFixture g;
  g.view.SetRows(Rows(0, 40));
  g.view.ScrollTo(0);
  g.view.SetRows(Rows(0, 41));
  EXPECT_EQ(g.view.PillText(), "\u2193  1 new message");
}

TEST_F(ScrolledUp, ClickingThePillJumpsToTheBottom) {
  f.view.SetRows(Rows(0, 45));
  const QRect pill{f.view.PillRect()};
  EXPECT_EQ(pill.bottom() + 1, f.view.viewport()->height() - 12);
  QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, pill.center());
  EXPECT_TRUE(f.view.Scroll().following);
  EXPECT_EQ(f.view.Scroll().newCount, 0);
  EXPECT_EQ(f.view.Scroll().scrollY, f.view.Scroll().MaxScroll());
}

TEST_F(ScrolledUp, AListWithoutThePreviousLastRowAddsNothing) {
  f.view.SetRows(Rows(0, 42));
  ASSERT_EQ(f.view.Scroll().newCount, 2);
  f.view.SetRows(Rows(100, 130));  // r41 is gone
  EXPECT_EQ(f.view.Scroll().newCount, 2);
}

TEST_F(ScrolledUp, TheAnchorRowKeepsItsPlace) {
  const ScrollModel& s{f.view.Scroll()};
  const int anchor{s.RowAt(0)};
  const std::string id{f.view.Rows()[anchor].id};
  const int onScreen{s.rowTops[anchor] - s.scrollY};
  f.view.SetRows(Rows(10, 50));  // ten trimmed from the top, ten new at the bottom
  const int moved{anchor - 10};
  ASSERT_EQ(f.view.Rows()[moved].id, id);
  EXPECT_EQ(s.rowTops[moved] - s.scrollY, onScreen);
  EXPECT_FALSE(s.following);
  EXPECT_EQ(s.newCount, 10);
}

TEST(ScrollTest, FollowingViewsStayAtTheBottom) {
  test::ViewFixture f;
  f.view.SetRows(Rows(0, 40));
  f.view.SetRows(Rows(0, 45));
  EXPECT_TRUE(f.view.Scroll().following);
  EXPECT_EQ(f.view.Scroll().scrollY, f.view.Scroll().MaxScroll());
  EXPECT_EQ(f.view.Scroll().newCount, 0);
  f.view.resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(f.view.Scroll().scrollY, f.view.Scroll().MaxScroll());
}

TEST(ScrollTest, RowLookupAtClientPoints) {
  ScrollModel model;
  EXPECT_EQ(model.RowAt(10), -1);
  model.rowTops = {4, 40, 90};
  model.scrollY = 0;
  EXPECT_EQ(model.RowAt(0), 0);  // above the first row
  EXPECT_EQ(model.RowAt(40), 1);
  EXPECT_EQ(model.RowAt(89), 1);
  EXPECT_EQ(model.RowAt(5000), 2);
  model.scrollY = 50;
  EXPECT_EQ(model.RowAt(0), 1);
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST(ScrollTest, ScrollBarStepsAreTwoLinesAndPagesKeepTwoLines) {
  test::ViewFixture f;
  f.view.SetRows(test::Rows(0, 60));
  QScrollBar* bar{f.view.verticalScrollBar()};
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_EQ(bar->maximum(), f.view.Scroll().MaxScroll());
  const int bottom{f.view.Scroll().scrollY};
  const int line{f.view.LineHeightPx()};
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 2 * line);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(f.view.Scroll().scrollY, bottom - 2 * line - (f.view.viewport()->height() - 2 * line));
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(f.view.Scroll().scrollY, 0);
  EXPECT_FALSE(f.view.Scroll().following);

  f.view.SetRows(test::Rows(0, 1));
  f.view.JumpToLatest();
  EXPECT_FALSE(bar->isEnabled());  // nothing to scroll: disabled, still shown
}

TEST(ScrollTest, HoverFollowsThePointerAndClearsOnLeave) {
  test::ViewFixture f;
  f.view.SetRows(test::Rows(0, 3));
  const ScrollModel& s{f.view.Scroll()};
  QTest::mouseMove(f.view.viewport(), QPoint{50, s.rowTops[1] - s.scrollY + 3});
  EXPECT_EQ(f.view.HoverRow(), 1);
  QEvent leave{QEvent::Leave};
  QApplication::sendEvent(f.view.viewport(), &leave);
  EXPECT_EQ(f.view.HoverRow(), -1);
}

}  // namespace
}  // namespace vlo
