// Highlights, the mentions view, hiding, pausing and searching in the window, against the
// simulated world: real readers, a real sign-in, the settings file.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "tests/ui/mainwindow/WindowWorldFixture.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ComposeBar.h"
#include "ui/mainwindow/SearchBar.h"
#include "ui/mainwindow/UserCard.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitEdit.h"

namespace vlo {
namespace {

using plx::PlatformId;
using test::ProcessUntil;

class WindowHighlightsTest : public test::WindowWorldTest {
 protected:
  ChatWindow& OpenWith(ChatSettings settings) {
    const ChatTargets targets = world->DemoTargets();
    settings.twitchChannel = targets.twitchChannel;
    settings.kickChannel = targets.kickChannel;
    settings.youtubeTarget = targets.youtubeTarget;
    ChatWindow& w = OpenWindow(settings);
    // Rows said before a reader joined its chat would never arrive.
    EXPECT_TRUE(ProcessUntil([&] {
      for (PlatformId platform : {PlatformId::Twitch, PlatformId::YouTube, PlatformId::Kick}) {
        if (Status(platform).state != ConnectionState::Connected) return false;
      }
      return true;
    }));
    return w;
  }
  int ViewIndex(const std::string& body) {
    const auto& rows = window->View().Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].body == body) return static_cast<int>(i);
    }
    return -1;
  }
  void WaitForBody(const std::string& body) {
    ASSERT_TRUE(ProcessUntil([&] { return ViewIndex(body) >= 0; })) << body;
  }
  RowTint TintOf(const std::string& body) { return window->View().TintOf(ViewIndex(body)); }
  // Saves `shot` in the darkest and the lightest theme as ui-snapshots/<name>-<theme>.png;
  // `before` runs after each theme change (to reopen a popup).
  void SaveInThemes(const QString& name, const std::function<QImage()>& shot,
                    const std::function<void()>& before = {}) {
    const QString folder =
        qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) + "/ui-snapshots";
    QDir{}.mkpath(folder);
    for (const char* theme : {"neon", "calm"}) {
      ChatSettings look = window->StoredSettings();
      look.theme = theme;
      window->ApplySettings(look);
      if (before) before();
      QApplication::processEvents();
      EXPECT_TRUE(shot().save(folder + "/" + name + "-" + theme + ".png"));
    }
  }
  QImage WindowShot() { return window->grab().toImage(); }
};

TEST_F(WindowHighlightsTest, MentionsWordsAndFirstMessagesStandOutAndTheMentionsViewListsThem) {
  ChatSettings settings;
  settings.highlightWords = {"hype train"};
  ChatWindow& w = OpenWith(settings);
  SignIn(PlatformId::Twitch);
  const std::string me = Status(PlatformId::Twitch).account;
  ASSERT_FALSE(me.empty());
  const test::Viewer ann{"Ann", 1}, bob{"Bob", 2}, cat{"Cat", 3}, dan{"Dan", 4};
  chat->Says(PlatformId::Twitch, ann, "hey @" + me + " great stream");
  chat->Says(PlatformId::Kick, bob, "HYPE TRAIN incoming");
  chat->Says(PlatformId::YouTube, cat, "just a plain message");
  chat->SaysFirstTime(dan, "first time here, hello!");
  chat->Says(PlatformId::Kick, cat, "@" + me + " on Kick is not this account");
  WaitForBody("first time here, hello!");
  WaitForBody("@" + me + " on Kick is not this account");

  EXPECT_EQ(TintOf("hey @" + me + " great stream"), RowTint::Highlight);
  EXPECT_EQ(TintOf("HYPE TRAIN incoming"), RowTint::Highlight);
  EXPECT_EQ(TintOf("just a plain message"), RowTint::None);
  EXPECT_EQ(TintOf("first time here, hello!"), RowTint::First);
  EXPECT_EQ(TintOf("@" + me + " on Kick is not this account"), RowTint::None);
  EXPECT_EQ(w.HighlightCount(), 2);
  EXPECT_EQ(w.UnseenHighlights(), 2);
  EXPECT_EQ(w.TooltipFor(kItemMentions), "Show mentions and highlights only (2 in the chat now)");

  w.ClickItem(kItemMentions);
  EXPECT_TRUE(w.MentionsOnly());
  EXPECT_EQ(w.UnseenHighlights(), 0);
  ASSERT_EQ(w.View().Rows().size(), 2u);
  chat->Says(PlatformId::YouTube, ann, "hype train on YouTube too");
  chat->Says(PlatformId::YouTube, bob, "not shown in the mentions view");
  WaitForBody("hype train on YouTube too");
  EXPECT_EQ(w.View().Rows().size(), 3u);

  w.ClickItem(kItemMentions);
  EXPECT_GT(w.View().Rows().size(), 3u);
  SaveInThemes("highlights", [&] { return WindowShot(); });
}

TEST_F(WindowHighlightsTest, IgnoringHidesRowsWithoutDeletingAndRemovingTheRuleBringsThemBack) {
  ChatWindow& w = OpenWith(ChatSettings{});
  const test::Viewer spam{"Spammy", 5}, ann{"Ann", 1};
  chat->Says(PlatformId::Twitch, spam, "buy followers here");
  chat->Says(PlatformId::Kick, spam, "same name on Kick");
  chat->Says(PlatformId::Twitch, ann, "hello all");
  chat->Says(PlatformId::Twitch, spam, "and again");
  WaitForBody("and again");
  WaitForBody("same name on Kick");
  const plx::ChatRow row = w.View().Rows()[ViewIndex("buy followers here")];

  w.View().RunRowCommand(row, ChatView::kIgnoreUser);
  EXPECT_EQ(ViewIndex("buy followers here"), -1);
  EXPECT_EQ(ViewIndex("and again"), -1);
  EXPECT_GE(ViewIndex("same name on Kick"), 0);  // the rule is for Twitch only
  EXPECT_GE(ViewIndex("hello all"), 0);
  EXPECT_EQ(w.HiddenCount(), 2);
  EXPECT_EQ(LoadChatSettings(dir.path()).ignoreUsers, std::vector<std::string>{"twitch:Spammy"});
  EXPECT_TRUE(HasLine(PlatformId::Twitch, "buy followers here"));  // held, never deleted
  EXPECT_TRUE(ProcessUntil([&] {
    return HasLine(PlatformId::Twitch,
                   "Ignoring Spammy on Twitch. Remove them under Settings, Highlights.");
  }));

  // Removing the rule in the settings shows the rows again.
  w.OpenSettings();
  window->Settings()->ShowPage(SettingsWindow::kRulesPage);
  auto* hidden = SettingsControl<QPlainTextEdit>(SettingsWindow::kRuleList + 3);
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(hidden->toPlainText(), "twitch:Spammy");
  hidden->clear();
  QTest::mouseClick(SettingsControl(SettingsWindow::kSave), Qt::LeftButton);
  ASSERT_FALSE(w.Settings()->IsOpen());
  EXPECT_GE(ViewIndex("buy followers here"), 0);
  EXPECT_GE(ViewIndex("and again"), 0);
  EXPECT_EQ(w.HiddenCount(), 0);
  EXPECT_TRUE(LoadChatSettings(dir.path()).ignoreUsers.empty());
}

TEST_F(WindowHighlightsTest, SearchFiltersInAnyCaseAndEscapeComesBackToTheSamePlace) {
  ChatWindow& w = OpenWith(ChatSettings{});
  const test::Viewer ann{"Ann", 1}, zoe{"Zoë", 9};
  for (int i = 0; i < 40; ++i) {
    chat->Says(PlatformId::Twitch, ann, "line number " + std::to_string(i));
  }
  chat->Says(PlatformId::Kick, zoe, "Été brûlant");
  chat->Says(PlatformId::YouTube, ann, "what a summer, ÉTÉ!");
  WaitForBody("what a summer, ÉTÉ!");
  WaitForBody("line number 39");

  ChatView& view = w.View();
  view.ScrollTo(view.Scroll().rowTops[ViewIndex("line number 12")]);
  ASSERT_FALSE(view.Scroll().following);
  const int topIndex = view.Scroll().RowAt(0);
  const std::string topId = view.Rows()[topIndex].id;
  const int offset = view.Scroll().scrollY - view.Scroll().rowTops[topIndex];
  const size_t all = view.Rows().size();

  QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(w.Search()->isVisible());
  w.Search()->Field()->setText(QString::fromUtf8("été"));  // typed with a dead key
  ASSERT_EQ(view.Rows().size(), 2u);
  EXPECT_EQ(w.Search()->CountText(), "2 matches");
  w.Search()->Field()->setText(QString::fromUtf8("zoË"));  // the author's name, any case
  ASSERT_EQ(view.Rows().size(), 1u);
  EXPECT_EQ(w.Search()->CountText(), "1 match");
  QTest::keyClicks(w.Search()->Field(), " nothing like this");
  EXPECT_EQ(w.Search()->CountText(), "No matches");

  QTest::keyClick(w.Search()->Field(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(w.Search()->Field(), "number 1");
  SaveInThemes("search", [&] { return WindowShot(); });

  QTest::keyClick(w.Search()->Field(), Qt::Key_Escape);
  EXPECT_FALSE(w.Search()->isVisible());
  EXPECT_EQ(view.Rows().size(), all);
  EXPECT_FALSE(view.Scroll().following);
  const int backIndex = view.Scroll().RowAt(0);
  EXPECT_EQ(view.Rows()[backIndex].id, topId);
  EXPECT_EQ(view.Scroll().scrollY - view.Scroll().rowTops[backIndex], offset);
}

TEST_F(WindowHighlightsTest, ThePausedPillHoldsRowsUnderThePointer) {
  ChatWindow& w = OpenWith(ChatSettings{});
  const test::Viewer ann{"Ann", 1};
  for (int i = 0; i < 30; ++i) chat->Says(PlatformId::Twitch, ann, "early " + std::to_string(i));
  WaitForBody("early 29");
  ChatView& view = w.View();
  QMouseEvent move{
      QEvent::MouseMove, QPointF{120, 200}, view.viewport()->mapToGlobal(QPoint{120, 200}),
      Qt::NoButton,      Qt::NoButton,      Qt::NoModifier};
  QApplication::sendEvent(view.viewport(), &move);
  ASSERT_TRUE(view.Paused());
  for (int i = 0; i < 3; ++i) chat->Says(PlatformId::Kick, ann, "later " + std::to_string(i));
  ASSERT_TRUE(ProcessUntil([&] { return view.HeldCount() == 3; }));
  EXPECT_EQ(view.PillText(), "Paused \u00b7 3 new");
  EXPECT_EQ(ViewIndex("later 0"), -1);

  SaveInThemes("paused", [&] { return WindowShot(); });
  QEvent leave{QEvent::Leave};
  QApplication::sendEvent(view.viewport(), &leave);
  EXPECT_FALSE(view.Paused());
  EXPECT_GE(ViewIndex("later 2"), 0);
}

TEST_F(WindowHighlightsTest, TheUserCardKeepsHistoryPastTheRowBoundAndModerates) {
  ChatWindow& w = OpenWith(ChatSettings{});
  SignIn(PlatformId::Twitch);
  const test::Viewer ann{"Ann", 1};
  for (int i = 0; i < 120; ++i) chat->Says(PlatformId::Twitch, ann, "ann " + std::to_string(i));
  WaitForBody("ann 119");
  // A thousand rows of others push every one of Ann's out of the chat.
  for (int i = 0; i < static_cast<int>(ChatHub::kMaxRows); ++i) {
    plx::ChatMessage m;
    m.id = "filler-" + std::to_string(i);
    m.author = "filler";
    m.authorId = "999";
    m.body = "filler " + std::to_string(i);
    w.Hub().AddMessage(m);
    if (i % 100 == 99) ProcessUntil([&] { return ViewIndex(m.body) >= 0; });
  }
  ASSERT_TRUE(ProcessUntil([&] { return ViewIndex("ann 119") < 0; }));
  chat->Says(PlatformId::Twitch, ann, "ann is back");
  WaitForBody("ann is back");

  const plx::ChatRow row = w.View().Rows()[ViewIndex("ann is back")];
  w.OpenUserCard(row, w.View().RowRectGlobal(ViewIndex("ann is back")));
  UserCard& card = *w.Card();
  ASSERT_TRUE(card.isVisible());
  EXPECT_EQ(card.HeadingText(), "Ann · Twitch");
  ASSERT_EQ(card.History()->count(), static_cast<int>(UserHistory::kPerUser));
  EXPECT_TRUE(card.History()->item(0)->text().endsWith("ann is back"));
  EXPECT_TRUE(card.History()->item(99)->text().endsWith("ann 21"));
  EXPECT_TRUE(card.ButtonAt(UserCard::kTimeout1m)->isVisible());
  EXPECT_TRUE(card.ButtonAt(UserCard::kDelete)->isEnabled());

  SaveInThemes(
      "user-card", [&] { return card.grab().toImage(); },
      [&] { w.OpenUserCard(row, w.View().RowRectGlobal(ViewIndex("ann is back"))); });

  // Escape closes the card; its buttons act on the row it was opened from, through the platform.
  QTest::keyClick(&card, Qt::Key_Escape);
  EXPECT_FALSE(card.isVisible());
  w.OpenUserCard(row, w.View().RowRectGlobal(ViewIndex("ann is back")));
  QTest::mouseClick(card.ButtonAt(UserCard::kTimeout1m), Qt::LeftButton);
  EXPECT_FALSE(card.isVisible());
  w.WaitForBackgroundTasks();
  EXPECT_TRUE(
      ProcessUntil([&] { return HasLine(PlatformId::Twitch, "Timed out Ann for 1 minute"); }));
  ASSERT_TRUE(ProcessUntil([&] {
    const auto entries = w.History().Of(PlatformId::Twitch, row.authorId);
    return !entries.empty() && entries.front().deleted;
  }));
  w.OpenUserCard(row, QRect{});
  EXPECT_TRUE(card.History()->item(0)->font().strikeOut());
  card.close();
}

TEST_F(WindowHighlightsTest, KeyboardOnlyFromTheHeaderToSendingAndAUserCard) {
  ChatWindow& w = OpenWith(ChatSettings{});
  SignIn(PlatformId::Twitch);
  const test::Viewer ann{"Ann", 1};
  chat->Says(PlatformId::Twitch, ann, "hello keyboard");
  WaitForBody("hello keyboard");
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  const auto focused = [] { return QApplication::focusWidget(); };

  // The header: the arrow keys walk the items, Enter acts; the gear opens the settings.
  w.setFocus(Qt::TabFocusReason);
  ASSERT_EQ(focused(), &w);
  for (int i = 0; i < 5; ++i) QTest::keyClick(&w, Qt::Key_Right);
  EXPECT_EQ(w.KeyItem(), kItemGear);
  QTest::keyClick(&w, Qt::Key_Return);
  ASSERT_TRUE(w.Settings()->IsOpen());
  QTest::keyClick(w.Settings(), Qt::Key_Escape);
  EXPECT_FALSE(w.Settings()->IsOpen());
  QApplication::setActiveWindow(&w);
  w.setFocus(Qt::TabFocusReason);
  QTest::keyClick(&w, Qt::Key_Left);
  QTest::keyClick(&w, Qt::Key_Left);
  QTest::keyClick(&w, Qt::Key_Space);  // the mentions toggle
  EXPECT_TRUE(w.MentionsOnly());
  QTest::keyClick(&w, Qt::Key_Space);
  EXPECT_FALSE(w.MentionsOnly());
  EXPECT_EQ(w.Filter(), 0);
  EXPECT_FALSE(w.View().Rows().empty());

  // Tab goes on to the chat, then the send target, the field and the button.
  QTest::keyClick(focused(), Qt::Key_Tab);
  ASSERT_EQ(focused(), &w.View());
  QTest::keyClick(focused(), Qt::Key_Tab);
  QTest::keyClick(focused(), Qt::Key_Tab);
  ASSERT_EQ(focused(), w.Compose().Field());
  QTest::keyClicks(focused(), "typed without a mouse");
  QTest::keyClick(focused(), Qt::Key_Return);
  w.WaitForBackgroundTasks();
  EXPECT_TRUE(chat->Deliveries(PlatformId::Twitch).WaitFor(1));
  EXPECT_FALSE(w.MentionsOnly());  // Enter in the field acts on the field only

  // Back to the chat: a row, its menu, and the user card from it.
  QTest::keyClick(focused(), Qt::Key_Backtab);
  QTest::keyClick(focused(), Qt::Key_Backtab);
  ASSERT_EQ(focused(), &w.View());
  ASSERT_FALSE(w.View().Rows().empty());
  for (int i = 0; i < 50; ++i) {
    QTest::keyClick(&w.View(), Qt::Key_Up);
    const int row = w.View().FocusRow();
    if (row >= 0 && w.View().Rows()[row].body == "hello keyboard") break;
  }
  ASSERT_GE(w.View().FocusRow(), 0);
  ASSERT_EQ(w.View().Rows()[w.View().FocusRow()].body, "hello keyboard");
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* action : menu->actions()) {
      if (action->text() == "User card") menu->setActiveAction(action);
    }
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QTest::keyClick(&w.View(), Qt::Key_Return);
  ASSERT_TRUE(w.Card()->isVisible());
  EXPECT_EQ(w.Card()->HeadingText(), "Ann · Twitch");
  QTest::keyClick(w.Card(), Qt::Key_Escape);
  EXPECT_FALSE(w.Card()->isVisible());
}

}  // namespace
}  // namespace vlo
