#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsWindow.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/UiKit.h"

namespace vlo::test {

inline size_t Slot(plx::PlatformId platform) {
  return platform == plx::PlatformId::YouTube ? 1 : platform == plx::PlatformId::Kick ? 2 : 0;
}

// Records what the window asks of its owner and serves the statuses a test sets. Starting a
// sign-in makes it pending, as the account service does; previews recolour the toolkit as the
// main window does; own apps are kept per platform as the secret store keeps them.
class FakeHost : public SettingsHost {
 public:
  PlatformStatus GetStatus(plx::PlatformId platform) override {
    ++statusReads;
    return statuses[Slot(platform)];
  }
  std::optional<plx::PlatformId> PendingSignIn() override { return pending; }
  void StartSignIn(plx::PlatformId platform) override {
    calls.push_back("start " + plx::PlatformKey(platform));
    pending = platform;
  }
  void SignOut(plx::PlatformId platform) override {
    calls.push_back("signout " + plx::PlatformKey(platform));
    statuses[Slot(platform)].signedIn = false;
  }
  void CancelSignIn() override {
    calls.push_back("cancel");
    pending.reset();
    prompt.reset();
  }
  void ApplySettings(const ChatSettings& settings) override {
    applied.push_back(settings);
    WindowPalette palette{FindTheme(settings.theme).windowPalette};
    palette.accent = readableAccent(palette.accent);
    UiKit::SetPalette(palette);
  }
  plx::OAuthClients OwnApps() override {
    plx::OAuthClients clients;
    clients.twitch = ownApps[0].value_or(plx::OAuthClient{});
    clients.youtube = ownApps[1].value_or(plx::OAuthClient{});
    clients.kick = ownApps[2].value_or(plx::OAuthClient{});
    return clients;
  }
  void SetOwnApp(plx::PlatformId platform, std::optional<plx::OAuthClient> client) override {
    calls.push_back((client ? "set app " : "remove app ") + plx::PlatformKey(platform));
    ownApps[Slot(platform)] = std::move(client);
  }
  void SetRedirectPort(int port) override {
    calls.push_back("port " + std::to_string(port));
    redirectPort = port;
  }
  std::optional<SignInPrompt> CurrentPrompt() override { return prompt; }

  std::array<PlatformStatus, 3> statuses{};
  std::optional<plx::PlatformId> pending;
  std::vector<std::string> calls;
  std::vector<ChatSettings> applied;
  std::array<std::optional<plx::OAuthClient>, 3> ownApps{};
  std::optional<SignInPrompt> prompt;
  int redirectPort{0};
  int statusReads{0};
};

// An owner window with the settings window over it, opened without a nested loop.
struct SettingsFixture {
  SettingsFixture() {
    UiKit::SetPalette(FindTheme("neon").windowPalette);
    owner.resize(440, 760);
    owner.show();
  }
  ~SettingsFixture() { UiKit::SetPalette(FindTheme("neon").windowPalette); }

  void Open(const ChatSettings& settings = {}) {
    result.reset();
    ASSERT_TRUE(window.Open(settings, [this](bool saved, const ChatSettings& copy) {
      result = saved;
      returned = copy;
    }));
  }

  template <typename T = QWidget>
  T* Get(int id) {
    T* control{qobject_cast<T*>(window.Control(id))};
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
  }
  KitButton* Button(int id) { return Get<KitButton>(id); }

  void Click(int id) { QTest::mouseClick(Get(id), Qt::LeftButton); }
  // Replaces the field's text as a person would: select all, then type.
  void Type(int id, const QString& text) {
    KitEdit* edit{Get<KitEdit>(id)};
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
      QTest::keyClick(edit, Qt::Key_Delete);
    } else {
      QTest::keyClicks(edit, text);
    }
  }

  FakeHost host;
  QWidget owner;
  SettingsWindow window{&owner, host, "portal.example.net"};
  std::optional<bool> result;  // set when the window closed
  ChatSettings returned;
};

}  // namespace vlo::test
