// Desktop notifications over a real D-Bus: the test runs inside its own session bus
// (dbus-run-session) and plays the desktop's notification service on a second connection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QVariantMap>

#include "tests/TempDir.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/mainwindow/AlertSound.h"
#include "ui/mainwindow/DesktopNotifier.h"

namespace vlo {
namespace {

struct Received {
  QString appName;
  uint replaces{0};
  QString summary;
  QString body;
  QStringList actions;
  QVariantMap hints;
};

// The notification service a desktop would run: records every Notify call and answers with
// increasing ids.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  explicit FakeNotifications(QDBusConnection bus) : bus_{std::move(bus)} {}

  std::vector<Received> received;

  void Click(uint id) {
    QDBusMessage signal{QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                   QStringLiteral("org.freedesktop.Notifications"),
                                                   QStringLiteral("ActionInvoked"))};
    signal << id << QStringLiteral("default");
    bus_.send(signal);
  }

 public slots:
  uint Notify(const QString& appName, uint replaces, const QString&, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
    received.push_back({appName, replaces, summary, body, actions, hints});
    return static_cast<uint>(received.size());
  }

 private:
  QDBusConnection bus_;
};

bool ProcessUntil(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

class NotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        !QDBusConnection::sessionBus().isConnected()) {
      GTEST_SKIP() << "no session bus: run under dbus-run-session";
    }
    serviceBus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service")));
    service = std::make_unique<FakeNotifications>(*serviceBus);
    ASSERT_TRUE(serviceBus->registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                           service.get(), QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
  }
  void TearDown() override {
    if (!serviceBus) return;
    serviceBus->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    serviceBus->unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  }

  std::unique_ptr<QDBusConnection> serviceBus;
  std::unique_ptr<FakeNotifications> service;
};

TEST_F(NotifyTest, OneNoteAtOnceThenOneSummaryForTheBurstAndClicksFindTheRow) {
  DesktopNotifier notifier{QDBusConnection::sessionBus(), "Velaro Chat", "velaro-chat"};
  notifier.SetQuietMs(300);
  std::vector<std::string> clicked;
  notifier.SetOnActivated([&](const std::string& rowId) { clicked.push_back(rowId); });

  notifier.Notify({"row-1", "Ann · Twitch", "hey @me <b>look</b> & see"});
  for (int i = 2; i <= 40; ++i) {
    notifier.Notify({"row-" + std::to_string(i), "Bob · Kick", "@me number " + std::to_string(i)});
  }
  ASSERT_TRUE(ProcessUntil([&] { return service->received.size() == 2; }));
  const Received& first = service->received[0];
  EXPECT_EQ(first.appName, "Velaro Chat");
  EXPECT_EQ(first.summary, "Ann · Twitch");
  EXPECT_EQ(first.body, "hey @me &lt;b&gt;look&lt;/b&gt; &amp; see");
  EXPECT_EQ(first.replaces, 0u);
  EXPECT_EQ(first.actions, (QStringList{"default", "Show"}));
  EXPECT_EQ(first.hints.value("desktop-entry").toString(), "velaro-chat");
  const Received& summary = service->received[1];
  EXPECT_EQ(summary.summary, "39 more mentions and highlights");
  EXPECT_EQ(summary.body, "Latest: Bob · Kick: @me number 40");
  EXPECT_EQ(summary.replaces, 1u);  // the summary takes the first note's place
  // Nothing more is sent for the burst.
  ProcessUntil([] { return false; }, 700);
  EXPECT_EQ(service->received.size(), 2u);

  service->Click(2);
  service->Click(99);  // not ours
  ASSERT_TRUE(ProcessUntil([&] { return !clicked.empty(); }));
  ProcessUntil([] { return false; }, 200);
  EXPECT_EQ(clicked, std::vector<std::string>{"row-40"});
}

TEST_F(NotifyTest, TheWindowNotifiesOfAHighlightWhileInactiveAndAClickShowsTheRow) {
  test::TempDir dir;
  ChatSettings settings;
  settings.thirdPartyEmotes = false;
  settings.highlightWords = {"raffle"};
  settings.notifySound = true;
  SaveChatSettings(dir.path(), settings);
  ChatWindow::Options options;
  options.dataFolder = dir.path();
  ChatWindow window{std::move(options)};
  window.resize(440, 760);
  ASSERT_NE(window.Notifier(), nullptr);
  for (int i = 0; i < 60; ++i) {
    plx::ChatMessage m;
    m.id = "m" + std::to_string(i);
    m.author = "viewer" + std::to_string(i);
    m.body = i == 7 ? "is the raffle open?" : "just chatting " + std::to_string(i);
    window.Hub().AddMessage(m);
  }
  ASSERT_TRUE(ProcessUntil([&] { return service->received.size() == 1; }));
  EXPECT_EQ(service->received[0].summary, "viewer7 · Twitch");
  EXPECT_EQ(service->received[0].body, "is the raffle open?");
  EXPECT_EQ(window.UnseenHighlights(), 1);
  // The chime played once, for the highlight only, whether or not a sound device exists.
  EXPECT_EQ(window.Sound()->PlayCount(), 1);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "sounds" / "chime.wav"));

  service->Click(1);
  ASSERT_TRUE(ProcessUntil([&] { return !window.View().Scroll().following; }));
  const int middle = window.View().Scroll().RowAt(window.View().viewport()->height() / 2);
  EXPECT_NEAR(middle, 7, 2);
}

}  // namespace
}  // namespace vlo

#include "NotifyTest.moc"
