#pragma once

// The main window against the simulated world: real readers, real sign-in through the simulated
// portal, real settings file, under the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "core/ChatSettings.h"
#include "net/Http.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/accounts/AccountsSim.h"
#include "sim/world/SimWorld.h"
#include "tests/TempDir.h"
#include "tests/WorldChat.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/settings/SettingsWindow.h"

namespace vlo::test {

// Runs the event loop until `done` holds or `limitMs` pass.
inline bool ProcessUntil(const std::function<bool()>& done, int limitMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

class WindowWorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = QuietWorld();
    chat = std::make_unique<WorldChat>(*world);
  }

  void TearDown() override {
    window.reset();
    chat.reset();
    world.reset();
  }

  // Opens the window reading the demo channels (or `settings` as stored).
  ChatWindow& OpenWindow(std::optional<ChatSettings> settings = std::nullopt) {
    if (!settings) {
      settings = ChatSettings{};
      const ChatTargets targets = world->DemoTargets();
      settings->twitchChannel = targets.twitchChannel;
      settings->kickChannel = targets.kickChannel;
      settings->youtubeTarget = targets.youtubeTarget;
    }
    settings->thirdPartyEmotes = false;
    SaveChatSettings(dir.path(), *settings);
    ChatWindow::Options options;
    options.dataFolder = dir.path();
    options.endpoints = world->GetEndpoints();
    // The "browser" visits the connect page, as a person's would.
    options.openUrl = [this](const std::string& url) {
      opened.push_back(url);
      plx::Get(url, 5000);
    };
    options.registerReaders = [endpoints = world->GetEndpoints()](ChatHub& hub) {
      hub.SetReaderEntry(plx::PlatformId::Twitch, MakeTwitchReader(endpoints));
      hub.SetReaderEntry(plx::PlatformId::YouTube, MakeYouTubeReader(endpoints));
      hub.SetReaderEntry(plx::PlatformId::Kick, MakeKickReader(endpoints));
    };
    if (adjustOptions) adjustOptions(options);
    window = std::make_unique<ChatWindow>(std::move(options));
    window->resize(440, 760);
    window->Open();
    return *window;
  }

  const PlatformStatus& Status(plx::PlatformId platform) {
    return window->Statuses()[platform == plx::PlatformId::YouTube ? 1
                              : platform == plx::PlatformId::Kick  ? 2
                                                                   : 0];
  }

  bool HasLine(plx::PlatformId platform, const std::string& text) {
    for (const plx::ChatRow& row : window->Hub().Snapshot()) {
      if (row.platform == platform && row.body == text) return true;
    }
    return false;
  }

  size_t CountRows(const std::function<bool(const plx::ChatRow&)>& match) {
    size_t n = 0;
    for (const plx::ChatRow& row : window->Hub().Snapshot()) n += match(row) ? 1 : 0;
    return n;
  }

  // Signs in through the window's host operations and waits until the reader can send.
  void SignIn(plx::PlatformId platform) {
    window->StartSignIn(platform);
    ASSERT_TRUE(ProcessUntil([&] { return Status(platform).canSend; }, 20000))
        << plx::PlatformName(platform) << ": " << Status(platform).detail;
  }

  template <typename T = QWidget>
  T* SettingsControl(int id) {
    return qobject_cast<T*>(window->Settings()->Control(id));
  }

  TempDir dir;
  std::unique_ptr<sim::SimWorld> world;
  std::unique_ptr<WorldChat> chat;
  std::unique_ptr<ChatWindow> window;
  std::vector<std::string> opened;
  // Changes the window's options before OpenWindow creates it.
  std::function<void(ChatWindow::Options&)> adjustOptions;
};

}  // namespace vlo::test
