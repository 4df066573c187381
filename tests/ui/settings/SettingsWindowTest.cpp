#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include "tests/ui/settings/SettingsFixture.h"
#include "ui/settings/SettingsValidation.h"

namespace vlo {
namespace {

using test::SettingsFixture;
using W = SettingsWindow;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

TEST(SettingsWindowTest, OpensOnTheChannelsPageWithTheSettingsLoaded) {
  SettingsFixture f;
  ChatSettings settings;
  settings.twitchChannel = "somename";
  settings.youtubeTarget = "@Handle";
  settings.theme = "forest";
  settings.textSize = 2;
  settings.opacity = 80;
  settings.showAlerts = false;
  f.Open(settings);
  EXPECT_TRUE(f.window.IsOpen());
  EXPECT_EQ(f.window.windowTitle(), "Settings");
  EXPECT_EQ(f.window.size(), QSize(500, 674));
  EXPECT_EQ(f.window.Page(), 0);
  EXPECT_EQ(f.Button(W::kPageButton)->Kind(), ButtonKind::Primary);
  EXPECT_EQ(f.Button(W::kPageButton + 1)->Kind(), ButtonKind::Plain);
  EXPECT_EQ(f.Get<KitEdit>(W::kChannelEdit)->text(), "somename");
  EXPECT_EQ(f.Get<KitEdit>(W::kChannelEdit + 1)->text(), "@Handle");
  EXPECT_EQ(f.Get<KitEdit>(W::kChannelEdit + 1)->placeholderText(),
            "Your own live stream - or a live video link / @channel");
  EXPECT_EQ(f.Get<KitEdit>(W::kChannelEdit + 2)->maxLength(), 200);
  EXPECT_TRUE(f.Get(W::kChannelEdit)->isVisible());
  EXPECT_FALSE(f.Get(W::kSwatch)->isVisible());
  EXPECT_EQ(f.window.FooterText(), "Free to use. Sign-in runs through portal.example.net.");
  EXPECT_EQ(f.window.ThemeLineText(), "Forest  \u00B7  Dark pine green, moss and warm light");
  EXPECT_EQ(f.Button(W::kTextSize + 2)->Kind(), ButtonKind::Primary);
  EXPECT_EQ(f.Button(W::kTextSize + 1)->Kind(), ButtonKind::Plain);
  EXPECT_EQ(f.Button(W::kOpacity + 2)->Kind(), ButtonKind::Primary);
  EXPECT_EQ(f.Button(W::kSpacing)->Kind(), ButtonKind::Primary);
  EXPECT_FALSE(f.Get<KitCheckBox>(W::kSwitch + 2)->isChecked());
  EXPECT_TRUE(f.Get<KitCheckBox>(W::kSwitch + 1)->isChecked());
  EXPECT_EQ(f.Get(W::kSave)->geometry(), f.window.Layout().save);
  EXPECT_EQ(f.Get(W::kSwitch + 4)->geometry(), f.window.Layout().switches[4]);
  EXPECT_TRUE(f.host.applied.empty());  // opening previews nothing

  f.Click(W::kPageButton + 1);
  EXPECT_EQ(f.window.Page(), 1);
  EXPECT_EQ(f.Button(W::kPageButton + 1)->Kind(), ButtonKind::Primary);
  EXPECT_FALSE(f.Get(W::kChannelEdit)->isVisible());
  EXPECT_TRUE(f.Get(W::kSwatch + 8)->isVisible());
  EXPECT_TRUE(f.Get(W::kSave)->isVisible());
}

TEST(SettingsWindowTest, SaveStoresNormalisedChannelsAndCarriesOtherFields) {
  struct Case {
    QString twitch, youtube, kick;
    std::string twitchOut, youtubeOut, kickOut;
  };
  const Case cases[]{
      {"https://www.twitch.tv/SomeName", "   ", "", "somename", "", ""},
      {"", "@Handle", "Kick.com/Some_User", "", "@Handle", "some_user"},
      {"", " @Handle", "", "", " @Handle", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.twitch.toStdString() + "|" + c.youtube.toStdString());
    SettingsFixture f;
    ChatSettings settings;
    settings.youtubeTarget = "@Old";
    settings.filter = 2;
    settings.windowW = 640;
    f.Open(settings);
    f.Type(W::kChannelEdit, c.twitch);
    f.Type(W::kChannelEdit + 1, c.youtube);
    f.Type(W::kChannelEdit + 2, c.kick);
    f.Click(W::kSave);
    ASSERT_EQ(f.result, true);
    EXPECT_FALSE(f.window.IsOpen());
    EXPECT_FALSE(f.window.isVisible());
    EXPECT_EQ(f.returned.twitchChannel, c.twitchOut);
    EXPECT_EQ(f.returned.youtubeTarget, c.youtubeOut);
    EXPECT_EQ(f.returned.kickChannel, c.kickOut);
    EXPECT_EQ(f.returned.filter, 2);
    EXPECT_EQ(f.returned.windowW, 640);
  }
}

TEST(SettingsWindowTest, InvalidFieldsShowTheFirstErrorAndKeepTheWindowOpen) {
  SettingsFixture f;
  f.Open();
  f.Type(W::kChannelEdit, "bad name!");
  f.Type(W::kChannelEdit + 2, "bad name!");
  f.Click(W::kPageButton + 1);
  f.Click(W::kSave);
  EXPECT_FALSE(f.result.has_value());
  EXPECT_TRUE(f.window.IsOpen());
  EXPECT_EQ(f.window.Page(), 0);  // back where the error is
  EXPECT_EQ(f.window.ErrorText(), Q(kTwitchFieldError));
  EXPECT_TRUE(f.Get(W::kChannelEdit)->isVisible());

  f.Type(W::kChannelEdit, "fine");
  f.Type(W::kChannelEdit + 1, "not a link!!");
  f.Click(W::kSave);
  EXPECT_EQ(f.window.ErrorText(), Q(kYouTubeFieldError));
  f.Type(W::kChannelEdit + 1, "");
  f.Click(W::kSave);
  EXPECT_EQ(f.window.ErrorText(), Q(kKickFieldError));
  EXPECT_FALSE(f.result.has_value());
  EXPECT_EQ(f.window.Working().twitchChannel, "");  // nothing written on failure

  f.Type(W::kChannelEdit + 2, "kicker");
  f.Click(W::kSave);
  ASSERT_EQ(f.result, true);
  EXPECT_EQ(f.returned.twitchChannel, "fine");
  EXPECT_EQ(f.returned.kickChannel, "kicker");
}

TEST(SettingsWindowTest, LookAndFeelChangesArePreviewedAtOnce) {
  SettingsFixture f;
  f.Open();
  f.Click(W::kPageButton + 1);
  f.Click(W::kSwatch + 2);
  ASSERT_EQ(f.host.applied.size(), 1u);
  EXPECT_EQ(f.host.applied.back().theme, "midnight");
  EXPECT_EQ(f.window.ThemeLineText(), "Midnight  \u00B7  Deep navy with electric blue");
  EXPECT_EQ(UiKit::Palette().windowBg, FindTheme("midnight").windowPalette.windowBg);

  f.Click(W::kOpacity + 2);
  EXPECT_EQ(f.host.applied.back().opacity, 80);
  EXPECT_EQ(f.host.applied.back().theme, "midnight");  // the working copy accumulates
  EXPECT_EQ(f.Button(W::kOpacity + 2)->Kind(), ButtonKind::Primary);
  EXPECT_EQ(f.Button(W::kOpacity)->Kind(), ButtonKind::Plain);
  f.Click(W::kSpacing + 1);
  EXPECT_TRUE(f.host.applied.back().compact);
  f.Click(W::kNameStyle + 1);
  EXPECT_EQ(f.host.applied.back().nameStyle, 1);
  f.Click(W::kTextSize);
  EXPECT_EQ(f.host.applied.back().textSize, 0);
  f.Click(W::kSwitch);
  EXPECT_TRUE(f.host.applied.back().alwaysOnTop);
  f.Click(W::kSwitch + 4);
  EXPECT_FALSE(f.host.applied.back().thirdPartyEmotes);
  EXPECT_EQ(f.host.applied.size(), 7u);

  f.Click(W::kSave);
  ASSERT_EQ(f.result, true);
  EXPECT_EQ(f.returned, f.host.applied.back());
}

TEST(SettingsWindowTest, CancelEscapeAndCaptionCloseDiscard) {
  enum class Way { Cancel, Escape, EscapeInField, Caption, Owner };
  SettingsFixture f;  // one window, reused for every opening
  for (Way way : {Way::Cancel, Way::Escape, Way::EscapeInField, Way::Caption, Way::Owner}) {
    SCOPED_TRACE(static_cast<int>(way));
    f.Open();
    f.Type(W::kChannelEdit, "changed");
    f.Click(W::kPageButton + 1);
    f.Click(W::kSwatch + 5);
    switch (way) {
      case Way::Cancel:
        f.Click(W::kCancel);
        break;
      case Way::Escape:
        QTest::keyClick(f.Get(W::kSwatch + 5), Qt::Key_Escape);
        break;
      case Way::EscapeInField:
        f.Click(W::kPageButton);
        QTest::keyClick(f.Get(W::kChannelEdit), Qt::Key_Escape);
        break;
      case Way::Caption:
        f.window.close();
        break;
      case Way::Owner:
        f.window.RequestClose();
        break;
    }
    ASSERT_EQ(f.result, false);
    EXPECT_FALSE(f.window.IsOpen());
    EXPECT_FALSE(f.window.isVisible());
  }
  // Closed: the account rows are left alone.
  const int reads{f.host.statusReads};
  f.window.RefreshAccounts();
  EXPECT_EQ(f.host.statusReads, reads);
  // The next opening starts from the settings it is given.
  f.Open();
  EXPECT_EQ(f.Get<KitEdit>(W::kChannelEdit)->text(), "");
  EXPECT_EQ(f.window.Page(), 0);
}

TEST(SettingsWindowTest, EnterSavesFromAnyControl) {
  SettingsFixture f;
  for (int id : {W::kChannelEdit + 1, W::kSwitch + 2, W::kCancel, W::kSwatch}) {
    SCOPED_TRACE(id);
    f.Open();
    f.Type(W::kChannelEdit, "twitch.tv/Enter_Name");
    if (id >= W::kSwitch && id < W::kCancel) f.Click(W::kPageButton + 1);
    QTest::keyClick(f.Get(id), id == W::kSwatch ? Qt::Key_Enter : Qt::Key_Return);
    ASSERT_EQ(f.result, true);
    EXPECT_EQ(f.returned.twitchChannel, "enter_name");
  }
  // With an invalid field Enter shows the error and the window stays.
  f.Open();
  f.Type(W::kChannelEdit + 2, "no way!");
  QTest::keyClick(f.Get(W::kChannelEdit + 2), Qt::Key_Return);
  EXPECT_FALSE(f.result.has_value());
  EXPECT_EQ(f.window.ErrorText(), Q(kKickFieldError));
}

TEST(SettingsWindowTest, ShowSettingsRunsModallyAndReturnsTheSavedCopy) {
  SettingsFixture f;
  ChatSettings settings;
  settings.kickChannel = "old";
  QTimer::singleShot(0, &f.window, [&f] {
    EXPECT_TRUE(f.window.isVisible());
    EXPECT_TRUE(f.window.isModal());
    f.Type(W::kChannelEdit + 2, "https://kick.com/NewOne");
    f.Click(W::kSave);
  });
  EXPECT_TRUE(f.window.ShowSettings(settings));
  EXPECT_EQ(settings.kickChannel, "newone");

  QTimer::singleShot(0, &f.window, [&f] {
    f.Type(W::kChannelEdit + 2, "other");
    QTest::keyClick(f.Get(W::kChannelEdit + 2), Qt::Key_Escape);
  });
  EXPECT_FALSE(f.window.ShowSettings(settings));
  EXPECT_EQ(settings.kickChannel, "newone");

  // Already open: refused at once.
  f.Open();
  EXPECT_FALSE(f.window.ShowSettings(settings));
  EXPECT_FALSE(f.window.Open(settings, {}));
}

TEST(SettingsWindowTest, AccountRowsShowTheHostsState) {
  SettingsFixture f;
  f.host.statuses[1].signedIn = true;
  f.host.statuses[1].account = "Some Channel";
  f.host.statuses[2].signedIn = true;
  f.Open();
  EXPECT_EQ(f.window.AccountLine(0), "Not signed in");
  EXPECT_EQ(f.Button(W::kAccountButton)->text(), "Sign in");
  EXPECT_EQ(f.Button(W::kAccountButton)->Kind(), ButtonKind::TwitchBrand);
  EXPECT_EQ(f.window.AccountLine(1), "Signed in as Some Channel");
  EXPECT_EQ(f.Button(W::kAccountButton + 1)->text(), "Sign out");
  EXPECT_EQ(f.Button(W::kAccountButton + 1)->Kind(), ButtonKind::Plain);
  EXPECT_EQ(f.window.AccountLine(2), "Signed in as your account");

  // Sign in to Twitch: the row turns into Cancel and the other buttons wait for it.
  f.Click(W::kAccountButton);
  EXPECT_EQ(f.host.calls, std::vector<std::string>{"start twitch"});
  EXPECT_EQ(f.window.AccountLine(0), "Finish the sign-in in your browser\u2026");
  EXPECT_EQ(f.Button(W::kAccountButton)->text(), "Cancel");
  EXPECT_EQ(f.Button(W::kAccountButton)->Kind(), ButtonKind::Plain);
  EXPECT_TRUE(f.Button(W::kAccountButton)->isEnabled());
  EXPECT_FALSE(f.Button(W::kAccountButton + 1)->isEnabled());
  EXPECT_FALSE(f.Button(W::kAccountButton + 2)->isEnabled());
  f.Click(W::kAccountButton + 2);  // disabled: nothing happens
  EXPECT_EQ(f.host.calls.size(), 1u);

  f.Click(W::kAccountButton);
  EXPECT_EQ(f.host.calls.back(), "cancel");
  EXPECT_EQ(f.Button(W::kAccountButton)->text(), "Sign in");
  EXPECT_TRUE(f.Button(W::kAccountButton + 2)->isEnabled());

  f.Click(W::kAccountButton + 2);
  EXPECT_EQ(f.host.calls.back(), "signout kick");
  EXPECT_EQ(f.window.AccountLine(2), "Not signed in");
  EXPECT_EQ(f.Button(W::kAccountButton + 2)->Kind(), ButtonKind::KickBrand);

  // A sign-in result arriving from elsewhere: the owner asks for a refresh.
  f.host.statuses[0].signedIn = true;
  f.host.statuses[0].account = "streamer";
  f.window.RefreshAccounts();
  EXPECT_EQ(f.window.AccountLine(0), "Signed in as streamer");
  EXPECT_EQ(f.Button(W::kAccountButton)->text(), "Sign out");
}

TEST(SettingsWindowTest, ClosingCancelsASignInUnderWay) {
  SettingsFixture f;
  for (bool save : {false, true}) {
    f.host.calls.clear();
    f.Open();
    f.Click(W::kAccountButton + 1);
    ASSERT_TRUE(f.host.pending.has_value());
    f.Click(save ? W::kSave : W::kCancel);
    EXPECT_EQ(f.result, save);
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"start youtube", "cancel"}));
    EXPECT_FALSE(f.host.pending.has_value());
  }
  // No sign-in running: nothing to cancel.
  f.host.calls.clear();
  f.Open();
  f.Click(W::kCancel);
  EXPECT_TRUE(f.host.calls.empty());
}

TEST(SettingsWindowTest, TabGoesThroughTheVisibleControlsInOrder) {
  SettingsFixture f;
  f.Open();
  QApplication::setActiveWindow(&f.window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
  ASSERT_EQ(QApplication::focusWidget(), f.Get(W::kChannelEdit));
  const auto walk = [&f](int steps) {
    std::vector<int> ids;
    for (int i{0}; i < steps; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      ids.push_back(QApplication::focusWidget()->property("commandId").toInt());
    }
    return ids;
  };
  EXPECT_EQ(walk(15), (std::vector<int>{101, 201, 102, 202, 600, 601, 602, 900, 901, 50, 51, 53, 52,
                                        100, 200}));
  f.Click(W::kPageButton + 1);
  const std::vector<int> page1{53,  52,  500, 501, 502, 503, 504, 505, 506, 507, 508, 400, 401,
                               402, 410, 411, 412, 420, 421, 430, 431, 432, 433, 300, 301};
  EXPECT_EQ(walk(25), page1);
  EXPECT_EQ(walk(5), (std::vector<int>{304, 303, 302, 900, 901}));
  f.Click(W::kPageButton + 3);
  const std::vector<int> page3{52,  820, 821, 822, 823, 824, 800, 801, 802, 803,
                               804, 805, 810, 811, 812, 813, 807, 830, 806, 900};
  EXPECT_EQ(walk(20), page3);
  f.Click(W::kPageButton + 2);
  const std::vector<int> page2{700, 701, 710, 711, 712, 720, 721, 722, 730, 731,
                               732, 733, 740, 741, 742, 743, 703, 702, 900, 901};
  EXPECT_EQ(walk(20), page2);
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST(SettingsOverlayTest, ChoicesMakeTheAddressAndThePortIsChecked) {
  test::SettingsFixture f;
  ChatSettings settings;
  settings.theme = "ocean";
  f.Open(settings);
  f.Click(SettingsWindow::kPageButton + 2);
  EXPECT_EQ(f.window.Page(), 2);
  EXPECT_TRUE(f.Get(SettingsWindow::kOverlayAddress)->isVisible());
  EXPECT_FALSE(f.Get(SettingsWindow::kSwatch)->isVisible());
  EXPECT_FALSE(f.Get<KitCheckBox>(SettingsWindow::kOverlaySwitch)->isChecked());
  EXPECT_EQ(f.window.OverlayAddressText(),
            "http://127.0.0.1:17830/overlay?theme=ocean&size=normal&names=viewer&"
            "platforms=twitch,youtube,kick&max=20&time=1");

  f.Click(SettingsWindow::kOverlaySwitch);
  f.Click(SettingsWindow::kOverlayPlatform);      // Twitch off
  f.Click(SettingsWindow::kOverlayPlatform + 1);  // YouTube off
  f.Click(SettingsWindow::kOverlayPlatform + 2);  // Kick is the last one: stays on
  f.Click(SettingsWindow::kOverlayShow + 2);
  f.Click(SettingsWindow::kOverlayFade + 1);
  f.Click(SettingsWindow::kOverlayRows + 3);
  f.Type(SettingsWindow::kOverlayPort, "18100");
  EXPECT_EQ(f.Button(SettingsWindow::kOverlayPlatform + 2)->Kind(), ButtonKind::Primary);
  EXPECT_EQ(f.Button(SettingsWindow::kOverlayPlatform)->Kind(), ButtonKind::Plain);
  EXPECT_EQ(f.window.OverlayAddressText(),
            "http://127.0.0.1:18100/overlay?theme=ocean&size=normal&names=viewer&"
            "platforms=kick&max=100&fade=30&only=alerts&time=1");
  f.Click(SettingsWindow::kOverlayCopy);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), f.window.OverlayAddressText());
  EXPECT_EQ(f.Button(SettingsWindow::kOverlayCopy)->text(), "Copied");

  // A port out of range keeps the window open on this page and says why.
  for (const char* port : {"80", "65536", "abc", ""}) {
    f.Click(SettingsWindow::kPageButton);
    f.Type(SettingsWindow::kOverlayPort, port);
    f.Click(SettingsWindow::kSave);
    EXPECT_FALSE(f.result.has_value()) << port;
    EXPECT_EQ(f.window.Page(), 2) << port;
    EXPECT_EQ(f.window.ErrorText(), "The overlay port must be a number from 1024 to 65535.");
  }
  f.Type(SettingsWindow::kOverlayPort, "18101");
  f.Click(SettingsWindow::kSave);
  ASSERT_TRUE(f.result.has_value());
  EXPECT_TRUE(*f.result);
  EXPECT_TRUE(f.returned.overlayEnabled);
  EXPECT_EQ(f.returned.overlayPort, 18101);
  EXPECT_EQ(f.returned.overlayPlatforms, 4);
  EXPECT_EQ(f.returned.overlayShow, 2);
  EXPECT_EQ(f.returned.overlayFadeSeconds, 30);
  EXPECT_EQ(f.returned.overlayMaxRows, 100);
}

TEST(SettingsWindowTest, HighlightsPageListsSwitchesAndARefusedPattern) {
  SettingsFixture f;
  ChatSettings start;
  start.highlightWords = {"hype train"};
  start.ignoreUsers = {"twitch:spammer"};
  f.Open(start);
  f.Click(SettingsWindow::kPageButton + SettingsWindow::kRulesPage);
  EXPECT_EQ(f.window.Page(), SettingsWindow::kRulesPage);
  auto* words = f.Get<QPlainTextEdit>(SettingsWindow::kRuleList);
  auto* patterns = f.Get<QPlainTextEdit>(SettingsWindow::kRuleList + 2);
  auto* hidden = f.Get<QPlainTextEdit>(SettingsWindow::kRuleList + 3);
  EXPECT_EQ(words->toPlainText(), "hype train");
  EXPECT_EQ(hidden->toPlainText(), "twitch:spammer");

  // Enter starts a new line in a list instead of saving.
  words->setFocus();
  words->moveCursor(QTextCursor::End);
  QTest::keyClick(words, Qt::Key_Return);
  QTest::keyClicks(words, "  gg  ");
  QTest::keyClick(words, Qt::Key_Return);
  QTest::keyClicks(words, "hype train");
  EXPECT_FALSE(f.result.has_value());
  patterns->setPlainText("clip (it|that)\n(broken");
  f.Click(SettingsWindow::kRuleSwitch + 3);   // sound for highlights on
  f.Click(SettingsWindow::kPauseChoice + 3);  // 10 s
  f.Click(SettingsWindow::kPageButton);
  f.Click(SettingsWindow::kSave);
  // The unusable pattern keeps the window open on its page and says why.
  EXPECT_FALSE(f.result.has_value());
  EXPECT_EQ(f.window.Page(), SettingsWindow::kRulesPage);
  EXPECT_EQ(f.window.ErrorText(),
            "Highlight patterns: The pattern \"(broken\" cannot be used: missing ): (broken.");
  EXPECT_EQ(f.window.focusWidget(), patterns);

  patterns->setPlainText("clip (it|that)\n");
  f.Click(SettingsWindow::kSave);
  ASSERT_TRUE(f.result.has_value());
  EXPECT_EQ(f.returned.highlightWords, (std::vector<std::string>{"hype train", "gg"}));
  EXPECT_EQ(f.returned.highlightPatterns, std::vector<std::string>{"clip (it|that)"});
  EXPECT_EQ(f.returned.ignoreUsers, std::vector<std::string>{"twitch:spammer"});
  EXPECT_TRUE(f.returned.notifySound);
  EXPECT_EQ(f.returned.pauseSeconds, 10);
  EXPECT_TRUE(f.returned.pauseOnHover);
}

}  // namespace
}  // namespace vlo
