#include "app/WindowRun.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "app/SingleInstance.h"
#include "core/AppPaths.h"
#include "core/Json.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ChatWindow.h"

namespace vlo {

namespace {

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
  if (options.screenshot && !HaveDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app{argc, argv};
  QApplication::setApplicationName("Velaro Chat");
  QApplication::setDesktopFileName("velaro-chat");

  // A screenshot run may happen beside a running instance: it takes no lock and saves nothing.
  SingleInstance instance{QString::fromStdString(SingleInstanceName(options.profile))};
  if (!options.screenshot) {
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
  windowOptions.saveSettings = !options.screenshot;

  int exitCode = 0;
  {
    ChatWindow window{std::move(windowOptions)};
    instance.SetOnActivate([&window] {
      // Restores a minimised window to its former state, maximised or not.
      window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
      window.show();
      window.raise();
      window.activateWindow();
    });
    window.Open();

    if (options.screenshot) {
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
  }
  return exitCode;
}

}  // namespace vlo
