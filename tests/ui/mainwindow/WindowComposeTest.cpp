// Sending from the compose bar and moderating from the row menu, end to end: the window signed in
// to the simulated world, real readers, the simulated platform APIs behind them.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "tests/ui/mainwindow/WindowWorldFixture.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ComposeBar.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitEdit.h"

namespace vlo {
namespace {

using plx::PlatformId;
using test::ProcessUntil;

constexpr std::array kPlatforms{PlatformId::Twitch, PlatformId::YouTube, PlatformId::Kick};

class WindowComposeTest : public test::WindowWorldTest {
 protected:
  // Reads the user's own channels (no channel set).
  ChatWindow& OpenOwnChannels() { return OpenWindow(ChatSettings{}); }

  KitEdit* Field() { return window->Compose().Field(); }

  std::optional<plx::ChatRow> Row(PlatformId platform, const std::string& author,
                                  const std::string& body) {
    for (const plx::ChatRow& row : window->Hub().Snapshot()) {
      if (row.platform == platform && row.author == author && row.body == body) return row;
    }
    return std::nullopt;
  }
  plx::ChatRow WaitForRow(PlatformId platform, const std::string& author, const std::string& body) {
    EXPECT_TRUE(ProcessUntil([&] { return Row(platform, author, body).has_value(); }))
        << plx::PlatformName(platform) << ": no row " << author << ": " << body;
    return Row(platform, author, body).value_or(plx::ChatRow{});
  }
  // Runs the row menu's command on the row as the person's click does.
  void RunCommand(const plx::ChatRow& row, int command) {
    window->View().RunRowCommand(row, command);
    window->WaitForBackgroundTasks();
  }
};

TEST_F(WindowComposeTest, PlaceholderAndMenuFollowTheReadyChats) {
  ChatWindow& w = OpenOwnChannels();
  ASSERT_TRUE(ProcessUntil([&] { return !w.Compose().Placeholder().isEmpty(); }));
  EXPECT_EQ(w.Compose().Placeholder(), "Sign in under Settings to send messages");
  EXPECT_FALSE(Field()->isEnabled());
  EXPECT_FALSE(w.Compose().SendButton()->isEnabled());

  SignIn(PlatformId::Kick);
  ASSERT_TRUE(ProcessUntil([&] { return w.Compose().Placeholder() == "Message Kick"; }));
  EXPECT_TRUE(Field()->isEnabled());

  // The target menu: "all" checked; only Kick's own item enabled beside it.
  const std::unique_ptr<QMenu> menu = w.TargetMenu();
  std::vector<std::tuple<QString, bool, bool>> items;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator())
      items.emplace_back(action->text(), action->isChecked(), action->isEnabled());
  }
  EXPECT_EQ(items,
            (std::vector<std::tuple<QString, bool, bool>>{{"All signed-in chats", true, true},
                                                          {"Twitch only", false, false},
                                                          {"YouTube only", false, false},
                                                          {"Kick only", false, true}}));

  SignIn(PlatformId::Twitch);
  SignIn(PlatformId::YouTube);
  ASSERT_TRUE(ProcessUntil(
      [&] { return w.Compose().Placeholder() == "Message Twitch, YouTube and Kick"; }));

  // Choosing a single target is kept in the settings file and relabels the button.
  w.ChooseSendTarget(4);
  EXPECT_EQ(LoadChatSettings(dir.path()).sendTarget, 3);
  EXPECT_EQ(w.Compose().TargetButton()->text(), "Kick ▾");
  EXPECT_EQ(w.Compose().Placeholder(), "Message Kick");
  w.ChooseSendTarget(1);
  EXPECT_EQ(w.Compose().TargetButton()->text(), "All ▾");
}

TEST_F(WindowComposeTest, EnterSendsOnceToEveryReadyChatAndNoEchoFollows) {
  ChatWindow& w = OpenOwnChannels();
  for (PlatformId platform : kPlatforms) SignIn(platform);

  const std::string text = "hello from the window";
  QTest::keyClicks(Field(), "  " + QString::fromStdString(text) + "  ");
  QTest::keyClick(Field(), Qt::Key_Return);
  EXPECT_TRUE(Field()->text().isEmpty());
  w.WaitForBackgroundTasks();

  // Each platform put the message into its chat; the readers read it back and dropped it.
  for (PlatformId platform : kPlatforms) {
    ASSERT_TRUE(chat->Deliveries(platform).WaitFor(1)) << plx::PlatformName(platform);
  }
  chat->Says(PlatformId::Twitch, test::Viewer{"Ann", 1}, "after the echoes");
  chat->Says(PlatformId::Kick, test::Viewer{"Ann", 1}, "after the echoes");
  chat->Says(PlatformId::YouTube, test::Viewer{"Ann", 1}, "after the echoes");
  for (PlatformId platform : kPlatforms) WaitForRow(platform, "Ann", "after the echoes");

  size_t outbound = 0;
  size_t copies = 0;
  for (const plx::ChatRow& row : w.Hub().Snapshot()) {
    if (row.body != text) continue;
    if (plx::HasTag(row, "outbound")) {
      ++outbound;
      EXPECT_EQ(row.tags, (std::vector<std::string>{"outbound", "twitch", "youtube", "kick"}));
      EXPECT_EQ(row.author, "You");
    } else {
      ++copies;
    }
  }
  EXPECT_EQ(outbound, 1u);
  EXPECT_EQ(copies, 0u);
  EXPECT_TRUE(ProcessUntil([&] {
    return std::any_of(w.View().Rows().begin(), w.View().Rows().end(),
                       [&](const plx::ChatRow& row) { return row.body == text; });
  }));
}

TEST_F(WindowComposeTest, ASingleTargetThatIsNotReadyKeepsTheText) {
  ChatWindow& w = OpenOwnChannels();
  SignIn(PlatformId::Twitch);
  w.ChooseSendTarget(4);  // Kick only, but Kick is not signed in
  EXPECT_EQ(w.Compose().Placeholder(), "Message Kick");
  QTest::keyClicks(Field(), "still here");
  QTest::mouseClick(w.Compose().SendButton(), Qt::LeftButton);
  EXPECT_EQ(Field()->text(), "still here");
  EXPECT_TRUE(HasLine(PlatformId::Kick,
                      "Kick chat is not ready for sending - sign in under Settings, or pick "
                      "another target."));
  w.WaitForBackgroundTasks();
  EXPECT_TRUE(chat->Deliveries(PlatformId::Twitch).All().empty());

  // Only blanks: nothing is sent and the field keeps them.
  w.ChooseSendTarget(1);
  Field()->setText("   ");
  QTest::keyClick(Field(), Qt::Key_Return);
  EXPECT_EQ(Field()->text(), "   ");
  EXPECT_EQ(Field()->maxLength(), 500);
}

TEST_F(WindowComposeTest, ModerationFromTheRowMenuOnEveryPlatform) {
  OpenOwnChannels();
  for (PlatformId platform : kPlatforms) SignIn(platform);
  const test::Viewer bob{"Bob", 2};
  const test::Viewer cat{"Cat", 3};
  const test::Viewer dan{"Dan", 4};
  for (PlatformId platform : kPlatforms) {
    chat->Says(platform, bob, "delete me");
    chat->Says(platform, cat, "time me out");
    chat->Says(platform, dan, "ban me");
  }
  for (PlatformId platform : kPlatforms) {
    SCOPED_TRACE(plx::PlatformName(platform));
    const plx::ChatRow deleted = WaitForRow(platform, "Bob", "delete me");
    const plx::ChatRow timedOut = WaitForRow(platform, "Cat", "time me out");
    const plx::ChatRow banned = WaitForRow(platform, "Dan", "ban me");

    RunCommand(deleted, ChatView::kDelete);
    RunCommand(timedOut, ChatView::kTimeout10m);
    // A ban asks first; cancelling sends nothing.
    QTimer::singleShot(0, [] {
      if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    RunCommand(banned, ChatView::kBan);
    EXPECT_FALSE(Row(platform, "Dan", "ban me")->deleted);
    QTimer::singleShot(0, [] {
      for (KitButton* button : QApplication::activeModalWidget()->findChildren<KitButton*>()) {
        if (button->text().endsWith("Ban")) button->click();
      }
    });
    RunCommand(banned, ChatView::kBan);

    EXPECT_TRUE(Row(platform, "Bob", "delete me")->deleted);
    EXPECT_TRUE(Row(platform, "Cat", "time me out")->deleted);
    EXPECT_TRUE(Row(platform, "Dan", "ban me")->deleted);
    EXPECT_TRUE(HasLine(platform, "Timed out Cat for 10 minutes"));
    EXPECT_TRUE(HasLine(platform, "Banned Dan"));
    // Delete, time-out and ban reached the platform once each (the cancelled ban did not).
    ASSERT_TRUE(chat->Deliveries(platform).WaitFor(3));
  }
}

// Renders the signed-in window with its compose bar in two themes, for people to look at.
TEST_F(WindowComposeTest, RendersTheSignedInWindow) {
  ChatWindow& w = OpenOwnChannels();
  for (PlatformId platform : kPlatforms) SignIn(platform);
  const test::Viewer ann{"Ann", 1};
  const test::Viewer bob{"Bob", 2};
  chat->Says(PlatformId::Twitch, ann, "first time here, love the stream");
  chat->Says(PlatformId::Kick, bob, "that play was clean");
  chat->Says(PlatformId::YouTube, ann, "hello from YouTube");
  Field()->setText("thanks for watching everyone");
  QTest::keyClick(Field(), Qt::Key_Return);
  w.WaitForBackgroundTasks();
  WaitForRow(PlatformId::YouTube, "Ann", "hello from YouTube");
  QTest::keyClicks(Field(), "next message, not sent yet");

  const QString folder =
      qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) + "/ui-snapshots";
  QDir{}.mkpath(folder);
  for (const char* theme : {"neon", "calm"}) {
    ChatSettings look = w.StoredSettings();
    look.theme = theme;
    w.ApplySettings(look);
    ASSERT_TRUE(ProcessUntil([&] { return w.View().Rows().size() >= 6; }));
    w.RefreshFromHub();
    QApplication::processEvents();
    const QImage image = w.grab().toImage();
    EXPECT_TRUE(image.save(folder + "/window-signed-in-" + theme + ".png"));
    // The compose band is painted in the theme's surface colour.
    const Rgb surface = FindTheme(theme).windowPalette.surface;
    EXPECT_EQ(image.pixelColor(2, image.height() - 3), QColor(surface.r, surface.g, surface.b));
  }
  EXPECT_EQ(w.Compose().Placeholder(), "Message Twitch, YouTube and Kick");
  EXPECT_TRUE(w.Compose().SendButton()->isEnabled());
}

}  // namespace
}  // namespace vlo
