#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include "tests/ui/settings/SettingsFixture.h"
#include "ui/settings/OwnAppDialog.h"
#include "ui/settings/OwnAppForm.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {
namespace {

using plx::PlatformId;
using test::SettingsFixture;
using D = OwnAppDialog;
using W = SettingsWindow;

TEST(OwnAppFormTest, EntriesAreTrimmedAndCheckedInOrder) {
  struct Case {
    PlatformId platform;
    OwnAppEntry entry;
    std::string_view error;
    plx::OAuthClient client;
    int port;
  };
  const Case cases[]{
      {PlatformId::YouTube,
       {" id.apps \n", "\tsecret ", "18000"},
       "",
       {"id.apps", "secret"},
       18000},
      {PlatformId::Kick, {"01KICK", "s", "01024"}, "", {"01KICK", "s"}, 1024},
      {PlatformId::Kick, {"01KICK", "s", "65535"}, "", {"01KICK", "s"}, 65535},
      // Twitch asks for no secret and no port: a carried secret stays exactly as it was.
      {PlatformId::Twitch, {" twitchid ", " kept ", "nonsense"}, "", {"twitchid", " kept "}, 0},
      {PlatformId::Twitch, {"twitchid", "", ""}, "", {"twitchid", ""}, 0},
      // The first problem wins: id, secret, port.
      {PlatformId::Twitch, {"  ", "", ""}, kClientIdMissing, {}, 0},
      {PlatformId::YouTube, {"", "", "1"}, kClientIdMissing, {}, 0},
      {PlatformId::YouTube, {"id one", "", "1"}, kClientIdInvalid, {}, 0},
      {PlatformId::Twitch, {"id\x01", "", ""}, kClientIdInvalid, {}, 0},
      {PlatformId::Kick, {"id", " ", "1"}, kSecretMissing, {}, 0},
      {PlatformId::Kick, {"id", "two\nlines", "18000"}, kSecretInvalid, {}, 0},
      {PlatformId::Kick, {"id", "s", "1023"}, kPortInvalid, {}, 0},
      {PlatformId::Kick, {"id", "s", "65536"}, kPortInvalid, {}, 0},
      {PlatformId::YouTube, {"id", "s", "-1800"}, kPortInvalid, {}, 0},
      {PlatformId::YouTube, {"id", "s", "180000"}, kPortInvalid, {}, 0},
      {PlatformId::YouTube, {"id", "s", ""}, kPortInvalid, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plx::PlatformKey(c.platform) + " [" + c.entry.clientId + "] [" + c.entry.port +
                 "]");
    const OwnAppCheck check{CheckOwnApp(c.platform, c.entry)};
    EXPECT_EQ(check.error, c.error);
    EXPECT_EQ(check.client, c.client);
    EXPECT_EQ(check.port, c.port);
  }
}

// A settings window over its owner with the own-app dialog of one platform opened from it.
struct OwnAppFixture : SettingsFixture {
  OwnAppDialog* OpenDialog(PlatformId platform) {
    Click(W::kOwnAppButton + static_cast<int>(test::Slot(platform)));
    OwnAppDialog* dialog{window.OwnAppDialogShown()};
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
      EXPECT_TRUE(dialog->isVisible());
    }
    return dialog;
  }
  template <typename T = QWidget>
  T* In(OwnAppDialog* dialog, int id) {
    T* control{qobject_cast<T*>(dialog->Control(id))};
    EXPECT_NE(control, nullptr) << "no dialog control " << id;
    return control;
  }
  void TypeIn(OwnAppDialog* dialog, int id, const QString& text) {
    KitEdit* edit{In<KitEdit>(dialog, id)};
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  // Lets the dialog's deferred deletion run.
  void Settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST(OwnAppDialogTest, EachPlatformAsksForWhatItsSignInNeeds) {
  struct Case {
    PlatformId platform;
    const char* title;
    bool redirect;
  };
  for (const Case& c : {Case{PlatformId::Twitch, "Your own Twitch app", false},
                        Case{PlatformId::YouTube, "Your own YouTube app", true},
                        Case{PlatformId::Kick, "Your own Kick app", true}}) {
    SCOPED_TRACE(c.title);
    OwnAppFixture f;
    f.Open();
    OwnAppDialog* dialog{f.OpenDialog(c.platform)};
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), c.title);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);  // over the settings window only
    EXPECT_EQ(dialog->Platform(), c.platform);
    EXPECT_EQ(f.In<KitEdit>(dialog, D::kClientId)->text(), "");
    for (int id : {D::kSecret, D::kAddress, D::kCopy, D::kPort}) {
      EXPECT_EQ(dialog->Control(id) != nullptr, c.redirect) << id;
    }
    // Nothing stored yet: nothing to remove.
    EXPECT_FALSE(f.In(dialog, D::kRemove)->isEnabled());
    EXPECT_TRUE(f.In(dialog, D::kSave)->isEnabled());
    if (c.redirect) {
      EXPECT_EQ(f.In<KitEdit>(dialog, D::kSecret)->echoMode(), QLineEdit::Password);
      EXPECT_TRUE(f.In<KitEdit>(dialog, D::kAddress)->isReadOnly());
      EXPECT_EQ(dialog->Address(), "http://127.0.0.1:17823/callback");
      EXPECT_EQ(f.In<KitEdit>(dialog, D::kPort)->text(), "17823");
    } else {
      // Twitch's dialog says why it asks for no secret.
      bool noted{false};
      for (const KitLabel* label : dialog->findChildren<KitLabel*>()) {
        noted = noted || label->text().contains("No client secret");
      }
      EXPECT_TRUE(noted);
    }
    // Every control lies inside the dialog.
    for (int id : {D::kClientId, D::kSecret, D::kCopy, D::kPort, D::kRemove, D::kSave}) {
      if (QWidget * control{dialog->Control(id)}) {
        EXPECT_TRUE(dialog->rect().contains(control->geometry())) << id;
      }
    }
  }
}

TEST(OwnAppDialogTest, SavingStoresTheAppAndThePortThroughTheHost) {
  OwnAppFixture f;
  ChatSettings settings;
  settings.ownAppRedirectPort = 17900;
  f.Open(settings);
  EXPECT_EQ(f.window.AccountLine(2), "Not signed in");
  OwnAppDialog* dialog{f.OpenDialog(PlatformId::Kick)};
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Address(), "http://127.0.0.1:17900/callback");

  f.TypeIn(dialog, D::kClientId, "  01KICKAPP ");
  f.TypeIn(dialog, D::kSecret, "kick-secret");
  // The address follows the port as it is typed; an unfinished port keeps the last good one.
  f.TypeIn(dialog, D::kPort, "1");
  EXPECT_EQ(dialog->Address(), "http://127.0.0.1:17900/callback");
  QTest::keyClicks(f.In<KitEdit>(dialog, D::kPort), "8123");
  EXPECT_EQ(dialog->Address(), "http://127.0.0.1:18123/callback");

  QTest::mouseClick(f.In(dialog, D::kSave), Qt::LeftButton);
  f.Settle();
  EXPECT_EQ(f.window.OwnAppDialogShown(), nullptr);
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"set app kick", "port 18123"}));
  EXPECT_EQ(f.host.ownApps[2], (plx::OAuthClient{"01KICKAPP", "kick-secret"}));
  EXPECT_EQ(f.host.redirectPort, 18123);
  EXPECT_EQ(f.window.AccountLine(2), "Not signed in \u00B7 own app");
  EXPECT_EQ(f.window.AccountLine(1), "Not signed in");
  // The window's own Save carries the port on, so that it does not undo it.
  EXPECT_EQ(f.window.Working().ownAppRedirectPort, 18123);
  f.Click(W::kSave);
  ASSERT_EQ(f.result, true);
  EXPECT_EQ(f.returned.ownAppRedirectPort, 18123);

  // The next opening shows the stored app: the secret masked, Remove offered.
  f.Open(f.returned);
  dialog = f.OpenDialog(PlatformId::Kick);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(f.In<KitEdit>(dialog, D::kClientId)->text(), "01KICKAPP");
  auto* secret{f.In<KitEdit>(dialog, D::kSecret)};
  EXPECT_EQ(secret->echoMode(), QLineEdit::Password);
  EXPECT_EQ(secret->text(), "kick-secret");
  EXPECT_NE(secret->displayText(), "kick-secret");
  EXPECT_TRUE(f.In(dialog, D::kRemove)->isEnabled());
  // Saved again with the same port: only the app is stored.
  f.host.calls.clear();
  QTest::keyClick(f.In(dialog, D::kClientId), Qt::Key_Return);
  f.Settle();
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"set app kick"}));
}

TEST(OwnAppDialogTest, RemoveCancelAndEscape) {
  enum class Way { Remove, Cancel, Escape, CloseSettings };
  for (Way way : {Way::Remove, Way::Cancel, Way::Escape, Way::CloseSettings}) {
    SCOPED_TRACE(static_cast<int>(way));
    OwnAppFixture f;
    f.host.ownApps[1] = plx::OAuthClient{"google-id", "google-secret"};
    f.Open();
    EXPECT_EQ(f.window.AccountLine(1), "Not signed in \u00B7 own app");
    OwnAppDialog* dialog{f.OpenDialog(PlatformId::YouTube)};
    ASSERT_NE(dialog, nullptr);
    f.TypeIn(dialog, D::kClientId, "changed-id");
    f.TypeIn(dialog, D::kPort, "19000");
    switch (way) {
      case Way::Remove:
        QTest::mouseClick(f.In(dialog, D::kRemove), Qt::LeftButton);
        break;
      case Way::Cancel:
        QTest::mouseClick(f.In(dialog, D::kCancel), Qt::LeftButton);
        break;
      case Way::Escape:
        QTest::keyClick(f.In(dialog, D::kSecret), Qt::Key_Escape);
        break;
      case Way::CloseSettings:
        f.window.RequestClose();  // the main window is asked to close
        break;
    }
    f.Settle();
    EXPECT_EQ(f.window.OwnAppDialogShown(), nullptr);
    EXPECT_EQ(f.window.IsOpen(), way != Way::CloseSettings);
    if (way == Way::Remove) {
      EXPECT_EQ(f.host.calls, std::vector<std::string>{"remove app youtube"});
      EXPECT_FALSE(f.host.ownApps[1].has_value());
      EXPECT_EQ(f.window.AccountLine(1), "Not signed in");
    } else {
      EXPECT_TRUE(f.host.calls.empty());
      EXPECT_EQ(f.host.ownApps[1], (plx::OAuthClient{"google-id", "google-secret"}));
    }
    EXPECT_EQ(f.window.Working().ownAppRedirectPort, 17823);
  }
}

TEST(OwnAppDialogTest, AnEntryThatCannotBeSavedKeepsTheDialogOpen) {
  OwnAppFixture f;
  f.Open();
  OwnAppDialog* dialog{f.OpenDialog(PlatformId::YouTube)};
  ASSERT_NE(dialog, nullptr);
  const auto save = [&] { QTest::mouseClick(f.In(dialog, D::kSave), Qt::LeftButton); };
  save();
  EXPECT_EQ(dialog->ErrorText(), QString::fromUtf8(kClientIdMissing.data()));
  f.TypeIn(dialog, D::kClientId, "google-id");
  save();
  EXPECT_EQ(dialog->ErrorText(), QString::fromUtf8(kSecretMissing.data()));
  f.TypeIn(dialog, D::kSecret, "s3cret value");
  save();
  EXPECT_EQ(dialog->ErrorText(), QString::fromUtf8(kSecretInvalid.data()));
  EXPECT_FALSE(dialog->ErrorText().contains("s3cret"));
  f.TypeIn(dialog, D::kSecret, "s3cret");
  f.TypeIn(dialog, D::kPort, "80");
  save();
  EXPECT_EQ(dialog->ErrorText(), QString::fromUtf8(kPortInvalid.data()));
  EXPECT_EQ(f.window.OwnAppDialogShown(), dialog);
  EXPECT_TRUE(f.host.calls.empty());

  f.TypeIn(dialog, D::kPort, "17823");
  save();
  f.Settle();
  EXPECT_EQ(f.host.calls, std::vector<std::string>{"set app youtube"});  // the port is unchanged
}

TEST(OwnAppDialogTest, TwitchKeepsAStoredSecretItDoesNotAskFor) {
  OwnAppFixture f;
  f.host.ownApps[0] = plx::OAuthClient{"old-id", "secret-from-elsewhere"};
  f.Open();
  OwnAppDialog* dialog{f.OpenDialog(PlatformId::Twitch)};
  ASSERT_NE(dialog, nullptr);
  // No field of the dialog holds the secret.
  for (const KitEdit* edit : dialog->findChildren<KitEdit*>()) {
    EXPECT_NE(edit->text(), "secret-from-elsewhere");
  }
  f.TypeIn(dialog, D::kClientId, "new-id");
  QTest::mouseClick(f.In(dialog, D::kSave), Qt::LeftButton);
  f.Settle();
  EXPECT_EQ(f.host.ownApps[0], (plx::OAuthClient{"new-id", "secret-from-elsewhere"}));
  EXPECT_EQ(f.host.calls, std::vector<std::string>{"set app twitch"});  // Twitch has no port
}

TEST(OwnAppDialogTest, CopyPutsTheRedirectAddressOnTheClipboard) {
  OwnAppFixture f;
  f.Open();
  OwnAppDialog* dialog{f.OpenDialog(PlatformId::Kick)};
  ASSERT_NE(dialog, nullptr);
  QGuiApplication::clipboard()->clear();
  auto* copy{f.In<KitButton>(dialog, D::kCopy)};
  QTest::mouseClick(copy, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://127.0.0.1:17823/callback");
  EXPECT_EQ(copy->text(), "Copied");
  // Another port: another address, to be copied again.
  f.TypeIn(dialog, D::kPort, "20001");
  EXPECT_EQ(copy->text(), "Copy");
  QTest::mouseClick(copy, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://127.0.0.1:20001/callback");
}

TEST(OwnAppSettingsTest, TheAccountLineShowsTheCodeWhileTheDeviceSignInRuns) {
  OwnAppFixture f;
  f.host.ownApps[0] = plx::OAuthClient{"twitch-id", ""};
  f.Open();
  EXPECT_EQ(f.window.AccountLine(0), "Not signed in \u00B7 own app");
  f.Click(W::kAccountButton);
  EXPECT_EQ(f.host.calls.back(), "start twitch");
  // Before the platform gave a code, the usual line.
  EXPECT_EQ(f.window.AccountLine(0), "Finish the sign-in in your browser\u2026");
  for (int i{0}; i < 3; ++i) EXPECT_FALSE(f.Get(W::kOwnAppButton + i)->isEnabled()) << i;

  f.host.prompt = SignInPrompt{PlatformId::Twitch, "https://id.example/activate", "WDJBMJHT"};
  f.window.RefreshAccounts();  // the owner does so when the prompt arrives
  const QString line{f.window.AccountLine(0)};
  EXPECT_TRUE(line.contains("WDJB-MJHT")) << line.toStdString();
  EXPECT_TRUE(line.startsWith("Enter ")) << line.toStdString();
  // Whichever form is shown fits its place whole.
  auto* label{qobject_cast<KitLabel*>(
      f.window.childAt(f.window.Layout().platforms[0].accountLine.center()))};
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), line);
  EXPECT_LE(QFontMetrics{label->font()}.horizontalAdvance(line), label->width());

  f.Click(W::kAccountButton);  // Cancel
  EXPECT_EQ(f.host.calls.back(), "cancel");
  EXPECT_EQ(f.window.AccountLine(0), "Not signed in \u00B7 own app");
  EXPECT_TRUE(f.Get(W::kOwnAppButton)->isEnabled());
}

TEST(OwnAppSettingsTest, RendersTheDialogsAndThePageWithAnOwnApp) {
  // Writes PNGs next to the test binary for a look by eye.
  const QString folder{qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) +
                       "/ui-snapshots"};
  QDir{}.mkpath(folder);
  for (const char* key : {"neon", "calm"}) {
    OwnAppFixture f;
    f.host.ownApps[0] = plx::OAuthClient{"twitch-id", ""};
    f.host.ownApps[2] = plx::OAuthClient{"01KICKAPP", "kick-secret"};
    f.host.statuses[1].signedIn = true;
    f.host.statuses[1].account = "Velaro Live";
    ChatSettings settings;
    settings.theme = key;
    f.host.ApplySettings(settings);
    f.Open(settings);
    const auto save = [&](QWidget* widget, const std::string& name) {
      QTest::mouseMove(widget, QPoint{1, 1});
      QApplication::processEvents();
      const QImage image{widget->grab().toImage()};
      EXPECT_TRUE(image.save(folder + "/" + QString::fromStdString(name) + "-" + key + ".png"));
      EXPECT_EQ(image.pixel(2, 2), ToQColor(FindTheme(key).windowPalette.windowBg).rgb());
    };
    save(&f.window, "settings-own-app");
    f.Click(W::kAccountButton);
    f.host.prompt = SignInPrompt{PlatformId::Twitch, "https://id.example/activate", "WDJBMJHT"};
    f.window.RefreshAccounts();
    save(&f.window, "settings-own-app-code");
    f.Click(W::kAccountButton);  // cancelled again

    const auto render = [&](PlatformId platform, const std::string& name, bool badPort) {
      OwnAppDialog* dialog{f.OpenDialog(platform)};
      ASSERT_NE(dialog, nullptr);
      if (badPort) {
        f.TypeIn(dialog, D::kPort, "80");
        QTest::mouseClick(f.In(dialog, D::kSave), Qt::LeftButton);  // shows the error line
      }
      save(dialog, name);
      QTest::keyClick(f.In(dialog, D::kClientId), Qt::Key_Escape);
      f.Settle();
    };
    render(PlatformId::Kick, "own-app-kick", true);
    render(PlatformId::Twitch, "own-app-twitch", false);
    render(PlatformId::YouTube, "own-app-youtube-empty", false);
  }
}

}  // namespace
}  // namespace vlo
