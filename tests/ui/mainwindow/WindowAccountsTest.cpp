#include <QTest>
#include <fstream>
#include <iterator>

#include "core/Json.h"
#include "tests/ui/mainwindow/WindowWorldFixture.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitEdit.h"

namespace vlo {
namespace {

using plx::PlatformId;
using test::ProcessUntil;

class WindowAccountsTest : public test::WindowWorldTest {};

TEST_F(WindowAccountsTest, SignInFromSettingsThenSignOut) {
  ChatWindow& w = OpenWindow();
  ASSERT_TRUE(
      ProcessUntil([&] { return Status(PlatformId::Twitch).state == ConnectionState::Connected; }));
  EXPECT_FALSE(Status(PlatformId::Twitch).canSend);

  w.OpenSettings();
  SettingsWindow& settings = *w.Settings();
  ASSERT_TRUE(settings.IsOpen());
  EXPECT_EQ(settings.AccountLine(0), "Not signed in");
  QTest::mouseClick(SettingsControl(SettingsWindow::kAccountButton + 0), Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].starts_with(world->Accounts().PortalBase() + "/connect/twitch?"));

  ASSERT_TRUE(ProcessUntil(
      [&] { return HasLine(PlatformId::Twitch, "Signed in to Twitch as VelaroDemo"); }));
  EXPECT_TRUE(ProcessUntil([&] { return settings.AccountLine(0) == "Signed in as VelaroDemo"; }));
  EXPECT_EQ(qobject_cast<KitButton*>(SettingsControl(SettingsWindow::kAccountButton))->text(),
            "Sign out");
  ASSERT_TRUE(ProcessUntil([&] { return Status(PlatformId::Twitch).canSend; }));
  EXPECT_TRUE(w.TooltipFor(1).contains("\nSigned in as VelaroDemo"))
      << w.TooltipFor(1).toStdString();

  QTest::mouseClick(SettingsControl(SettingsWindow::kAccountButton + 0), Qt::LeftButton);
  EXPECT_TRUE(HasLine(PlatformId::Twitch, "Signed out of Twitch"));
  EXPECT_EQ(settings.AccountLine(0), "Not signed in");
  EXPECT_TRUE(ProcessUntil([&] {
    const PlatformStatus& s = Status(PlatformId::Twitch);
    return !s.signedIn && !s.canSend && s.state == ConnectionState::Connected;
  }));
  w.WaitForBackgroundTasks();
  EXPECT_EQ(world->Accounts().RevokedTokens().size(), 1u);
  EXPECT_FALSE(w.Accounts().GetToken(PlatformId::Twitch).has_value());
}

TEST_F(WindowAccountsTest, ACancelledSignInShowsNoLine) {
  world->Accounts().SetAutoApprove(-1);
  ChatWindow& w = OpenWindow();
  w.OpenSettings();
  SettingsWindow& settings = *w.Settings();
  QTest::mouseClick(SettingsControl(SettingsWindow::kAccountButton + 2), Qt::LeftButton);
  EXPECT_EQ(settings.AccountLine(2), "Finish the sign-in in your browser…");
  EXPECT_FALSE(SettingsControl(SettingsWindow::kAccountButton + 0)->isEnabled());
  ASSERT_TRUE(world->Accounts().WaitForSessions(1));

  QTest::mouseClick(SettingsControl(SettingsWindow::kAccountButton + 2), Qt::LeftButton);
  ASSERT_TRUE(ProcessUntil([&] { return !w.Accounts().PendingSignIn().has_value(); }));
  ASSERT_TRUE(ProcessUntil([&] { return settings.AccountLine(2) == "Not signed in"; }));
  QApplication::processEvents();
  EXPECT_EQ(CountRows([](const plx::ChatRow& row) {
              return row.body.starts_with("Sign-in did not finish") ||
                     row.body.starts_with("Signed in to");
            }),
            0u);
}

TEST_F(WindowAccountsTest, SavingAChannelLinkStoresTheNameAndReconnects) {
  world->Twitch().AddChannel("otherchan", "555");
  ChatWindow& w = OpenWindow();
  ASSERT_TRUE(
      ProcessUntil([&] { return Status(PlatformId::Twitch).state == ConnectionState::Connected; }));
  w.OpenSettings();
  auto* edit = SettingsControl<KitEdit>(SettingsWindow::kChannelEdit + 0);
  edit->selectAll();
  QTest::keyClicks(edit, "https://www.twitch.tv/OtherChan");
  QTest::mouseClick(SettingsControl(SettingsWindow::kSave), Qt::LeftButton);
  EXPECT_FALSE(w.Settings()->IsOpen());

  EXPECT_EQ(LoadChatSettings(dir.path()).twitchChannel, "otherchan");
  EXPECT_EQ(w.StoredSettings().twitchChannel, "otherchan");
  EXPECT_TRUE(ProcessUntil([&] {
    const PlatformStatus& s = Status(PlatformId::Twitch);
    return s.state == ConnectionState::Connected && s.channel == "otherchan";
  }));
}

TEST_F(WindowAccountsTest, AnInvalidKickNameKeepsTheWindowOpenAndSavesNothing) {
  ChatWindow& w = OpenWindow();
  const std::string before = json::Dump(json::ParseObject([&] {
    std::ifstream in{dir.path() / "chat.json"};
    return std::string{std::istreambuf_iterator<char>{in}, {}};
  }()));
  w.OpenSettings();
  auto* edit = SettingsControl<KitEdit>(SettingsWindow::kChannelEdit + 2);
  edit->selectAll();
  QTest::keyClicks(edit, "not a name!");
  QTest::mouseClick(SettingsControl(SettingsWindow::kSave), Qt::LeftButton);
  EXPECT_TRUE(w.Settings()->IsOpen());
  EXPECT_EQ(w.Settings()->ErrorText(), "That Kick channel name doesn't look right.");
  w.Settings()->RequestClose();
  std::ifstream in{dir.path() / "chat.json"};
  EXPECT_EQ(json::Dump(json::ParseObject(std::string{std::istreambuf_iterator<char>{in}, {}})),
            before);
  EXPECT_EQ(w.StoredSettings().kickChannel, sim::SimWorld::kKickChannel);
}

TEST_F(WindowAccountsTest, PreviewIsUndoneByCancelAndByEscape) {
  ChatWindow& w = OpenWindow();
  for (const bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Escape" : "Cancel");
    w.OpenSettings();
    w.Settings()->ShowPage(1);
    QTest::mouseClick(SettingsControl(SettingsWindow::kSwatch + 3), Qt::LeftButton);
    QTest::mouseClick(SettingsControl(SettingsWindow::kOpacity + 3), Qt::LeftButton);
    EXPECT_EQ(w.WindowAlpha(), 178);
    EXPECT_EQ(UiKit::Palette().windowBg, FindTheme(ThemeTable()[3].key).windowPalette.windowBg);
    if (escape) {
      QTest::keyClick(SettingsControl(SettingsWindow::kSwatch + 3), Qt::Key_Escape);
    } else {
      QTest::mouseClick(SettingsControl(SettingsWindow::kCancel), Qt::LeftButton);
    }
    EXPECT_FALSE(w.Settings()->IsOpen());
    EXPECT_EQ(w.WindowAlpha(), 255);
    EXPECT_EQ(UiKit::Palette().windowBg, FindTheme("neon").windowPalette.windowBg);
    EXPECT_EQ(LoadChatSettings(dir.path()).opacity, 100);
  }
}

}  // namespace
}  // namespace vlo
