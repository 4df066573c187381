#include <gtest/gtest.h>

#include <QAccessible>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "tests/ui/chatview/ViewFixture.h"
#include "ui/chatview/ChatViewAccessible.h"

namespace vlo {
namespace {

using test::Row;

std::vector<std::pair<QAccessible::Event, QString>>& Events() {
  static std::vector<std::pair<QAccessible::Event, QString>> events;
  return events;
}

void Record(QAccessibleEvent* event) {
  QAccessibleInterface* target{event->accessibleInterface()};
  Events().emplace_back(event->type(), target ? target->text(QAccessible::Name) : QString{});
}

TEST(AccessibilityTest, TheViewIsAListOfTheRowsOnScreenWithReadableNames) {
  test::ViewFixture f;
  plx::ChatRow deleted{Row("c", "gone now")};
  deleted.deleted = true;
  f.view.SetRows({Row("a", "hello there"),
                  Row("b", "cosmicwolf gifted 5 subs", {"event"}, plx::PlatformId::Kick), deleted,
                  Row("d", "Connected to velarodemo", {"system"})});
  QAccessibleInterface* list{QAccessible::queryAccessibleInterface(&f.view)};
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  EXPECT_EQ(list->text(QAccessible::Name), "Chat");
  ASSERT_EQ(list->childCount(), 4);
  const QStringList names{"viewer, Twitch: hello there", "Alert, Kick: cosmicwolf gifted 5 subs",
                          "viewer, Twitch: gone now, deleted",
                          "System, Twitch: Connected to velarodemo"};
  for (int i = 0; i < 4; ++i) {
    QAccessibleInterface* row{list->child(i)};
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), names[i]);
    EXPECT_EQ(row->parent(), list);
    EXPECT_EQ(list->indexOfChild(row), i);
    EXPECT_EQ(row, list->child(i));  // one interface per row
  }

  // Only rows on screen are children; a row that left the list is no longer valid.
  f.view.SetRows(test::Rows(0, 60));
  EXPECT_GT(list->childCount(), 3);
  EXPECT_LT(list->childCount(), 30);
  EXPECT_EQ(list->child(list->childCount() - 1)->text(QAccessible::Name),
            "viewer, Twitch: message 59");
}

TEST(AccessibilityTest, ArrowKeysMoveAVisibleRowFocusAndEnterOpensTheMenu) {
  test::ViewFixture f;
  f.view.SetRows(test::Rows(0, 40));
  f.view.setFocus();
  QApplication::setActiveWindow(&f.view);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.view));
  QTest::keyClick(&f.view, Qt::Key_Up);
  EXPECT_EQ(f.view.FocusRow(), 39);  // the first key lands on the last row on screen
  QTest::keyClick(&f.view, Qt::Key_Up);
  QTest::keyClick(&f.view, Qt::Key_Up);
  EXPECT_EQ(f.view.FocusRow(), 37);
  QAccessibleInterface* list{QAccessible::queryAccessibleInterface(&f.view)};
  EXPECT_EQ(list->focusChild()->text(QAccessible::Name), "viewer, Twitch: message 37");
  EXPECT_TRUE(list->focusChild()->state().focused);
  QTest::keyClick(&f.view, Qt::Key_Home);
  EXPECT_EQ(f.view.FocusRow(), 0);
  EXPECT_EQ(f.view.Scroll().scrollY, 0);  // scrolled to keep the focus row in view
  // The focus row stays on its row while rows leave the top.
  f.view.SetRows(test::Rows(0, 40));
  QTest::keyClick(&f.view, Qt::Key_Down);
  f.view.SetRows(test::Rows(1, 41));
  EXPECT_EQ(f.view.Rows()[f.view.FocusRow()].id, "r1");

  std::vector<QString> offered;
  QTimer::singleShot(0, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* action : menu->actions()) offered.push_back(action->text());
      menu->close();
    }
  });
  QTest::keyClick(&f.view, Qt::Key_Return);
  ASSERT_FALSE(offered.empty());
  EXPECT_NE(std::find(offered.begin(), offered.end(), "Copy message"), offered.end());
}

TEST(AccessibilityTest, NewRowsAreOfferedToAssistiveTechnology) {
  test::ViewFixture f;
  ASSERT_NE(QAccessible::queryAccessibleInterface(&f.view), nullptr);  // as a screen reader does
  f.view.SetAccessibilityEventSink(Record);
  f.view.SetReadAloud(true);
  f.view.SetRows(test::Rows(0, 5));
  Events().clear();
  f.view.SetRows(test::Rows(0, 7));
  std::vector<QString> created;
  bool described{false};
  for (const auto& [type, name] : Events()) {
    if (type == QAccessible::ObjectCreated) created.push_back(name);
    if (type == QAccessible::DescriptionChanged) described = true;
  }
  EXPECT_EQ(created,
            (std::vector<QString>{"viewer, Twitch: message 5", "viewer, Twitch: message 6"}));
  EXPECT_TRUE(described);
  EXPECT_EQ(f.view.accessibleDescription(), "viewer, Twitch: message 6");
}

}  // namespace
}  // namespace vlo
