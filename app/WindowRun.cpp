#include "app/WindowRun.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>

#include "app/SingleInstance.h"
#include "core/AppPaths.h"
#include "core/Json.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/settings/SettingsWindow.h"

namespace vlo {

namespace {

// The window a stop signal closes. The signal thread posts to it under the lock, and RunWindow
// takes it away under the lock before the window goes.
std::mutex gCloseMutex;
QWidget* gCloseTarget = nullptr;  // guarded by gCloseMutex
bool gCloseRequested = false;     // guarded by gCloseMutex; a signal before the window existed

void PostClose(QWidget* window) {
  QMetaObject::invokeMethod(
      window, [window] { window->close(); }, Qt::QueuedConnection);
}

void SetCloseTarget(QWidget* window) {
  std::lock_guard lock{gCloseMutex};
  gCloseTarget = window;
  if (window && gCloseRequested) PostClose(window);
}

// What the window showed when its picture was taken, for scripts that check the picture.
void WriteStateFile(ChatWindow& window, const std::string& path) {
  json::Json statuses = json::Json::object();
  for (size_t i = 0; i < window.Statuses().size(); ++i) {
    const PlatformStatus& s = window.Statuses()[i];
    statuses[plx::PlatformKey(plx::kReadPlatforms[i])] = {
        {"state", ConnectionStateName(s.state)}, {"channel", s.channel}, {"detail", s.detail}};
  }
  json::Json rows = json::Json::object();
  for (const plx::ChatRow& row : window.View().Rows()) {
    const std::string key = plx::PlatformKey(row.platform);
    rows[key] = rows.value(key, 0) + 1;
  }
  std::ofstream out{path, std::ios::binary | std::ios::trunc};
  out << json::Dump({{"statuses", statuses}, {"rowsShown", rows}}, 2) << "\n";
}

}  // namespace

void RequestWindowClose() {
  std::lock_guard lock{gCloseMutex};
  gCloseRequested = true;
  if (gCloseTarget) PostClose(gCloseTarget);
}

bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

int RunWindow(int argc, char** argv, const Options& options, const Endpoints& endpoints,
              std::optional<ChatTargets> targetOverride,
              std::function<void(ChatHub&)> registerReaders) {
  // A screenshot needs no screen: render off-screen when there is none.
  if (options.ScreenshotRun() && !HaveDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app{argc, argv};
  QApplication::setApplicationName("Velaro Chat");
  QApplication::setDesktopFileName("velaro-chat");

  // A screenshot run may happen beside a running instance: it takes no lock and saves nothing.
  SingleInstance instance{QString::fromStdString(SingleInstanceName(options.profile))};
  if (!options.ScreenshotRun()) {
    switch (instance.Acquire()) {
      case SingleInstance::Outcome::OtherRunning:
        return 0;
      case SingleInstance::Outcome::Unguarded:
        std::cerr << "velaro-chat: cannot create the instance lock in "
                  << SingleInstance::RuntimeFolder().toStdString()
                  << "; running without the one-window-per-profile guard\n";
        break;
      case SingleInstance::Outcome::Acquired:
        break;
    }
  }

  ChatWindow::Options windowOptions;
  windowOptions.profile = options.profile;
  windowOptions.dataFolder = AppPaths::ResolveDataFolder(options.profile);
  windowOptions.endpoints = endpoints;
  windowOptions.targetOverride = std::move(targetOverride);
  windowOptions.registerReaders = std::move(registerReaders);
  windowOptions.saveSettings = !options.ScreenshotRun();
  windowOptions.serveOverlay = !options.ScreenshotRun();
  windowOptions.keepLogs = !options.ScreenshotRun();
  windowOptions.notify = !options.ScreenshotRun();
  windowOptions.update.installWithoutAsking = options.installUpdate;
  // The page also goes to the terminal: the demo may run where no browser can open.
  windowOptions.openUrl = [](const std::string& url) {
    std::cerr << "velaro-chat: opening " << url << "\n";
    QDesktopServices::openUrl(QUrl{QString::fromStdString(url)});
  };

  int exitCode = 0;
  std::unique_ptr<ChatWindow> created;
  try {
    created = std::make_unique<ChatWindow>(std::move(windowOptions));
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << "velaro-chat: cannot create the data folder " << e.path1().string() << " ("
              << e.code().message() << ")\n";
    return 1;
  }
  {
    ChatWindow& window = *created;
    instance.SetOnActivate([&window] {
      // Restores a minimised window to its former state, maximised or not.
      window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
      window.show();
      window.raise();
      window.activateWindow();
    });
    window.Open();
    SetCloseTarget(&window);

    if (options.screenshotSettings) {
      const QString file = QString::fromStdString(*options.screenshotSettings);
      const int page = options.settingsPage;
      QTimer::singleShot(static_cast<int>(options.screenshotAfterSeconds * 1000), &window,
                         [&window, &exitCode, file, page] {
                           window.RefreshFromHub();
                           window.OpenSettings();
                           SettingsWindow* settings = window.Settings();
                           settings->ShowPage(page);
                           // One more turn of the loop so that the window is laid out and painted.
                           QTimer::singleShot(200, &window, [&window, &exitCode, file, settings] {
                             if (!settings->grab().save(file, "PNG")) {
                               std::cerr << "velaro-chat: cannot write " << file.toStdString()
                                         << "\n";
                               exitCode = 1;
                             }
                             settings->RequestClose();
                             window.close();
                           });
                         });
    } else if (options.screenshot) {
      const QString file = QString::fromStdString(*options.screenshot);
      QTimer::singleShot(static_cast<int>(options.screenshotAfterSeconds * 1000), &window,
                         [&window, &exitCode, file] {
                           window.RefreshFromHub();
                           WriteStateFile(window, file.toStdString() + ".json");
                           if (!window.grab().save(file, "PNG")) {
                             std::cerr << "velaro-chat: cannot write " << file.toStdString()
                                       << "\n";
                             exitCode = 1;
                           }
                           window.close();
                         });
    }
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    const int loop = app.exec();
    if (exitCode == 0) exitCode = loop;
    SetCloseTarget(nullptr);
  }
  created.reset();
  return exitCode;
}

}  // namespace vlo
