#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <fstream>

#include "core/Json.h"
#include "logs/LogFormat.h"
#include "net/Http.h"
#include "tests/LoopbackPort.h"
#include "tests/TempDir.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/settings/SettingsWindow.h"

namespace vlo {
namespace {

plx::ChatMessage Row(std::string id, plx::PlatformId platform) {
  plx::ChatMessage m;
  m.id = std::move(id);
  m.platform = platform;
  m.author = "viewer";
  m.body = "hello";
  return m;
}

// Runs the event loop until `done` holds or two seconds pass.
template <typename Done>
bool ProcessUntil(Done done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class ChatWindowTest : public ::testing::Test {
 protected:
  // With provider emotes off no catalogue lines join the rows.
  ChatWindow::Options MakeOptions(bool providerEmotes = false) {
    ChatSettings settings;
    settings.thirdPartyEmotes = providerEmotes;
    SaveChatSettings(dir.path(), settings);
    ChatWindow::Options options;
    options.dataFolder = dir.path();
    // Nothing answers here, so every catalogue download fails at once.
    for (std::string* base :
         {&options.endpoints.sevenTvApi, &options.endpoints.bttvApi, &options.endpoints.ffzApi}) {
      *base = "http://127.0.0.1:1";
    }
    return options;
  }
  test::TempDir dir;
};

TEST_F(ChatWindowTest, PillClickFiltersAndSecondClickClearsAndSaves) {
  ChatWindow window{MakeOptions()};
  window.resize(440, 760);
  window.Hub().AddMessage(Row("tw-1", plx::PlatformId::Twitch));
  window.Hub().AddMessage(Row("kick-1", plx::PlatformId::Kick));
  window.Hub().AddMessage(Row("kick-2", plx::PlatformId::Kick));
  ASSERT_TRUE(ProcessUntil([&] { return window.View().Rows().size() == 3; }));

  window.View().ScrollTo(0);
  window.ClickItem(kItemKick);
  EXPECT_EQ(window.Filter(), kItemKick);
  ASSERT_EQ(window.View().Rows().size(), 2u);
  EXPECT_TRUE(window.View().Scroll().following);
  EXPECT_EQ(LoadChatSettings(dir.path()).filter, kItemKick);

  window.ClickItem(kItemTwitch);
  EXPECT_EQ(window.View().Rows().size(), 1u);
  window.ClickItem(kItemTwitch);
  EXPECT_EQ(window.Filter(), 0);
  EXPECT_EQ(window.View().Rows().size(), 3u);
  EXPECT_EQ(LoadChatSettings(dir.path()).filter, 0);
}

TEST_F(ChatWindowTest, HoverEndsWhenThePointerGoesStraightIntoTheView) {
  ChatWindow window{MakeOptions()};
  window.resize(440, 760);
  const QPointF onFirstPill{40, 25};
  QMouseEvent move{QEvent::MouseMove, onFirstPill,  window.mapToGlobal(onFirstPill),
                   Qt::NoButton,      Qt::NoButton, Qt::NoModifier};
  QApplication::sendEvent(&window, &move);
  EXPECT_EQ(window.HotItem(), kItemTwitch);
  // Entering a child sends the parent no leave event; the window watches the view instead.
  const QPointF inView{100, 10};
  QEnterEvent enter{inView, inView, window.View().mapToGlobal(inView)};
  QApplication::sendEvent(&window.View(), &enter);
  EXPECT_EQ(window.HotItem(), kItemNone);
}

TEST_F(ChatWindowTest, WindowCarriesTheProgramIcon) {
  ChatWindow window{MakeOptions()};
  const QImage icon = window.windowIcon().pixmap(64, 64).toImage();
  ASSERT_EQ(icon.width(), 64);
  EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);                        // outside the rounded square
  EXPECT_EQ(icon.pixelColor(50, 22).rgb(), QColor{"#FF1FB4"}.rgb());  // the bubble
  EXPECT_EQ(icon.pixelColor(47, 33).rgb(), QColor{"#53FC18"}.rgb());  // the green dot
}

TEST_F(ChatWindowTest, RefreshesAreSpacedAFrameApartButNoneIsLost) {
  ChatWindow window{MakeOptions()};
  QApplication::processEvents();
  const int before = window.RefreshCount();
  for (int i = 0; i < 50; ++i) {
    window.Hub().AddMessage(Row("tw-" + std::to_string(i), plx::PlatformId::Twitch));
    QApplication::processEvents();
  }
  ASSERT_TRUE(ProcessUntil([&] { return window.View().Rows().size() == 50; }));
  EXPECT_LT(window.RefreshCount() - before, 25);  // far fewer refreshes than changes
}

TEST_F(ChatWindowTest, BurstOfHubChangesGivesOneRefresh) {
  ChatWindow window{MakeOptions()};
  QApplication::processEvents();
  const int before = window.RefreshCount();
  window.Hub().AddMessage(Row("tw-1", plx::PlatformId::Twitch));
  window.Hub().AddMessage(Row("tw-2", plx::PlatformId::Twitch));
  window.Hub().SetStatus(plx::PlatformId::Kick, ConnectionState::Connecting, "k", "");
  ProcessUntil([&] { return window.RefreshCount() > before; });
  QApplication::processEvents();
  EXPECT_EQ(window.RefreshCount(), before + 1);
  EXPECT_EQ(window.View().Rows().size(), 2u);
  EXPECT_EQ(window.Statuses()[2].state, ConnectionState::Connecting);
}

TEST_F(ChatWindowTest, FailingProviderIsReportedOncePerRun) {
  ChatWindow window{MakeOptions(true)};
  const auto failureLines = [&] {
    int n = 0;
    for (const auto& row : window.Hub().Snapshot()) {
      if (row.body.find("so its emotes are missing for now") != std::string::npos) ++n;
    }
    return n;
  };
  ASSERT_TRUE(ProcessUntil([&] { return failureLines() >= 3; }));
  EXPECT_EQ(failureLines(), 3);  // 7TV, BetterTTV and FrankerFaceZ, once each
  window.ReportEmoteFetches();
  QApplication::processEvents();
  EXPECT_EQ(failureLines(), 3);
  bool found = false;
  for (const auto& row : window.Hub().Snapshot()) {
    // Nothing listens there: the line names the connection, not the provider.
    found |=
        row.body ==
        "Could not reach 7TV (network error (cannot connect)), so its emotes are missing for now";
  }
  EXPECT_TRUE(found);
}

TEST_F(ChatWindowTest, OpacityUsesIntegerAlphaAndPinTogglesOnTop) {
  ChatWindow window{MakeOptions()};
  ChatSettings settings = window.StoredSettings();
  settings.opacity = 70;
  window.ApplySettings(settings);
  EXPECT_EQ(window.WindowAlpha(), 178);
  settings.opacity = 100;
  window.ApplySettings(settings);
  EXPECT_EQ(window.WindowAlpha(), 255);

  EXPECT_EQ(window.TooltipFor(kItemPin), "Keep the window on top");
  window.ClickItem(kItemPin);
  EXPECT_TRUE(window.StoredSettings().alwaysOnTop);
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(window.TooltipFor(kItemPin), "Stop keeping the window on top");
  EXPECT_TRUE(LoadChatSettings(dir.path()).alwaysOnTop);
  EXPECT_EQ(window.TooltipFor(kItemGear), "Channels, sign-in and options");
}

TEST_F(ChatWindowTest, ClosingStoresThePlacement) {
  {
    ChatWindow window{MakeOptions()};
    window.Open();
    window.setGeometry(50, 60, 500, 700);
    window.close();
  }
  const ChatSettings stored = LoadChatSettings(dir.path());
  EXPECT_EQ(stored.windowW, 500);
  EXPECT_EQ(stored.windowH, 700);
  EXPECT_FALSE(stored.maximized);
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST_F(ChatWindowTest, OverlaySwitchedOnInSettingsServesThePageAndATakenPortIsTold) {
  const int port = test::FreeLoopbackPort();
  {
    ChatWindow window{MakeOptions()};
    window.Open();
    EXPECT_EQ(window.Overlay(), nullptr);  // off by default

    window.ClickItem(kItemGear);
    SettingsWindow* settings = window.Settings();
    ASSERT_TRUE(settings->IsOpen());
    const auto click = [&](int id) { QTest::mouseClick(settings->Control(id), Qt::LeftButton); };
    click(SettingsWindow::kPageButton + 2);
    click(SettingsWindow::kOverlaySwitch);
    auto* portEdit = qobject_cast<QLineEdit*>(settings->Control(SettingsWindow::kOverlayPort));
    portEdit->setText(QString::number(port));
    click(SettingsWindow::kSave);
    ASSERT_NE(window.Overlay(), nullptr);
    EXPECT_EQ(window.Overlay()->Port(), port);
    EXPECT_TRUE(window.StoredSettings().overlayEnabled);
    EXPECT_EQ(LoadChatSettings(dir.path()).overlayPort, port);
    EXPECT_EQ(plx::Get(OverlayServer::PageAddress(port), 3000).status, 200);
  }
  // Another program holds the port when the overlay starts: the chat says so.
  ChatWindow::Options options = MakeOptions();  // writes fresh settings
  ChatSettings stored = LoadChatSettings(dir.path());
  stored.overlayEnabled = true;
  stored.overlayPort = port;
  ASSERT_TRUE(SaveChatSettings(dir.path(), stored));
  ChatWindow second{options};
  OverlayConfig holderConfig;
  holderConfig.port = port;
  OverlayServer holder{second.Hub(), holderConfig};
  std::string error;
  ASSERT_TRUE(holder.Start(&error)) << error;
  second.Open();
  EXPECT_EQ(second.Overlay(), nullptr);
  std::string lines;
  for (const plx::ChatRow& row : second.Hub().Snapshot()) lines += row.body + "\n";
  EXPECT_NE(lines.find("The overlay could not start: port " + std::to_string(port) +
                       " on 127.0.0.1 is taken by another program."),
            std::string::npos)
      << lines;
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST_F(ChatWindowTest, ChatLogsSwitchedOnWriteTheChatToTheLogsFolder) {
  ChatWindow::Options options = MakeOptions();
  ChatSettings stored = LoadChatSettings(dir.path());
  stored.twitchChannel = "velarodemo";
  stored.chatLogs = true;
  ASSERT_TRUE(SaveChatSettings(dir.path(), stored));
  {
    ChatWindow window{options};
    window.Open();
    ASSERT_NE(window.Logs(), nullptr);
    window.Hub().AddMessage(Row("tw-1", plx::PlatformId::Twitch));
    window.Logs()->Flush();
  }
  const std::string name = LogFileName(
      LogBaseName(LocalStampOf(plx::nowMs()).date, plx::PlatformId::Twitch, "velarodemo"), 1);
  std::ifstream in{LogsFolder(dir.path()) / name};
  const std::string text{std::istreambuf_iterator<char>{in}, {}};
  EXPECT_NE(text.find(" [twitch] viewer: hello\n"), std::string::npos) << name << ": " << text;

  // A screenshot run beside a running instance keeps none.
  options.keepLogs = false;
  ChatWindow screenshot{options};
  screenshot.Open();
  EXPECT_EQ(screenshot.Logs(), nullptr);
}

}  // namespace
}  // namespace vlo
